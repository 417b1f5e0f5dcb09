// The T.6 encoder: what it writes must decode, through our decoder and
// through libtiff, to exactly the rows it was given.
#include "codec/t6_encoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/coding_mode.h"
#include "codec/ccitt_filter_check.h"
#include "codec/fax_codec.h"
#include "codec/page_driver.h"
#include "oracle_support.h"
#include "support/test_support.h"
#include "tiff/tiff_writer.h"

namespace orvane::codec {
namespace {

using orvane::test::Pbm;
using orvane::test::TempDir;

// The image as page rows (set bit white), `pad` extra bytes per row
// holding noise that the encoder must ignore, as it must the padding bits.
PageBitmap page_from(const Pbm& img, int pad = 0, unsigned seed = 1) {
  std::mt19937 rng(seed);
  PageBitmap page;
  page.width = img.width;
  page.height = img.height;
  page.row_bytes = img.row_bytes() + pad;
  page.pixels.assign(std::size_t(page.row_bytes) * std::size_t(img.height), 0);
  for (int y = 0; y < img.height; ++y) {
    for (int i = 0; i < page.row_bytes; ++i) {
      page.row(y)[i] = i < img.row_bytes()
                           ? std::uint8_t(~img.bits[std::size_t(y * img.row_bytes() + i)])
                           : std::uint8_t(rng());
    }
    if (img.width % 8)
      page.row(y)[img.row_bytes() - 1] ^= std::uint8_t(rng() & (0xFF >> (img.width % 8)));
  }
  return page;
}

Pbm random_image(int width, int height, unsigned seed) {
  Pbm img;
  img.width = width;
  img.height = height;
  img.bits.resize(std::size_t(img.row_bytes()) * std::size_t(height));
  std::mt19937 rng(seed);
  for (auto& b : img.bits) b = std::uint8_t(rng());
  return img;
}

// Decodes T.6 data with room for `spare` rows more than expected: EOFB
// must end the page, not the data.
Pbm decode(const std::vector<std::uint8_t>& data, int width, int rows, int spare = 4) {
  FaxCodec codec;
  configure_for_t6(codec, data, 1, 0, 0, 3);
  codec.set_size(width, rows + spare);
  PageBitmap page;
  EXPECT_EQ(decode_t6_page(codec, page), 0);
  return orvane::test::to_pbm(page);
}

struct Case {
  const char* name;
  int width, height;
  bool random;
};

const Case kCases[] = {
    {"one-pixel", 1, 1, true},  {"one-row", 1728, 1, false},     {"width-7", 7, 40, true},
    {"width-9", 9, 40, true},   {"width-1729", 1729, 64, false}, {"a4", 1728, 120, false},
    {"b4", 2048, 80, false},    {"a3-random", 2432, 30, true},   {"long-runs", 9000, 24, false},
    {"width-65", 65, 33, true},
};

// Our decoder and libtiff (tifftopnm, reading a TIFF of the data) give the
// page back; rows padded past their bytes (every other case) code the same.
TEST(T6Encoder, RoundTripsThroughOurDecoderAndLibtiff) {
  TempDir dir;
  bool padded = false;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const Pbm img = c.random ? random_image(c.width, c.height, unsigned(c.width))
                             : test::make_page(c.width, c.height, unsigned(c.height));
    const PageBitmap page = page_from(img, (padded = !padded) ? 3 : 0);
    const auto data = encode_t6(page.pixels, page.width, page.height, page.row_bytes);
    ASSERT_FALSE(data.empty());
    EXPECT_TRUE(orvane::test::same_pixels(img, decode(data, c.width, c.height), c.name));
    const auto tif = dir / (std::string(c.name) + ".tif");
    TiffWriter w;
    ASSERT_TRUE(w.create(tif));
    w.write_header();
    w.reset_entries();
    w.set_coding_by_mode(7, 0);
    w.set_fill_order(1);
    w.set_size(std::uint32_t(c.width), std::uint32_t(c.height));
    w.write_directory(w.write_page_data(data, 200, 200, 2));
    ASSERT_TRUE(w.close());
    const auto pages = orvane::test::tifftopnm_pages(dir, tif);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(orvane::test::same_pixels(img, pages[0], c.name));
  }
}

TEST(T6Encoder, RefusesSizesItCannotCode) {
  const std::vector<std::uint8_t> row(16, 0xFF);
  EXPECT_TRUE(encode_t6(row, 0, 1, 16).empty());
  EXPECT_TRUE(encode_t6(row, 200, 1, 16).empty());  // rows shorter than the width
  EXPECT_TRUE(encode_t6(row, 100, 2, 13).empty());  // fewer bytes than the rows
  EXPECT_FALSE(T6Encoder(70000).ok());
}

// The PDF filter check, one checker reused over pages whose widths grow and
// shrink: the encoder's data passes, against the page and without one; a
// pixel off fails only the comparison; cut data and one row too many fail.
TEST(CcittFilterCheck, PassesEncodedPagesWithBuffersReused) {
  CcittFilterCheck check;
  unsigned seed = 10;
  for (int width : {1728, 13, 2432, 1, 200, 1728}) {
    for (int height : {1, 57}) {
      SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
      PageBitmap page = page_from(random_image(width, height, ++seed));
      const std::vector<std::uint8_t> data =
          encode_t6(page.pixels, page.width, page.height, page.row_bytes);
      CcittFilterParameters against, alone;
      ASSERT_TRUE(check.check(data, orvane::kCodingT6, page, against));
      ASSERT_TRUE(check.check_clean(data, orvane::kCodingT6, width, height, 0, alone));
      EXPECT_EQ(against.k, -1);
      EXPECT_EQ(alone.columns, width);
      EXPECT_EQ(alone.rows, height);
      EXPECT_FALSE(alone.end_of_block);

      CcittFilterParameters unused;
      EXPECT_FALSE(check.check_clean(data, orvane::kCodingT6, width, height + 1, 0, unused));
      if (height > 1) {  // (half of a one-row page's data may be mostly EOFB)
        const std::vector<std::uint8_t> cut(data.begin(), data.begin() + data.size() / 2);
        EXPECT_FALSE(check.check_clean(cut, orvane::kCodingT6, width, height, 0, unused));
      }
      page.row(height - 1)[0] ^= 0x80;
      EXPECT_FALSE(check.check(data, orvane::kCodingT6, page, unused));
    }
  }
}

}  // namespace
}  // namespace orvane::codec
