#include "base/limits.h"

namespace orvane::limits {

namespace {

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
    case Limit::kMemory: return "needs more memory than there is";
  }
  return {};
}

}  // namespace orvane::limits
