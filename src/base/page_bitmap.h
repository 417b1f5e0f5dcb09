#pragma once
// One decoded page, one bit per pixel: rows top first, each row starting on a
// byte boundary, leftmost pixel in the most significant bit, a set bit white.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/result.h"

namespace orvane {

// What a page is, without its pixels.
struct PageFields {
  std::int32_t type = 0;       // always 0
  std::int32_t width = 0;      // pixels per row
  std::int32_t height = 0;     // rows
  std::int32_t row_bytes = 0;  // bytes per row
  std::int16_t planes = 0;
  std::int16_t bits_per_pixel = 0;
  std::uint32_t coded_length = 0;  // bytes of coded data the page came from
  std::uint16_t xres = 0;          // dots per unit across
  std::uint16_t yres = 0;          // dots per unit down
  std::uint8_t unit = 0;           // TIFF ResolutionUnit: 1 none, 2 inch, 3 cm
  std::uint8_t bit_order = 0;      // 1 MSB first, 2 LSB first
  std::uint8_t coding = 0;         // CodingMode
  std::uint8_t width_class = 0;    // 1, 2 or 3
  std::uint8_t invert = 0;         // photometric the page was decoded with
};

struct PageBitmap : PageFields {
  std::vector<std::uint8_t> pixels;  // empty when there is no page

  bool has_pixels() const { return !pixels.empty(); }
  // A page counts as loaded when it has at least one pixel in each direction.
  bool is_valid() const { return width >= 1 && height >= 1; }

  // Frees the pixels (the "no pixel data" state).
  void release_pixels();
  // Every field to 0 and no pixels.
  void clear();
  // A copy of the fields without the pixels.
  PageBitmap fields_only() const;

  // Replaces the pixels by `bytes` bytes of `fill`. Refuses (no pixels) a
  // size above the page limit or one the allocator cannot give.
  Status allocate_pixels(std::int64_t bytes, std::uint8_t fill = 0);

  // Row r (no bounds check beyond the debug assert; callers keep r < height).
  std::uint8_t* row(std::int32_t r) {
    return pixels.data() + std::size_t(r) * std::size_t(row_bytes);
  }
  const std::uint8_t* row(std::int32_t r) const {
    return pixels.data() + std::size_t(r) * std::size_t(row_bytes);
  }
};

// The resolution a page is shown and written at, in dots per inch: pages
// in pixel units are 200 x 100 dpi, centimetre pages are converted, and a
// resolution that is missing (0, or no known unit) makes a pixel a
// hundredth of an inch. The view, the printer and every output use it, so a
// page keeps one aspect everywhere.
struct Dpi {
  std::uint16_t x = 100;
  std::uint16_t y = 100;
};
Dpi shown_dpi(const PageFields& page);

// Bytes per row for a width: (width + 7) / 8, computed without overflow.
inline std::int32_t row_bytes_for(std::int32_t width) {
  return width <= 0 ? 0 : std::int32_t((std::int64_t(width) + 7) / 8);
}

// Checked page size: rows x row bytes, or -1 when either is negative or the
// product passes the page limit (limits::Limit::kPage).
std::int64_t checked_page_bytes(std::int64_t rows, std::int64_t row_bytes);
// The same, also refusing a width above the largest page side.
std::int64_t checked_page_size(std::int64_t width, std::int64_t rows, std::int64_t row_bytes);

// The 37-byte stored form of the bitmap's fields (the row file header):
// little-endian, in field order, pixel pointer stored as 0.
inline constexpr std::size_t kDescriptorSize = 37;
std::array<std::uint8_t, kDescriptorSize> store_descriptor(const PageBitmap& page);
// Loads every field but the pixels from a stored descriptor; pixels are freed.
void load_descriptor(PageBitmap& page, std::span<const std::uint8_t, kDescriptorSize> bytes);

}  // namespace orvane
