#pragma once
// Why a file or a page shows nothing, in the core's words, for the line
// under "That's NOT a FAX file!", the page thumbnails and the messages of
// Save As and Export.
#include <QString>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <string>

#include "core/fax_file.h"

namespace orvane {
struct ExportSummary;
}  // namespace orvane

namespace orvane::app {

// Page `index` (from 0) of `record` as a value, never the page loaded
// before it. What an allocation or the system throws while reading it
// becomes the page's reason, so that the page shows as one that did not
// load and says why, wherever it is read (view, read-ahead, printing).
LoadedPage read_page_or_reason(FaxFile& record, int index);

// Empty when `fax` (opened from `path` as `format`) shows page `index`
// (from 0); else what kept it from showing it: "is a PDF document, not a
// fax file", "a fax format this program does not read", "page 3 does not
// decode: its directory cannot be read" and the like.
QString refusal_reason(const std::filesystem::path& path, std::int32_t format, const FaxFile& fax,
                       int index);

// What an export left out, for its message box: "Pages 2 and 5 could not be
// read and were left out." and, on a line of its own, why the first did not
// load; then a line for each page written without its text layer ("Page
// 3 has no text layer: ..."). Empty when nothing was left out or lacks words.
QString left_out_text(const ExportSummary& summary);
// Why the first page an export left out did not load, as a sentence ("Page
// 2 does not decode: ..."); empty when nothing is known.
QString first_left_out_reason(const ExportSummary& summary);

// What an exception that reached the viewer says, in words a user reads:
// "not enough memory", the system's reason, or the exception's own text.
std::string exception_reason(const std::exception& e);

}  // namespace orvane::app
