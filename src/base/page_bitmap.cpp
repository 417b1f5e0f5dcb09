#include "base/page_bitmap.h"

#include <algorithm>
#include <new>

#include "base/byte_order.h"
#include "base/limits.h"

namespace orvane {

void PageBitmap::release_pixels() {
  std::vector<std::uint8_t>().swap(pixels);
}

void PageBitmap::clear() {
  *this = PageBitmap{};
}

PageBitmap PageBitmap::fields_only() const {
  PageBitmap copy;
  static_cast<PageFields&>(copy) = *this;
  return copy;
}

Status PageBitmap::allocate_pixels(std::int64_t bytes, std::uint8_t fill) {
  if (bytes <= 0 || bytes > limits::kMaxPageBytes) {
    release_pixels();
    return pixels_refusal(bytes > 0 ? bytes : -1);
  }
  // A bitmap decoded into again (the same page, or one of about its size)
  // keeps its buffer: refilling memory already mapped is much cheaper than
  // new memory. A buffer far larger than needed is given back.
  const std::size_t need = std::size_t(bytes);
  if (pixels.capacity() < need || pixels.capacity() / 2 > need) release_pixels();
  try {
    pixels.assign(std::size_t(bytes), fill);
  } catch (const std::bad_alloc&) {
    release_pixels();
    return pixels_refusal(bytes);
  }
  return {};
}

std::int64_t checked_page_bytes(std::int64_t rows, std::int64_t row_bytes) {
  if (rows < 0 || row_bytes < 0) return -1;
  if (rows > limits::kMaxPageSide || row_bytes > limits::kMaxPageBytes ||
      rows * row_bytes > limits::kMaxPageBytes) {
    return -1;
  }
  return rows * row_bytes;
}

std::int64_t checked_page_size(std::int64_t width, std::int64_t rows, std::int64_t row_bytes) {
  if (width > limits::kMaxPageSide) return -1;
  return checked_page_bytes(rows, row_bytes);
}

std::array<std::uint8_t, kDescriptorSize> store_descriptor(const PageBitmap& p) {
  std::array<std::uint8_t, kDescriptorSize> b{};
  put_le32(&b[0], std::uint32_t(p.type));
  put_le32(&b[4], std::uint32_t(p.width));
  put_le32(&b[8], std::uint32_t(p.height));
  put_le32(&b[12], std::uint32_t(p.row_bytes));
  put_le16(&b[16], std::uint16_t(p.planes));
  put_le16(&b[18], std::uint16_t(p.bits_per_pixel));
  put_le32(&b[20], p.coded_length);
  put_le16(&b[24], p.xres);
  put_le16(&b[26], p.yres);
  b[28] = p.unit;
  b[29] = p.bit_order;
  b[30] = p.coding;
  b[31] = p.width_class;
  b[32] = p.invert;
  put_le32(&b[33], 0);
  return b;
}

void load_descriptor(PageBitmap& p, std::span<const std::uint8_t, kDescriptorSize> b) {
  p.release_pixels();
  p.type = std::int32_t(le32(&b[0]));
  p.width = std::int32_t(le32(&b[4]));
  p.height = std::int32_t(le32(&b[8]));
  p.row_bytes = std::int32_t(le32(&b[12]));
  p.planes = std::int16_t(le16(&b[16]));
  p.bits_per_pixel = std::int16_t(le16(&b[18]));
  p.coded_length = le32(&b[20]);
  p.xres = le16(&b[24]);
  p.yres = le16(&b[26]);
  p.unit = b[28];
  p.bit_order = b[29];
  p.coding = b[30];
  p.width_class = b[31];
  p.invert = b[32];
}

Dpi shown_dpi(const PageFields& page) {
  constexpr std::uint8_t kUnitPixel = 1, kUnitInch = 2, kUnitCentimetre = 3;
  std::uint32_t x = 0, y = 0;
  if (page.unit == kUnitPixel) {
    x = 200;
    y = 100;
  } else if (page.unit == kUnitInch) {
    x = page.xres;
    y = page.yres;
  } else if (page.unit == kUnitCentimetre) {
    // Truncated, as the view has always shown them.
    x = std::min<std::uint32_t>(std::uint32_t(page.xres * 2.54), 65535);
    y = std::min<std::uint32_t>(std::uint32_t(page.yres * 2.54), 65535);
  }
  return {std::uint16_t(x ? x : 100), std::uint16_t(y ? y : 100)};
}

}  // namespace orvane
