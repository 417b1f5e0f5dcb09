// The page decoders (Modified Huffman with EOLs, byte- and word-aligned and
// prefixed rows, MR, T.6) on hand-coded pages, Modified Huffman rows, and
// the T.6 start search.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "base/coding_mode.h"
#include "bit_builder.h"
#include "codec/fax_codec.h"
#include "codec/page_driver.h"
#include "codec/row_decoders.h"

namespace orvane::codec {
namespace {

using test::BitBuilder;
using test::runs_of;
namespace t = tables;

using Decode = int (*)(const std::vector<std::uint8_t>&, std::int32_t, std::int32_t, std::uint8_t,
                       PageBitmap&);

template <std::uint8_t kCoding>
int by_mode(const std::vector<std::uint8_t>& bytes, std::int32_t width, std::int32_t height,
            std::uint8_t invert, PageBitmap& page) {
  FaxCodec codec;
  codec.configure(bytes, 1, kCoding, invert);
  codec.set_size(width, height);
  return decode_by_coding_mode(codec, page);
}
constexpr Decode kEolPage = by_mode<kCodingT4_1D>;
constexpr Decode kMhByte = by_mode<kCodingMhByte>;
constexpr Decode kMhWord = by_mode<kCodingMhWord>;
constexpr Decode kMr = by_mode<kCodingT4_2D>;

int t6(const std::vector<std::uint8_t>& bytes, std::int32_t width, std::int32_t height,
       std::uint8_t, PageBitmap& page) {
  FaxCodec codec;
  configure_for_t6(codec, bytes, 1, 0, 0, 3);
  codec.set_size(width, height);
  return decode_t6_page(codec, page);
}

// Rows r of `runs(r)` for r in [0, n).
std::vector<std::vector<int>> rows(int n, std::function<std::vector<int>(int)> runs) {
  std::vector<std::vector<int>> out;
  for (int r = 0; r < n; ++r) out.push_back(runs(r));
  return out;
}

struct PageCase {
  const char* name;
  std::function<void(BitBuilder&)> code;
  Decode decode;
  std::int32_t width, height;
  int result;
  std::vector<std::vector<int>> rows;  // every row decoded, as runs from white
  std::uint8_t invert = 0;
};

const PageCase kPages[] = {
    // ---- Modified Huffman rows between EOLs
    {"one white row between EOLs and RTC",
     [](BitBuilder& b) { b.eol().row({1728}).eol().eol().eol().eol().eol().eol(); },
     kEolPage,
     1728,
     20,
     0,
     {{1728}}},
    {"inverted",
     [](BitBuilder& b) { b.eol().row({1728}).eol().eol(); },
     kEolPage,
     1728,
     20,
     0,
     {{0, 1728}},
     1},
    // Longer than the width: the rest of the row is skipped up to its EOL,
    // and the next row starts white again.
    {"rows of the wrong length are dropped",
     [](BitBuilder& b) {
       b.eol().row({1727}).eol().row({10, 1718}).eol();
       b.row({1700, 30, 10, 5}).eol().row({5, 1723}).eol();
     },
     kEolPage,
     1728,
     10,
     0,
     {{10, 1718}, {5, 1723}}},
    {"data ending after a full row keeps it",
     [](BitBuilder& b) {
       b.eol().row({3, 1725}).eol().row({1000, 728});
     },
     kEolPage,
     1728,
     10,
     0,
     {{3, 1725}, {1000, 728}}},
    {"an invalid code costs only its row",
     [](BitBuilder& b) {
       b.eol().row({20, 1708}).eol().row({30}).bits("000000001000").row({7}).eol();
       b.row({40, 1688}).eol();
     },
     kEolPage,
     1728,
     10,
     1,
     {{20, 1708}, {40, 1688}}},
    {"more rows than the height keep the first rows",
     [](BitBuilder& b) {
       for (int r = 0; r < 5; ++r) b.eol().row({r + 1, 64 - r - 1});
       b.eol();
     },
     kEolPage,
     64,
     2,
     0,
     {{1, 63}, {2, 62}}},
    // ---- byte- and word-aligned rows
    // Row 0 (17 bits) ends at byte index 3, row 1 (38 bits) at 9: word
    // alignment skips the byte after each; byte alignment reads it as code.
    {"word alignment skips a byte after rows ending at odd indexes",
     [](BitBuilder& b) {
       b.row({1728}).pad().bits("00000000").row({100, 1628}).pad().bits("00000000");
       b.row({1728}).pad();
     },
     kMhWord,
     1728,
     10,
     0,
     {{1728}, {100, 1628}, {1728}}},
    {"byte alignment reads the skipped byte as code",
     [](BitBuilder& b) {
       b.row({1728}).pad().bits("00000000").row({100, 1628}).pad().bits("00000000");
     },
     kMhByte,
     1728,
     10,
     1,
     {{1728}}},
    {"an invalid aligned code ends the page",
     [](BitBuilder& b) {
       for (int r = 0; r < 12; ++r) {
         if (r == 9) b.bits("000000001000");
         b.row({r, 100 - r}).pad();
       }
     },
     kMhByte, 100, 20, 1,
     rows(9,
          [](int r) {
            return std::vector<int>{r, 100 - r};
          })},
    {"an aligned row longer than the width ends the page",
     [](BitBuilder& b) {
       b.row({50, 50}).pad().row({60, 41}).pad().row({50, 50}).pad();
     },
     kMhByte,
     100,
     20,
     0,
     {{50, 50}}},
    // ---- T.6
    {"T.6 white rows are V0 against the imaginary white line",
     [](BitBuilder& b) { b.mode(t::kV0).mode(t::kV0).mode(t::kV0); },
     t6,
     1728,
     10,
     0,
     {{1728}, {1728}, {1728}}},
    {"T.6 horizontal then V0 ends at the width; V0 under the row above",
     [](BitBuilder& b) {
       b.mode(t::kHorizontal).run(0, 100).run(1, 50).mode(t::kV0);
       b.mode(t::kV0).mode(t::kV0).mode(t::kV0);
     },
     t6,
     1728,
     3,
     0,
     {{100, 50, 1578}, {100, 50, 1578}}},
    // Row 0: white 10, black 20, white rest. Row 1 from it: VR1, VL2 ->
    // black 11..28. Row 2: pass (over row 1's black) then V0 at the end.
    {"T.6 vertical and pass modes follow the reference",
     [](BitBuilder& b) {
       b.mode(t::kHorizontal).run(0, 10).run(1, 20).mode(t::kV0);
       b.mode(t::kVR1).mode(t::kVL2).mode(t::kV0);
       b.mode(t::kPass).mode(t::kV0);
     },
     t6,
     64,
     10,
     0,
     {{10, 20, 34}, {11, 17, 36}, {64}}},
    {"T.6 EOFB adds no row",
     [](BitBuilder& b) { b.mode(t::kV0).mode(t::kV0).eol().eol().pad(); },
     t6,
     100,
     10,
     0,
     {{100}, {100}}},
    {"T.6 no row at all is the end of the data",
     [](BitBuilder& b) { b.zeros(8); },
     t6,
     100,
     10,
     END_OF_DATA,
     {}},
    // No 0xFF run follows the bad code: the page ends with the rows so far.
    {"T.6 invalid code without a marked start",
     [](BitBuilder& b) { b.mode(t::kV0).bits("0000001000").pad(); },
     t6,
     1728,
     10,
     BAD_CODE,
     {{1728}}},
    // 0xFF 0xFF, then a byte whose bits after the leading 1 open with 001.
    {"T.6 invalid code resynchronises on a marked start",
     [](BitBuilder& b) {
       b.mode(t::kV0).bits("0000001000").pad();
       b.bits("11111111 11111111 1").mode(t::kHorizontal).run(0, 30).run(1, 1698);
       b.mode(t::kV0).mode(t::kV0).pad();
     },
     t6,
     1728,
     10,
     0,
     {{1728}, {30, 1698}, {30, 1698}}},
    // ---- MR
    {"MR decoding begins at the first one-dimensional row",
     [](BitBuilder& b) {
       b.eol().bits("0").mode(t::kV0);                            // no reference yet: skipped
       b.eol().bits("1").row({10, 1718});                         // 1D
       b.eol().bits("0").mode(t::kV0).mode(t::kV0).mode(t::kV0);  // same as above
       b.eol().bits("1").eol().bits("1").eol().bits("1");         // RTC
     },
     kMr,
     1728,
     10,
     0,
     {{10, 1718}, {10, 1718}}},
    {"MR wrong-length row costs the rows up to the next 1D row",
     [](BitBuilder& b) {
       b.eol().bits("1").row({5, 1723});
       b.eol().bits("0").mode(t::kV0).mode(t::kVR1);  // 1729 pixels: rejected
       b.eol().bits("0").mode(t::kV0).mode(t::kV0);   // skipped
       b.eol().bits("1").row({7, 1721});
       b.eol().bits("0").mode(t::kV0).mode(t::kV0);
       b.eol().bits("1").eol().bits("1");
     },
     kMr,
     1728,
     10,
     1,
     {{5, 1723}, {7, 1721}, {7, 1721}}},
    {"MR without a one-dimensional row has no page",
     [](BitBuilder& b) { b.eol().bits("0").mode(t::kV0).eol().bits("0").pad(); },
     kMr,
     1728,
     10,
     -1,
     {}},
    // Row 0: black 10..11. Row 1: V0 puts a0 at 10, b1 is then 12 and VL3
    // would put a1 at 9, left of a0.
    {"MR VL left of a0 is rejected without harm",
     [](BitBuilder& b) {
       b.eol().bits("1").row({10, 2, 52});
       b.eol().bits("0").mode(t::kV0).mode(t::kVL3).mode(t::kV0).mode(t::kV0).mode(t::kV0);
       b.eol().bits("1").row({64}).eol().bits("1");
     },
     kMr,
     64,
     10,
     1,
     {{10, 2, 52}, {64}}},
};

TEST(PageDecoders, HandCodedPages) {
  for (const PageCase& k : kPages) {
    SCOPED_TRACE(k.name);
    BitBuilder b;
    k.code(b);
    PageBitmap page;
    EXPECT_EQ(k.decode(b.bytes(), k.width, k.height, k.invert, page), k.result);
    ASSERT_EQ(page.height, int(k.rows.size()));
    if (k.result == -1) {
      EXPECT_FALSE(page.has_pixels());
      EXPECT_FALSE(page.is_valid());
    }
    if (k.rows.empty()) continue;
    // Each decoder marks the page with the coding it read.
    EXPECT_EQ(page.coding, k.decode == t6        ? kCodingT6
                           : k.decode == kMr     ? kCodingT4_2D
                           : k.decode == kMhByte ? kCodingMhByte
                           : k.decode == kMhWord ? kCodingMhWord
                                                 : kCodingT4_1D);
    EXPECT_EQ(page.width, k.width);
    EXPECT_EQ(page.row_bytes, (k.width + 7) / 8);
    for (int y = 0; y < page.height; ++y) EXPECT_EQ(runs_of(page, y), k.rows[std::size_t(y)]) << y;
  }
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
    for (const std::uint8_t coding : {kCodingT4_1D, kCodingMhWord}) {
      codec.coding_mode = coding;
      EXPECT_EQ(decode_by_coding_mode(codec, page), -1);
    }
  }
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
