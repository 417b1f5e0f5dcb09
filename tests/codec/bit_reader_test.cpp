// The bit reader (bit order, the end of the data, alignment, the EOL
// search, code words) and the width classes.
#include "codec/bit_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bit_builder.h"
#include "codec/row_writer.h"

namespace orvane::codec {
namespace {

using test::BitBuilder;

TEST(BitReader, BitOrderAndTheEndOfTheData) {
  const std::vector<std::uint8_t> bytes = {0x01, 0xA5};
  BitReader msb(bytes, false), lsb(bytes, true);
  std::string m, l;
  for (int b; (b = msb.bit()) >= 0;) m += char('0' + b);
  for (int b; (b = lsb.bit()) >= 0;) l += char('0' + b);
  EXPECT_EQ(m, "0000000110100101");
  EXPECT_EQ(l, "1000000010100101");
  EXPECT_TRUE(msb.at_end());
  EXPECT_EQ(msb.bit(), -1) << "the end stays the end";
  BitReader none;
  EXPECT_EQ(none.bit(), -1);
  EXPECT_EQ(none.white<false>(), kCodeEnd);
}

TEST(BitReader, AlignAndSkipWord) {
  struct Case {
    int read;  // bits read first
    bool skip, word;
    std::int64_t to;  // position after, in bits
  };
  const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5};
  for (const Case& k :
       {Case{0, false, false, 0}, Case{3, false, false, 8}, Case{8, false, false, 8},
        Case{9, false, true, 16}, Case{17, false, true, 32}, Case{33, false, true, 40},
        Case{0, true, false, 16}, Case{1, true, false, 24}, Case{25, true, false, 40}}) {
    BitReader in(bytes, false);
    for (int i = 0; i < k.read; ++i) in.bit();
    if (k.skip) {
      in.skip_word();
    } else {
      in.align(k.word);
    }
    EXPECT_EQ(in.position(), k.to) << k.read << " " << k.skip << k.word;
  }
}

TEST(BitReader, FindEol) {
  struct Case {
    std::string bits;
    bool reversed;
    std::int64_t to;  // position after the EOL, -1 none
  };
  const std::string fill(70, '0');
  for (const Case& k :
       {Case{"0000000000010000", false, 12}, Case{"1000000000010000", false, -1},  // ten zeros
        Case{"11110000" + fill + "1" + "10101011", false, 79},
        Case{"11111000000010000000000001000000", false, 26},  // not 7 + 8 across a 1
        Case{std::string(60, '1') + "0000000000001", false, 73},
        Case{"0000000000010000", true, 12}}) {
    BitBuilder b;
    b.bits(k.bits).pad();
    std::vector<std::uint8_t> bytes = b.bytes();
    if (k.reversed)
      for (auto& x : bytes) x = std::uint8_t(BitReader::reverse_bits_in_bytes(x));
    BitReader in(bytes, k.reversed);
    EXPECT_EQ(in.find_eol(), k.to >= 0) << k.bits;
    EXPECT_EQ(in.position(), k.to >= 0 ? k.to : in.size()) << k.bits;
  }
}

TEST(BitReader, CodeWordsEolsAndFailures) {
  BitBuilder b;
  b.run(0, 1728).run(1, 2560 + 3).eol().bits("1").bits("000000000011");
  BitReader in(b.bytes(), false);
  EXPECT_EQ(in.white<false>(), 1728);
  EXPECT_EQ(in.white<false>(), 0);
  EXPECT_EQ(in.black<false>(), 2560);
  EXPECT_EQ(in.black<false>(), 3);
  EXPECT_EQ(in.white<false>(), kEolCode);
  EXPECT_EQ(in.bit(), 1) << "an EOL ends at its 1";
  EXPECT_EQ(in.black<false>(), kInvalidCode);
  // A code word cut by the end of the data is the end, not a code.
  BitBuilder cut;
  cut.bits("00000001");  // an extension code needs three bits more
  BitReader end(cut.bytes(), false);
  end.bit();
  EXPECT_EQ(end.mode<false>(), kCodeEnd);
}

TEST(BitReader, EolWithAnyFillAtAnyOffset) {
  for (int shift = 0; shift < 8; ++shift) {
    for (int fill : {0, 1, 3, 52, 60, 130}) {
      BitBuilder b;
      b.bits(std::string(std::size_t(shift), '1')).run(0, 0).zeros(fill).eol().bits("10110011");
      BitReader in(b.bytes(), false);
      for (int i = 0; i < shift; ++i) in.bit();
      ASSERT_EQ(in.white<false>(), 0);
      ASSERT_EQ(in.black<false>(), kEolCode) << shift << "/" << fill;
      std::string after;
      for (int i = 0; i < 8; ++i) after += char('0' + in.bit());
      EXPECT_EQ(after, "10110011") << shift << "/" << fill;
    }
  }
}

// A row belongs to the narrowest T.4 line length it fits: A4, B4 and A3
// are 1728, 2048 and 2432 pixels at 200 dpi and scale with the resolution;
// rows wider than all are A3 at 400 dpi.
TEST(WidthClass, IsTheNarrowestStandardLineTheRowFits) {
  struct Line {
    int width, dpi, paper;
  };
  std::vector<Line> lines;
  for (int dpi : {200, 300, 400})
    for (int paper : {1, 2, 3})
      lines.push_back({(paper == 1 ? 1728 : paper == 2 ? 2048 : 2432) * dpi / 200, dpi, paper});
  for (int width = 1; width <= 5200; width += width < 1700 ? 97 : 1) {
    Line want{0, 400, 3};
    for (const Line& l : lines)
      if (l.width >= width && (want.width == 0 || l.width < want.width)) want = l;
    const WidthClass wc = width_class(width);
    ASSERT_EQ(wc.dpi, want.dpi) << width;
    ASSERT_EQ(wc.paper, want.paper) << width;
  }
}

}  // namespace
}  // namespace orvane::codec
