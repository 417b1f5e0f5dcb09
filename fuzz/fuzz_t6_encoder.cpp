// The T.6 encoder and the check that lets coded data into a PDF unchanged.
// Random rows in: the encoder's data decodes (our decoder) to exactly those
// rows, and the check accepts it as a stream a PDF filter reads to them. The
// same bytes as coded data of each coding: the check never reads outside
// them and accepts only data that decodes to the page it is given.
// Bytes 0-1 of the input give the width (1..4096), the rest the rows.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "codec/ccitt_filter_check.h"
#include "codec/page_driver.h"
#include "codec/t6_encoder.h"
#include "base/coding_mode.h"
#include "fuzz_support.h"

namespace {

bool same_rows(const orvane::PageBitmap& a, const orvane::PageBitmap& b) {
  if (a.width != b.width || a.height != b.height) return false;
  const std::size_t whole = std::size_t(a.width / 8);
  const auto mask = std::uint8_t(0xFF00 >> (a.width % 8));
  for (std::int32_t y = 0; y < a.height; ++y) {
    if (std::memcmp(a.row(y), b.row(y), whole) != 0) return false;
    if (a.width % 8 && ((a.row(y)[whole] ^ b.row(y)[whole]) & mask) != 0) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvane;
  if (size < 3) return 0;
  const std::int32_t width = 1 + ((data[0] << 8 | data[1]) % 4096);
  const std::span<const std::uint8_t> rows_in(data + 2, size - 2);
  PageBitmap page;
  page.width = width;
  page.row_bytes = row_bytes_for(width);
  page.height = std::int32_t(rows_in.size() / std::size_t(page.row_bytes));
  if (page.height < 1) return 0;
  page.pixels.assign(rows_in.begin(), rows_in.begin() + std::ptrdiff_t(page.height) * page.row_bytes);

  const std::vector<std::uint8_t> coded =
      codec::encode_t6(page.pixels, page.width, page.height, page.row_bytes);
  FUZZ_CHECK(!coded.empty());
  codec::FaxCodec codec;
  codec::configure_for_t6(codec, coded, kBitOrderMsbFirst, 0, 0, 3);
  codec.set_size(width, page.height + 1);  // EOFB, not the data, ends the page
  PageBitmap decoded;
  FUZZ_CHECK(codec::decode_t6_page(codec, decoded) == 0);
  FUZZ_CHECK(same_rows(page, decoded));
  codec::CcittFilterParameters params;
  FUZZ_CHECK(codec::check_ccitt_filter_stream(coded, kCodingT6, page, params));
  FUZZ_CHECK(params.k == -1 && params.rows == page.height && params.columns == width);

  // The input as coded data of every coding the check knows: accepted only
  // when our decoder gives the page from it.
  for (const std::uint8_t coding : {kCodingMhByte, kCodingT4_1D, kCodingT4_2D, kCodingT6}) {
    if (!codec::check_ccitt_filter_stream(rows_in, coding, page, params)) continue;
    FUZZ_CHECK(params.rows == page.height && params.columns == width);
  }
  return 0;
}
