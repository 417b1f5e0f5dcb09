#include "cli/open_fax.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <vector>

#include "base/binary_file.h"
#include "base/coding_mode.h"
#include "core/classify.h"
#include "core/format_registry.h"

namespace orvane::cli {

namespace {

const char* special_kind(mode_t mode) {
  if (S_ISFIFO(mode)) return "is a FIFO (named pipe), not a file";
  if (S_ISSOCK(mode)) return "is a socket, not a file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a file";
  return "is not a regular file";
}

}  // namespace

std::string printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c != 0x7F) {
      out += ch;
      continue;
    }
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: {
        static constexpr char kHex[] = "0123456789abcdef";
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
      }
    }
  }
  return out;
}

std::string report_line(const std::filesystem::path& file, const std::string& message) {
  return "orvane-cli: " + printable(file.string()) + ": " + printable(message) + "\n";
}

void report(const std::filesystem::path& file, const std::string& message) {
  // What went to stdout before comes first, also when both go to one file.
  std::cout.flush();
  std::cerr << report_line(file, message);
}

InputProblem check_input(const std::filesystem::path& path) {
  // stat, not open: opening a FIFO would wait for a writer.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {kExitUsage, std::strerror(errno)};
  if (S_ISDIR(st.st_mode)) return {kExitUsage, "is a folder, not a file"};
  if (!S_ISREG(st.st_mode)) return {kExitUsage, special_kind(st.st_mode)};
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {kExitUsage, std::strerror(errno)};
  ::close(fd);
  if (st.st_size == 0) return {kExitNoPage, "is empty"};
  return {};
}

int checked_input(const std::filesystem::path& path) {
  const InputProblem problem = check_input(path);
  if (problem.code != kExitOk) report(path, problem.message);
  return problem.code;
}

bool CommandFax::open(const std::filesystem::path& path, FaxFile::FirstPage first) {
  if (!scratch.ok()) {
    report(path, "cannot create a scratch folder in the temporary folder");
    return false;
  }
  format = classify(path);
  opened = false;
  if (format == kFormatNotFax || format == kFormatUnsupported) return true;
  opened = fax.open(path, format, nullptr, first) == OpenResult::kOk;
  return true;
}

std::string not_read_reason(const std::filesystem::path& path, std::int32_t format) {
  if (format == kFormatUnsupported) return "a fax format this program does not read";
  std::array<std::uint8_t, kSignatureBytes> head{};
  BinaryFile file;
  std::size_t got = 0;
  if (file.open(path)) got = file.read_at(0, head);
  const std::string_view kind = foreign_kind(std::span<const std::uint8_t>(head.data(), got));
  return kind.empty() ? "not a fax file" : "is " + std::string(kind) + ", not a fax file";
}

std::string no_page_reason(const FaxFile& fax, const std::string& otherwise) {
  const std::optional<Refusal>& why = fax.page_refusal();
  if (!why || why->cause().empty()) return otherwise;
  switch (why->limit) {
    case limits::Limit::kWholeFile: return "is " + why->cause();
    case limits::Limit::kFile: return why->cause();
    default: return "no page could be read: " + why->for_page(1);
  }
}

std::string bare_data_hint(const DecodingParameters& p, std::uint8_t t6_order) {
  std::vector<std::string> tries;
  // Without a run of 0xFF bytes in front, T.6 data is only found when it is
  // taken from the first byte. Nearly any data decodes as T.6 rows, so the
  // order it decoded in without a fault is a suggestion, not a finding.
  const char* order = t6_order == kBitOrderLsbFirst ? "lsb" : "msb";
  if (!p.raw_file || (t6_order != 0 && p.bit_order != t6_order)) {
    tries.emplace_back(std::string("with --raw-t6 --bit-order ") + order +
                       " (Group 4 data without 0xFF bytes in front, as Ghostscript and "
                       "ImageMagick write it)");
  }
  if (!p.nonstandard_widths) {
    tries.emplace_back("without --no-nonstandard-widths (rows of other widths)");
  } else if (p.min_width > 100) {
    tries.emplace_back("with --min-width 100 (rows of " + std::to_string(p.min_width) +
                       " pixels or fewer)");
  }
  if (p.threshold > 10) {
    tries.emplace_back("with --threshold 10 (fewer than " + std::to_string(p.threshold) +
                       " rows alike)");
  }
  if (tries.empty()) return {};
  std::string hint = "as bare fax data it may read ";
  for (std::size_t i = 0; i < tries.size(); ++i) {
    if (i > 0) hint += i + 1 == tries.size() ? ", or " : ", ";
    hint += tries[i];
  }
  return hint;
}

std::string no_page_message(FaxFile& fax, std::int32_t format) {
  const std::string reason = no_page_reason(fax, "no page could be read (not a fax, or damaged)");
  if (format != kFormatRawFax || (fax.page_refusal() && !fax.page_refusal()->cause().empty()))
    return reason;
  const std::string hint = bare_data_hint(fax.parameters(), fax.raw_t6_order_from_first_byte());
  return hint.empty() ? reason : reason + "; " + hint;
}

std::string doubtful_decoding_note(FaxFile& fax) {
  const FaxFile::RawDecoding d = fax.raw_decoding();
  if (!d.doubtful) return {};
  std::string note = "warning: decoding lost its way " + std::to_string(d.troubles) +
                     (d.troubles == 1 ? " time in " : " times in ") + std::to_string(d.rows) +
                     " rows";
  if (fax.page().width > 0) note += " at width " + std::to_string(fax.page().width);
  note += ": the pages may be noise";
  const DecodingParameters& p = fax.parameters();
  const std::uint8_t t6_order = p.raw_file ? 0 : fax.raw_t6_order_from_first_byte();
  if (t6_order != 0) {
    note += "; it may read as Group 4 data from its first byte, with --raw-t6 --bit-order ";
    note += t6_order == kBitOrderLsbFirst ? "lsb" : "msb";
  } else if (p.raw_file) {
    note += "; try another --min-width for the width, --bit-order, or no --raw-t6";
  } else {
    note += "; try other decoding options (--bit-order, --raw-t6, --min-width)";
  }
  return note;
}

std::string cut_table_note(FaxFile& fax, std::int32_t format) {
  if (format < 0 || !fax.pages_cut(format)) return {};
  const std::string most = std::to_string(limits::kMaxPages);
  return "lists more than " + most + " pages; the pages past page " + most +
         " could not be read and were left out";
}

}  // namespace orvane::cli
