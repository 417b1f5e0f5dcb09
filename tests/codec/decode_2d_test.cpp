// Two-dimensional rows, the MR and T.6 page decoders and the T.6 start search.
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
  b.mode(t::kV0).mode(t::kV0).mode(t::kV0);
  PageBitmap page;
  EXPECT_EQ(decode_t6(b.bytes(), 1728, 3, page), 0);
  ASSERT_EQ(page.height, 2);
  EXPECT_EQ(runs_of(page, 0), (std::vector<int>{100, 50, 1578}));
  EXPECT_EQ(runs_of(page, 1), (std::vector<int>{100, 50, 1578})) << "V0 under the row above";
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

// What follows a row that went wrong is the decoder's own rule: a row of
// another width is reported as it is, or given up by MR with the rows up
// to the next one-dimensional row and kept by T.6 (clipped); aligned MH
// rows have no EOL to resume at, even where the data holds one.
TEST(RowRecovery, TheDecoderDecidesWhatFollowsARowThatWentWrong) {
  BitBuilder mr;
  mr.eol().bits("1").row({5, 1723});
  mr.eol().bits("0").mode(t::kV0).mode(t::kVR1);  // 1729 pixels
  mr.eol().bits("0").mode(t::kV0).mode(t::kV0);
  mr.eol().bits("1").row({7, 1721}).eol();
  BitBuilder t6;
  t6.mode(t::kHorizontal).run(0, 30).run(1, 1700).pad();  // 1730 pixels
  for (const Recovery recovery : {Recovery::kReport, Recovery::kRecover}) {
    const bool recover = recovery == Recovery::kRecover;
    MrDecoder m(BitReader(mr.bytes(), false), 1728, 0, MrRows::kToEol, recovery);
    ASSERT_TRUE(m.start());
    EXPECT_EQ(m.next_row(no_row()), RowStatus::kRow);
    EXPECT_EQ(m.next_row(no_row()), recover ? RowStatus::kBad : RowStatus::kOtherWidth);
    EXPECT_EQ(m.pixels(), 1729);
    // Given up, the row coded against it is passed over.
    EXPECT_EQ(m.next_row(no_row()), recover ? RowStatus::kRow : RowStatus::kOtherWidth);
    EXPECT_EQ(m.tag(), recover ? 1 : 0);

    T6Decoder d(BitReader(t6.bytes(), false), 1728, 0, true, 3, recovery);
    EXPECT_EQ(d.next_row(no_row()), recover ? RowStatus::kRow : RowStatus::kOtherWidth);
    EXPECT_EQ(d.pixels(), 1730);
  }
  BitBuilder aligned;
  aligned.row({50, 50}).pad().bits("000000001000").eol().row({50, 50}).pad();
  MhDecoder h(BitReader(aligned.bytes(), false), 100, 0, MhRows::kByteAligned);
  EXPECT_EQ(h.next_row(no_row()), RowStatus::kRow);
  EXPECT_EQ(h.next_row(no_row()), RowStatus::kBad);
  EXPECT_EQ(h.next_row(no_row()), RowStatus::kEnd);
}

TEST(FindT6Start, MarkedByARunOfFfBytes) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::uint8_t flags;
    bool found;
    std::int64_t offset, position;  // the 0xFF run's byte, the first coded bit
  };
  for (const Case& k : {
           Case{{0x00, 0xFF, 0xFF, 0xE0}, 3, true, 1, 27},
           // 0xE8: the bits after the ones are 010, so the search goes on.
           Case{{0x00, 0xFF, 0xFF, 0xE8, 0xFF, 0xFF, 0x80, 0x00}, 3, true, 4, 49},
           // One 0xFF byte is not enough with flag number 3, it is with 2.
           Case{{0x12, 0xFF, 0x10}, 3, false, 0, 0},
           Case{{0x12, 0xFF, 0x10}, 2, true, 1, 16},
           // With flag number 0 the first byte that opens with 000/001 will do.
           Case{{0x12, 0xFF, 0x10}, 0, true, 0, 0},
       }) {
    T6Decoder dec(BitReader(k.bytes, false), 1728, 0, false, k.flags);
    ASSERT_EQ(dec.find_start(T6Search::kFirst), k.found) << int(k.bytes[3 % k.bytes.size()]);
    if (!k.found) continue;
    EXPECT_EQ(dec.start_offset(), k.offset);
    EXPECT_EQ(dec.position(), k.position);
    // kNext goes on after the start found and finds no other.
    if (k.flags > 0) {
      EXPECT_FALSE(dec.find_start(T6Search::kNext));
    }
  }
  // The raw flag takes the data from where it stands.
  const std::vector<std::uint8_t> single = {0x12, 0xFF, 0x10};
  BitReader in(single, false);
  in.seek(5);
  T6Decoder raw(in, 1728, 0, true, 3);
  EXPECT_TRUE(raw.find_start(T6Search::kFirst));
  EXPECT_EQ(raw.position(), 5);
}

}  // namespace
}  // namespace orvane::codec
