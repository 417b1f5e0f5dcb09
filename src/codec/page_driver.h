#pragma once
// The codec's front door: dispatch by coding mode, T.6 pages, TIFF strips,
// uncompressed and PackBits strips, and the whole-bitmap transforms.
#include <cstdint>
#include <span>

#include "codec/fax_codec.h"
#include "core/page_bitmap.h"
#include "tiff/tiff_page.h"

namespace orvane::codec {

// 3 / 4 aligned, 5 EOL page, 6 MR page; any other coding mode -> -1.
int decode_by_coding_mode(FaxCodec& codec, PageBitmap& page);

// T6Options & 3 of 0 or 2: the T.6 page decoder; 1 or 3: -1 without decoding.
int decode_t6_page(FaxCodec& codec, PageBitmap& page);

// Configure with coding mode 0, then T.6 options and flag number.
void configure_for_t6(FaxCodec& codec, std::span<const std::uint8_t> bytes, std::uint8_t order,
                      std::uint8_t t6_options, std::uint8_t invert, std::uint8_t flag_number);

// One TIFF strip into a fresh bitmap. The strip data is only read (FillOrder
// 2 PackBits data is reversed as it is read, not in place). An unsupported
// BitsPerSample (-2) or Compression (-3) leaves the bitmap as it was.
int decode_tiff_strip(PageBitmap& page, std::span<const std::uint8_t> strip, const TiffPage& desc,
                      std::uint32_t strip_index);

int decode_uncompressed_strip(std::span<const std::uint8_t> data, std::uint16_t photometric,
                              std::uint16_t bits_per_sample, std::uint16_t fill_order,
                              std::int32_t width, std::int32_t rows, PageBitmap& page);
int decode_packbits_strip(std::span<const std::uint8_t> data, std::uint16_t photometric,
                          std::uint16_t bits_per_sample, std::uint16_t fill_order,
                          std::int32_t width, std::int32_t rows, PageBitmap& page);

// 0, or -1 when the bitmap has no pixels or no rows; flip: -2 when its new
// buffer cannot be allocated.
int flip_vertically(PageBitmap& page);
int mirror(PageBitmap& page);
int invert(PageBitmap& page);

}  // namespace orvane::codec
