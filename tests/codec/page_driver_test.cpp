// The codec's entry points: TIFF strips, uncompressed and PackBits strips,
// dispatch by coding mode, and the whole-bitmap transforms.
#include "codec/page_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/coding_mode.h"
#include "bit_builder.h"
#include "tiff/tiff_strip.h"

namespace orvane::codec {
namespace {

using test::BitBuilder;
namespace t = tables;

TiffPage fax_page(std::uint32_t width, std::uint32_t length, std::uint16_t compression) {
  TiffPage d;
  d.image_width = width;
  d.image_length = length;
  d.compression = compression;
  d.strip_count = 1;
  return d;
}

PageBitmap bitmap(int width, int height, std::vector<std::uint8_t> pixels) {
  PageBitmap p;
  p.width = width;
  p.height = height;
  p.row_bytes = (width + 7) / 8;
  p.pixels = std::move(pixels);
  return p;
}

TEST(TiffStrip, G4StripWithFewerRowsThanImageLength) {
  BitBuilder b;
  for (int i = 0; i < 1100; ++i) b.mode(t::kV0);
  PageBitmap page;
  EXPECT_EQ(decode_tiff_strip(page, b.bytes(), fax_page(1728, 2200, 4), 0), 0);
  EXPECT_EQ(page.height, 1100);
  EXPECT_EQ(page.coding, kCodingT6);
}

TEST(TiffStrip, T4OptionsBitZeroSelectsTwoDimensionalCoding) {
  BitBuilder b;
  b.eol().bits("1").row({8, 8}).eol().bits("0").mode(t::kV0).mode(t::kV0).mode(t::kV0);
  b.eol().bits("1");
  TiffPage d = fax_page(16, 4, 3);
  d.t4_options = 5;
  PageBitmap mr;
  EXPECT_EQ(decode_tiff_strip(mr, b.bytes(), d, 0), 0);
  EXPECT_EQ(mr.coding, kCodingT4_2D);
  EXPECT_EQ(mr.height, 2);
  d.t4_options = 4;
  PageBitmap mh;
  decode_tiff_strip(mh, b.bytes(), d, 0);
  EXPECT_EQ(mh.coding, kCodingT4_1D);
}

TEST(TiffStrip, T6OptionsUncompressedBitRefusesThePage) {
  BitBuilder b;
  b.mode(t::kV0);
  TiffPage d = fax_page(8, 1, 4);
  d.t6_options = 1;
  PageBitmap refused;
  EXPECT_EQ(decode_tiff_strip(refused, b.bytes(), d, 0), -1);
  EXPECT_FALSE(refused.has_pixels());
  d.t6_options = 2;
  PageBitmap page;
  EXPECT_EQ(decode_tiff_strip(page, b.bytes(), d, 0), 0);
  EXPECT_EQ(page.height, 1);
}

TEST(TiffStrip, RowsOfTheLastUncompressedStrip) {
  const std::vector<std::uint8_t> data(100, 0xAA);
  for (const auto& [length, last] : {std::pair{250u, 50}, std::pair{300u, 100}}) {
    TiffPage d = fax_page(8, length, 1);
    d.rows_per_strip = 100;
    d.strip_count = 3;
    d.photometric = 1;
    for (std::uint32_t s = 0; s < 3; ++s) {
      PageBitmap page;
      EXPECT_EQ(decode_tiff_strip(page, data, d, s), 0);
      EXPECT_EQ(page.height, s == 2 ? last : 100) << length << " strip " << s;
      EXPECT_EQ(page.coding, kCodingUncompressed);
    }
  }
}

// A strip cannot hold more rows than it has bits, so a few bytes of a tall
// page take a few rows of pixels, not the whole page's (the TIFF reader
// decodes every strip into a bitmap of its own).
TEST(TiffStrip, CcittStripBitmapIsSizedByItsData) {
  const std::vector<std::uint8_t> data = {0xFF, 0xFF};  // T.6: sixteen V0 codes
  for (const std::uint16_t compression : {2, 3, 4, 32771}) {
    PageBitmap page;
    decode_tiff_strip(page, data, fax_page(1728, 60000, compression), 0);
    EXPECT_LE(page.pixels.size(), 16u * 216u) << compression;
    if (compression == 4) {
      EXPECT_EQ(page.height, 16);
      EXPECT_EQ(page.pixels[15 * 216], 0xFF);
    }
  }
}

TEST(TiffStrip, UnsupportedFieldsLeaveTheBitmapAlone) {
  const std::vector<std::uint8_t> data(16, 0);
  PageBitmap page = bitmap(8, 2, {1, 2});
  TiffPage d = fax_page(8, 2, 5);  // LZW
  decode_tiff_strip(page, data, d, 0);
  d = fax_page(8, 2, 4);
  d.bits_per_sample = 2;
  decode_tiff_strip(page, data, d, 0);
  EXPECT_EQ(page.height, 2);
  EXPECT_EQ(page.pixels, (std::vector<std::uint8_t>{1, 2}));
}

TEST(TiffStrip, HostileSizesAreRefused) {
  const std::vector<std::uint8_t> data(16, 0);
  for (const std::uint16_t compression : {1, 2, 3, 4, 32771, 32773}) {
    for (const auto& [w, h] : {std::pair{0u, 10u}, std::pair{10u, 0u}, std::pair{0xFFFFFFFFu, 1u},
                               std::pair{1u, 0xFFFFFFFFu}, std::pair{65535u, 65535u}}) {
      TiffPage d = fax_page(w, h, compression);
      d.rows_per_strip = h;
      PageBitmap page;
      decode_tiff_strip(page, data, d, 0);
      EXPECT_FALSE(page.has_pixels()) << compression << " " << w << "x" << h;
      EXPECT_FALSE(page.is_valid());
    }
  }
}

// Later strips decode straight into the page's rows: a row a strip began
// but did not finish must not show under the next strip's rows.
TEST(TiffStrip, StripsIntoPageRowsLeaveTheRowsAfterThemWhite) {
  struct Case {
    std::uint16_t compression;
    BitBuilder first, second;
  };
  Case cases[2] = {{4, {}, {}}, {3, {}, {}}};
  cases[0].first.mode(t::kHorizontal).run(0, 4).run(1, 8).mode(t::kV0).mode(t::kHorizontal);
  cases[0].first.run(0, 3);  // the data ends inside the second row
  cases[0].second.mode(t::kV0).mode(t::kV0);
  cases[1].first.eol().row({4, 8, 4}).eol().row({3});
  cases[1].second.eol().row({16}).eol().row({16}).eol();
  for (auto& c : cases) {
    const TiffPage d = fax_page(16, 4, c.compression);
    PageBitmap page = bitmap(16, 4, std::vector<std::uint8_t>(8, 0xFF));
    ASSERT_EQ(strip_background(d), 0xFF);
    EXPECT_EQ(decode_tiff_strip_into(page, 0, c.first.bytes(), d), 1) << c.compression;
    EXPECT_EQ(decode_tiff_strip_into(page, 1, c.second.bytes(), d), 2) << c.compression;
    EXPECT_EQ(page.pixels,
              (std::vector<std::uint8_t>{0xF0, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}))
        << c.compression;
  }
}

// Rows past a strip's data (a file cut short) are paper, not ink.
TEST(UncompressedStrip, ShortDataLeavesTheRestWhite) {
  const std::vector<std::uint8_t> data = {0x0F, 0x01};
  for (const std::uint16_t photometric : {0, 1}) {
    PageBitmap page;
    EXPECT_EQ(decode_uncompressed_strip(data, photometric, 1, 1, 16, 2, page), 0);
    const std::uint8_t first = photometric == 0 ? 0xF0 : 0x0F;
    EXPECT_EQ(page.pixels, (std::vector<std::uint8_t>{
                               first, std::uint8_t(photometric ? 0x01 : 0xFE), 0xFF, 0xFF}));
  }
  PageBitmap reversed;
  EXPECT_EQ(decode_uncompressed_strip(data, 1, 1, 2, 16, 1, reversed), 0);
  EXPECT_EQ(reversed.pixels, (std::vector<std::uint8_t>{0xF0, 0x80}));
  PageBitmap deep;
  EXPECT_EQ(decode_uncompressed_strip(data, 1, 8, 1, 16, 1, deep), -2);
}

TEST(PackBitsStrip, UnpacksRunsAndLiterals) {
  const std::vector<std::uint8_t> data = {0xFE, 0xAA, 0x02, 0x01, 0x02, 0x03};
  PageBitmap page;
  EXPECT_EQ(decode_packbits_strip(data, 1, 1, 1, 48, 1, page), 1);  // exactly full
  EXPECT_EQ(page.pixels, (std::vector<std::uint8_t>{0xAA, 0xAA, 0xAA, 0x01, 0x02, 0x03}));
  EXPECT_EQ(page.coding, kCodingPackBits);
  // No-op header, and more output than room: cut to the space left.
  const std::vector<std::uint8_t> more = {0x80, 0xF9, 0x11, 0x00, 0x22};
  PageBitmap small;
  EXPECT_EQ(decode_packbits_strip(more, 1, 1, 1, 32, 1, small), 1);
  EXPECT_EQ(small.pixels, (std::vector<std::uint8_t>{0x11, 0x11, 0x11, 0x11}));
}

TEST(PackBitsStrip, ShortDataIsWhiteWithEitherPhotometric) {
  const std::vector<std::uint8_t> data = {0x00, 0x0F, 0x05};  // literal cut short
  for (const std::uint16_t photometric : {0, 1}) {
    PageBitmap page;
    EXPECT_EQ(decode_packbits_strip(data, photometric, 1, 1, 8, 3, page), 0);
    const std::uint8_t first = photometric == 0 ? 0xF0 : 0x0F;
    EXPECT_EQ(page.pixels, (std::vector<std::uint8_t>{first, 0xFF, 0xFF})) << photometric;
  }
}

TEST(PackBitsStrip, FillOrderTwoLeavesTheCallersDataAsItWas) {
  const std::vector<std::uint8_t> data = {0x7F, 0x01};  // 0xFE 0x80 read LSB first
  const std::vector<std::uint8_t> copy = data;
  PageBitmap page;
  EXPECT_EQ(decode_packbits_strip(data, 1, 1, 2, 24, 1, page), 1);
  EXPECT_EQ(page.pixels, (std::vector<std::uint8_t>{0x80, 0x80, 0x80}));
  EXPECT_EQ(data, copy);
}

TEST(CodingModeDispatch, OnlyTheCcittModes) {
  const std::vector<std::uint8_t> data = {0xFF};
  for (const std::uint8_t mode : {0, 1, 2, 7, 8, 9}) {
    FaxCodec codec;
    codec.configure(data, 1, mode, 0);
    codec.set_size(8, 1);
    PageBitmap page;
    EXPECT_EQ(decode_by_coding_mode(codec, page), -1) << int(mode);
  }
}

TEST(Transforms, MirrorFlipInvert) {
  PageBitmap row = bitmap(24, 1, {0x80, 0x01, 0xF0});
  EXPECT_EQ(mirror(row), 0);
  EXPECT_EQ(row.pixels, (std::vector<std::uint8_t>{0x0F, 0x80, 0x01}));

  PageBitmap one = bitmap(16, 1, {1, 2});
  EXPECT_EQ(flip_vertically(one), 0);
  EXPECT_EQ(one.pixels, (std::vector<std::uint8_t>{1, 2}));
  PageBitmap three = bitmap(8, 3, {1, 2, 3});
  EXPECT_EQ(flip_vertically(three), 0);
  EXPECT_EQ(three.pixels, (std::vector<std::uint8_t>{3, 2, 1}));
  EXPECT_EQ(invert(three), 0);
  EXPECT_EQ(three.pixels, (std::vector<std::uint8_t>{0xFC, 0xFD, 0xFE}));

  PageBitmap even = bitmap(16, 1, {0x01, 0x03});
  EXPECT_EQ(mirror(even), 0);
  EXPECT_EQ(even.pixels, (std::vector<std::uint8_t>{0xC0, 0x80}));

  // A width that is no multiple of 8: the pixels stay within the width, the
  // padding does not move in at the left edge.
  std::vector<std::uint8_t> bits(126, 0x00);  // 1001 pixels, black
  bits[125] = 0xFF;                           // pixel 1000 white, padding set
  PageBitmap odd = bitmap(1001, 1, bits);
  EXPECT_EQ(mirror(odd), 0);
  EXPECT_EQ(odd.pixels[0], 0x80);  // pixel 0 is the old pixel 1000, 1 to 7 black
  EXPECT_EQ(std::count(odd.pixels.begin() + 1, odd.pixels.begin() + 125, 0), 124);
  EXPECT_EQ(odd.pixels[125] & 0x80, 0);  // pixel 1000 is the old pixel 0

  PageBitmap empty;
  EXPECT_EQ(flip_vertically(empty), -1);
  EXPECT_EQ(mirror(empty), -1);
  EXPECT_EQ(invert(empty), -1);
  // Fields that claim more rows than the pixels hold are refused, not read.
  PageBitmap lying = bitmap(8, 5, {1, 2});
  EXPECT_EQ(flip_vertically(lying), -1);
  EXPECT_EQ(mirror(lying), -1);
  EXPECT_EQ(invert(lying), -1);
}

}  // namespace
}  // namespace orvane::codec
