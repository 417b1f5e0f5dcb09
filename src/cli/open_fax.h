#pragma once
// Opening one input file for a command, with the error lines and exit codes
// every command shares.
#include <filesystem>
#include <string>

#include "core/fax_file.h"
#include "core/scratch_dir.h"

namespace orvane::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNoPage = 1;   // read, but no valid page / conversion failed
inline constexpr int kExitUsage = 2;    // usage error, missing or unreadable file

// Prints "orvane-cli: FILE: message" on stderr.
void report(const std::filesystem::path& file, const std::string& message);

// Checks that `path` exists and can be read; reports and returns false if not.
bool readable(const std::filesystem::path& path);

// A fax file record for one command: its own private scratch folder and the
// user's decoding parameters.
struct CommandFax {
  ScratchDir scratch;
  FaxFile fax;
  std::int32_t format = 0;
  bool opened = false;

  explicit CommandFax(const DecodingParameters& params) {
    fax.set_working_paths(scratch.paths());
    fax.set_parameters(params);
  }
  // Classifies and opens `path`. False (and reported) only when no scratch
  // folder could be made; then check `format` and `opened`.
  bool open(const std::filesystem::path& path);
};

// "page N does not decode", or "page N is larger than the largest page this
// program opens (...)" when a size limit refused it.
std::string page_failure(limits::Limit limit, int page);
// `otherwise`, or what names the limit the file's first page (or the whole
// file) hit.
std::string no_page_reason(const FaxFile& fax, const std::string& otherwise);

}  // namespace orvane::cli
