#include "codec/raw_extraction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "base/coding_mode.h"
#include "codec/fax_codec.h"
#include "codec/page_driver.h"
#include "formats/raw_fax_reader.h"
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

// What an extraction of a stream of `rows` rows 1728 pixels wide leaves in
// the scratch files: the rows with the coding and bit order found, and the
// segments, which together hold every row.
void expect_files(const Extraction& x, std::uint32_t rows, std::uint8_t order, std::uint8_t coding,
                  std::vector<std::uint32_t> segment_rows) {
  const RowFile r = x.row_file();
  EXPECT_EQ(r.page.width, 1728);
  EXPECT_EQ(r.page.height, int(rows));
  EXPECT_EQ(r.page.bit_order, order);
  EXPECT_EQ(r.page.coding, coding);
  EXPECT_EQ(r.page.coded_length, x.data.size());
  const IndexFile ix = x.index_file();
  EXPECT_EQ(ix.u32(kIndexEntryCountAt), segment_rows.size());
  EXPECT_EQ(ix.u32(kIndexTotalRowsAt), rows);
  EXPECT_EQ(ix.bytes.at(kIndexBitOrderAt), order);
  EXPECT_EQ(ix.bytes.at(kIndexCodingAt), coding);
  std::vector<std::uint32_t> found;
  for (const SegmentEntry& e : ix.entries) {
    found.push_back(e.rows);
    EXPECT_LE(e.first_byte, e.last_byte);
    EXPECT_LT(e.last_byte, x.data.size());
  }
  EXPECT_EQ(found, segment_rows);
  EXPECT_EQ(ix.u32(kIndexLongestAt), *std::max_element(found.begin(), found.end()));
}

// Streams of every coding; RTC ends a Modified Huffman segment, but neither
// RTC an MR one nor EOFB a T.6 one. (Their pixels: the raw reader's tests.)
TEST(RawExtraction, SegmentsOfEveryCoding) {
  struct Case {
    const char* file;
    std::uint8_t order, coding;
    std::vector<std::uint32_t> segments;
  };
  const Case cases[] = {
      {"text-1728-pbmtog3.g3", 1, kCodingT4_1D, {112}},
      {"text-1728-pbmtog3-lsb.g3", 2, kCodingT4_1D, {112}},
      // libtiff puts an EOL in front of each row and none after the last.
      {"text-1728-strip-g3-1d.g3", 1, kCodingT4_1D, {112}},
      {"twopage-1728-g3-1d.g3", 1, kCodingT4_1D, {112, 100}},
      {"text-1728-strip-g3-2d-k4.g3", 1, kCodingT4_2D, {112}},
      {"text-1728-strip-g3-2d-lsb.g3", 2, kCodingT4_2D, {112}},
      {"text-1728-rtc-g3-2d.g3", 1, kCodingT4_2D, {112}},
      {"twopage-1728-g3-2d.g3", 1, kCodingT4_2D, {212}},
      {"text-1728-strip-g4.g4", 1, kCodingT6, {112}},
      {"text-1728-eofb-g4.g4", 1, kCodingT6, {112}},
      {"twopage-1728-g4.g4", 1, kCodingT6, {212}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.file);
    Extraction x;
    x.run(test::raw_fixture(k.file), k.order, k.coding == kCodingT6, true);
    EXPECT_EQ(x.result, 0);  // no bad code words
    std::uint32_t rows = 0;
    for (std::uint32_t r : k.segments) rows += r;
    expect_files(x, rows, k.order, k.coding, k.segments);
    // An MH segment runs from the EOL before its first row to the EOL after
    // its last one (the first EOL of RTC).
    if (std::string_view(k.file).find("pbmtog3") != std::string_view::npos) {
      const SegmentEntry e = x.index_file().entries.at(0);
      const bool lsb = k.order == 2;
      EXPECT_EQ(test::bits_at(x.data, e.first_byte * 8ull + e.start_bit, 12, lsb), test::kEol);
      EXPECT_EQ(test::bits_at(x.data, e.last_byte * 8ull + e.end_bit, 12, lsb), test::kEol);
    }
  }
}

TEST(RawExtraction, BadCodeCostsItsRowAndSplitsTheSegment) {
  // MH: three white rows, a row with a bad code, two white rows.
  test::BitWriter mh;
  for (int i = 0; i < 3; ++i) mh.put(std::string(test::kEol) + test::kWhite1728Row);
  mh.put(std::string(test::kEol) + "0111" + "000000001" + "1111");  // white 2, then no code
  for (int i = 0; i < 2; ++i) mh.put(std::string(test::kEol) + test::kWhite1728Row);
  mh.put(test::kEol);
  // T.6: 76 white rows (V0 against white), an invalid mode code, a 0xFF run
  // where T.6 data starts again, five rows in horizontal mode: white 1728
  // (make-up 1728, 0), black 0.
  test::BitWriter t6;
  for (int i = 0; i < 76; ++i) t6.put("1");
  t6.put("0000001 0 0000 11111111 11111111");
  for (int i = 0; i < 5; ++i) t6.put("001 010011011 00110101 0000110111");
  for (const bool is_t6 : {false, true}) {
    SCOPED_TRACE(is_t6 ? "T.6" : "MH");
    Extraction x;
    x.data = (is_t6 ? t6 : mh).bytes();
    if (is_t6) {
      configure_for_t6(x.codec, x.data, 1, 0, 0, 3);
    } else {
      x.codec.configure(x.data, 1, kCodingT4_1D, 0);
    }
    x.codec.width = 1728;
    EXPECT_EQ(is_t6 ? extract_t6_rows(x.codec, x.rows, x.index)
                    : extract_mh_rows(x.codec, x.rows, x.index),
              is_t6 ? 0 : 1);
    const IndexFile ix = x.index_file();
    ASSERT_EQ(ix.entries.size(), 2u);
    EXPECT_EQ(ix.entries[0].rows, is_t6 ? 76u : 3u);
    EXPECT_EQ(ix.entries[1].rows, is_t6 ? 5u : 2u);
    if (is_t6) {
      // Up to bit 76; again from the first coded bit after the 0xFF run.
      EXPECT_EQ(ix.entries[0].last_byte * 8 + ix.entries[0].end_bit, 76u);
      EXPECT_EQ(ix.entries[1].first_byte * 8 + ix.entries[1].start_bit, 13u * 8);
    } else {
      // The second segment starts at the EOL after the bad row.
      EXPECT_EQ(
          test::bits_at(x.data, ix.entries[1].first_byte * 8ull + ix.entries[1].start_bit, 12),
          test::kEol);
    }
    const RowFile r = x.row_file();
    EXPECT_EQ(r.page.height, is_t6 ? 81 : 5);
    for (std::uint8_t b : r.page.pixels) ASSERT_EQ(b, 0xFF);  // white rows, nothing of the bad one
  }
}

// The resolution guessed from the longest segment is the lowest whose page
// length (as the raw reader paginates) holds it.
TEST(RawExtraction, VerticalResolutionFromTheLongestSegment) {
  for (std::uint8_t width_class : {1, 2, 3}) {
    SCOPED_TRACE(int(width_class));
    EXPECT_EQ(choose_vertical_resolution(width_class, 1), 100);
    for (std::uint16_t vres : {100, 200, 300}) {
      const std::uint32_t rows = RawFaxReader::standard_page_rows(width_class, vres);
      EXPECT_EQ(choose_vertical_resolution(width_class, rows), vres);
      EXPECT_EQ(choose_vertical_resolution(width_class, rows + 1), vres + 100);
    }
  }
  for (std::uint8_t other : {0, 4}) EXPECT_EQ(choose_vertical_resolution(other, 5000), 100);

  // Stored in both files after a real extraction.
  test::TempDir dir;
  Extraction x;
  x.run(test::pbmtog3_of(dir, "pbmmake -white 1728 2200"), 1);
  EXPECT_EQ(x.index_file().u32(kIndexLongestAt), 2200u);
  EXPECT_EQ(x.index_file().u16(kIndexVresAt), 200);
  EXPECT_EQ(x.row_file().page.yres, 200);
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
  const SegmentEntry back = load_entry(store_entry(e));
  EXPECT_EQ(std::tie(back.first_byte, back.last_byte, back.rows, back.start_bit, back.end_bit),
            std::tie(e.first_byte, e.last_byte, e.rows, e.start_bit, e.end_bit));
}

}  // namespace
}  // namespace orvane::codec
