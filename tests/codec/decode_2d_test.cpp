// Two-dimensional rows, the MR and T.6 page decoders and the T.6 start search.
#include "codec/decode_2d.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/coding_mode.h"
#include "bit_builder.h"
#include "codec/fax_codec.h"
#include "codec/page_driver.h"

namespace orvane::codec {
namespace {

using test::BitBuilder;
namespace t = tables;

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

int decode_t6(const std::vector<std::uint8_t>& bytes, std::int32_t width, std::int32_t height,
              PageBitmap& page) {
  FaxCodec codec;
  configure_for_t6(codec, bytes, 1, 0, 0, 3);
  codec.set_size(width, height);
  return decode_t6_page(codec, page);
}

int decode_mr(const std::vector<std::uint8_t>& bytes, std::int32_t width, std::int32_t height,
              PageBitmap& page) {
  FaxCodec codec;
  codec.configure(bytes, 1, kCodingT4_2D, 0);
  codec.set_size(width, height);
  return decode_by_coding_mode(codec, page);
}

TEST(T6Page, WhiteRowsAreV0AgainstTheImaginaryWhiteLine) {
  BitBuilder b;
  b.mode(t::kV0).mode(t::kV0).mode(t::kV0);
  PageBitmap page;
  EXPECT_EQ(decode_t6(b.bytes(), 1728, 10, page), 0);
  ASSERT_EQ(page.height, 3);
  EXPECT_EQ(page.coding, kCodingT6);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(runs_of(page, y), std::vector<int>{1728});
}

TEST(T6Page, HorizontalThenV0EndsAtTheWidth) {
  BitBuilder b;
  b.mode(t::kHorizontal).run(0, 100).run(1, 50).mode(t::kV0);
  FaxCodec codec;
  configure_for_t6(codec, b.bytes(), 1, 0, 0, 3);
  codec.set_size(1728, 1);
  LinePair lines;
  ASSERT_TRUE(lines.allocate(1730));
  lines.reset_reference(1728);
  std::vector<std::uint8_t> row(216, 0);
  RowWriter w;
  w.start(row.data(), 216);
  EXPECT_EQ(decode_2d_row(codec, w, lines, true), 1728);
  ASSERT_EQ(lines.coding().count, 3u);
  EXPECT_EQ(lines.coding().run(0), 100);
  EXPECT_EQ(lines.coding().run(1), 50);
  EXPECT_EQ(lines.coding().run(2), 1728 - 150);
  lines.accept_coding();
  EXPECT_EQ(lines.reference().size, 3u);
  EXPECT_EQ(lines.coding().count, 0u);
}

TEST(T6Page, VerticalAndPassModesFollowTheReference) {
  // Row 0: white 10, black 20, white rest. Row 1 from it: VR1, VL2 -> black
  // 11..28. Row 2: pass (over row 1's black) then V0 at the end.
  BitBuilder b;
  b.mode(t::kHorizontal).run(0, 10).run(1, 20).mode(t::kV0);
  b.mode(t::kVR1).mode(t::kVL2).mode(t::kV0);
  b.mode(t::kPass).mode(t::kV0);
  PageBitmap page;
  EXPECT_EQ(decode_t6(b.bytes(), 64, 10, page), 0);
  ASSERT_EQ(page.height, 3);
  EXPECT_EQ(runs_of(page, 0), (std::vector<int>{10, 20, 34}));
  EXPECT_EQ(runs_of(page, 1), (std::vector<int>{11, 17, 36}));
  EXPECT_EQ(runs_of(page, 2), (std::vector<int>{64}));
}

TEST(T6Page, EofbAddsNoRow) {
  BitBuilder b;
  b.mode(t::kV0).mode(t::kV0).eol().eol().pad();
  PageBitmap page;
  EXPECT_EQ(decode_t6(b.bytes(), 100, 10, page), 0);
  EXPECT_EQ(page.height, 2);
}

TEST(T6Page, NoRowAtAllIsEndOfData) {
  const std::vector<std::uint8_t> nothing = {0x00};
  PageBitmap page;
  EXPECT_EQ(decode_t6(nothing, 100, 10, page), END_OF_DATA);
  EXPECT_EQ(page.height, 0);
}

TEST(T6Page, InvalidCodeResynchronisesOnAMarkedStart) {
  BitBuilder b;
  b.mode(t::kV0).bits("0000001000").pad();
  // No 0xFF run follows: the page ends with the rows so far.
  PageBitmap lost;
  EXPECT_EQ(decode_t6(b.bytes(), 1728, 10, lost), BAD_CODE);
  EXPECT_EQ(lost.height, 1);
  // 0xFF 0xFF, then a byte whose bits after the leading 1 open with 001.
  b.bits("11111111 11111111 1").mode(t::kHorizontal).run(0, 30).run(1, 1698);
  b.mode(t::kV0).mode(t::kV0).pad();
  PageBitmap page;
  EXPECT_EQ(decode_t6(b.bytes(), 1728, 10, page), 0);
  ASSERT_EQ(page.height, 3);
  EXPECT_EQ(runs_of(page, 1), (std::vector<int>{30, 1698}));
  EXPECT_EQ(runs_of(page, 2), (std::vector<int>{30, 1698}));
}

TEST(T6Page, OptionsSelectWhetherToDecode) {
  BitBuilder b;
  b.mode(t::kV0);
  for (const std::uint8_t options : {0, 1, 2, 3}) {
    FaxCodec codec;
    configure_for_t6(codec, b.bytes(), 1, options, 0, 3);
    codec.set_size(8, 1);
    PageBitmap page;
    EXPECT_EQ(decode_t6_page(codec, page), (options & 1) ? -1 : 0) << int(options);
    EXPECT_EQ(page.has_pixels(), !(options & 1));
  }
}

TEST(MrPage, DecodingBeginsAtTheFirstOneDimensionalRow) {
  BitBuilder b;
  b.eol().bits("0").mode(t::kV0);                            // no reference yet: skipped
  b.eol().bits("1").row({10, 1718});                         // 1D
  b.eol().bits("0").mode(t::kV0).mode(t::kV0).mode(t::kV0);  // same as above
  b.eol().bits("1").eol().bits("1").eol().bits("1");         // RTC
  PageBitmap page;
  EXPECT_EQ(decode_mr(b.bytes(), 1728, 10, page), 0);
  ASSERT_EQ(page.height, 2);
  EXPECT_EQ(page.coding, kCodingT4_2D);
  EXPECT_EQ(runs_of(page, 0), (std::vector<int>{10, 1718}));
  EXPECT_EQ(runs_of(page, 1), (std::vector<int>{10, 1718}));
}

TEST(MrPage, WrongLengthRowCostsTheRowsUpToTheNextOneDimensionalRow) {
  BitBuilder b;
  b.eol().bits("1").row({5, 1723});
  b.eol().bits("0").mode(t::kV0).mode(t::kVR1);  // 1729 pixels: rejected
  b.eol().bits("0").mode(t::kV0).mode(t::kV0);   // skipped
  b.eol().bits("1").row({7, 1721});
  b.eol().bits("0").mode(t::kV0).mode(t::kV0);
  b.eol().bits("1").eol().bits("1");
  PageBitmap page;
  EXPECT_EQ(decode_mr(b.bytes(), 1728, 10, page), 1);
  ASSERT_EQ(page.height, 3);
  EXPECT_EQ(runs_of(page, 0), (std::vector<int>{5, 1723}));
  EXPECT_EQ(runs_of(page, 1), (std::vector<int>{7, 1721}));
  EXPECT_EQ(runs_of(page, 2), (std::vector<int>{7, 1721}));
}

TEST(MrPage, WithoutAOneDimensionalRowThereIsNoPage) {
  BitBuilder b;
  b.eol().bits("0").mode(t::kV0).eol().bits("0").pad();
  PageBitmap page;
  EXPECT_EQ(decode_mr(b.bytes(), 1728, 10, page), -1);
  EXPECT_FALSE(page.has_pixels());
  EXPECT_FALSE(page.is_valid());
}

TEST(MrPage, VlLeftOfA0IsRejectedWithoutHarm) {
  // Row 0: black 10..11. Row 1: V0 puts a0 at 10, b1 is then 12 and VL3
  // would put a1 at 9, left of a0.
  BitBuilder b;
  b.eol().bits("1").row({10, 2, 52});
  b.eol().bits("0").mode(t::kV0).mode(t::kVL3).mode(t::kV0).mode(t::kV0).mode(t::kV0);
  b.eol().bits("1").row({64}).eol().bits("1");
  PageBitmap page;
  EXPECT_EQ(decode_mr(b.bytes(), 64, 10, page), 1);
  ASSERT_EQ(page.height, 2);
  EXPECT_EQ(runs_of(page, 1), std::vector<int>{64});
}

TEST(FindT6Start, MarkedByARunOfFfBytes) {
  const std::vector<std::uint8_t> found = {0x00, 0xFF, 0xFF, 0xE0};
  FaxCodec c;
  configure_for_t6(c, found, 1, 0, 0, 3);
  EXPECT_EQ(find_t6_start(c, T6Search::kFirst), 0);
  EXPECT_EQ(c.start_offset, 1);
  EXPECT_EQ(c.position, 3);
  EXPECT_EQ(c.bits_used, 3);
  EXPECT_EQ(c.search_position, 4);

  // 0xE8: the bits after the ones are 010, so the search goes on from byte 4.
  const std::vector<std::uint8_t> next = {0x00, 0xFF, 0xFF, 0xE8, 0xFF, 0xFF, 0x80, 0x00};
  FaxCodec d;
  configure_for_t6(d, next, 1, 0, 0, 3);
  EXPECT_EQ(find_t6_start(d, T6Search::kFirst), 0);
  EXPECT_EQ(d.start_offset, 4);
  EXPECT_EQ(d.position, 6);
  EXPECT_EQ(d.bits_used, 1);
  // kNext goes on from the remembered position and finds nothing more.
  EXPECT_EQ(find_t6_start(d, T6Search::kNext), kPastEnd);

  // One 0xFF byte is not enough with flag number 3, it is with 2.
  const std::vector<std::uint8_t> single = {0x12, 0xFF, 0x10};
  FaxCodec e;
  configure_for_t6(e, single, 1, 0, 0, 3);
  EXPECT_LT(find_t6_start(e, T6Search::kFirst), 0);
  configure_for_t6(e, single, 1, 0, 0, 2);
  EXPECT_EQ(find_t6_start(e, T6Search::kFirst), 0);
  EXPECT_EQ(e.position, 2);
  EXPECT_EQ(e.bits_used, 0);

  // With flag number 0 the first byte that opens with 000/001 will do.
  configure_for_t6(e, single, 1, 0, 0, 0);
  EXPECT_EQ(find_t6_start(e, T6Search::kFirst), 0);
  EXPECT_EQ(e.position, 0);

  // The raw flag takes the data from the cursor as it is.
  configure_for_t6(e, single, 1, 0, 0, 3);
  e.raw_flag = 1;
  e.read_bits(5);
  EXPECT_EQ(find_t6_start(e, T6Search::kFirst), 0);
  EXPECT_EQ(e.position, 0);
  EXPECT_EQ(e.bits_used, 5);
}

}  // namespace
}  // namespace orvane::codec
