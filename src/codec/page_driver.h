#pragma once
// The codec's front door: dispatch by coding mode, T.6 pages and the
// whole-bitmap transforms.
#include <cstdint>
#include <span>

#include "codec/fax_codec.h"
#include "base/page_bitmap.h"

namespace orvane::codec {

// 3 / 4 aligned, 5 EOL page, 6 MR page; any other coding mode -> -1.
int decode_by_coding_mode(FaxCodec& codec, PageBitmap& page);

// T6Options & 3 of 0 or 2: the T.6 page decoder; 1 or 3: -1 without decoding.
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
