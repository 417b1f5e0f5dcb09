#pragma once
// What the exports of decoded pages share (PDF, and TIFF with every page
// re-encoded as G4): the progress callback with its stop request, and the
// walk over an open file's pages.
#include <cerrno>
#include <cstdint>
#include <functional>
#include <system_error>

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

// Loads every page of the open file into its page bitmap in turn and calls
// `write(index)` for each that loaded. kConvertOk, kConvertStopped, or the
// first negative result of `write`.
template <typename WritePage>
int for_each_loaded_page(FaxFile& fax, std::int32_t format, const ExportProgress& progress,
                         ExportSummary& summary, WritePage&& write) {
  const std::uint32_t count = fax.page_count();
  for (std::uint32_t i = 0; i < count; ++i) {
    if (progress && !progress(i, count)) return kConvertStopped;
    fax.load_page(format, i);
    if (!fax.page_valid()) {
      ++summary.pages_skipped;
      continue;
    }
    const int rc = write(i);
    if (rc < 0) return rc;
  }
  if (progress && !progress(count, count)) return kConvertStopped;
  return 0;
}

}  // namespace orvane
