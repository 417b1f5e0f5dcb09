// Modified Huffman rows and the three 1D page decoders.
#include <gtest/gtest.h>

#include <vector>

#include "base/coding_mode.h"
#include "bit_builder.h"
#include "codec/fax_codec.h"
#include "codec/page_driver.h"
#include "codec/row_decoders.h"

namespace orvane::codec {
namespace {

using test::BitBuilder;

// Decodes `bytes` (kept alive by the caller) with a page decoder.
template <typename Decode>
int decode(const std::vector<std::uint8_t>& bytes, std::int32_t width, std::int32_t height,
           PageBitmap& page, Decode d, std::uint8_t invert = 0) {
  FaxCodec codec;
  codec.configure(bytes, 1, 0, invert);
  codec.set_size(width, height);
  return d(codec, page);
}
template <std::uint8_t kCoding>
int page_of(FaxCodec& c, PageBitmap& p) {
  c.coding_mode = kCoding;
  return decode_by_coding_mode(c, p);
}
constexpr auto eol_page = page_of<kCodingT4_1D>;
constexpr auto mh_byte = page_of<kCodingMhByte>;
constexpr auto mh_word = page_of<kCodingMhWord>;

// Row y of the page as runs, white first.
std::vector<int> runs_of(const PageBitmap& page, int y) {
  std::vector<int> runs;
  int colour = 0, n = 0;
  for (int x = 0; x < page.width; ++x) {
    const int white = (page.row(y)[x / 8] >> (7 - x % 8)) & 1;
    if ((white ? 0 : 1) != colour) {
      runs.push_back(n);
      n = 0;
      colour ^= 1;
    }
    ++n;
  }
  runs.push_back(n);
  return runs;
}

TEST(EolPage, OneWhiteRowBetweenEolsAndRtc) {
  BitBuilder b;
  b.eol().row({1728}).eol().eol().eol().eol().eol().eol();
  for (const std::uint8_t inv : {0, 1}) {
    PageBitmap page;
    EXPECT_EQ(decode(b.bytes(), 1728, 20, page, eol_page, inv), 0);
    ASSERT_EQ(page.height, 1);
    EXPECT_EQ(page.width, 1728);
    EXPECT_EQ(page.coding, kCodingT4_1D);
    EXPECT_EQ(page.row_bytes, 216);
    for (int x = 0; x < 216; ++x) ASSERT_EQ(page.row(0)[x], inv ? 0x00 : 0xFF) << x;
  }
}

TEST(EolPage, RowsOfTheWrongLengthAreDropped) {
  BitBuilder b;
  b.eol().row({1727}).eol().row({10, 1718}).eol();
  // Longer than the width: the rest of the row is skipped up to its EOL, and
  // the next row starts white again.
  b.row({1700, 30, 10, 5}).eol().row({5, 1723}).eol();
  PageBitmap page;
  EXPECT_EQ(decode(b.bytes(), 1728, 10, page, eol_page), 0);
  ASSERT_EQ(page.height, 2);
  EXPECT_EQ(runs_of(page, 0), (std::vector<int>{10, 1718}));
  EXPECT_EQ(runs_of(page, 1), (std::vector<int>{5, 1723}));
}

TEST(EolPage, DataEndingAfterAFullRowKeepsIt) {
  BitBuilder b;
  b.eol().row({3, 1725}).eol().row({1000, 728});
  PageBitmap page;
  EXPECT_EQ(decode(b.bytes(), 1728, 10, page, eol_page), 0);
  EXPECT_EQ(page.height, 2);
  EXPECT_EQ(runs_of(page, 1), (std::vector<int>{1000, 728}));
}

TEST(EolPage, InvalidCodeCostsOnlyItsRow) {
  BitBuilder b;
  b.eol().row({20, 1708}).eol().row({30}).bits("000000001000").row({7}).eol().row({40, 1688}).eol();
  PageBitmap page;
  EXPECT_EQ(decode(b.bytes(), 1728, 10, page, eol_page), 1);
  ASSERT_EQ(page.height, 2);
  EXPECT_EQ(runs_of(page, 1), (std::vector<int>{40, 1688}));
}

TEST(EolPage, MoreRowsThanTheHeightKeepTheFirstRows) {
  BitBuilder b;
  for (int r = 0; r < 5; ++r) b.eol().row({r + 1, 64 - r - 1});
  b.eol();
  PageBitmap page;
  EXPECT_EQ(decode(b.bytes(), 64, 2, page, eol_page), 0);
  ASSERT_EQ(page.height, 2);
  EXPECT_EQ(runs_of(page, 0), (std::vector<int>{1, 63}));
  EXPECT_EQ(runs_of(page, 1), (std::vector<int>{2, 62}));
}

TEST(AlignedPage, WordAlignmentSkipsAByteAfterRowsEndingAtOddIndexes) {
  // Row 0 (17 bits) ends at byte index 3, row 1 (38 bits) at 9: word
  // alignment skips the byte after each; byte alignment reads it as code.
  BitBuilder b;
  b.row({1728}).pad().bits("00000000").row({100, 1628}).pad().bits("00000000");
  b.row({1728}).pad();
  ASSERT_EQ(b.bytes().size(), 13u);
  PageBitmap words;
  EXPECT_EQ(decode(b.bytes(), 1728, 10, words, mh_word), 0);
  EXPECT_EQ(words.height, 3);
  EXPECT_EQ(words.coding, kCodingMhWord);
  EXPECT_EQ(runs_of(words, 1), (std::vector<int>{100, 1628}));
  PageBitmap bytes;
  EXPECT_EQ(decode(b.bytes(), 1728, 10, bytes, mh_byte), 1);
  EXPECT_EQ(bytes.height, 1);
  EXPECT_EQ(bytes.coding, kCodingMhByte);
}

TEST(AlignedPage, InvalidCodeEndsThePage) {
  BitBuilder b;
  for (int r = 0; r < 12; ++r) {
    if (r == 9) b.bits("000000001000");
    b.row({r, 100 - r}).pad();
  }
  PageBitmap page;
  EXPECT_EQ(decode(b.bytes(), 100, 20, page, mh_byte), 1);
  EXPECT_EQ(page.height, 9);
  EXPECT_EQ(runs_of(page, 8), (std::vector<int>{8, 92}));
}

TEST(AlignedPage, RowLongerThanTheWidthEndsThePage) {
  BitBuilder b;
  b.row({50, 50}).pad().row({60, 41}).pad().row({50, 50}).pad();
  PageBitmap page;
  EXPECT_EQ(decode(b.bytes(), 100, 20, page, mh_byte), 0);
  EXPECT_EQ(page.height, 1);
}

TEST(PrefixedRowPage, WordInFrontOfEveryRow) {
  BitBuilder b;
  b.bits("1111111111111111").row({8, 56}).pad().bits("1010101010101010").row({64}).pad();
  b.bits("0000000011111111").row({1, 2, 3, 58}).pad().bits("1111111111111111");
  PageBitmap page;
  FaxCodec codec;
  codec.configure(b.bytes(), 1, kCodingT4_1D, 0);
  codec.set_size(64, 10);
  EXPECT_EQ(decode_prefixed_row_page(codec, page, true), 0);
  ASSERT_EQ(page.height, 3);
  EXPECT_EQ(runs_of(page, 0), (std::vector<int>{8, 56}));
  EXPECT_EQ(runs_of(page, 2), (std::vector<int>{1, 2, 3, 58}));

  // Without the word, rows follow each other directly; an EOL drops a partial row.
  BitBuilder c;
  c.row({8, 56}).row({30}).eol().row({64}).row({4, 60});
  PageBitmap plain;
  codec.configure(c.bytes(), 1, kCodingT4_1D, 0);
  codec.set_size(64, 10);
  EXPECT_EQ(decode_prefixed_row_page(codec, plain, false), 0);
  ASSERT_EQ(plain.height, 3);
  EXPECT_EQ(runs_of(plain, 1), (std::vector<int>{64}));
}

TEST(MhRows, EndOfDataAfterAFullRowIsReportedApart) {
  for (const int pixels : {1728, 1000}) {
    BitBuilder b;
    b.row({pixels - 10, 10});
    MhDecoder dec(BitReader(b.bytes(), false), 1728, 0, MhRows::kToEol);
    EXPECT_EQ(dec.next_row(no_row()), pixels == 1728 ? RowStatus::kLastRow : RowStatus::kEnd);
  }
}

TEST(MhRows, RecordsRunsAndReportsTheRealLength) {
  BitBuilder b;
  b.row({0, 5, 2600, 7}).eol();
  std::vector<std::uint8_t> row(13, 0);
  std::vector<std::int64_t> ends(8, -1);
  ends[0] = 0;
  RunList line{0, 0, ends.data(), 3};
  MhDecoder dec(BitReader(b.bytes(), false), -1, 0, MhRows::kToEol);
  EXPECT_EQ(dec.next_row(RunPainter(row.data(), 13), &line), RowStatus::kOtherWidth);
  EXPECT_EQ(dec.pixels(), 2612);
  EXPECT_EQ(line.count, 3u) << "appends stop at the list's capacity";
  EXPECT_EQ(ends[1], 0);
  EXPECT_EQ(ends[2], 5);
  EXPECT_EQ(ends[3], 2605);
  EXPECT_EQ(ends[4], -1);
  EXPECT_EQ(row[0], 0x07);   // 5 black, then white to the end of the row
  EXPECT_EQ(row[12], 0xFF);  // the long run is cut at the end of the row
}

TEST(PageSetup, FieldsAndRefusedSizes) {
  const std::vector<std::uint8_t> none = {0};
  FaxCodec codec;
  codec.configure(none, 2, kCodingT4_1D, 1);
  codec.set_size(2048, 30);
  PageBitmap page;
  ASSERT_TRUE(setup_page(codec, page, kCodingT4_1D));
  EXPECT_EQ(page.row_bytes, 256);
  EXPECT_EQ(page.xres, 200);
  EXPECT_EQ(page.yres, 100);
  EXPECT_EQ(page.width_class, 2);
  EXPECT_EQ(page.unit, 2);
  EXPECT_EQ(page.bit_order, 2);
  EXPECT_EQ(page.invert, 1);
  EXPECT_EQ(page.coded_length, 1u);
  EXPECT_EQ(page.pixels.size(), 256u * 30u);

  struct Size {
    std::int32_t w, h;
  };
  for (const Size s : {Size{0, 10}, Size{10, 0}, Size{-5, 10}, Size{10, -1}, Size{70000, 10},
                       Size{65535, 65535}, Size{0x7FFFFFFF, 1}}) {
    codec.set_size(s.w, s.h);
    EXPECT_FALSE(setup_page(codec, page, kCodingT4_1D)) << s.w << "x" << s.h;
    EXPECT_FALSE(page.has_pixels());
    EXPECT_FALSE(page.is_valid());
    EXPECT_EQ(eol_page(codec, page), -1);
    EXPECT_EQ(mh_word(codec, page), -1);
  }
}

}  // namespace
}  // namespace orvane::codec
