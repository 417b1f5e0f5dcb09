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

// What an export did with the pages.
struct ExportSummary {
  std::uint32_t pages_written = 0;
  std::uint32_t pages_kept_coded = 0;   // coded data written unchanged
  std::uint32_t pages_skipped = 0;      // no page loaded, or it could not be coded
  std::vector<std::uint32_t> left_out;  // those pages, by index from 0, in order
  // Why the first page left out is missing (LoadedPage::limit and reason).
  limits::Limit first_limit = limits::Limit::kNone;
  std::string first_reason;
  std::error_code write_error;  // why the output could not be written, when known
  // PDF with OCR: the pages written without a text layer, and why.
  std::vector<std::pair<std::uint32_t, std::string>> no_text_layer;

  // Page `index` is not in the output, for `reason` (may be empty).
  void leave_out(std::uint32_t index, limits::Limit limit = limits::Limit::kNone,
                 const std::string& reason = {}) {
    if (left_out.empty()) {
      first_limit = limit;
      first_reason = reason;
    }
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

// Calls `without_loading(index)` for every page of the open file in turn:
// a result when it dealt with the page itself, nothing when the page is to
// be loaded and, when it loaded, given to `write(index, page)`. kOk,
// kStopped, or the first failure of either. A page that does not load is
// left out here, the one place every export notes it (a writer that cannot
// code a loaded page calls summary.leave_out itself). Pages are loaded as
// values, one at a time: the record's page on view is left alone, and a
// page whose directory cannot be read is not taken for the one before it.
template <typename TryPage, typename WritePage>
ConvertResult for_each_page(FaxFile& fax, const ExportProgress& progress, ExportSummary& summary,
                            TryPage&& without_loading, WritePage&& write) {
  const std::uint32_t count = fax.page_count();
  for (std::uint32_t i = 0; i < count; ++i) {
    if (progress && !progress(i, count)) return ConvertResult::kStopped;
    const std::optional<ConvertResult> done = without_loading(i);
    if (done) {
      if (*done != ConvertResult::kOk) return *done;
      continue;
    }
    const LoadedPage loaded = fax.read_page(i);
    if (!loaded.valid()) {
      summary.leave_out(i, loaded.limit, loaded.reason);
      continue;
    }
    const ConvertResult rc = write(i, loaded.page);
    if (rc != ConvertResult::kOk) return rc;
  }
  if (progress && !progress(count, count)) return ConvertResult::kStopped;
  return ConvertResult::kOk;
}

// The same with every page loaded.
template <typename WritePage>
ConvertResult for_each_loaded_page(FaxFile& fax, const ExportProgress& progress,
                                   ExportSummary& summary, WritePage&& write) {
  return for_each_page(
      fax, progress, summary, [](std::uint32_t) { return std::optional<ConvertResult>(); },
      std::forward<WritePage>(write));
}

}  // namespace orvane
