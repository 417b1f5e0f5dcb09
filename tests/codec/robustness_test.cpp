// Hostile and broken data: every decoder must end with a clear result, stay
// inside its buffers (checked under ASan/UBSan) and keep its counts sane.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "base/coding_mode.h"
#include "bit_builder.h"
#include "codec/page_driver.h"
#include "codec/row_decoders.h"

namespace orvane::codec {
namespace {

using test::BitBuilder;
namespace t = tables;

// Runs every page decoder over `data` and checks the page it leaves.
void decode_everything(const std::vector<std::uint8_t>& data, std::int32_t width,
                       std::int32_t height) {
  for (const std::uint8_t order : {1, 2}) {
    for (const std::uint8_t mode : {kCodingMhByte, kCodingMhWord, kCodingT4_1D, kCodingT4_2D}) {
      FaxCodec codec;
      codec.configure(data, order, mode, mode & 1);
      codec.set_size(width, height);
      PageBitmap page;
      const int r = decode_by_coding_mode(codec, page);
      EXPECT_GE(r, -1);
      EXPECT_LE(page.height, height);
      EXPECT_GE(page.height, 0);
      if (page.height > 0) {
        EXPECT_GE(page.pixels.size(), std::size_t(page.height) * std::size_t(page.row_bytes));
      }
    }
    for (const bool word : {false, true}) {
      FaxCodec codec;
      codec.configure(data, order, kCodingT4_1D, 0);
      codec.set_size(width, height);
      PageBitmap page;
      EXPECT_GE(decode_prefixed_row_page(codec, page, word), 0);
      EXPECT_LE(page.height, height);
    }
    for (const std::uint8_t flags : {0, 3}) {
      FaxCodec codec;
      configure_for_t6(codec, data, order, 0, 0, flags);
      codec.set_size(width, height);
      PageBitmap page;
      const int r = decode_t6_page(codec, page);
      EXPECT_TRUE(r == 0 || r == END_OF_DATA || r == BAD_CODE) << r;
      EXPECT_LE(page.height, height);
      // The start search used by stream analysis, over the whole data.
      T6Decoder dec(codec.reader(), width, 0, false, flags);
      bool found = dec.find_start(T6Search::kFirst);
      for (int i = 0; i < 50 && found; ++i) {
        EXPECT_LT(dec.position(), dec.reader().size());
        found = dec.find_start(T6Search::kNext);
      }
    }
  }
}

TEST(HostileData, RandomBytes) {
  std::mt19937 rng(7);
  for (int i = 0; i < 40; ++i) {
    std::vector<std::uint8_t> data(1 + rng() % 600);
    // Mostly random, sometimes biased towards zero bits (EOL-like) or ones.
    const unsigned bias = rng() % 3;
    for (auto& b : data) {
      b = std::uint8_t(rng());
      if (bias == 1) b &= std::uint8_t(rng());
      if (bias == 2) b |= std::uint8_t(rng());
    }
    decode_everything(data, 1 + std::int32_t(rng() % 300), 1 + std::int32_t(rng() % 40));
  }
}

TEST(HostileData, EveryTruncationOfValidData) {
  BitBuilder b;
  b.eol().bits("1").row({10, 20, 30, 4});
  b.eol().bits("0").mode(t::kV0).mode(t::kHorizontal).run(0, 3).run(1, 5).mode(t::kPass);
  b.mode(t::kVL1).mode(t::kVR2).mode(t::kV0).mode(t::kV0);
  b.eol().bits("1").row({64}).eol().bits("1");
  const std::vector<std::uint8_t> full = b.bytes();
  for (std::size_t n = 0; n <= full.size(); ++n) {
    const std::vector<std::uint8_t> cut(full.begin(), full.begin() + std::ptrdiff_t(n));
    decode_everything(cut, 64, 8);
  }
}

TEST(HostileData, EolFloodAndZeroFill) {
  std::vector<std::uint8_t> zeros(20000, 0);
  decode_everything(zeros, 1728, 50);
  std::vector<std::uint8_t> eols;
  for (int i = 0; i < 5000; ++i) {
    eols.push_back(0x00);
    eols.push_back(0x01);
  }
  decode_everything(eols, 1728, 50);
  FaxCodec codec;
  codec.configure(eols, 1, kCodingT4_1D, 0);
  codec.set_size(1728, 50);
  PageBitmap page;
  EXPECT_EQ(decode_by_coding_mode(codec, page), 0);
  EXPECT_EQ(page.height, 0) << "EOLs alone make no rows";
}

TEST(HostileData, EndlessRowsOfMakeUpCodes) {
  // A row that never ends: thousands of 2560 make-ups, no EOL.
  BitBuilder b;
  b.eol();
  for (int i = 0; i < 20000; ++i) b.bits(t::kExtendedMakeupCodes[12].bits);
  const std::vector<std::uint8_t> data = b.bytes();
  decode_everything(data, 1728, 4);
  MhDecoder dec(BitReader(data, false), -1, 0, MhRows::kToEol);
  dec.resync();
  EXPECT_EQ(dec.next_row(no_row()), RowStatus::kEnd);
}

TEST(HostileData, T6RowsPassingTheWidthAreCutByTheWriter) {
  // VR3 against the white line puts a1 three pixels past the width.
  BitBuilder b;
  b.mode(t::kVR3).mode(t::kV0).mode(t::kVR3).mode(t::kV0);
  FaxCodec codec;
  configure_for_t6(codec, b.bytes(), 1, 0, 0, 3);
  codec.set_size(13, 5);
  PageBitmap page;
  EXPECT_EQ(decode_t6_page(codec, page), 0);
  ASSERT_GE(page.height, 1);
  EXPECT_EQ(page.row(0)[0], 0xFF);
  EXPECT_EQ(page.row(0)[1], 0xFF);
}

TEST(HostileData, WideRowsWithManyRuns) {
  // Alternating single pixels from a black start: width + 1 runs on a line,
  // which the 2D reference line must hold whole.
  const int width = 257;
  BitBuilder b;
  b.eol().bits("1").run(0, 0);
  for (int x = 0; x < width; ++x) b.run((x + 1) % 2, 1);
  for (int r = 0; r < 3; ++r) {
    b.eol().bits("0");
    for (int x = 0; x <= width; ++x) b.mode(t::kV0);
  }
  b.eol().bits("1");
  FaxCodec codec;
  codec.configure(b.bytes(), 1, kCodingT4_2D, 0);
  codec.set_size(width, 10);
  PageBitmap page;
  EXPECT_EQ(decode_by_coding_mode(codec, page), 0);
  ASSERT_EQ(page.height, 4);
  for (int y = 1; y < 4; ++y) {
    for (int i = 0; i < page.row_bytes; ++i) ASSERT_EQ(page.row(y)[i], page.row(0)[i]) << y;
  }
  EXPECT_EQ(page.row(0)[0], 0x55);
}

}  // namespace
}  // namespace orvane::codec
