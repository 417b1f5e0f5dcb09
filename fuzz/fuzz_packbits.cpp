// The PackBits encoder and decoder: any bitmap encodes and decodes back to
// itself, and any byte string decodes without leaving the page. Byte 0 of the
// input gives the row length (1..256 bytes), the rest is the bitmap and, at
// the same time, a PackBits strip.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "codec/page_driver.h"
#include "tiff/tiff_strip.h"
#include "formats/packbits_encoder.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvane;
  if (size < 1) return 0;
  const std::size_t row_bytes = std::size_t(data[0]) + 1;
  const std::span<const std::uint8_t> bitmap(data + 1, size - 1);
  const std::size_t rows = bitmap.size() / row_bytes;

  // Round trip of the whole rows. The encoder writes at most two bytes per
  // input byte and keeps three in reserve; with less room it may refuse (-1),
  // and conversion then writes the page uncompressed.
  std::vector<std::uint8_t> coded(2 * bitmap.size() + 3);
  const std::int64_t n = packbits_encode(bitmap, row_bytes, coded);
  FUZZ_CHECK(n >= 0 && std::size_t(n) <= coded.size());
  if (rows > 0) {
    PageBitmap page;
    const int rc =
        decode_packbits_strip(std::span(coded.data(), std::size_t(n)), 1, 1, 1,
                                     std::int32_t(row_bytes * 8), std::int32_t(rows), page);
    FUZZ_CHECK(rc >= 0);
    FUZZ_CHECK(page.pixels.size() == rows * row_bytes);
    FUZZ_CHECK(std::memcmp(page.pixels.data(), bitmap.data(), rows * row_bytes) == 0);
  }

  // The same bytes as a hostile strip, with both fill orders.
  for (std::uint16_t fill : {std::uint16_t(1), std::uint16_t(2)}) {
    PageBitmap page;
    decode_packbits_strip(bitmap, 0, 1, fill, std::int32_t(row_bytes * 8 - data[0] % 8),
                                 std::int32_t(rows + 1), page);
  }
  return 0;
}
