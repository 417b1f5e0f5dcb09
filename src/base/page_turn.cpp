#include "base/page_turn.h"

#include <algorithm>

namespace orvane {

namespace {

inline bool bit(const std::uint8_t* row, std::int32_t x) {
  return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

}  // namespace

PageBitmap turned(const PageBitmap& page, int quarter_turns) {
  const int turns = ((quarter_turns % 4) + 4) % 4;
  PageBitmap out = page.fields_only();
  if (turns % 2 == 1) {
    std::swap(out.width, out.height);
    std::swap(out.xres, out.yres);
  }
  out.row_bytes = row_bytes_for(out.width);
  if (!page.has_pixels() || !page.is_valid() || std::int64_t(page.row_bytes) * 8 < page.width ||
      page.pixels.size() < std::size_t(page.height) * std::size_t(page.row_bytes))
    return out;
  // White everywhere, padding included: only black pixels are cleared below.
  if (!out.allocate_pixels(std::int64_t(out.height) * out.row_bytes, 0xFF)) return out;
  const std::int32_t w = page.width, h = page.height;
  for (std::int32_t y = 0; y < out.height; ++y) {
    std::uint8_t* dst = out.row(y);
    for (std::int32_t x = 0; x < out.width; ++x) {
      // Where the pixel now at (x, y) stood on the page.
      std::int32_t sx = x, sy = y;
      switch (turns) {
        case 1: sx = y, sy = h - 1 - x; break;
        case 2: sx = w - 1 - x, sy = h - 1 - y; break;
        case 3: sx = w - 1 - y, sy = x; break;
        default: break;
      }
      if (!bit(page.row(sy), sx)) dst[x >> 3] &= std::uint8_t(~(0x80 >> (x & 7)));
    }
  }
  return out;
}

}  // namespace orvane
