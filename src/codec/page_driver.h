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

// Configure with coding mode 0, then T.6 options and flag number.
void configure_for_t6(FaxCodec& codec, std::span<const std::uint8_t> bytes, std::uint8_t order,
                      std::uint8_t t6_options, std::uint8_t invert, std::uint8_t flag_number);

// 0, or -1 when the bitmap has no pixels or no rows; flip: -2 when its new
// buffer cannot be allocated.
int flip_vertically(PageBitmap& page);
int mirror(PageBitmap& page);
int invert(PageBitmap& page);

}  // namespace orvane::codec
