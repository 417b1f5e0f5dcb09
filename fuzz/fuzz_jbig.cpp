// A JBIG page's strips through libjbig, as the TIFF reader hands them over.
// The first 5 bytes of the input stand for the directory's fields:
//   0-1 ImageWidth, 2-3 ImageLength (little-endian), 4 bit 0
//   PhotometricInterpretation 1, bit 1 Compression 9 rather than 34661,
//   bit 2 the size the BIE's header states instead (so that mutations of
//   the BIE reach the decoder rather than the size check);
// the rest is the BIE.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/limits.h"
#include "fuzz_support.h"
#include "tiff/jbig_strip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvane;
  constexpr std::size_t kHeader = 5;
  if (size < kHeader) return 0;
  TiffPage desc;
  desc.image_width = std::uint32_t(data[0] | data[1] << 8);
  desc.image_length = std::uint32_t(data[2] | data[3] << 8);
  desc.photometric = data[4] & 1;
  desc.compression = (data[4] & 2) ? 9 : 34661;
  if ((data[4] & 4) && size >= kHeader + 12) {
    const std::uint8_t* bih = data + kHeader;
    desc.image_width = std::uint32_t(bih[6] << 8 | bih[7]);  // the low 16 bits of XD and YD
    desc.image_length = std::uint32_t(bih[10] << 8 | bih[11]);
  }
  PageBitmap page;
  const Status got = decode_jbig_page(std::span(data + kHeader, size - kHeader), desc, page);
  if (got.ok()) {
    FUZZ_CHECK(page.width == std::int32_t(desc.image_width));
    FUZZ_CHECK(page.height == std::int32_t(desc.image_length));
    FUZZ_CHECK(page.pixels.size() >= std::size_t(page.height) * std::size_t(page.row_bytes));
  } else {
    FUZZ_CHECK(!page.has_pixels());
    FUZZ_CHECK(!got.refusal().cause().empty());
  }
  return 0;
}
