#include "core/limits.h"

namespace orvane::limits {

namespace {

thread_local Limit last_refusal = Limit::kNone;

std::string mebibytes(std::int64_t bytes) {
  return std::to_string(bytes / (1024 * 1024)) + " MiB";
}

}  // namespace

void note(Limit which) {
  last_refusal = which;
}
Limit noted() {
  return last_refusal;
}
void clear_note() {
  last_refusal = Limit::kNone;
}

std::string describe(Limit which) {
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
  }
  return {};
}

}  // namespace orvane::limits
