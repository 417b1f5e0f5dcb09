// One TIFF strip through the strip decoder, as the TIFF reader hands it over.
// Compiled once per Compression (ORVANE_FUZZ_COMPRESSION); the list lives in
// fuzz/CMakeLists.txt. The first 10 bytes of the input stand for the fields
// of the directory that the decoder reads, the rest is the strip:
//   0-1 ImageWidth, 2-3 ImageLength, 6-7 RowsPerStrip (little-endian, 0 = all)
//   4   bit 0 FillOrder 2, bit 1 PhotometricInterpretation 1,
//       bits 2-4 T4Options (2D coding, uncompressed, fill bits)
//   5   T6Options, 8 StripsPerImage, 9 this strip's index
#include <cstddef>
#include <cstdint>
#include <span>

#include "codec/page_driver.h"
#include "tiff/tiff_strip.h"
#include "base/limits.h"
#include "fuzz_support.h"

#ifndef ORVANE_FUZZ_COMPRESSION
#error "ORVANE_FUZZ_COMPRESSION must name the TIFF Compression"
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvane;
  constexpr std::size_t kHeader = 10;
  if (size < kHeader) return 0;
  TiffPage desc;
  desc.compression = ORVANE_FUZZ_COMPRESSION;
  desc.image_width = std::uint32_t(data[0] | data[1] << 8);
  desc.image_length = std::uint32_t(data[2] | data[3] << 8);
  desc.fill_order = (data[4] & 1) ? 2 : 1;
  desc.photometric = (data[4] & 2) ? 1 : 0;
  desc.t4_options = std::uint32_t(data[4] >> 2) & 7u;
  desc.t6_options = data[5];
  desc.rows_per_strip = std::uint32_t(data[6] | data[7] << 8);
  desc.strip_count = data[8];
  const std::uint32_t strip_index = data[9];
  const std::span<const std::uint8_t> strip(data + kHeader, size - kHeader);

  PageBitmap page;
  const int rc = decode_tiff_strip(page, strip, desc, strip_index);
  if (page.has_pixels()) {
    FUZZ_CHECK(page.width >= 0 && page.height >= 0);
    FUZZ_CHECK(page.width <= limits::kMaxPageSide && page.height <= limits::kMaxPageSide);
    FUZZ_CHECK(page.pixels.size() >= std::size_t(page.height) * std::size_t(page.row_bytes));
  }
  (void)rc;
  return 0;
}
