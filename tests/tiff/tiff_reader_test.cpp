#include "tiff/tiff_reader.h"

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "tiff/tiff_builder.h"

namespace orvane {
namespace {

using test::TempDir;
using test::TiffBuilder;

// Opens the built bytes with a TiffReader and reads the header.
struct Opened {
  TempDir dir;
  TiffReader reader;
  ReaderResult header = ReaderResult::kNoFile;
  explicit Opened(std::vector<std::uint8_t> bytes) {
    test::write_file(dir / "t.tif", bytes);
    reader.open(dir / "t.tif");
    header = reader.read_header();
  }
};

// Entries of an uncompressed 8-pixel-wide page (one byte per row).
std::vector<TiffBuilder::Entry> uncompressed_page(TiffBuilder& b, std::uint32_t length,
                                                  std::uint32_t offsets, std::uint32_t counts,
                                                  std::uint32_t strips,
                                                  std::uint32_t rows_per_strip) {
  std::vector<TiffBuilder::Entry> e = {
      b.long_entry(256, 8),
      b.long_entry(257, length),
      b.short_entry(259, 1),
      b.short_entry(262, 1),  // 1 = white: the rows keep their bytes
      b.long_entry(273, offsets, strips),
      b.long_entry(279, counts, strips)};
  if (rows_per_strip) e.push_back(b.long_entry(278, rows_per_strip));
  return e;
}

TEST(TiffHeader, AcceptsTheThreeByteOrderMarksAndRejectsTheRest) {
  for (const char* mark : {"II", "FF", "MM"}) {
    TiffBuilder b(mark[0] == 'M');
    b.bytes()[0] = std::uint8_t(mark[0]);
    b.bytes()[1] = std::uint8_t(mark[1]);
    Opened t(b.bytes());
    EXPECT_EQ(t.header, ReaderResult::kOk) << mark;
    EXPECT_TRUE(t.reader.is_open());
  }
  Opened bad_mark(std::vector<std::uint8_t>{'I', 'M', 42, 0, 8, 0, 0, 0});
  EXPECT_EQ(bad_mark.header, ReaderResult::kBadSignature);
  EXPECT_FALSE(bad_mark.reader.is_open());
  Opened bad_version(std::vector<std::uint8_t>{'I', 'I', 43, 0, 8, 0, 0, 0});
  EXPECT_EQ(bad_version.header, ReaderResult::kBadSignature);
  Opened short_file(std::vector<std::uint8_t>{'I', 'I', 42, 0, 8});
  EXPECT_EQ(short_file.header, ReaderResult::kUnreadable);
  EXPECT_FALSE(short_file.reader.is_open());
  TiffReader closed;
  EXPECT_EQ(closed.read_header(), ReaderResult::kNoFile);
}

TEST(TiffDirectories, LongChainsAreReadWholeAndStopAtARepeatedPosition) {
  TiffBuilder many;
  for (int i = 0; i < 1100; ++i) many.add_directory({many.long_entry(256, 8)});
  Opened t(many.bytes());
  EXPECT_EQ(t.reader.build_page_table(), 1100);
  EXPECT_FALSE(t.reader.page_table_cut());

  TiffBuilder loop;
  const std::uint32_t first = loop.add_directory({loop.long_entry(256, 8)});
  loop.add_directory({loop.long_entry(256, 8)});
  loop.add_directory({loop.long_entry(256, 8)});
  loop.set_last_next(first);  // back to the first directory
  Opened l(loop.bytes());
  EXPECT_EQ(l.reader.build_page_table(), 3);
  EXPECT_FALSE(l.reader.page_table_cut());

  TiffBuilder past_end;
  past_end.add_directory({past_end.long_entry(256, 8)});
  past_end.set_last_next(0x7FFFFFF0);
  Opened p(past_end.bytes());
  EXPECT_EQ(p.reader.build_page_table(), 2);  // listed, but it cannot be read
  PageBitmap page;
  (void)p.reader.load_page(1, page);
  EXPECT_FALSE(page.is_valid());
}

TEST(TiffDirectories, ReadDirectoryReportsEachFailure) {
  TiffBuilder b;
  const std::uint32_t dir = b.add_directory({b.long_entry(256, 8), b.long_entry(257, 9)});
  Opened t(b.bytes());
  EXPECT_EQ(t.reader.read_directory(0), -1);
  EXPECT_EQ(t.reader.read_directory(std::uint32_t(b.bytes().size()) + 100), -2);
  EXPECT_EQ(t.reader.read_directory(dir), 2);
  // Cut the file inside the next-directory field, then inside the entries.
  std::vector<std::uint8_t> cut(b.bytes().begin(), b.bytes().end() - 2);
  Opened c(cut);
  EXPECT_EQ(c.reader.read_directory(dir), -5);
  std::vector<std::uint8_t> cut2(b.bytes().begin(), b.bytes().begin() + dir + 10);
  Opened c2(cut2);
  EXPECT_EQ(c2.reader.read_directory(dir), -4);
}

TEST(TiffTags, ValuesAreTakenAsFaxWritersStoreThem) {
  for (bool big : {false, true}) {
    TiffBuilder b(big);
    b.add_directory({b.short_entry(256, 1728), b.short_entry(257, 2200), b.short_entry(259, 3),
                     b.long_entry(292, 5), b.two_shorts(297, 2, 5), b.short_entry(296, 3),
                     b.rational(282, 408, 2), b.short_entry(9999, 7)});
    Opened t(b.bytes());
    ASSERT_EQ(t.reader.build_page_table(), 1);
    ASSERT_EQ(t.reader.read_directory(t.reader.page_position(0)), 8);
    TiffPage page;
    t.reader.parse_directory(page);
    EXPECT_EQ(page.image_width, 1728u) << "big endian " << big;
    EXPECT_EQ(page.image_length, 2200u);
    EXPECT_EQ(page.compression, 3);
    EXPECT_EQ(page.t4_options, 5u);
    EXPECT_EQ(page.page_number[0], 2);
    EXPECT_EQ(page.page_number[1], 5);
    EXPECT_EQ(page.resolution_unit, 3);
    EXPECT_EQ(page.x_resolution[0], 408u);
    EXPECT_EQ(page.x_resolution[1], 2u);
    EXPECT_EQ(page.fill_order, 1);                // default
    EXPECT_EQ(page.rows_per_strip, 0xFFFFFFFFu);  // default
  }
}

TEST(TiffStrips, ShortStripTablesAreFoundAtTheirFullPosition) {
  // Three strips of one row each whose SHORT offset and byte count arrays lie
  // past 64 KiB: the array position is the field's 32-bit value in either
  // byte order.
  for (bool big : {false, true}) {
    TiffBuilder b(big);
    const std::uint32_t data = b.append({0x11, 0x22, 0x33});
    b.append(std::vector<std::uint8_t>(70000, 0));
    const std::uint32_t offs =
        b.append_shorts({std::uint16_t(data), std::uint16_t(data + 1), std::uint16_t(data + 2)});
    const std::uint32_t counts = b.append_shorts({1, 1, 1});
    ASSERT_GT(offs, 65535u);
    const auto so = b.long_entry(273, offs, 3, 3);  // type SHORT, array position in the field
    const auto sc = b.long_entry(279, counts, 3, 3);
    b.add_directory({b.long_entry(256, 8), b.long_entry(257, 3), b.short_entry(259, 1),
                     b.short_entry(262, 1), so, sc, b.long_entry(278, 1)});
    Opened t(b.bytes());
    ASSERT_EQ(t.reader.build_page_table(), 1);
    PageBitmap page;
    (void)t.reader.load_page(0, page);
    ASSERT_EQ(page.height, 3) << "big endian " << big;
    EXPECT_EQ(page.pixels[0], 0x11);
    EXPECT_EQ(page.pixels[1], 0x22);
    EXPECT_EQ(page.pixels[2], 0x33);
  }
}

TEST(TiffStrips, TwoShortEntriesSitInTheValueField) {
  for (bool big : {false, true}) {
    TiffBuilder b(big);
    const std::uint32_t data = b.append({0xA1, 0xA2, 0xB1});
    b.add_directory({b.long_entry(256, 8), b.long_entry(257, 3), b.short_entry(259, 1),
                     b.short_entry(262, 1),
                     b.two_shorts(273, std::uint16_t(data), std::uint16_t(data + 2)),
                     b.two_shorts(279, 2, 1), b.long_entry(278, 2)});
    Opened t(b.bytes());
    t.reader.build_page_table();
    PageBitmap page;
    (void)t.reader.load_page(0, page);
    ASSERT_EQ(page.height, 3) << "big endian " << big;
    EXPECT_EQ(page.pixels[2], 0xB1);
  }
}

TEST(TiffStrips, PagesAreCutToImageLengthAndEndAtAnEmptyStrip) {
  TiffBuilder b;
  const std::uint32_t d = b.append(std::vector<std::uint8_t>(300, 0x5A));
  const std::uint32_t offs = b.append_longs({d, d + 100, d + 200});
  const std::uint32_t counts = b.append_longs({100, 100, 100});
  b.add_directory(uncompressed_page(b, 250, offs, counts, 3, 100));
  const std::uint32_t counts2 = b.append_longs({100, 0, 100});
  b.add_directory(uncompressed_page(b, 300, offs, counts2, 3, 100));
  b.add_directory(uncompressed_page(b, 300, d, 300, 1, 0));  // no RowsPerStrip
  Opened t(b.bytes());
  ASSERT_EQ(t.reader.build_page_table(), 3);
  PageBitmap page;
  (void)t.reader.load_page(0, page);
  EXPECT_EQ(page.height, 250);
  EXPECT_EQ(page.width, 8);
  EXPECT_EQ(page.pixels[249], 0x5A);
  (void)t.reader.load_page(1, page);
  EXPECT_EQ(page.height, 100);
  (void)t.reader.load_page(2, page);
  EXPECT_EQ(page.height, 300);
}

TEST(TiffResolution, YFollowsXWhenMissingAndUnitComesFromTheFile) {
  struct Case {
    std::uint32_t xn, xd, yn, yd;
    int want_x, want_y;
  } cases[] = {{204, 1, 0, 0, 204, 204}, {204, 1, 98, 1, 204, 98}, {0, 0, 0, 0, 0, 0}};
  for (const Case& c : cases) {
    TiffBuilder b;
    const std::uint32_t d = b.append({0xFF});
    auto e = uncompressed_page(b, 1, d, 1, 1, 0);
    if (c.xd) e.push_back(b.rational(282, c.xn, c.xd));
    if (c.yd) e.push_back(b.rational(283, c.yn, c.yd));
    b.add_directory(e);
    Opened t(b.bytes());
    t.reader.build_page_table();
    PageBitmap page;
    (void)t.reader.load_page(0, page);
    EXPECT_EQ(page.xres, c.want_x);
    EXPECT_EQ(page.yres, c.want_y);
    EXPECT_EQ(page.unit, 2);
  }
}

TEST(TiffHostile, UnreadablePagesLoadNothingAndAllocateNothingHuge) {
  TiffBuilder b;
  const std::uint32_t d = b.append({0x00, 0xFF});
  // BitsPerSample 2: not a fax page.
  auto two_bits = uncompressed_page(b, 1, d, 2, 1, 0);
  two_bits.push_back(b.short_entry(258, 2));
  b.add_directory(two_bits);
  // A width of billions.
  auto wide = uncompressed_page(b, 4000000000u, d, 2, 1, 0);
  wide[0] = b.long_entry(256, 4000000000u);
  b.add_directory(wide);
  // A strip that runs past the end of the file.
  b.add_directory(uncompressed_page(b, 2, d, 0x7FFFFFFF, 1, 0));
  // A strip table of four billion entries somewhere past the end.
  b.add_directory(uncompressed_page(b, 2, 0x70000000, 0x70000010, 0xFFFFFFFFu, 1));
  // Compression 0 (no tag).
  b.add_directory(
      {b.long_entry(256, 8), b.long_entry(257, 1), b.long_entry(273, d), b.long_entry(279, 1)});
  Opened t(b.bytes());
  ASSERT_EQ(t.reader.build_page_table(), 5);
  for (std::uint32_t i = 0; i < 5; ++i) {
    PageBitmap page;
    (void)t.reader.load_page(i, page);
    if (i == 2) {
      EXPECT_EQ(page.height, 2) << "a short strip keeps the rows it has";
    } else {
      EXPECT_FALSE(page.is_valid() && page.has_pixels()) << "page " << i;
    }
  }
}

// A strip table can name the same few bytes thousands of times. Each CCITT
// strip is decoded into a bitmap of its own; sized for the whole page, every
// such strip would cost a page of pixels (here 4 MiB, 17 GiB for the page),
// and read again and again, the data would be decoded once per entry. A
// strip holds no more rows than its data has bits, and the strips of one
// page together hold no more than the file.
TEST(TiffHostile, StripTablesNamingTheSameBytesCostNoMoreThanTheFile) {
  TiffBuilder b;
  const std::uint32_t good = b.append({0xFF});  // T.6: eight V0 codes, eight white rows
  const std::uint32_t junk = b.append(std::vector<std::uint8_t>(64, 0));  // zeros: no row
  const std::uint32_t strips = 4000;
  std::vector<std::uint32_t> offsets(strips, junk), counts(strips, 64);
  offsets.front() = good, counts.front() = 1;
  offsets.back() = good, counts.back() = 1;
  const std::uint32_t offs = b.append_longs(offsets);
  const std::uint32_t cnts = b.append_longs(counts);
  b.add_directory({b.long_entry(256, 1728), b.long_entry(257, 20000), b.short_entry(259, 4),
                   b.long_entry(273, offs, strips), b.long_entry(279, cnts, strips)});
  Opened t(b.bytes());
  ASSERT_EQ(t.reader.build_page_table(), 1);
  PageBitmap page;
  (void)t.reader.load_page(0, page);
  EXPECT_EQ(page.width, 1728);
  EXPECT_EQ(page.height, 8) << "the last strip lies past what the file can hold";
  ASSERT_TRUE(page.has_pixels());
  EXPECT_EQ(page.pixels[0], 0xFF);
}

// The coded data of a page, copied unchanged by TIFF-to-TIFF conversion, is
// bounded the same way: a table naming the same bytes a thousand times would
// otherwise turn a few kilobytes into megabytes per page, for every page.
TEST(TiffHostile, PageDataHoldsNoMoreThanTheFile) {
  TiffBuilder b;
  const std::uint32_t data = b.append(std::vector<std::uint8_t>(100, 0x33));
  const std::uint32_t strips = 1000;
  const std::uint32_t offs = b.append_longs(std::vector<std::uint32_t>(strips, data));
  const std::uint32_t cnts = b.append_longs(std::vector<std::uint32_t>(strips, 100));
  b.add_directory({b.long_entry(256, 1728), b.long_entry(257, 2000), b.short_entry(259, 4),
                   b.long_entry(273, offs, strips), b.long_entry(279, cnts, strips)});
  Opened t(b.bytes());
  ASSERT_EQ(t.reader.build_page_table(), 1);
  ASSERT_GT(t.reader.read_directory(t.reader.page_position(0)), 0);
  TiffPage desc;
  t.reader.parse_directory(desc);
  ASSERT_EQ(t.reader.read_page_data(desc), 0);
  EXPECT_LE(t.reader.coded().size(), b.bytes().size());
  EXPECT_EQ(t.reader.coded().size(), 100u * t.reader.strip_byte_counts().size());
  EXPECT_EQ(t.reader.coded()[0], 0x33);
}

}  // namespace
}  // namespace orvane
