#pragma once
// Opening one input file for a command, with the error lines and exit codes
// every command shares.
#include <filesystem>
#include <string>

#include "core/fax_file.h"

namespace orvane::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNoPage = 1;   // read, but no valid page / conversion failed
inline constexpr int kExitUsage = 2;    // usage error, missing or unreadable file

// Prints "orvane-cli: FILE: message" on stderr.
void report(const std::filesystem::path& file, const std::string& message);

// Checks that `path` exists and can be read; reports and returns false if not.
bool readable(const std::filesystem::path& path);

// Classifies and opens `path` into `fax` (which the caller has given working
// paths and parameters). Returns the format number; `opened` tells whether
// the file could be opened at all.
std::int32_t open_fax(FaxFile& fax, const std::filesystem::path& path, bool& opened);

// "page N does not decode", or "page N is larger than the largest page this
// program opens (...)" when a size limit refused it.
std::string page_failure(limits::Limit limit, int page);
// `otherwise`, or what names the limit the file's first page (or the whole
// file) hit.
std::string no_page_reason(const FaxFile& fax, const std::string& otherwise);

}  // namespace orvane::cli
