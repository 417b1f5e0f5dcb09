// The row engines against the reference decoder they replaced: the same
// coded bytes through both must give the same result, the same counted rows
// and page fields, and leave the cursor in the same state. The first 6 bytes
// of the input choose what is decoded, the rest is the coded data:
//   0   decoder (below), 1 bit 0 bit order 2, bit 1 invert, bit 2 raw flag,
//       bits 4-5 flag number, 2-3 width, 4-5 height (little-endian).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "base/page_bitmap.h"
#include "codec/decode_1d.h"
#include "codec/decode_2d.h"
#include "codec/fax_codec.h"
#include "fuzz_support.h"
#include "reference_decoder.h"

namespace {

using namespace orvane;
using namespace orvane::codec;

void check_same_cursor(const FaxCodec& a, const FaxCodec& b) {
  FUZZ_CHECK(a.position == b.position);
  FUZZ_CHECK(a.bits_used == b.bits_used);
  FUZZ_CHECK(a.current_byte == b.current_byte);
  FUZZ_CHECK(a.search_position == b.search_position);
  FUZZ_CHECK(a.start_offset == b.start_offset);
}

void check_same_page(const PageBitmap& a, const PageBitmap& b) {
  FUZZ_CHECK(a.height == b.height);
  FUZZ_CHECK(a.width == b.width);
  FUZZ_CHECK(a.row_bytes == b.row_bytes);
  FUZZ_CHECK(a.coding == b.coding);
  FUZZ_CHECK(a.has_pixels() == b.has_pixels());
  if (!a.has_pixels() || a.height <= 0) return;
  const std::size_t counted = std::size_t(a.height) * std::size_t(a.row_bytes);
  FUZZ_CHECK(std::memcmp(a.pixels.data(), b.pixels.data(), counted) == 0);
}

using PageDecoder = int (*)(FaxCodec&, PageBitmap&);

void compare_pages(const FaxCodec& start, PageDecoder ours, PageDecoder theirs) {
  FaxCodec a = start, b = start;
  PageBitmap pa, pb;
  FUZZ_CHECK(ours(a, pa) == theirs(b, pb));
  check_same_cursor(a, b);
  check_same_page(pa, pb);
}

// Rows one after another through the row decoders, into a real row or
// only measured, with tags taken from the data as MR does.
void compare_rows(const FaxCodec& start, bool t6, bool measure) {
  FaxCodec a = start, b = start;
  const std::int32_t width = start.width;
  LinePair la;
  reference::LinePair lb;
  if (!la.allocate(std::uint32_t(width) + 2) || !lb.allocate(std::uint32_t(width) + 2)) return;
  la.reset_reference(width);
  lb.reset_reference(width);
  std::vector<std::uint8_t> ra(std::size_t(width + 7) / 8), rb(ra.size());
  for (int i = 0; i < 64; ++i) {
    RowWriter wa, wb;
    std::fill(ra.begin(), ra.end(), 0);
    std::fill(rb.begin(), rb.end(), 0);
    if (!measure) {
      wa.start(ra.data(), std::uint32_t(ra.size()));
      wb.start(rb.data(), std::uint32_t(rb.size()));
    }
    la.clear_coding();
    lb.clear_coding();
    const int tag = t6 ? 0 : b.read_bits(1);
    FUZZ_CHECK(t6 || a.read_bits(1) == tag);
    int r1, r2;
    if (tag == 1) {
      r1 = decode_row_to_eol(a, wa, &la.coding());
      r2 = reference::decode_row_to_eol(b, wb, &lb.coding());
    } else {
      r1 = decode_2d_row(a, wa, la, t6);
      r2 = reference::decode_2d_row(b, wb, lb, t6);
    }
    FUZZ_CHECK(r1 == r2);
    check_same_cursor(a, b);
    FUZZ_CHECK(wa.byte_index == wb.byte_index && wa.bit_index == wb.bit_index);
    FUZZ_CHECK(ra == rb);
    FUZZ_CHECK(la.coding().count == lb.coding().count);
    for (std::uint32_t k = 0; k < la.coding().count; ++k) {
      FUZZ_CHECK(la.coding().run(k) == lb.coding().items[k]);
    }
    if (r1 == END_OF_DATA || r1 == END_AFTER_ROW || tag < 0) return;
    if (r1 >= 0) {
      la.accept_coding();
      lb.accept_coding();
    } else {
      la.reset_reference(width);
      lb.reset_reference(width);
      FUZZ_CHECK(a.find_eol() == b.find_eol());
    }
  }
}

void compare_codes(const FaxCodec& start) {
  FaxCodec a = start, b = start;
  for (int i = 0; i < 4096; ++i) {
    const int colour = i & 1;
    const int r = decode_code(a, colour);
    FUZZ_CHECK(r == reference::decode_code(b, colour));
    check_same_cursor(a, b);
    if (r == END_OF_DATA) return;
  }
}

// The resynchronisation searches from wherever the cursor is left: an
// EOL search, or a T.6 start search of the mode the data picks.
void compare_searches(const FaxCodec& start, std::span<const std::uint8_t> choices) {
  FaxCodec a = start, b = start;
  for (std::size_t i = 0; i < 64; ++i) {
    const std::uint8_t c = choices.empty() ? 0 : choices[i % choices.size()];
    int r1, r2;
    if (c % 4 == 0) {
      r1 = a.find_eol();
      r2 = reference::find_eol(b);
    } else {
      const auto mode = c % 4 == 1   ? T6Search::kFirst
                        : c % 4 == 2 ? T6Search::kNext
                                     : T6Search::kHere;
      r1 = find_t6_start(a, mode);
      r2 = reference::find_t6_start(b, mode);
    }
    FUZZ_CHECK(r1 == r2);
    check_same_cursor(a, b);
    // Move on a little, as a decoder would, before the next search.
    const int n = 1 + (c >> 2) % 8;
    FUZZ_CHECK(a.read_bits(n) == b.read_bits(n));
    if (r1 < 0 && a.current_byte < 0) return;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kHeader = 6;
  if (size < kHeader) return 0;
  const std::span<const std::uint8_t> coded(data + kHeader, size - kHeader);
  const int which = data[0] % 13;
  FaxCodec codec;
  codec.configure(coded, (data[1] & 1) ? 2 : 1, 0, (data[1] >> 1) & 1);
  codec.raw_flag = (data[1] >> 2) & 1;
  codec.flag_number = (data[1] >> 4) & 3;
  const std::int32_t width = 1 + (data[2] | data[3] << 8) % 4864;
  const std::int32_t height = 1 + (data[4] | data[5] << 8) % 4096;
  codec.set_size(width, height);

  switch (which) {
    case 0: compare_pages(codec, decode_eol_page, reference::decode_eol_page); break;
    case 1:
      compare_pages(
          codec, [](FaxCodec& c, PageBitmap& p) { return decode_aligned_page(c, p, false); },
          [](FaxCodec& c, PageBitmap& p) { return reference::decode_aligned_page(c, p, false); });
      break;
    case 2:
      compare_pages(
          codec, [](FaxCodec& c, PageBitmap& p) { return decode_aligned_page(c, p, true); },
          [](FaxCodec& c, PageBitmap& p) { return reference::decode_aligned_page(c, p, true); });
      break;
    case 3:
      compare_pages(
          codec, [](FaxCodec& c, PageBitmap& p) { return decode_prefixed_row_page(c, p, false); },
          [](FaxCodec& c, PageBitmap& p) {
            return reference::decode_prefixed_row_page(c, p, false);
          });
      break;
    case 4:
      compare_pages(
          codec, [](FaxCodec& c, PageBitmap& p) { return decode_prefixed_row_page(c, p, true); },
          [](FaxCodec& c, PageBitmap& p) {
            return reference::decode_prefixed_row_page(c, p, true);
          });
      break;
    case 5: compare_pages(codec, decode_mr_page, reference::decode_mr_page); break;
    case 6: compare_pages(codec, decode_t6_rows, reference::decode_t6_rows); break;
    case 7: compare_rows(codec, true, false); break;
    case 8: compare_rows(codec, true, true); break;
    case 9: compare_rows(codec, false, false); break;
    case 10: compare_rows(codec, false, true); break;
    case 11: compare_codes(codec); break;
    default: compare_searches(codec, coded.first(std::min<std::size_t>(coded.size(), 16))); break;
  }
  return 0;
}
