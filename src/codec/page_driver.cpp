#include "codec/page_driver.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "codec/decode_1d.h"
#include "codec/decode_2d.h"
#include "codec/page_rows.h"
#include "base/coding_mode.h"
#include "base/limits.h"

namespace orvane::codec {

namespace {

// Rows x row bytes of a bitmap, or 0 when it has no usable pixels.
std::size_t page_bytes(const PageBitmap& page) {
  if (page.pixels.empty() || page.height <= 0 || page.row_bytes <= 0) return 0;
  const std::size_t n = std::size_t(page.height) * std::size_t(page.row_bytes);
  return n <= page.pixels.size() ? n : 0;
}

}  // namespace

int decode_by_coding_mode(FaxCodec& codec, PageBitmap& page) {
  switch (codec.coding_mode) {
    case kCodingMhByte: return decode_aligned_page(codec, page, false);
    case kCodingMhWord: return decode_aligned_page(codec, page, true);
    case kCodingT4_1D: return decode_eol_page(codec, page);
    case kCodingT4_2D: return decode_mr_page(codec, page);
    default: return -1;
  }
}

int decode_t6_page(FaxCodec& codec, PageBitmap& page) {
  // TIFF 6.0 T6Options bit 1 (uncompressed mode allowed) is fine, we report
  // such rows as bad codes; bit 0 is unused and must be 0.
  const unsigned options = codec.t6_options & 3u;
  if (options == 1 || options == 3) return -1;
  return decode_t6_rows(codec, page);
}

int decode_into(FaxCodec& codec, const RowTarget& target, bool t6, std::int32_t& rows) {
  rows = 0;
  if (target.rows == nullptr || target.height <= 0 || codec.width <= 0 ||
      target.row_bytes < row_bytes_for(codec.width)) {
    return -1;
  }
  codec.height = target.height;
  PageRows into(target, codec.invert);
  std::int64_t decoded = 0;
  int r = -1;
  if (t6) {
    const unsigned options = codec.t6_options & 3u;  // as decode_t6_page
    if (options == 1 || options == 3) return -1;
    r = t6_rows(codec, into, decoded);
  } else {
    switch (codec.coding_mode) {
      case kCodingMhByte: r = aligned_rows(codec, into, false, decoded); break;
      case kCodingMhWord: r = aligned_rows(codec, into, true, decoded); break;
      case kCodingT4_1D: r = eol_rows(codec, into, false, false, decoded); break;
      case kCodingT4_2D: r = mr_rows(codec, into, decoded); break;
      default: return -1;
    }
  }
  decoded = std::min<std::int64_t>(decoded, target.height);
  into.release_after(decoded);
  rows = std::int32_t(decoded);
  return r;
}

void configure_for_t6(FaxCodec& codec, std::span<const std::uint8_t> bytes, std::uint8_t order,
                      std::uint8_t t6_options, std::uint8_t invert_flag, std::uint8_t flag_number) {
  codec.configure(bytes, order, kCodingUnknown, invert_flag);
  codec.t6_options = t6_options;
  codec.flag_number = flag_number;
}

int flip_vertically(PageBitmap& page) {
  const std::size_t n = page_bytes(page);
  if (n == 0) return -1;
  std::vector<std::uint8_t> flipped;
  try {
    flipped.resize(n);
  } catch (const std::bad_alloc&) {
    return -2;
  }
  const std::size_t rb = std::size_t(page.row_bytes);
  const std::size_t rows = std::size_t(page.height);
  for (std::size_t r = 0; r < rows; ++r) {
    std::memcpy(flipped.data() + r * rb, page.pixels.data() + (rows - 1 - r) * rb, rb);
  }
  page.pixels.swap(flipped);
  return 0;
}

// Moves a row `shift` bits towards its start; bits that enter at the end
// are 0. In place: each byte reads only bytes at or after itself.
void shift_row_left(std::uint8_t* row, std::size_t bytes, std::size_t shift) {
  const std::size_t whole = shift / 8;
  const unsigned bits = unsigned(shift % 8);
  for (std::size_t j = 0; j < bytes; ++j) {
    const std::size_t from = j + whole;
    const unsigned hi = from < bytes ? row[from] : 0u;
    const unsigned lo = from + 1 < bytes ? row[from + 1] : 0u;
    row[j] = bits ? std::uint8_t((hi << bits) | (lo >> (8 - bits))) : std::uint8_t(hi);
  }
}

int mirror(PageBitmap& page) {
  if (page_bytes(page) == 0) return -1;
  const std::size_t rb = std::size_t(page.row_bytes);
  // Reversing whole bytes puts the padding bits after the last pixel at the
  // start of the row; the row is then moved back over them.
  const std::size_t row_bits = rb * 8;
  const std::size_t width = std::size_t(std::max(page.width, 0));
  const std::size_t padding = width < row_bits ? row_bits - width : 0;
  for (std::int32_t r = 0; r < page.height; ++r) {
    std::uint8_t* row = page.row(r);
    for (std::size_t j = 0; j < rb / 2; ++j) {
      const std::uint8_t left = row[j];
      row[j] = reverse_bits(row[rb - 1 - j]);
      row[rb - 1 - j] = reverse_bits(left);
    }
    if (rb % 2) row[rb / 2] = reverse_bits(row[rb / 2]);
    if (padding) shift_row_left(row, rb, padding);
  }
  return 0;
}

int invert(PageBitmap& page) {
  const std::size_t n = page_bytes(page);
  if (n == 0) return -1;
  for (std::size_t i = 0; i < n; ++i) page.pixels[i] = std::uint8_t(~page.pixels[i]);
  return 0;
}

}  // namespace orvane::codec
