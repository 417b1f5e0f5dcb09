#include "codec/raw_extraction.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "base/coding_mode.h"
#include "codec/fax_codec.h"
#include "codec/page_driver.h"
#include "formats/raw_scratch_files.h"
#include "formats/raw_test_files.h"

namespace orvane::codec {
namespace {

// Extraction into the bare data reader's scratch files.
using Path = std::filesystem::path;
int extract(FaxCodec& c, const Path& rows, const Path& index, const ExtractionOptions& o) {
  RawScratchFiles files(rows, index);
  return codec::extract(c, files, o);
}
int extract_t6(FaxCodec& c, const Path& rows, const Path& index, const ExtractionOptions& o) {
  RawScratchFiles files(rows, index);
  return codec::extract_t6(c, files, o);
}
int extract_mh_rows(FaxCodec& c, const Path& rows, const Path& index) {
  RawScratchFiles files(rows, index);
  return codec::extract_mh_rows(c, files);
}
int extract_mr_rows(FaxCodec& c, const Path& rows, const Path& index) {
  RawScratchFiles files(rows, index);
  return codec::extract_mr_rows(c, files);
}
int extract_t6_rows(FaxCodec& c, const Path& rows, const Path& index) {
  RawScratchFiles files(rows, index);
  return codec::extract_t6_rows(c, files);
}

using test::IndexFile;
using test::RowFile;

// One extraction into a fresh pair of scratch files.
struct Extraction {
  test::TempDir dir;
  std::filesystem::path rows = dir / "orvtmp.tmp";
  std::filesystem::path index = dir / "segtemp.tmp";
  std::vector<std::uint8_t> data;
  FaxCodec codec;
  int result = 0;

  // MH/MR (T.6 with `t6`), as the raw reader prepares the codecs.
  void run(std::vector<std::uint8_t> bytes, std::uint8_t order, bool t6 = false,
           bool raw_flag = false, std::uint8_t flag_number = 3) {
    data = std::move(bytes);
    ExtractionOptions o;
    o.bit_order = order;
    o.flag_number = flag_number;
    if (t6) {
      configure_for_t6(codec, data, 1, 0, 0, flag_number);
      codec.raw_flag = raw_flag ? 1 : 0;
      result = extract_t6(codec, rows, index, o);
    } else {
      codec.configure(data, 1, kCodingT4_1D, 0);
      result = extract(codec, rows, index, o);
    }
  }
  RowFile row_file() const { return test::read_row_file(rows); }
  IndexFile index_file() const { return test::read_index_file(index); }
};

// Every field of both files for a stream of one page (or pages in one
// segment) of `rows` rows at 1728 pixels.
void expect_files(const Extraction& x, std::uint32_t rows, std::uint8_t order, std::uint8_t coding,
                  std::size_t entries) {
  const RowFile r = x.row_file();
  ASSERT_EQ(r.bytes.size(), 37 + std::size_t(rows) * 216);
  EXPECT_EQ(le32(&r.bytes[0]), 0u);
  EXPECT_EQ(le32(&r.bytes[4]), 1728u);
  EXPECT_EQ(le32(&r.bytes[8]), rows);
  EXPECT_EQ(le32(&r.bytes[12]), 216u);
  EXPECT_EQ(le16(&r.bytes[16]), 1);
  EXPECT_EQ(le16(&r.bytes[18]), 1);
  EXPECT_EQ(le32(&r.bytes[20]), x.data.size());
  EXPECT_EQ(le16(&r.bytes[24]), 200);
  EXPECT_EQ(le16(&r.bytes[26]), 100);  // few rows: standard resolution
  EXPECT_EQ(r.bytes[28], 2);
  EXPECT_EQ(r.bytes[29], order);
  EXPECT_EQ(r.bytes[30], coding);
  EXPECT_EQ(r.bytes[31], 1);
  EXPECT_EQ(r.bytes[32], 0);
  EXPECT_EQ(le32(&r.bytes[33]), 0u);

  const IndexFile ix = x.index_file();
  ASSERT_EQ(ix.bytes.size(), kIndexHeaderSize + entries * kIndexEntrySize);
  EXPECT_EQ(ix.u32(0), entries);
  EXPECT_EQ(ix.u32(4), rows);
  EXPECT_EQ(ix.u32(8), 1728u);
  EXPECT_EQ(ix.bytes[12], order);
  EXPECT_EQ(ix.bytes[13], coding);
  EXPECT_EQ(ix.bytes[14], 1);
  EXPECT_EQ(ix.bytes[15], 0);
  std::uint32_t longest = 0, sum = 0;
  for (const SegmentEntry& e : ix.entries) {
    longest = std::max(longest, e.rows);
    sum += e.rows;
    EXPECT_LE(e.first_byte, e.last_byte);
    EXPECT_LT(e.last_byte, x.data.size());
    EXPECT_LE(e.start_bit, 7);
    EXPECT_LE(e.end_bit, 8);
  }
  EXPECT_EQ(sum, rows);
  EXPECT_EQ(ix.u32(16), longest);
  EXPECT_EQ(ix.u16(20), 100);
  for (std::size_t i = 22; i < kIndexHeaderSize; ++i) ASSERT_EQ(ix.bytes[i], 0) << "byte " << i;
}

::testing::AssertionResult rows_are(const RowFile& r, const test::Pbm& expected,
                                    const std::string& name) {
  return test::same_pixels(expected, test::to_pbm(r.page), name);
}

TEST(RawExtractionMh, Pbmtog3StreamsInBothBitOrders) {
  struct Case {
    const char* file;
    std::uint8_t order;
  };
  for (const Case& k : {Case{"text-1728-pbmtog3", 1}, Case{"text-1728-pbmtog3-lsb", 2}}) {
    SCOPED_TRACE(k.file);
    Extraction x;
    x.run(test::raw_fixture(std::string(k.file) + ".g3"), k.order);
    EXPECT_EQ(x.result, 0);  // no bad code words
    expect_files(x, 112, k.order, kCodingT4_1D, 1);
    EXPECT_TRUE(rows_are(x.row_file(), test::expected_page(k.file), k.file));

    // The entry runs from the EOL before the first row to the EOL after the
    // last one (the first EOL of RTC).
    const SegmentEntry e = x.index_file().entries.at(0);
    const bool lsb = k.order == 2;
    EXPECT_EQ(test::bits_at(x.data, e.first_byte * 8ull + e.start_bit, 12, lsb), test::kEol);
    EXPECT_EQ(test::bits_at(x.data, e.last_byte * 8ull + e.end_bit, 12, lsb), test::kEol);
    EXPECT_EQ(e.rows, 112u);
  }
}

TEST(RawExtractionMh, TiffStripWithoutRtcKeepsItsLastRow) {
  // libtiff puts an EOL in front of each row and none after the last.
  Extraction x;
  x.run(test::raw_fixture("text-1728-strip-g3-1d.g3"), 1);
  EXPECT_EQ(x.result, 0);
  expect_files(x, 112, 1, kCodingT4_1D, 1);
  EXPECT_TRUE(rows_are(x.row_file(), test::expected_page("text-1728-strip-g3-1d"), "strip-1d"));
}

TEST(RawExtractionMh, RtcBetweenPagesEndsASegment) {
  Extraction x;
  x.run(test::raw_fixture("twopage-1728-g3-1d.g3"), 1);
  EXPECT_EQ(x.result, 0);
  expect_files(x, 212, 1, kCodingT4_1D, 2);
  const IndexFile ix = x.index_file();
  EXPECT_EQ(ix.entries[0].rows, 112u);
  EXPECT_EQ(ix.entries[1].rows, 100u);
  EXPECT_GT(ix.entries[1].first_byte, ix.entries[0].last_byte);
  EXPECT_TRUE(rows_are(x.row_file(),
                       test::stacked({test::expected_page("twopage-1728-g3-1d-p1"),
                                      test::expected_page("twopage-1728-g3-1d-p2")}),
                       "twopage-1d"));
}

TEST(RawExtractionMh, BadCodeCostsItsRowAndSplitsTheSegment) {
  // Three white rows, a row with a bad code, two white rows.
  test::BitWriter bits;
  for (int i = 0; i < 3; ++i) bits.put(std::string(test::kEol) + test::kWhite1728Row);
  bits.put(std::string(test::kEol) + "0111" + "000000001" + "1111");  // white 2, then no code
  for (int i = 0; i < 2; ++i) bits.put(std::string(test::kEol) + test::kWhite1728Row);
  bits.put(test::kEol);
  Extraction x;
  x.data = bits.bytes();
  x.codec.configure(x.data, 1, kCodingT4_1D, 0);
  x.codec.width = 1728;
  EXPECT_EQ(extract_mh_rows(x.codec, x.rows, x.index), 1);
  const IndexFile ix = x.index_file();
  ASSERT_EQ(ix.entries.size(), 2u);
  EXPECT_EQ(ix.entries[0].rows, 3u);
  EXPECT_EQ(ix.entries[1].rows, 2u);
  // The second segment starts at the EOL after the bad row.
  EXPECT_EQ(test::bits_at(x.data, ix.entries[1].first_byte * 8ull + ix.entries[1].start_bit, 12),
            test::kEol);
  const RowFile r = x.row_file();
  EXPECT_EQ(r.page.height, 5);
  for (std::uint8_t b : r.page.pixels) ASSERT_EQ(b, 0xFF);  // white rows, nothing of the bad one
}

TEST(RawExtractionMr, TwoDimensionalStripsAndPages) {
  struct Case {
    const char* file;
    std::uint8_t order;
  };
  for (const Case& k : {Case{"text-1728-strip-g3-2d-k2", 1}, Case{"text-1728-strip-g3-2d-k4", 1},
                        Case{"text-1728-strip-g3-2d-lsb", 2}, Case{"text-1728-rtc-g3-2d", 1}}) {
    SCOPED_TRACE(k.file);
    Extraction x;
    x.run(test::raw_fixture(std::string(k.file) + ".g3"), k.order);
    EXPECT_EQ(x.result, 0);
    expect_files(x, 112, k.order, kCodingT4_2D, 1);
    EXPECT_TRUE(rows_are(x.row_file(), test::expected_page(k.file), k.file));
  }
  // RTC does not end an MR segment: two pages give one entry.
  Extraction two;
  two.run(test::raw_fixture("twopage-1728-g3-2d.g3"), 1);
  EXPECT_EQ(two.result, 0);
  expect_files(two, 212, 1, kCodingT4_2D, 1);
  EXPECT_TRUE(rows_are(two.row_file(),
                       test::stacked({test::expected_page("twopage-1728-g3-2d-p1"),
                                      test::expected_page("twopage-1728-g3-2d-p2")}),
                       "twopage-2d"));
}

TEST(RawExtractionT6, StripsAndPagesWithTheRawFlag) {
  for (const char* name : {"text-1728-strip-g4", "text-1728-eofb-g4"}) {
    SCOPED_TRACE(name);
    Extraction x;
    x.run(test::raw_fixture(std::string(name) + ".g4"), 1, true, true);
    EXPECT_EQ(x.result, 0);
    expect_files(x, 112, 1, kCodingT6, 1);
    EXPECT_TRUE(rows_are(x.row_file(), test::expected_page(name), name));
  }
  // EOFB between pages keeps them in one segment.
  Extraction two;
  two.run(test::raw_fixture("twopage-1728-g4.g4"), 1, true, true);
  EXPECT_EQ(two.result, 0);
  expect_files(two, 212, 1, kCodingT6, 1);
  EXPECT_TRUE(rows_are(two.row_file(),
                       test::stacked({test::expected_page("twopage-1728-g4-p1"),
                                      test::expected_page("twopage-1728-g4-p2")}),
                       "twopage-g4"));
}

TEST(RawExtractionT6, BadCodeSplitsTheSegment) {
  test::BitWriter bits;
  for (int i = 0; i < 76; ++i) bits.put("1");  // V0 against white: 76 white rows
  bits.put("0000001 0");                       // six zeros, no EOL: an invalid mode code
  bits.put("0000");                            // to the byte boundary
  bits.put("11111111 11111111");               // 0xFF run: where T.6 data starts again
  // Five rows in horizontal mode: white 1728 (make-up 1728, 0), black 0.
  for (int i = 0; i < 5; ++i) bits.put("001 010011011 00110101 0000110111");
  Extraction x;
  x.data = bits.bytes();
  configure_for_t6(x.codec, x.data, 1, 0, 0, 3);
  x.codec.width = 1728;
  EXPECT_EQ(extract_t6_rows(x.codec, x.rows, x.index), 0);
  const IndexFile ix = x.index_file();
  ASSERT_EQ(ix.entries.size(), 2u);
  EXPECT_EQ(ix.entries[0].rows, 76u);
  EXPECT_EQ(ix.entries[0].first_byte, 0u);
  EXPECT_EQ(ix.entries[0].start_bit, 0);
  EXPECT_EQ(ix.entries[0].last_byte, 9u);  // after bit 76: byte 9, bit 4
  EXPECT_EQ(ix.entries[0].end_bit, 4);
  EXPECT_EQ(ix.entries[1].rows, 5u);
  EXPECT_EQ(ix.entries[1].first_byte, 13u);  // the first coded bit after the 0xFF run
  EXPECT_EQ(ix.entries[1].start_bit, 0);
  const RowFile r = x.row_file();
  EXPECT_EQ(r.page.height, 81);
  for (std::uint8_t b : r.page.pixels) ASSERT_EQ(b, 0xFF);
}

TEST(RawExtraction, VerticalResolutionFromTheLongestSegment) {
  // Class 1: A4 at 100, 200, 300 dpi is 1144, 2288, 3432 rows.
  EXPECT_EQ(choose_vertical_resolution(1, 1), 100);
  EXPECT_EQ(choose_vertical_resolution(1, 1144), 100);
  EXPECT_EQ(choose_vertical_resolution(1, 1145), 200);
  EXPECT_EQ(choose_vertical_resolution(1, 2288), 200);
  EXPECT_EQ(choose_vertical_resolution(1, 2289), 300);
  EXPECT_EQ(choose_vertical_resolution(1, 3432), 300);
  EXPECT_EQ(choose_vertical_resolution(1, 3433), 400);
  EXPECT_EQ(choose_vertical_resolution(2, 1363), 100);
  EXPECT_EQ(choose_vertical_resolution(2, 2726), 200);
  EXPECT_EQ(choose_vertical_resolution(2, 4089), 300);
  EXPECT_EQ(choose_vertical_resolution(2, 4090), 400);
  EXPECT_EQ(choose_vertical_resolution(3, 1617), 100);
  EXPECT_EQ(choose_vertical_resolution(3, 3234), 200);
  EXPECT_EQ(choose_vertical_resolution(3, 4851), 300);
  EXPECT_EQ(choose_vertical_resolution(3, 4852), 400);
  EXPECT_EQ(choose_vertical_resolution(0, 5000), 100);
  EXPECT_EQ(choose_vertical_resolution(4, 5000), 100);

  // Stored in both files after a real extraction.
  test::TempDir dir;
  struct Case {
    int rows;
    std::uint16_t vres;
  };
  for (const Case& k : {Case{2200, 200}, Case{3500, 400}}) {
    SCOPED_TRACE(k.rows);
    Extraction x;
    x.run(test::pbmtog3_of(dir, "pbmmake -white 1728 " + std::to_string(k.rows)), 1);
    const IndexFile ix = x.index_file();
    EXPECT_EQ(ix.u32(16), std::uint32_t(k.rows));
    EXPECT_EQ(ix.u16(20), k.vres);
    EXPECT_EQ(x.row_file().page.yres, k.vres);
    EXPECT_EQ(x.row_file().page.height, k.rows);
  }
}

TEST(RawExtraction, NothingAcceptedLeavesBothFilesEmpty) {
  std::mt19937 rng(7);
  std::vector<std::uint8_t> noise(20000);
  for (auto& b : noise) b = std::uint8_t(rng());
  for (bool t6 : {false, true}) {
    Extraction x;
    x.run(noise, 1, t6);
    EXPECT_EQ(x.result, -1);
    EXPECT_EQ(std::filesystem::file_size(x.rows), 0u);
    EXPECT_EQ(std::filesystem::file_size(x.index), 0u);
  }
}

TEST(RawExtraction, ScratchFilesThatCannotBeCreated) {
  test::TempDir dir;
  const auto missing = dir / "no-such-folder";
  const auto data = test::raw_fixture("text-1728-pbmtog3.g3");
  FaxCodec c;
  c.configure(data, 1, kCodingT4_1D, 0);
  ExtractionOptions o;
  EXPECT_EQ(extract(c, missing / "rows", dir / "index", o), -1);
  EXPECT_EQ(extract(c, dir / "rows", missing / "index", o), -1);
  EXPECT_EQ(extract_t6(c, missing / "rows", dir / "index", o), -1);
  c.width = 1728;
  EXPECT_EQ(extract_mh_rows(c, missing / "rows", dir / "index"), -1);
  EXPECT_EQ(extract_mr_rows(c, dir / "rows", missing / "index"), -1);
  EXPECT_EQ(extract_t6_rows(c, missing / "rows", dir / "index"), -1);
}

TEST(RawExtraction, EntriesRoundTrip) {
  const SegmentEntry e{0x01020304, 0xA0B0C0D0, 77, 3, 8};
  const auto bytes = store_entry(e);
  EXPECT_EQ(bytes[0], 0x04);
  EXPECT_EQ(bytes[7], 0xA0);
  EXPECT_EQ(bytes[8], 77);
  EXPECT_EQ(bytes[12], 3);
  EXPECT_EQ(bytes[13], 8);
  const SegmentEntry back = load_entry(bytes);
  EXPECT_EQ(back.first_byte, e.first_byte);
  EXPECT_EQ(back.last_byte, e.last_byte);
  EXPECT_EQ(back.rows, e.rows);
  EXPECT_EQ(back.start_bit, e.start_bit);
  EXPECT_EQ(back.end_bit, e.end_bit);
}

}  // namespace
}  // namespace orvane::codec
