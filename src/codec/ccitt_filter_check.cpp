#include "codec/ccitt_filter_check.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "base/coding_mode.h"
#include "codec/row_decoders.h"

namespace orvane::codec {

namespace {

bool same_row(const std::uint8_t* a, const std::uint8_t* b, std::int32_t width) {
  const std::size_t whole = std::size_t(width / 8);
  if (std::memcmp(a, b, whole) != 0) return false;
  if (width % 8 == 0) return true;
  const auto mask = std::uint8_t(0xFF00 >> (width % 8));
  return ((a[whole] ^ b[whole]) & mask) == 0;
}

}  // namespace

bool check_ccitt_filter_stream(std::span<const std::uint8_t> data, std::uint8_t coding,
                               const PageBitmap& page, CcittFilterParameters& out) {
  CcittFilterCheck check;
  return check.check(data, coding, page, out);
}

bool CcittFilterCheck::check(std::span<const std::uint8_t> data, std::uint8_t coding,
                             const PageBitmap& page, CcittFilterParameters& out) {
  if (!page.is_valid() || !page.has_pixels() || page.row_bytes != row_bytes_for(page.width) ||
      page.pixels.size() < std::size_t(page.height) * std::size_t(page.row_bytes) ||
      page.invert > 1)
    return false;
  return run(data, coding, page.width, page.height, page.invert, &page, out);
}

bool CcittFilterCheck::check_clean(std::span<const std::uint8_t> data, std::uint8_t coding,
                                   std::int32_t width, std::int32_t rows, std::uint8_t invert,
                                   CcittFilterParameters& out, std::span<std::uint8_t> pixels) {
  if (width < 1 || rows < 1 || invert > 1 ||
      checked_page_size(width, rows, row_bytes_for(width)) <= 0)
    return false;
  if (!pixels.empty() && pixels.size() < std::size_t(rows) * std::size_t(row_bytes_for(width)))
    return false;
  return run(data, coding, width, rows, invert, nullptr, out, pixels);
}

bool CcittFilterCheck::run(std::span<const std::uint8_t> data, std::uint8_t coding,
                           std::int32_t width, std::int32_t rows, std::uint8_t invert,
                           const PageBitmap* page, CcittFilterParameters& out,
                           std::span<std::uint8_t> pixels) {
  if (coding != kCodingMhByte && coding != kCodingT4_1D && coding != kCodingT4_2D &&
      coding != kCodingT6)
    return false;
  if (data.empty() || data.size() > 0x7FFFFFFF) return false;

  CcittFilterParameters params;
  params.k = coding == kCodingT6 ? -1 : 0;
  params.encoded_byte_align = coding == kCodingMhByte;
  params.end_of_line = coding == kCodingT4_1D || coding == kCodingT4_2D;
  params.black_is_1 = invert == 1;
  params.end_of_block = false;
  params.columns = width;
  params.rows = rows;

  const std::size_t row_bytes = std::size_t(row_bytes_for(width));
  try {
    if (row_.size() < row_bytes) row_.resize(row_bytes);
  } catch (const std::bad_alloc&) {
    return false;
  }
  // Every row must decode cleanly to the width and equal the page's row; a
  // filter reads rows run by run onto a cleared row, as this painter does.
  auto rows_match = [&](auto& dec, auto&& each) {
    for (std::int32_t y = 0; y < rows; ++y) {
      std::uint8_t* row = pixels.empty() ? row_.data() : pixels.data() + std::size_t(y) * row_bytes;
      std::fill_n(row, row_bytes, std::uint8_t(0));
      if (dec.next_row(RunPainter(row, std::uint32_t(row_bytes))) != RowStatus::kRow ||
          !each(dec) || (page && !same_row(row, page->row(y), width)))
        return false;
    }
    return true;
  };
  auto any = [](auto&) { return true; };
  const BitReader in(data, false);
  bool ok = false;
  switch (coding) {
    case kCodingMhByte: {
      MhDecoder dec(in, width, invert, MhRows::kByteAligned);
      ok = rows_match(dec, any);
      break;
    }
    case kCodingT4_1D: {
      MhDecoder dec(in, width, invert, MhRows::kEolThenWidth);
      ok = rows_match(dec, any);
      break;
    }
    case kCodingT4_2D: {
      // K grows with the longest group of rows that starts with a
      // one-dimensional row; the first row has no reference a filter would
      // agree on.
      MrDecoder dec(in, width, invert, MrRows::kEolThenWidth);
      std::int32_t group = 0;
      ok = dec.allocated() && rows_match(dec, [&](MrDecoder& d) {
             group = d.tag() == 1 ? 1 : group == 0 ? 0 : group + 1;
             params.k = std::max(params.k, group);
             return group > 0;
           });
      break;
    }
    default: {
      T6Decoder dec(in, width, invert);
      ok = dec.allocated() && rows_match(dec, any);
      break;
    }
  }
  if (!ok) return false;
  out = params;
  return true;
}

}  // namespace orvane::codec
