#include "codec/ccitt_filter_check.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "base/coding_mode.h"
#include "codec/decode_1d.h"
#include "codec/decode_2d.h"
#include "codec/decode_common.h"

namespace orvane::codec {

namespace {

// Writes one run and records it on `line` (the check reads rows run by run,
// as a filter does; it is not on the decoding path).
void put_run(RowWriter& writer, RunList* line, std::int64_t run, int skip) {
  if (run < 0) {
    writer.byte_index = writer.row_length;
  } else {
    write_run(writer, std::uint32_t(std::min<std::int64_t>(run, 0xFFFFFFFF)), skip != 0);
  }
  record_run(line, run);
}

// Zero bits (fill, T.4 4.1.2), then an EOL: at least eleven zeros and a 1.
// Anything else between rows is data a filter might read differently.
bool read_eol(FaxCodec& codec) {
  int zeros = 0;
  for (;;) {
    const int b = codec.read_bits(1);
    if (b < 0) return false;
    if (b == 1) return zeros >= 11;
    ++zeros;
  }
}

// One Modified Huffman row that ends where its runs reach the width, as a
// filter reads it (it does not look for the EOL to end a row). The runs
// are written to `writer` and recorded on `line`.
bool decode_1d_row(FaxCodec& codec, RowWriter& writer, RunList* line) {
  std::int64_t total = 0;
  int colour = 0;
  while (total < codec.width) {
    std::int64_t run = 0;
    for (;;) {
      const int code = decode_code(codec, colour);
      if (code < 0) return false;
      run += code;
      if (!is_makeup(code)) break;
    }
    put_run(writer, line, run, colour ^ codec.invert);
    total += run;
    colour ^= 1;
  }
  return total == codec.width;
}

// One row of the page's coding; K grows with the longest group of rows
// that starts with a one-dimensional row.
bool decode_row(FaxCodec& codec, RowWriter& writer, LinePair& lines, std::uint8_t coding,
                std::int32_t& group, CcittFilterParameters& params) {
  lines.clear_coding();
  switch (coding) {
    case kCodingMhByte: {
      if (!decode_1d_row(codec, writer, nullptr)) return false;
      codec.align(false);
      return true;
    }
    case kCodingT4_1D: return read_eol(codec) && decode_1d_row(codec, writer, nullptr);
    case kCodingT4_2D: {
      if (!read_eol(codec)) return false;
      const int tag = codec.read_bits(1);
      if (tag < 0) return false;
      if (tag == 1) {
        group = 1;
        if (!decode_1d_row(codec, writer, &lines.coding())) return false;
      } else {
        // The first row has no reference a filter would agree on.
        if (group == 0) return false;
        ++group;
        if (decode_2d_row(codec, writer, lines, true) != codec.width) return false;
      }
      params.k = std::max(params.k, group);
      lines.accept_coding();
      return true;
    }
    case kCodingT6: {
      if (decode_2d_row(codec, writer, lines, true) != codec.width) return false;
      lines.accept_coding();
      return true;
    }
    default: return false;
  }
}

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

  FaxCodec codec;
  codec.configure(data, kBitOrderMsbFirst, coding, invert);
  codec.set_size(width, rows);
  const std::size_t row_bytes = std::size_t(row_bytes_for(width));
  const std::uint32_t runs = std::uint32_t(width) + 2;
  try {
    if (row_.size() < row_bytes) row_.resize(row_bytes);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (line_runs_ < runs) {
    if (!lines_.allocate(runs)) {
      line_runs_ = 0;
      return false;
    }
    line_runs_ = runs;
  }
  lines_.reset_reference(width);  // T.6: the imaginary white line
  RowWriter writer;
  std::int32_t group = 0;
  for (std::int32_t y = 0; y < rows; ++y) {
    std::uint8_t* row = pixels.empty() ? row_.data() : pixels.data() + std::size_t(y) * row_bytes;
    std::fill_n(row, row_bytes, std::uint8_t(0));
    writer.start(row, std::uint32_t(row_bytes));
    if (!decode_row(codec, writer, lines_, coding, group, params)) return false;
    if (page && !same_row(row, page->row(y), width)) return false;
  }
  out = params;
  return true;
}

}  // namespace orvane::codec
