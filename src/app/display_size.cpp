#include "app/display_size.h"

#include <cstdint>

namespace orvane::app {

namespace {

constexpr std::uint8_t kUnitPixel = 1;
constexpr std::uint8_t kUnitInch = 2;
constexpr std::uint8_t kUnitCentimetre = 3;

// Sizes in hundredths of an inch from pixels and dots per inch; the
// remainder is dropped. 64-bit so that a 65535-pixel side cannot overflow.
int hundredths(std::int32_t pixels, std::uint32_t dpi) {
  return int(std::int64_t(pixels) * 100 / std::int64_t(dpi));
}

// Dots per centimetre to dots per inch, truncated; kept within the field.
std::uint16_t per_inch(std::uint16_t per_cm) {
  const double dpi = double(per_cm) * 2.54;
  return dpi >= 65535.0 ? std::uint16_t(65535) : std::uint16_t(dpi);
}

}  // namespace

DisplaySize display_size(PageBitmap& page, float scaling) {
  DisplaySize size;
  size.source_width = page.width;
  size.source_height = page.height;
  int width = page.width;
  int height = page.height;

  if (page.unit == kUnitPixel || page.unit == kUnitInch || page.unit == kUnitCentimetre) {
    if (page.unit == kUnitPixel) {
      page.xres = 200;
      page.yres = 100;
    } else if (page.unit == kUnitCentimetre) {
      page.xres = per_inch(page.xres);
      page.yres = per_inch(page.yres);
    }
    if (page.xres != 0) width = hundredths(page.width, page.xres);
    if (page.yres != 0) height = hundredths(page.height, page.yres);
  }
  page.unit = kUnitInch;

  if (width == 0) width = 100;
  if (height == 0) height = 100;
  size.width = int(float(width) * scaling);
  size.height = int(float(height) * scaling);
  return size;
}

}  // namespace orvane::app
