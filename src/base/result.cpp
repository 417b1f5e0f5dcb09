#include "base/result.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/page_bitmap.h"

namespace orvane {

Refusal pixels_refusal(std::int64_t bytes) {
  if (bytes < 0 || bytes > limits::kMaxPageBytes) return Refusal(limits::Limit::kPage);
  return Refusal(limits::Limit::kMemory);
}

Refusal missing_pixels(std::int64_t width, std::int64_t rows) {
  if (width < 1 || rows < 1) return Refusal(limits::Limit::kDamaged, "no row of it decodes");
  return pixels_refusal(checked_page_size(
      width, rows, row_bytes_for(std::int32_t(std::min<std::int64_t>(width, 1 << 30)))));
}

Refusal scratch_refusal(int error) {
  if (error == ENOSPC || error == EDQUOT || error == EFBIG)
    return Refusal(limits::Limit::kFile, "the temporary folder is full");
  return Refusal(limits::Limit::kFile,
                 std::string("the temporary folder cannot be written: ") + std::strerror(error));
}

}  // namespace orvane
