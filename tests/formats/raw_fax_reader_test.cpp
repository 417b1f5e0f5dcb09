#include "formats/raw_fax_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/byte_order.h"
#include "base/coding_mode.h"
#include "codec/fax_codec.h"
#include "codec/page_driver.h"
#include "codec/raw_extraction.h"
#include "formats/raw_test_files.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::Pbm;

struct Params {
  std::uint8_t bit_order = 0;
  bool raw_file = false;
  std::uint16_t threshold = 50;
  std::uint8_t flag_number = 3;
  std::int16_t min_width = 1728;
  bool nonstandard = true;
  bool split = false;  // pages end at RTC / EOFB
};

// A raw file opened as the fax file record does it: open, parameters and
// scratch paths, analysis, descriptor, page geometry, page count.
struct Opened {
  fs::path rows, index;
  RawFaxReader reader;
  PageBitmap page;
  int analysis = 0;
  std::uint16_t pages = 0;

  Opened(const test::TempDir& dir, const fs::path& file, const Params& p = {},
         const std::string& tag = "")
      : rows(dir / ("orvtmp" + tag + ".tmp")), index(dir / ("segtemp" + tag + ".tmp")) {
    reader.open(file);
    reader.set_scratch_paths(rows, index);
    reader.set_parameters(p.threshold, p.flag_number, p.min_width, p.raw_file);
    reader.set_split_at_page_ends(p.split);
    analysis = reader.analyse(p.bit_order, p.nonstandard);
    if (analysis < 0) return;
    EXPECT_EQ(reader.read_descriptor(page), 0);
    reader.page_geometry(page.width_class, page.yres);
    pages = reader.count_pages();
  }
};

// Rows [first, first + count) of an image.
Pbm rows_of(const Pbm& image, int first, int count) {
  Pbm part;
  part.width = image.width;
  part.height = count;
  const auto rb = std::size_t(image.row_bytes());
  part.bits.assign(image.bits.begin() + std::ptrdiff_t(rb * std::size_t(first)),
                   image.bits.begin() + std::ptrdiff_t(rb * std::size_t(first + count)));
  return part;
}

// A white page with black boxes (x, y, w, h), all inside the page.
Pbm page_with_boxes(int width, int height, std::vector<std::array<int, 4>> boxes) {
  Pbm p;
  p.width = width;
  p.height = height;
  p.bits.assign(std::size_t(p.row_bytes()) * std::size_t(height), 0);
  for (const auto& b : boxes) {
    for (int y = b[1]; y < b[1] + b[3]; ++y) {
      for (int x = b[0]; x < b[0] + b[2]; ++x) {
        p.bits[std::size_t(y) * std::size_t(p.row_bytes()) + std::size_t(x / 8)] |=
            std::uint8_t(0x80 >> (x % 8));
      }
    }
  }
  return p;
}

// A T.4 page's own coded rows (coded_page) decode, as a page of their own,
// to exactly the page loaded.
void expect_coded_rows_are_the_page(RawFaxReader& reader, std::uint32_t index,
                                    const PageBitmap& page) {
  PassThroughPage coded;
  ASSERT_TRUE(reader.coded_page(index, coded));
  codec::FaxCodec codec;
  codec.configure(coded.coded, coded.bit_order, coded.coding, page.invert);
  codec.set_size(std::int32_t(coded.width), std::int32_t(coded.length));
  PageBitmap decoded;
  EXPECT_EQ(codec::decode_by_coding_mode(codec, decoded), 0);
  EXPECT_TRUE(test::same_pixels(test::to_pbm(page), test::to_pbm(decoded), "coded rows"));
}

// Codes `page` with pbmtog3 into `file`.
void g3_file(const test::TempDir& dir, const Pbm& page, const fs::path& file) {
  const auto pbm = dir / "source.pbm";
  test::write_pbm(pbm, page);
  ASSERT_EQ(test::run("pbmtog3 '" + pbm.string() + "' > '" + file.string() + "' 2>/dev/null"), 0);
}

TEST(RawFaxReader, FindsEveryFamilyAndLoadsItsPage) {
  struct Case {
    const char* file;
    Params params;
    std::uint8_t coding, bit_order;
    int width;
    std::uint8_t width_class;
    const char* expected;
  };
  // With the raw flag a T.6 trial goes on after a bad row from where it
  // stopped, so the wrong bit order finds enough rows of one width in what
  // it misreads; the order whose rows decode more cleanly wins.
  Params raw_t6;
  raw_t6.raw_file = true;
  Params raw_t6_msb = raw_t6;
  raw_t6_msb.bit_order = 1;
  const Case cases[] = {
      {"text-1728-pbmtog3.g3", {}, kCodingT4_1D, 1, 1728, 1, "text-1728-pbmtog3"},
      {"text-1728-pbmtog3-lsb.g3", {}, kCodingT4_1D, 2, 1728, 1, "text-1728-pbmtog3-lsb"},
      {"text-2048-pbmtog3.g3", {}, kCodingT4_1D, 1, 2048, 2, "text-2048-pbmtog3"},
      {"text-1728-strip-g3-1d.g3", {}, kCodingT4_1D, 1, 1728, 1, "text-1728-strip-g3-1d"},
      {"text-1728-strip-g3-2d-k2.g3", {}, kCodingT4_2D, 1, 1728, 1, "text-1728-strip-g3-2d-k2"},
      {"text-1728-strip-g3-2d-k4.g3", {}, kCodingT4_2D, 1, 1728, 1, "text-1728-strip-g3-2d-k4"},
      {"text-1728-strip-g3-2d-lsb.g3", {}, kCodingT4_2D, 2, 1728, 1, "text-1728-strip-g3-2d-lsb"},
      {"text-1728-strip-g4.g4", raw_t6, kCodingT6, 1, 1728, 1, "text-1728-strip-g4"},
      {"text-1728-strip-g4.g4", raw_t6_msb, kCodingT6, 1, 1728, 1, "text-1728-strip-g4"},
  };
  test::TempDir dir;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.file);
    Opened o(dir, test::fixture(std::string("raw/") + k.file), k.params);
    ASSERT_GE(o.analysis, 0);
    EXPECT_EQ(o.page.coding, k.coding);
    EXPECT_EQ(o.page.bit_order, k.bit_order);
    EXPECT_EQ(o.page.width, k.width);
    EXPECT_EQ(o.page.width_class, k.width_class);
    EXPECT_FALSE(o.page.has_pixels());
    EXPECT_EQ(o.reader.total_rows(), std::uint32_t(o.page.height));
    EXPECT_EQ(o.pages, 1);
    EXPECT_TRUE(o.reader.load_page(0, o.page).ok());
    EXPECT_TRUE(
        test::same_pixels(test::expected_page(k.expected), test::to_pbm(o.page), k.expected));
    EXPECT_EQ(o.page.unit, 2);
  }
}

// G4 data in the most significant bit first order, whose start is its
// first 0xFF run. That run decodes as white rows (V0 codes against the white
// line), so a page that begins white begins at its first row. White rows read
// the same in either bit order: a page with white bands also "decodes" the
// wrong way round from a band inside it, and the order tried first must not
// win with the rows above that band lost.
TEST(RawFaxReader, T6PagesKeepEveryRowInFrontOfTheirText) {
  struct Case {
    const char* what;
    const char* image;  // netpbm pipeline of the page
    int lead_in;        // 0xFF bytes put before the coded page
  };
  const Case cases[] = {
      {"a dithered ramp behind two 0xFF bytes",
       "pgmramp -lr 1728 64 | pamditherbw -dither8 | pamtopnm", 2},
      {"text with 5 white rows on top",
       "pbmtext -nomargins 'HELLO FAX 123' | pnmscale -xsize 1600 | pgmtopbm -threshold | "
       "pnmpad -white -left 64 -right 64 -top 5 -bottom 20",
       0},
      {"text with 16 white rows on top",
       "pbmtext -nomargins 'HELLO FAX 123' | pnmscale -xsize 1600 | pgmtopbm -threshold | "
       "pnmpad -white -left 64 -right 64 -top 16 -bottom 20",
       0},
      {"text with 30 white rows on top",
       "pbmtext -nomargins 'HELLO FAX 123' | pnmscale -xsize 1600 | pgmtopbm -threshold | "
       "pnmpad -white -left 64 -right 64 -top 30 -bottom 20",
       0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    test::TempDir dir;
    std::vector<std::uint8_t> data(std::size_t(k.lead_in), 0xFF);
    const auto strip = test::tiff_strip_of(dir, std::string(k.image) + " 2>/dev/null", "-g4");
    data.insert(data.end(), strip.begin(), strip.end());
    const auto file = dir / "page.g4";
    test::write_file(file, data);
    ASSERT_EQ(test::run("(" + std::string(k.image) + ") 2>/dev/null | pnmpad -white -top " +
                        std::to_string(8 * k.lead_in) + " > '" + (dir / "want.pbm").string() + "'"),
              0);
    Opened o(dir, file);
    ASSERT_GE(o.analysis, 0);
    EXPECT_EQ(o.page.coding, kCodingT6);
    EXPECT_EQ(o.page.bit_order, 1);
    ASSERT_TRUE(o.reader.load_page(0, o.page).ok());
    EXPECT_TRUE(test::same_pixels(test::read_pbm(dir / "want.pbm"), test::to_pbm(o.page), k.what));
  }
}

TEST(RawFaxReader, ChosenBitOrderIsTheOnlyOneTried) {
  test::TempDir dir;
  Params msb;
  msb.bit_order = 1;
  Opened wrong(dir, test::fixture("raw/text-1728-pbmtog3-lsb.g3"), msb);
  EXPECT_LT(wrong.analysis, 0);
  Params lsb;
  lsb.bit_order = 2;
  Opened right(dir, test::fixture("raw/text-1728-pbmtog3-lsb.g3"), lsb);
  EXPECT_GE(right.analysis, 0);
  EXPECT_EQ(right.page.bit_order, 2);
}

TEST(RawFaxReader, RowsAreCutIntoStandardPageLengths) {
  // 2300 rows, class 1, read at 200 dpi: pages of 2288 and 12 rows. Boxes
  // near the cut tell the pages' rows apart.
  test::TempDir dir;
  const Pbm source = page_with_boxes(1728, 2300, {{0, 10, 100, 10}, {500, 2280, 400, 16}});
  const auto file = dir / "tall.g3";
  g3_file(dir, source, file);
  Opened o(dir, file);
  ASSERT_GE(o.analysis, 0);
  EXPECT_EQ(o.page.yres, 300);  // 2300 rows: the extraction's guess
  EXPECT_EQ(o.pages, 1);        // 3432 rows a page at 300 dpi

  EXPECT_EQ(o.reader.page_geometry(1, 200), 2288u);
  ASSERT_EQ(o.reader.count_pages(), 2);
  ASSERT_TRUE(o.reader.load_page(0, o.page).ok());
  EXPECT_EQ(o.page.height, 2288);
  EXPECT_EQ(o.page.yres, 200);
  EXPECT_EQ(o.page.xres, 200);
  EXPECT_TRUE(test::same_pixels(rows_of(source, 0, 2288), test::to_pbm(o.page), "tall-p1"));
  expect_coded_rows_are_the_page(o.reader, 0, o.page);
  ASSERT_TRUE(o.reader.load_page(1, o.page).ok());
  EXPECT_EQ(o.page.height, 12);
  EXPECT_TRUE(test::same_pixels(rows_of(source, 2288, 12), test::to_pbm(o.page), "tall-p2"));
  // The second page begins inside the stream's one run of rows.
  expect_coded_rows_are_the_page(o.reader, 1, o.page);
  // No third page: no rows, so the page does not count as loaded.
  EXPECT_FALSE(o.reader.load_page(2, o.page).ok());
  EXPECT_EQ(o.page.height, 0);
  EXPECT_FALSE(o.page.has_pixels());
}

// Page lengths grow with the vertical resolution in steps of 100 dpi, and a
// width class outside 1..3 falls back to the narrowest page at 100 dpi.
TEST(RawFaxReader, PageLengthsFollowTheResolutionStep) {
  EXPECT_EQ(RawFaxReader::standard_page_rows(1, 100), 1144u);  // A4 at 3.85 lines/mm
  for (std::uint8_t width_class : {1, 2, 3}) {
    SCOPED_TRACE(int(width_class));
    const std::uint32_t base = RawFaxReader::standard_page_rows(width_class, 100);
    EXPECT_GE(base, 1144u);
    for (const auto& [vres, step] :
         {std::pair{1, 1}, {98, 1}, {101, 2}, {200, 2}, {201, 3}, {300, 3}, {301, 4}, {600, 4}})
      EXPECT_EQ(RawFaxReader::standard_page_rows(width_class, std::uint16_t(vres)),
                std::uint32_t(step) * base)
          << vres;
  }
  EXPECT_LT(RawFaxReader::standard_page_rows(1, 100), RawFaxReader::standard_page_rows(2, 100));
  EXPECT_LT(RawFaxReader::standard_page_rows(2, 100), RawFaxReader::standard_page_rows(3, 100));
  for (std::uint8_t bad : {0, 4, 9}) EXPECT_EQ(RawFaxReader::standard_page_rows(bad, 400), 1144u);
}

TEST(RawFaxReader, ResolutionsOfALoadedPage) {
  test::TempDir dir;
  Opened o(dir, test::fixture("raw/text-2048-pbmtog3.g3"));
  ASSERT_GE(o.analysis, 0);
  // Class 2 at 100 dpi: 1363 rows, not an A4 length, so the vertical
  // resolution stays as the descriptor says.
  EXPECT_EQ(o.reader.page_geometry(2, 100), 1363u);
  o.page.yres = 150;
  ASSERT_TRUE(o.reader.load_page(0, o.page).ok());
  EXPECT_EQ(o.page.yres, 100);
  // The horizontal resolution the page had is kept, raised to 200.
  o.page.xres = 100;
  ASSERT_TRUE(o.reader.load_page(0, o.page).ok());
  EXPECT_EQ(o.page.xres, 200);
  o.page.xres = 300;
  ASSERT_TRUE(o.reader.load_page(0, o.page).ok());
  EXPECT_EQ(o.page.xres, 300);
  EXPECT_EQ(o.reader.page_geometry(1, 400), 4576u);
  ASSERT_TRUE(o.reader.load_page(0, o.page).ok());
  EXPECT_EQ(o.page.yres, 400);
}

TEST(RawFaxReader, ScratchFileFailures) {
  test::TempDir dir;
  const auto file = test::fixture("raw/text-1728-pbmtog3.g3");
  {
    // Scratch files in a folder that does not exist: nothing accepted.
    RawFaxReader r;
    r.open(file);
    r.set_scratch_paths(dir / "missing" / "rows", dir / "missing" / "index");
    r.set_parameters(50, 3, 1728, false);
    EXPECT_LT(r.analyse(0, true), 0);
    PageBitmap page;
    EXPECT_EQ(r.read_descriptor(page), -1);
    r.page_geometry(1, 100);
    EXPECT_EQ(r.count_pages(), 0);
    EXPECT_FALSE(r.load_page(0, page).ok());
    EXPECT_FALSE(page.has_pixels());
  }
  Opened o(dir, file);
  ASSERT_GE(o.analysis, 0);
  // The row file emptied or cut short behind the reader's back.
  ASSERT_TRUE(o.reader.load_page(0, o.page).ok());
  test::write_file(o.rows, {});
  EXPECT_FALSE(o.reader.load_page(0, o.page).ok());
  EXPECT_FALSE(o.page.has_pixels());
  EXPECT_FALSE(o.page.is_valid());
  ASSERT_TRUE(fs::remove(o.rows));
  EXPECT_FALSE(o.reader.load_page(0, o.page).ok());
  EXPECT_FALSE(o.page.is_valid());
  // A descriptor whose fields do not agree is refused.
  std::vector<std::uint8_t> odd(37 + 216, 0xFF);
  PageBitmap fake;
  fake.width = 1728;
  fake.height = 1;
  fake.row_bytes = 100;  // not (1728 + 7) / 8
  const auto head = store_descriptor(fake);
  std::copy(head.begin(), head.end(), odd.begin());
  test::write_file(o.rows, odd);
  EXPECT_FALSE(o.reader.load_page(0, o.page).ok());
  EXPECT_FALSE(o.page.is_valid());
  // count_pages reads the descriptor itself when no total is known.
  ASSERT_TRUE(fs::remove(o.rows));
  RawFaxReader fresh;
  fresh.set_scratch_paths(o.rows, o.index);
  fresh.set_parameters(50, 3, 1728, false);
  fresh.page_geometry(1, 100);
  EXPECT_EQ(fresh.count_pages(), 0);
}

TEST(RawFaxReader, CountPagesReadsTheDescriptorWhenNeeded) {
  test::TempDir dir;
  Opened o(dir, test::fixture("raw/twopage-1728-g3-1d.g3"));
  ASSERT_GE(o.analysis, 0);
  RawFaxReader other;
  other.set_scratch_paths(o.rows, o.index);
  other.set_parameters(50, 3, 1728, false);
  other.page_geometry(1, 100);
  EXPECT_EQ(other.count_pages(), 1);
  EXPECT_EQ(other.total_rows(), 212u);
}

TEST(RawFaxReader, HostileFilesOpenWithNoPage) {
  test::TempDir dir;
  std::mt19937 rng(99);
  std::vector<std::uint8_t> random(256 * 1024);
  for (auto& b : random) b = std::uint8_t(rng());
  test::BitWriter eols;
  for (int i = 0; i < 100000; ++i) eols.put(test::kEol);  // 150 KB of EOLs
  const std::vector<std::vector<std::uint8_t>> inputs = {{},
                                                         {0x5A},
                                                         std::vector<std::uint8_t>(65536, 0x00),
                                                         std::vector<std::uint8_t>(65536, 0xFF),
                                                         random,
                                                         eols.bytes()};
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    SCOPED_TRACE(i);
    const auto file = dir / ("hostile" + std::to_string(i));
    test::write_file(file, inputs[i]);
    Opened o(dir, file);
    EXPECT_LT(o.analysis, 0);
    if (inputs[i].empty()) {
      EXPECT_FALSE(o.reader.is_open());
    }
  }
}

TEST(RawFaxReader, ThresholdZeroCountsAsOne) {
  test::TempDir dir;
  test::BitWriter eols;
  for (int i = 0; i < 500; ++i) eols.put(test::kEol);
  const auto file = dir / "eols.g3";
  test::write_file(file, eols.bytes());
  Params zero;
  zero.threshold = 0;
  Opened none(dir, file, zero);
  EXPECT_LT(none.analysis, 0);
  Opened text(dir, test::fixture("raw/text-1728-pbmtog3.g3"), zero);
  ASSERT_GE(text.analysis, 0);
  EXPECT_EQ(text.page.width, 1728);
}

TEST(RawFaxReader, FileLargerThanTheLimitIsNotRead) {
  test::TempDir dir;
  const auto file = dir / "huge.g3";
  test::write_file(file, {0x00});
  fs::resize_file(file, std::uintmax_t(limits::kMaxFileBytes) + 1);  // sparse
  const auto t0 = std::chrono::steady_clock::now();
  Opened o(dir, file);
  EXPECT_LT(o.analysis, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
}

TEST(RawFaxReader, ReadersWithTheirOwnScratchFilesDoNotMeet) {
  // Two readers at once, as two documents or two processes would run them.
  test::TempDir dir;
  auto work = [&](const std::string& name, const std::string& tag, bool* ok) {
    for (int round = 0; round < 3; ++round) {
      Opened o(dir, test::fixture("raw/" + name + ".g3"), {}, tag);
      if (o.analysis < 0 || !o.reader.load_page(0, o.page).ok()) return;
      if (!test::same_pixels(test::expected_page(name), test::to_pbm(o.page), name + tag)) return;
    }
    *ok = true;
  };
  bool a = false, b = false;
  std::thread first(work, "text-1728-pbmtog3", "-a", &a);
  std::thread second(work, "text-2048-pbmtog3", "-b", &b);
  first.join();
  second.join();
  EXPECT_TRUE(a);
  EXPECT_TRUE(b);
}

TEST(RawFaxReaderPageEnds, EveryPageAsItsMakerDecodesIt) {
  struct Case {
    const char* file;  // under tests/fixtures
    bool raw_t6;
    int pages;
  };
  const Case cases[] = {
      // RTC after each page: MH (where it also ends a segment), MR (where
      // it does not).
      {"raw/twopage-1728-g3-1d.g3", false, 2},
      {"raw/twopage-1728-g3-2d.g3", false, 2},
      // EOFB between two T.6 pages.
      {"raw/twopage-1728-g4.g4", true, 2},
      {"faxtools/mgetty-pbm2g3-3pages.g3", false, 3},
      {"faxtools/efax-3pages.fax", false, 3},
      // No end-of-page codes at all: one page of every row.
      {"faxtools/gs-faxg3-2pages.g3", false, 1},
      {"faxtools/gs-faxg32d-2pages.g3", false, 1},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.file);
    test::TempDir dir;
    Params p;
    p.split = true;
    p.raw_file = k.raw_t6;
    if (k.raw_t6) p.bit_order = 1;
    Opened o(dir, test::fixture(k.file), p);
    ASSERT_GE(o.analysis, 0);
    ASSERT_EQ(o.pages, k.pages);
    const std::string stem = fs::path(k.file).stem().string();
    for (int i = 0; i < k.pages; ++i) {
      const std::string name = k.pages == 1 ? stem : stem + "-p" + std::to_string(i + 1);
      ASSERT_TRUE(o.reader.load_page(std::uint32_t(i), o.page).ok());
      EXPECT_TRUE(test::same_pixels(test::expected_page(name), test::to_pbm(o.page), name));
      if (!k.raw_t6) expect_coded_rows_are_the_page(o.reader, std::uint32_t(i), o.page);
      PageFacts facts;
      ASSERT_TRUE(o.reader.page_facts(std::uint32_t(i), facts));
      EXPECT_EQ(facts.height, std::uint32_t(o.page.height));
    }
  }
}

TEST(RawFaxReaderPageEnds, RowsWithoutAnEndAreCutAtTheLargestPage) {
  // 70000 white T.6 rows (one V0 bit each) and no EOFB.
  test::TempDir dir;
  const auto file = dir / "white.g4";
  test::write_file(file, std::vector<std::uint8_t>(70000 / 8, 0xFF));
  Params p;
  p.split = true;
  p.raw_file = true;
  p.bit_order = 1;
  Opened o(dir, file, p);
  ASSERT_GE(o.analysis, 0);
  ASSERT_EQ(o.pages, 2);
  ASSERT_TRUE(o.reader.load_page(0, o.page).ok());
  EXPECT_EQ(o.page.height, 65535);
  ASSERT_TRUE(o.reader.load_page(1, o.page).ok());
  EXPECT_EQ(o.page.height, 70000 - 65535);
}

}  // namespace
}  // namespace orvane
