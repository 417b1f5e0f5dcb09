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

int decode_uncompressed_strip(std::span<const std::uint8_t> data, std::uint16_t photometric,
                              std::uint16_t bits_per_sample, std::uint16_t fill_order,
                              std::int32_t width, std::int32_t rows, PageBitmap& page);
int decode_packbits_strip(std::span<const std::uint8_t> data, std::uint16_t photometric,
                          std::uint16_t bits_per_sample, std::uint16_t fill_order,
                          std::int32_t width, std::int32_t rows, PageBitmap& page);

}  // namespace orvane
