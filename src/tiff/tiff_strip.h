#pragma once
// One TIFF strip of a fax page into a bitmap: CCITT strips through the
// codec, uncompressed and PackBits strips unpacked here.
#include <cstdint>
#include <span>

#include "base/page_bitmap.h"
#include "tiff/tiff_page.h"

namespace orvane {

// One TIFF strip into a fresh bitmap. The strip data is only read (FillOrder
// 2 PackBits data is reversed as it is read, not in place). An unsupported
// BitsPerSample (-2) or Compression (-3) leaves the bitmap as it was.
int decode_tiff_strip(PageBitmap& page, std::span<const std::uint8_t> strip, const TiffPage& desc,
                      std::uint32_t strip_index);

// A CCITT strip of a page decoded straight into the page's rows from
// `first_row` on, as decode_tiff_strip and a copy of its rows would leave
// them; the page's rows from `first_row` on must still be white
// (strip_background). The rows decoded, or -1 for a strip that is not
// CCITT coded or a page it does not fit.
int decode_tiff_strip_into(PageBitmap& page, std::int32_t first_row,
                           std::span<const std::uint8_t> strip, const TiffPage& desc);
// The byte the rows of a page of CCITT strips start as; -1 for other pages.
int strip_background(const TiffPage& desc);

int decode_uncompressed_strip(std::span<const std::uint8_t> data, std::uint16_t photometric,
                              std::uint16_t bits_per_sample, std::uint16_t fill_order,
                              std::int32_t width, std::int32_t rows, PageBitmap& page);
int decode_packbits_strip(std::span<const std::uint8_t> data, std::uint16_t photometric,
                          std::uint16_t bits_per_sample, std::uint16_t fill_order,
                          std::int32_t width, std::int32_t rows, PageBitmap& page);

}  // namespace orvane
