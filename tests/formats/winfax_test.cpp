#include <gtest/gtest.h>

#include "base/coding_mode.h"
#include "formats/container_writers.h"
#include "formats/winfax_reader.h"
#include "support/test_support.h"

namespace orvane {
namespace {

using test::Bytes;
using test::Pbm;
using test::WinFaxPage;

using OpenWinFax = test::OpenedReader<WinFaxReader>;

// Two pages as WinFax stores them: Modified Huffman with EOLs made by netpbm
// and MMR made by libtiff, both least significant bit first.
struct TwoPages {
  test::TempDir tools;
  Pbm mh_image = test::test_image(1728, 57, 11);
  Pbm mmr_image = test::test_image(1728, 83, 12);
  Bytes mh = test::pbmtog3(tools, mh_image, true);
  Bytes mmr = test::tiffcp_ccitt(tools, mmr_image, "g4", true);
  std::vector<WinFaxPage> pages() const {
    return {{.coded = mh, .rows = 57, .resolution_code = 0, .text = "From: the first page"},
            {.coded = mmr,
             .rows = 83,
             .mmr = true,
             .resolution_code = 1,
             .text = "second",
             .factor_a = 3,
             .factor_b = 5}};
  }
};

TEST(WinFaxFiles, ModifiedHuffmanAndMmrPagesDecodeLikeNetpbmAndLibtiff) {
  TwoPages src;
  // The oracles agree with the source images.
  test::write_file(src.tools / "mh.g3", src.mh);
  ASSERT_EQ(test::run("g3topbm -reversebits '" + (src.tools / "mh.g3").string() + "' > '" +
                      (src.tools / "mh.pbm").string() + "'"),
            0);
  ASSERT_TRUE(test::same_pixels(src.mh_image, test::read_pbm(src.tools / "mh.pbm"), "g3topbm"));

  OpenWinFax f(test::winfax_file(src.pages()));
  ASSERT_EQ(f.pages, 2);
  PageBitmap page = f.load(0);
  EXPECT_TRUE(test::same_pixels(src.mh_image, test::to_pbm(page), "winfax-mh"));
  EXPECT_EQ(page.coding, kCodingT4_1D);
  EXPECT_EQ(page.bit_order, kBitOrderLsbFirst);
  EXPECT_EQ(page.xres, 200);
  EXPECT_EQ(page.yres, 100);
  EXPECT_EQ(page.unit, 2);
  EXPECT_EQ(f.reader.page_text(0), "From: the first page");

  (void)f.reader.load_page(1, page);
  EXPECT_TRUE(test::same_pixels(src.mmr_image, test::to_pbm(page), "winfax-mmr"));
  EXPECT_EQ(page.coding, kCodingT6);
  EXPECT_EQ(page.yres, 200);
  EXPECT_EQ(f.reader.page_text(1), "second");
}

TEST(WinFaxHeaders, DefaultsResolutionCodesAndStatedRows) {
  test::TempDir tools;
  const Pbm image = test::test_image(1728, 40, 21);
  const Bytes mh = test::pbmtog3(tools, image, true);
  // Width 0 and rows 0 stand for 1728 x 3432; the data decides the rows
  // decoded, the header the rows written on conversion.
  std::vector<WinFaxPage> pages;
  for (std::uint8_t code : {0, 1, 2, 7})
    pages.push_back({.coded = mh, .width = 0, .rows = 0, .resolution_code = code});
  OpenWinFax f(test::winfax_file(pages));
  ASSERT_EQ(f.pages, 4);
  const std::uint16_t expected_yres[] = {100, 200, 400, 400};
  for (std::uint32_t i = 0; i < 4; ++i) {
    const PageBitmap page = f.load(i);
    EXPECT_EQ(page.width, 1728);
    EXPECT_EQ(page.xres, 200);
    EXPECT_EQ(page.yres, expected_yres[i]);
    EXPECT_TRUE(test::same_pixels(image, test::to_pbm(page), "defaults"));
  }
}

TEST(WinFaxHeaders, PageTextStaysInsideTheHeader) {
  // No 0 byte from offset 9 to the end of the header (the chain terms and
  // the length are 'A's too: the next position lies past the end).
  Bytes f = test::winfax_file({{.coded = Bytes(10, 0)}});
  std::fill(f.begin() + 9, f.begin() + 128, std::uint8_t('A'));
  OpenWinFax w(f);
  ASSERT_EQ(w.pages, 1);
  EXPECT_EQ(w.reader.page_text(0), std::string(119, 'A'));
  EXPECT_EQ(w.reader.page_text(1), "");

  OpenWinFax two(test::winfax_file({{.text = "one"}, {}}));
  EXPECT_EQ(two.reader.page_text(0), "one");
  EXPECT_EQ(two.reader.page_text(1), "");
}

// ------------------------------------------------------------ chains

TEST(WinFaxChains, NextPositionFromFourTermsAndChainEnds) {
  // A one-page file whose next position is the file size has one page.
  OpenWinFax one(test::winfax_file({{.coded = Bytes(20, 0)}}));
  EXPECT_EQ(one.pages, 1);

  // The A x B term skips filler between pages.
  OpenWinFax gap(test::winfax_file({{.coded = Bytes(20, 0), .factor_a = 7, .factor_b = 9},
                                    {.coded = Bytes(20, 0)},
                                    {.coded = Bytes(20, 0)}}));
  EXPECT_EQ(gap.pages, 3);

  // A next position inside the file without a header ends the table there.
  Bytes broken = test::winfax_file({{.coded = Bytes(20, 0)}, {.coded = Bytes(20, 0)}});
  test::append(broken, Bytes(300, 0x11));
  test::put32(broken, 148 + 116, 40);  // page 1 now points into the filler
  OpenWinFax b(broken);
  EXPECT_EQ(b.pages, 2);

  // No header at 0: no pages, file closed.
  Bytes bad = test::winfax_file({{.coded = Bytes(20, 0)}});
  bad[1] = 0x24;
  OpenWinFax none(bad);
  EXPECT_EQ(none.pages, 0);
  EXPECT_FALSE(none.reader.is_open());
}

TEST(WinFaxChains, LoopsAndLongChainsEnd) {
  // Page 1 points back to page 0: two pages, not an endless walk.
  Bytes loop = test::winfax_file({{.coded = Bytes(20, 0)}, {.coded = Bytes(20, 0)}});
  test::put32(loop, 148 + 89, 0);
  test::put32(loop, 148 + 105, 0);
  test::put32(loop, 148 + 116, 0);
  OpenWinFax l(loop);
  EXPECT_EQ(l.pages, 2);

  // A chain of 1100 pages is listed whole.
  OpenWinFax many(test::winfax_file(std::vector<WinFaxPage>(1100, WinFaxPage{})));
  EXPECT_EQ(many.pages, 1100);
}

// ------------------------------------------------------------ hostile

TEST(WinFaxHostile, LengthsPastTheFileAndTruncatedData) {
  test::TempDir tools;
  const Pbm image = test::test_image(1728, 30, 31);
  const Bytes mmr = test::tiffcp_ccitt(tools, image, "g4", true);
  Bytes f = test::winfax_file({{.coded = mmr, .rows = 30, .mmr = true}});
  // A stated length beyond the file is cut to what follows the header.
  test::put32(f, 116, 0xFFFFFFF0u);
  OpenWinFax w(f);
  ASSERT_EQ(w.pages, 1);
  EXPECT_TRUE(test::same_pixels(image, test::to_pbm(w.load(0)), "cut-length"));

  // Data cut short: what decodes is kept, nothing breaks.
  for (std::size_t keep : {std::size_t(128), std::size_t(128 + mmr.size() / 2), std::size_t(60)}) {
    Bytes part(f.begin(), f.begin() + std::ptrdiff_t(keep));
    OpenWinFax t(part);
    ASSERT_EQ(t.pages, 1);
    const PageBitmap page = t.load(0);
    EXPECT_LT(page.height, 30);
  }

  // A huge stated size never reaches the allocator: the codec refuses it.
  Bytes huge = test::winfax_file({{.coded = Bytes(64, 0xFF), .width = 65535, .rows = 65535}});
  OpenWinFax h(huge);
  EXPECT_FALSE(h.load(0).has_pixels());
}

TEST(WinFaxHostile, RandomDamage) {
  TwoPages src;
  WinFaxReader reader;
  test::exercise_damaged(reader, test::winfax_file(src.pages()), 2, 120);
}

}  // namespace
}  // namespace orvane
