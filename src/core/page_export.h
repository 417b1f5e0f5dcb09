#pragma once
// What the exports of decoded pages share (PDF, and TIFF with every page
// re-encoded as G4): the progress callback with its stop request, and the
// walk over an open file's pages.
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>
#include <utility>

#include "base/atomic_output.h"
#include "core/fax_file.h"

namespace orvane {

// Called before each page with the pages done so far and the page count,
// and once more at the end; returning false asks the export to stop.
using ExportProgress = std::function<bool(std::uint32_t done, std::uint32_t total)>;

// What an export did with the pages.
struct ExportSummary {
  std::uint32_t pages_written = 0;
  std::uint32_t pages_kept_coded = 0;  // coded data written unchanged (PDF)
  std::uint32_t pages_skipped = 0;     // no page loaded, or it could not be coded
  std::error_code write_error;         // why the output could not be written, when known
};

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
// be loaded into the page bitmap and, when it loaded, given to
// `write(index)`. kOk, kStopped, or the first failure of either.
template <typename TryPage, typename WritePage>
ConvertResult for_each_page(FaxFile& fax, std::int32_t format, const ExportProgress& progress,
                            ExportSummary& summary, TryPage&& without_loading, WritePage&& write) {
  const std::uint32_t count = fax.page_count();
  for (std::uint32_t i = 0; i < count; ++i) {
    if (progress && !progress(i, count)) return ConvertResult::kStopped;
    const std::optional<ConvertResult> done = without_loading(i);
    if (done) {
      if (*done != ConvertResult::kOk) return *done;
      continue;
    }
    fax.load_page(format, i);
    if (!fax.page_valid()) {
      ++summary.pages_skipped;
      continue;
    }
    const ConvertResult rc = write(i);
    if (rc != ConvertResult::kOk) return rc;
  }
  if (progress && !progress(count, count)) return ConvertResult::kStopped;
  return ConvertResult::kOk;
}

// The same with every page loaded.
template <typename WritePage>
ConvertResult for_each_loaded_page(FaxFile& fax, std::int32_t format,
                                   const ExportProgress& progress, ExportSummary& summary,
                                   WritePage&& write) {
  return for_each_page(
      fax, format, progress, summary, [](std::uint32_t) { return std::optional<ConvertResult>(); },
      std::forward<WritePage>(write));
}

}  // namespace orvane
