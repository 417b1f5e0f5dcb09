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
inline constexpr int kExitLeftOut = 3;  // written, but pages were left out

// `text` with its control characters escaped ("\n", "\x1b"), so that a
// name or a page text can neither break a line in two nor steer the
// terminal. Other bytes (UTF-8 names) stay as they are.
std::string printable(const std::string& text);

// Prints "orvane-cli: FILE: message" on stderr, escaped as printable().
void report(const std::filesystem::path& file, const std::string& message);
// The same line as a string (for callers that print it themselves).
std::string report_line(const std::filesystem::path& file, const std::string& message);

// What is wrong with `path` as an input, with its exit code: it does not
// exist or cannot be read, is a folder, a FIFO, socket or device (never
// opened, so nothing waits on it), or is empty. `code` is kExitOk and
// `message` empty for a regular, readable, non-empty file.
struct InputProblem {
  int code = kExitOk;
  std::string message;
};
InputProblem check_input(const std::filesystem::path& path);
// check_input, reported; returns its code.
int checked_input(const std::filesystem::path& path);

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
  // Classifies and opens `path` (see FaxFile::open for `first`). False (and
  // reported) only when no scratch folder could be made; then check `format`
  // and `opened`.
  bool open(const std::filesystem::path& path,
            FaxFile::FirstPage first = FaxFile::FirstPage::kLoad);
};

// Why a file classified -1 or -2 is not read: "is a PDF document, not a fax
// file", "not a fax file", "a fax format this program does not read".
std::string not_read_reason(const std::filesystem::path& path, std::int32_t format);

// `otherwise`, or what names the limit the file's first page (or the whole
// file) hit.
std::string no_page_reason(const FaxFile& fax, const std::string& otherwise);

// What a user can still try when bare fax data gave no page: the decoding
// options the search did not use ("" when every one was given). The T.6
// hint names the bit order `t6_order` (1 or 2) in which the data decoded
// as T.6 from its first byte without a fault, else most significant bit
// first (as Ghostscript and ImageMagick write it).
std::string bare_data_hint(const DecodingParameters& parameters, std::uint8_t t6_order = 0);
// no_page_reason for a file that gave no page, with bare_data_hint when it
// was read as bare fax data.
std::string no_page_message(FaxFile& fax, std::int32_t format);

// A warning when bare data decoded so badly that its pages may be noise,
// naming the counts and what to try; else empty.
std::string doubtful_decoding_note(FaxFile& fax);

// "lists more than 65535 pages; the pages past page 65535 could not be read
// and were left out" when the file lists more pages than are read; else
// empty.
std::string cut_table_note(FaxFile& fax, std::int32_t format);

}  // namespace orvane::cli
