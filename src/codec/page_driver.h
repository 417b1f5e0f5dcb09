#pragma once
// The codec's front door: pages decoded by coding mode, T.6 pages, rows
// decoded into a page the caller holds, and the whole-bitmap transforms.
#include <cstdint>
#include <span>

#include "base/page_bitmap.h"
#include "codec/fax_codec.h"

namespace orvane::codec {

// Results of a T.6 page besides 0 and -1.
inline constexpr int END_OF_DATA = -11;  // not one row decoded
inline constexpr int BAD_CODE = -12;     // a bad code and no start to resume at

// Fills the page fields from the codec and allocates height x row bytes of
// pixels, every pixel the background of white (page_background), so that
// decoders paint only the other colour. False, with no pixels and no rows,
// when the size is refused or cannot be allocated.
bool setup_page(FaxCodec& codec, PageBitmap& page, std::uint8_t coding);

// Coding mode 3 / 4 (rows aligned to bytes / words): -1 without pixels, 1
// when stopped at an invalid code, 0 otherwise. 5 (rows ended by EOL): the
// number of invalid code words met. 6 (MR): -1 also when no EOL + 1 tag is
// found, else the rows rejected. Any other coding mode: -1.
int decode_by_coding_mode(FaxCodec& codec, PageBitmap& page);

// Modified Huffman rows that end at the width; with `word` a 16-bit word
// stands in front of the first row and after every complete row. Results
// as coding mode 5.
int decode_prefixed_row_page(FaxCodec& codec, PageBitmap& page, bool word);

// T6Options & 3 of 0 or 2: the T.6 page (0, -1, END_OF_DATA, BAD_CODE);
// 1 or 3: -1 without decoding.
int decode_t6_page(FaxCodec& codec, PageBitmap& page);

// As decode_by_coding_mode or (with `t6`) decode_t6_page, into rows the
// caller holds rather than a page of the decoder's own: `target.height`
// rows, each already the background of the codec's invert (page_background
// in page_rows.h). The rows decoded are left in `rows`; rows handed out
// past them get their background back, so that the rows after them are
// untouched for whatever is decoded into them next (the next strip).
struct RowTarget;
int decode_into(FaxCodec& codec, const RowTarget& target, bool t6, std::int32_t& rows);

// Configure with coding mode 0, then T.6 options and flag number.
void configure_for_t6(FaxCodec& codec, std::span<const std::uint8_t> bytes, std::uint8_t order,
                      std::uint8_t t6_options, std::uint8_t invert, std::uint8_t flag_number);

// 0, or -1 when the bitmap has no pixels or no rows; flip: -2 when its new
// buffer cannot be allocated.
int flip_vertically(PageBitmap& page);
int mirror(PageBitmap& page);
int invert(PageBitmap& page);

}  // namespace orvane::codec
