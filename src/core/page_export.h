#pragma once
// What the exports of decoded pages share (PDF, and TIFF with every page
// re-encoded as G4): the progress callback with its stop request, and the
// walk over an open file's pages.
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "base/atomic_output.h"
#include "core/fax_file.h"

namespace orvane {

// Called before each page with the pages done so far and the page count,
// and once more at the end; returning false asks the export to stop.
using ExportProgress = std::function<bool(std::uint32_t done, std::uint32_t total)>;

// The progress of an export reported to `control` (may be null), whose
// stop request stops it.
inline ExportProgress progress_of(const WorkControl* control) {
  if (!control) return {};
  return [control](std::uint32_t done, std::uint32_t total) {
    control->report(done, total);
    return !control->stop_requested();
  };
}

// What an export did with the pages.
struct ExportSummary {
  std::uint32_t pages_written = 0;
  std::uint32_t pages_kept_coded = 0;   // coded data written unchanged
  std::uint32_t pages_skipped = 0;      // no page loaded, or it could not be coded
  std::vector<std::uint32_t> left_out;  // those pages, by index from 0, in order
  // Why the first page left out is missing (LoadedPage::refusal).
  Refusal first_refusal;
  std::error_code write_error;  // why the output could not be written, when known
  // PDF with OCR: the pages written without a text layer, and why.
  std::vector<std::pair<std::uint32_t, std::string>> no_text_layer;

  // Page `index` is not in the output, for `why`.
  void leave_out(std::uint32_t index, const Refusal& why = {}) {
    if (left_out.empty()) first_refusal = why;
    ++pages_skipped;
    left_out.push_back(index);
  }
};

// "page 2 could not be read and was left out", "pages 2, 5 and 9-12 could not
// be read and were left out" (pages from 1); empty when none was left out.
std::string left_out_message(const std::vector<std::uint32_t>& left_out);

// The system's reason for the last failed write, or none.
inline std::error_code last_write_error() {
  return errno != 0 ? std::error_code(errno, std::generic_category()) : std::error_code();
}

// An export's output file, which appears at its name only on commit(), and
// its tally, which reaches the caller's summary (may be null) however the
// export ends.
class ExportOutput {
 public:
  ExportOutput(const std::filesystem::path& output, ExportSummary* summary)
      : out_(output), summary_(summary) {
    errno = 0;
  }
  ~ExportOutput() {
    if (summary_) *summary_ = done;
  }
  ExportOutput(const ExportOutput&) = delete;
  ExportOutput& operator=(const ExportOutput&) = delete;

  bool ok() const { return out_.ok(); }
  // Where to write until commit().
  const std::filesystem::path& temp_path() const { return out_.temp_path(); }
  // Notes why the output could not be created or written; ConvertResult::kWriteFailed.
  ConvertResult failed() {
    done.write_error = out_.error() ? out_.error() : last_write_error();
    return ConvertResult::kWriteFailed;
  }
  // Puts the finished file under its name: ConvertResult::kOk or ConvertResult::kWriteFailed.
  ConvertResult commit() { return out_.commit() ? ConvertResult::kOk : failed(); }

  ExportSummary done;

 private:
  AtomicOutput out_;
  ExportSummary* summary_;
};

// The walk every export makes over a file's pages, written once so that
// every output treats pages alike: the progress before the first page and
// after each, the pages left out with their reasons, the pages written, and
// the verdict when not one page was written.
class PageWalk {
 public:
  PageWalk(const ExportProgress& progress, ExportSummary& summary, std::uint32_t count)
      : progress_(progress), summary_(summary), count_(count) {}

  std::uint32_t count() const { return count_; }
  // False when the caller asks to stop.
  bool start() const { return !progress_ || progress_(0, count_); }
  bool page_done(std::uint32_t index) const { return !progress_ || progress_(index + 1, count_); }
  void written(bool kept_coded) {
    ++summary_.pages_written;
    if (kept_coded) ++summary_.pages_kept_coded;
  }
  void leave_out(std::uint32_t index, const Refusal& why) { summary_.leave_out(index, why); }
  // kNoPages for an export that went through without writing a page; else
  // `rc`.
  ConvertResult verdict(ConvertResult rc) const {
    return rc == ConvertResult::kOk && summary_.pages_written == 0 ? ConvertResult::kNoPages : rc;
  }

 private:
  const ExportProgress& progress_;
  ExportSummary& summary_;
  std::uint32_t count_;
};

// Gives every page of the open file that loads to `write(index, page)`, in
// order; a page that does not load is left out with its reason. Pages are
// loaded as values, one at a time: the record's page on view is left alone,
// and a page whose directory cannot be read is not taken for the one
// before it. kOk, kStopped, kNoPages, or the first failure of `write`.
template <typename WritePage>
ConvertResult for_each_loaded_page(FaxFile& fax, PageWalk& walk, WritePage&& write) {
  if (!walk.start()) return ConvertResult::kStopped;
  for (std::uint32_t i = 0; i < walk.count(); ++i) {
    const LoadedPage loaded = fax.read_page(i);
    if (!loaded.valid()) {
      walk.leave_out(i, *loaded.refusal);
    } else if (const ConvertResult rc = write(i, loaded.page); rc != ConvertResult::kOk) {
      return rc;
    }
    if (!walk.page_done(i)) return ConvertResult::kStopped;
  }
  return walk.verdict(ConvertResult::kOk);
}

}  // namespace orvane
