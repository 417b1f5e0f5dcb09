#include "codec/page_driver.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "base/coding_mode.h"
#include "base/limits.h"
#include "codec/page_rows.h"
#include "codec/row_decoders.h"

namespace orvane::codec {

namespace {

// Rows x row bytes of a bitmap, or 0 when it has no usable pixels.
std::size_t page_bytes(const PageBitmap& page) {
  if (page.pixels.empty() || page.height <= 0 || page.row_bytes <= 0) return 0;
  const std::size_t n = std::size_t(page.height) * std::size_t(page.row_bytes);
  return n <= page.pixels.size() ? n : 0;
}

}  // namespace

bool setup_page(FaxCodec& codec, PageBitmap& page, std::uint8_t coding) {
  page.type = 0;
  page.width = codec.width;
  page.height = codec.height;
  page.row_bytes = row_bytes_for(codec.width);
  page.planes = 1;
  page.bits_per_pixel = 1;
  page.coded_length = std::uint32_t(std::max(codec.length, 0));
  const WidthClass wc = width_class(codec.width);
  page.xres = wc.dpi;
  page.width_class = wc.paper;
  page.yres = 100;
  page.unit = 2;
  page.bit_order = codec.bit_order;
  page.coding = coding;
  page.invert = codec.invert;
  const std::int64_t bytes = checked_page_size(codec.width, codec.height, page.row_bytes);
  if (bytes <= 0 || !page.allocate_pixels(bytes, page_background(codec.invert))) {
    page.release_pixels();
    page.height = 0;
    return false;
  }
  return true;
}

namespace {

// White rows come in runs on most pages: taken together, their rows are
// white already.
template <class Decoder>
bool white_rows(Decoder& dec, PageRows& target, std::int64_t& rows) {
  const std::int64_t n = dec.take_white_rows();
  target.white_rows(rows, n);
  rows += n;
  return n > 0;
}

// How a page's rows went: how they ended and the rows given up (kBad).
struct PageEnd {
  RowStatus last = RowStatus::kEnd;
  int bad = 0;
};

// The rows of a page, whatever the coding: only rows of the width count
// (so RTC and fill add none); after a row that went wrong the decoder
// finds its own way back, or ends. Leaves the rows decoded in `rows`.
template <class Decoder>
PageEnd page_rows(Decoder& dec, PageRows& target, std::int64_t& rows) {
  PageEnd end;
  for (;;) {
    if (white_rows(dec, target, rows)) continue;
    const RowStatus s = dec.next_row(target.start(rows));
    if (s == RowStatus::kRow || s == RowStatus::kLastRow) ++rows;
    if (s == RowStatus::kBad) ++end.bad;
    if (s == RowStatus::kEnd || s == RowStatus::kLastRow) {
      end.last = s;
      return end;
    }
  }
}

bool t6_options_refused(const FaxCodec& codec) {
  // TIFF 6.0 T6Options bit 1 (uncompressed mode allowed) is fine, such rows
  // are bad codes; bit 0 is unused and must be 0.
  const unsigned options = codec.t6_options & 3u;
  return options == 1 || options == 3;
}

// The rows of the codec's coding (T.6 with `t6`; MH rows ending at the
// width with `prefixed`, a word around them with `word`); -2 for a coding
// mode no decoder takes.
int decode_rows(FaxCodec& codec, PageRows& target, bool t6, std::int64_t& rows,
                bool prefixed = false, bool word = false) {
  rows = 0;
  const BitReader in = codec.reader();
  if (t6) {
    T6Decoder dec(in, codec.width, codec.invert, codec.raw_flag != 0, codec.flag_number,
                  Recovery::kRecover);
    if (!dec.allocated()) return -1;
    const PageEnd end = page_rows(dec, target, rows);
    if (end.last == RowStatus::kEnd && dec.resync_failed()) return BAD_CODE;
    return rows > 0 ? 0 : END_OF_DATA;
  }
  if (prefixed) {
    MhDecoder dec(in, codec.width, codec.invert, word ? MhRows::kToWidthWords : MhRows::kToWidth);
    return page_rows(dec, target, rows).bad;
  }
  switch (codec.coding_mode) {
    case kCodingMhByte:
    case kCodingMhWord: {
      // The first bad row ends the page (the decoder has no EOL to resume at).
      const bool w = codec.coding_mode == kCodingMhWord;
      MhDecoder dec(in, codec.width, codec.invert, w ? MhRows::kWordAligned : MhRows::kByteAligned);
      return page_rows(dec, target, rows).bad > 0 ? 1 : 0;
    }
    case kCodingT4_1D: {
      MhDecoder dec(in, codec.width, codec.invert, MhRows::kToEol);
      return page_rows(dec, target, rows).bad;
    }
    case kCodingT4_2D: {
      // A row of another width is given up with the rows up to the next
      // one-dimensional row, and counts as rejected.
      MrDecoder dec(in, codec.width, codec.invert, MrRows::kToEol, Recovery::kRecover);
      if (!dec.allocated() || !dec.start()) return -1;
      return page_rows(dec, target, rows).bad;
    }
    default: return -2;
  }
}

// A page of the codec's size: set up, its rows decoded, -1 (and no
// pixels) when decoding cannot start.
int decode_page(FaxCodec& codec, PageBitmap& page, bool t6, bool prefixed = false,
                bool word = false) {
  if (!t6 && !prefixed && (codec.coding_mode < kCodingMhByte || codec.coding_mode > kCodingT4_2D))
    return -1;
  const std::int32_t height = codec.height;
  const std::uint8_t coding = t6         ? std::uint8_t(kCodingT6)
                              : prefixed ? std::uint8_t(kCodingT4_1D)
                                         : codec.coding_mode;
  if (!setup_page(codec, page, coding)) return -1;
  PageRows target(RowTarget{page.pixels.data(), page.row_bytes, height}, codec.invert);
  std::int64_t rows = 0;
  const int r = decode_rows(codec, target, t6, rows, prefixed, word);
  if (r == -1 && (t6 || codec.coding_mode == kCodingT4_2D)) {
    page.release_pixels();
    page.height = 0;
    return -1;
  }
  page.height = std::int32_t(std::min<std::int64_t>(rows, height));
  // Rows past the page stay white, for a strip decoded into them next.
  target.release_after(page.height);
  return r;
}

}  // namespace

int decode_by_coding_mode(FaxCodec& codec, PageBitmap& page) {
  return decode_page(codec, page, false);
}

int decode_prefixed_row_page(FaxCodec& codec, PageBitmap& page, bool word) {
  return decode_page(codec, page, false, true, word);
}

int decode_t6_page(FaxCodec& codec, PageBitmap& page) {
  if (t6_options_refused(codec)) return -1;
  return decode_page(codec, page, true);
}

int decode_into(FaxCodec& codec, const RowTarget& target, bool t6, std::int32_t& rows) {
  rows = 0;
  if (target.rows == nullptr || target.height <= 0 || codec.width <= 0 ||
      target.row_bytes < row_bytes_for(codec.width) || (t6 && t6_options_refused(codec))) {
    return -1;
  }
  codec.height = target.height;
  PageRows into(target, codec.invert);
  std::int64_t decoded = 0;
  const int r = decode_rows(codec, into, t6, decoded);
  if (r == -2) return -1;
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
