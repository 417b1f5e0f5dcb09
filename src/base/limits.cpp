#include "base/limits.h"

#include <cerrno>
#include <cstring>

namespace orvane::limits {

namespace {

thread_local Limit last_refusal = Limit::kNone;
thread_local std::uint32_t last_detail = 0;
thread_local std::string last_text;

// Names of the TIFF Compression values met in files that are not faxes.
std::string compression_name(std::uint32_t value) {
  switch (value) {
    case 0: return "not stated";
    case 5: return "LZW";
    case 6:
    case 7: return "JPEG";
    case 8:
    case 32946: return "Deflate";
    case 34712: return "JPEG 2000";
    default: return "unknown";
  }
}

std::string mebibytes(std::int64_t bytes) {
  return std::to_string(bytes / (1024 * 1024)) + " MiB";
}

}  // namespace

void note(Limit which, std::uint32_t detail) {
  last_refusal = which;
  last_detail = detail;
  last_text.clear();
}
void note_text(Limit which, std::string text) {
  last_refusal = which;
  last_detail = 0;
  last_text = std::move(text);
}
std::string noted_reason() {
  return last_text.empty() ? describe(last_refusal, last_detail) : last_text;
}
Limit noted() {
  return last_refusal;
}
std::uint32_t noted_detail() {
  return last_detail;
}
void clear_note() {
  last_refusal = Limit::kNone;
  last_detail = 0;
  last_text.clear();
}

void note_scratch_fault(int error) {
  if (error == ENOSPC || error == EDQUOT || error == EFBIG) {
    note_text(Limit::kFile, "the temporary folder is full");
  } else {
    note_text(Limit::kFile,
              std::string("the temporary folder cannot be written: ") + std::strerror(error));
  }
}

bool is_size_limit(Limit which) {
  return which == Limit::kPage || which == Limit::kCodedPage || which == Limit::kWholeFile;
}

std::string describe(Limit which, std::uint32_t detail) {
  const std::string side = std::to_string(kMaxPageSide);
  switch (which) {
    case Limit::kNone: return {};
    case Limit::kPage:
      return "larger than the largest page this program opens (" + side + " x " + side +
             " pixels, " + mebibytes(kMaxPageBytes) + ")";
    case Limit::kCodedPage:
      return "holds more coded data than the largest coded page this program reads (" +
             mebibytes(kMaxCodedPageBytes) + ")";
    case Limit::kWholeFile:
      return "larger than the largest file this program holds in memory (" +
             mebibytes(kMaxFileBytes) + ")";
    case Limit::kNotFaxCoding:
      return "Compression " + std::to_string(detail) + " (" + compression_name(detail) +
             ") is not a fax coding";
    case Limit::kNotBilevel:
      return "BitsPerSample " + std::to_string(detail) +
             ": a colour or grey picture, not a black-and-white fax";
    case Limit::kTiled: return "tiled; this program reads TIFF pages stored in strips only";
    case Limit::kNotFaxPage: return "not a black-and-white fax page";
    case Limit::kDamaged: return "damaged";
    case Limit::kFile: return "cannot be read";
  }
  return {};
}

}  // namespace orvane::limits
