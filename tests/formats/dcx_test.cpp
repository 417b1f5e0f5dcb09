#include <gtest/gtest.h>

#include "base/byte_order.h"
#include "base/coding_mode.h"
#include "formats/container_writers.h"
#include "formats/dcx_reader.h"
#include "support/test_support.h"

namespace orvane {
namespace {

using test::Bytes;
using test::Pbm;

// Opens `bytes` as a DCX file and builds its table; the reader stays open
// when the file is accepted.
using OpenDcx = test::OpenedReader<DcxReader>;

// The PCX pages of a DCX file, cut out at the offsets of its list.
std::vector<Bytes> pcx_pages_of(const Bytes& dcx) {
  std::vector<std::uint32_t> offsets;
  for (std::size_t at = 4; at + 4 <= dcx.size(); at += 4) {
    const std::uint32_t v = le32(dcx.data() + at);
    if (v == 0) break;
    offsets.push_back(v);
  }
  std::vector<Bytes> pages;
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    const std::size_t end = i + 1 < offsets.size() ? offsets[i + 1] : dcx.size();
    pages.emplace_back(dcx.begin() + offsets[i], dcx.begin() + std::ptrdiff_t(end));
  }
  return pages;
}

// netpbm's reading of a PCX image (through its palette), as a PBM.
Pbm pcxtoppm(const test::TempDir& dir, const Bytes& pcx) {
  test::write_file(dir / "one.pcx", pcx);
  const std::string cmd = "pcxtoppm '" + (dir / "one.pcx").string() +
                          "' 2>/dev/null | ppmtopgm | pgmtopbm -threshold > '" +
                          (dir / "one.pbm").string() + "'";
  EXPECT_EQ(test::run(cmd), 0) << cmd;
  return test::read_pbm(dir / "one.pbm");
}

std::vector<Pbm> three_sources() {
  return {test::test_image(70, 24, 1), test::test_image(1728, 40, 2), test::test_image(203, 31, 3)};
}

TEST(DcxFiles, ImageMagickPagesReadAsStored) {
  // ImageMagick writes one-bit PCX only from palette images; its PCX pages
  // store 1 for black although their palette says index 1 is white, so
  // by the file's own palette (and netpbm's reading) they are the
  // negative of the source. Pages are read as stored, so they agree with
  // netpbm's reading.
  test::TempDir dir;
  const auto sources = three_sources();
  std::string gifs;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    const auto pbm = dir / ("p" + std::to_string(i) + ".pbm");
    const auto gif = dir / ("p" + std::to_string(i) + ".gif");
    test::write_pbm(pbm, sources[i]);
    ASSERT_EQ(test::run("convert '" + pbm.string() + "' '" + gif.string() + "'"), 0);
    gifs += "'" + gif.string() + "' ";
  }
  ASSERT_EQ(test::run("convert " + gifs + "'" + (dir / "im.dcx").string() + "'"), 0);
  const Bytes file = test::read_file(dir / "im.dcx");
  const auto pcx = pcx_pages_of(file);
  ASSERT_EQ(pcx.size(), 3u);

  OpenDcx dcx(file);
  ASSERT_EQ(dcx.recognised, ReaderResult::kOk);
  ASSERT_EQ(dcx.pages, 3);
  for (std::uint32_t i = 0; i < 3; ++i) {
    const PageBitmap page = dcx.load(i);
    ASSERT_TRUE(page.has_pixels());
    EXPECT_EQ(page.width, sources[i].width);
    EXPECT_EQ(page.height, sources[i].height);
    // Rows are the PCX line rounded up to an even number of bytes.
    EXPECT_EQ(page.row_bytes, (sources[i].row_bytes() + 1) / 2 * 2);
    EXPECT_EQ(page.coding, kCodingPcxRle);
    EXPECT_EQ(page.coded_length, pcx[i].size());
    EXPECT_EQ(page.unit, 2);
    const Pbm netpbm = pcxtoppm(dir, pcx[i]);
    EXPECT_TRUE(test::same_pixels(netpbm, test::to_pbm(page), "im-dcx-" + std::to_string(i)));
    EXPECT_TRUE(test::same_pixels(test::inverted(sources[i]), test::to_pbm(page), "im-neg"));
  }
}

TEST(DcxFiles, NetpbmPcxPagesMatchTheirSourcesPixelForPixel) {
  // netpbm writes one-bit PCX with 1 = white, the fax convention; its odd
  // line lengths (9 bytes for 70 pixels) get one byte of row padding.
  test::TempDir dir;
  const auto sources = three_sources();
  std::vector<Bytes> pcx;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    test::write_pbm(dir / "s.pbm", sources[i]);
    ASSERT_EQ(test::run("ppmtopcx '" + (dir / "s.pbm").string() + "' > '" +
                        (dir / "s.pcx").string() + "' 2>/dev/null"),
              0);
    pcx.push_back(test::read_file(dir / "s.pcx"));
  }
  OpenDcx dcx(test::dcx_file(pcx));
  ASSERT_EQ(dcx.pages, 3);
  for (std::uint32_t i = 0; i < 3; ++i) {
    const PageBitmap page = dcx.load(i);
    EXPECT_EQ(page.row_bytes, (sources[i].row_bytes() + 1) / 2 * 2);
    EXPECT_TRUE(test::same_pixels(sources[i], test::to_pbm(page), "pcx-" + std::to_string(i)));
  }
  // Loading page 2 replaces page 0 in the same bitmap.
  PageBitmap page;
  (void)dcx.reader.load_page(0, page);
  (void)dcx.reader.load_page(2, page);
  EXPECT_TRUE(test::same_pixels(sources[2], test::to_pbm(page), "replaced"));
}

// ------------------------------------------------------------ PCX rows

TEST(DcxPcxRows, LiteralsRunsAndPadding) {
  // C3 00 is three zero bytes; 0xC0 is a literal, not a run of length 0.
  Bytes coded = {0xC3, 0x00};
  for (int i = 0; i < 213; ++i) coded.push_back(std::uint8_t(i == 5 ? 0xC0 : 1 + i % 150));
  test::PcxPage pcx{.xmax = 1727, .ymax = 1, .resolution = 196, .line_bytes = 216};
  pcx.coded = coded;
  pcx.coded.insert(pcx.coded.end(), {0xC1, 0xAA});  // row 2 starts: one byte AA
  OpenDcx dcx(test::dcx_file({test::pcx_image(pcx)}));
  PageBitmap page = dcx.load(0);
  ASSERT_EQ(page.row_bytes, 216);
  ASSERT_EQ(page.height, 2);
  EXPECT_EQ(page.xres, 196);
  EXPECT_EQ(page.yres, 196);
  EXPECT_EQ(page.row(0)[0] | page.row(0)[1] | page.row(0)[2], 0);
  EXPECT_EQ(page.row(0)[3], 1);
  EXPECT_EQ(page.row(0)[3 + 5], 0xC0);
  EXPECT_EQ(page.row(0)[215], 1 + 212 % 150);
  EXPECT_EQ(page.row(1)[0], 0xAA);
  // Coded data that ends early: the rest of the row is padding.
  EXPECT_EQ(page.row(1)[1], 0);

  // With 215 bytes per line the row stops one literal early and gets one
  // zero byte of padding; the literal left over starts the next row.
  pcx.line_bytes = 215;
  OpenDcx odd(test::dcx_file({test::pcx_image(pcx)}));
  page = odd.load(0);
  ASSERT_EQ(page.row_bytes, 216);
  EXPECT_EQ(page.row(0)[214], 1 + 211 % 150);
  EXPECT_EQ(page.row(0)[215], 0);
  EXPECT_EQ(page.row(1)[0], 1 + 212 % 150);
  EXPECT_EQ(page.row(1)[1], 0xAA);
}

TEST(DcxPcxRows, LongRunsStayInTheirPage) {
  // A run longer than the line carries on into the next row's bytes, but
  // never past the bitmap.
  test::PcxPage runs{.xmax = 15, .ymax = 1, .line_bytes = 2};
  runs.coded = {0xFF, 0x77, 0xFF, 0x77};
  OpenDcx r(test::dcx_file({test::pcx_image(runs)}));
  const PageBitmap page = r.load(0);
  ASSERT_EQ(page.pixels.size(), 4u);
  EXPECT_EQ(page.pixels, (Bytes{0x77, 0x77, 0x77, 0x77}));
}

// ------------------------------------------------------------ page table

TEST(DcxPageTable, SignatureAndOffsetList) {
  test::PcxPage pcx{.xmax = 7, .ymax = 0, .line_bytes = 2};
  pcx.coded = {0xC2, 0xF0};
  const Bytes page = test::pcx_image(pcx);

  Bytes wrong = test::dcx_file({page});
  wrong[0] = 0xB2;
  OpenDcx bad(wrong);
  EXPECT_EQ(bad.recognised, ReaderResult::kBadSignature);
  EXPECT_FALSE(bad.reader.is_open());

  OpenDcx tiny(Bytes{0xB1, 0x68, 0xDE});
  EXPECT_EQ(tiny.recognised, ReaderResult::kUnreadable);
  EXPECT_FALSE(tiny.reader.is_open());

  Bytes empty(8, 0);
  test::put32(empty, 0, DcxReader::kSignature);
  OpenDcx none(empty);
  EXPECT_EQ(none.pages, 0);
  EXPECT_FALSE(none.reader.is_open());
  EXPECT_FALSE(none.reader.valid_after_count(0));

  // Without its 0 the list ends where a value cannot be an offset into the
  // file: here the first bytes of the PCX header that follows.
  OpenDcx open_list(test::dcx_file({page}, false));
  EXPECT_EQ(open_list.pages, 1);
  EXPECT_TRUE(open_list.load(0).is_valid());

  // A list that runs to the end of the file lists every value in it.
  Bytes all(16, 0);
  test::put32(all, 0, DcxReader::kSignature);
  test::put32(all, 4, 8);
  test::put32(all, 8, 12);
  test::put32(all, 12, 4);
  OpenDcx to_end(all);
  EXPECT_EQ(to_end.pages, 3);
}

TEST(DcxPageTable, ListsEveryPageOfALongTable) {
  test::PcxPage pcx{.xmax = 7, .ymax = 0, .line_bytes = 2};
  pcx.coded = {0xC2, 0xF0};
  const Bytes page = test::pcx_image(pcx);
  Bytes f(4 + 4 * 1100 + 4, 0);
  test::put32(f, 0, DcxReader::kSignature);
  for (std::size_t i = 0; i < 1100; ++i) test::put32(f, 4 + 4 * i, std::uint32_t(f.size()));
  test::append(f, page);
  OpenDcx dcx(f);
  EXPECT_EQ(dcx.pages, 1100);
  EXPECT_TRUE(dcx.load(1099).is_valid());
}

// ------------------------------------------------------------ hostile

TEST(DcxHostile, PagesWithoutUsableDataLeaveNoBitmap) {
  test::PcxPage pcx{.xmax = 15, .ymax = 3, .line_bytes = 2};
  pcx.coded = {0xC8, 0x0F};
  const Bytes good = test::pcx_image(pcx);
  // Offsets: a page, one that runs backwards into it, one too short for a
  // PCX header, then a good one.
  Bytes f(4 + 4 * 4 + 4, 0);
  test::put32(f, 0, DcxReader::kSignature);
  const std::uint32_t first = std::uint32_t(f.size());
  test::append(f, good);
  const std::uint32_t short_page = std::uint32_t(f.size());
  test::append(f, Bytes(60, 0));
  const std::uint32_t last = std::uint32_t(f.size());
  test::append(f, good);
  test::put32(f, 4, last);         // page 0 runs backwards to `first`
  test::put32(f, 8, first);        // page 1: good, ends at short_page
  test::put32(f, 12, short_page);  // page 2: 60 bytes
  test::put32(f, 16, last);        // page 3: good
  OpenDcx dcx(f);
  ASSERT_EQ(dcx.pages, 4);
  PageBitmap page = dcx.load(1);
  ASSERT_TRUE(page.is_valid());
  (void)dcx.reader.load_page(0, page);
  EXPECT_FALSE(page.is_valid());
  EXPECT_FALSE(page.has_pixels());
  EXPECT_TRUE(dcx.load(1).is_valid());
  EXPECT_FALSE(dcx.load(2).is_valid());
  EXPECT_TRUE(dcx.load(3).is_valid());
}

TEST(DcxHostile, ImpossibleHeadersAreRefusedBeforeAllocation) {
  const auto refused = [](test::PcxPage pcx) {
    pcx.coded = {0xC2, 0xF0};
    OpenDcx dcx(test::dcx_file({test::pcx_image(pcx)}));
    const PageBitmap page = dcx.load(0);
    return !page.has_pixels() && !page.is_valid();
  };
  // 65536 x 65536 pixels of 127 planes: far beyond any page.
  EXPECT_TRUE(refused({.xmin = -32768,
                       .ymin = -32768,
                       .xmax = 32767,
                       .ymax = 32767,
                       .planes = 127,
                       .line_bytes = 32767}));
  EXPECT_TRUE(refused({.ymin = 5, .xmax = 7, .ymax = 1, .line_bytes = 2}));  // Ymax < Ymin
  EXPECT_TRUE(refused({.xmin = 9, .xmax = 1, .ymax = 1, .line_bytes = 2}));  // Xmax < Xmin
  EXPECT_TRUE(refused({.xmax = 7, .ymax = 1, .line_bytes = -2}));
  EXPECT_TRUE(refused({.xmax = 7, .ymax = 1, .planes = 0, .line_bytes = 2}));
  // A width beyond the stored row is cut to the row.
  test::PcxPage wide{.xmax = 999, .ymax = 0, .line_bytes = 2};
  wide.coded = {0xC2, 0xF0};
  OpenDcx dcx(test::dcx_file({test::pcx_image(wide)}));
  EXPECT_EQ(dcx.load(0).width, 16);
}

TEST(DcxHostile, TruncatedFilesAndUnwritableOutput) {
  test::PcxPage pcx{.xmax = 1727, .ymax = 99, .line_bytes = 216};
  pcx.coded = Bytes(50, 0xC0);
  Bytes f = test::dcx_file({test::pcx_image(pcx)});
  for (std::size_t cut : {f.size() - 10, std::size_t(12 + 127), std::size_t(12), std::size_t(6)}) {
    Bytes part(f.begin(), f.begin() + std::ptrdiff_t(cut));
    OpenDcx dcx(part);
    if (dcx.pages == 0) continue;
    const PageBitmap page = dcx.load(0);
    if (page.has_pixels()) {
      EXPECT_EQ(page.height, 100);
      EXPECT_EQ(page.row(99)[0], 0);  // no coded data left: padding
    }
  }
  OpenDcx dcx(f);
}

TEST(DcxHostile, RandomDamage) {
  test::TempDir dir;
  std::vector<Bytes> pcx;
  for (unsigned seed : {81u, 82u}) {
    test::write_pbm(dir / "s.pbm", test::test_image(300, 40, seed));
    ASSERT_EQ(test::run("ppmtopcx '" + (dir / "s.pbm").string() + "' > '" +
                        (dir / "s.pcx").string() + "' 2>/dev/null"),
              0);
    pcx.push_back(test::read_file(dir / "s.pcx"));
  }
  DcxReader reader;
  test::exercise_damaged(reader, test::dcx_file(pcx), 1, 120);
}

}  // namespace
}  // namespace orvane
