// Every TIFF fixture made by libtiff decodes to the pixels libtiff decodes
// it to, page by page, through the whole reader (header, chain, tags, strips,
// codec).
#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"
#include "tiff/tiff_reader.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

fs::path expected_for(const fs::path& tif, std::uint16_t pages, std::uint16_t page) {
  const std::string stem = tif.stem().string();
  return test::fixture("expected/" + (pages > 1 ? stem + "-p" + std::to_string(page + 1) : stem) +
                       ".pbm.gz");
}

TEST(TiffFixtures, EveryPageMatchesLibtiff) {
  int files = 0;
  for (const auto& entry : fs::directory_iterator(test::fixture("tiff"))) {
    if (entry.path().extension() != ".tif") continue;
    ++files;
    SCOPED_TRACE(entry.path().filename().string());
    TiffReader reader;
    reader.open(entry.path());
    ASSERT_EQ(reader.read_header(), ReaderResult::kOk);
    const std::uint16_t pages = reader.build_page_table();
    ASSERT_GE(pages, 1);
    for (std::uint16_t p = 0; p < pages; ++p) {
      PageBitmap page;
      (void)reader.load_page(p, page);
      ASSERT_TRUE(page.is_valid() && page.has_pixels()) << "page " << p + 1;
      const test::Pbm want = test::read_pbm(expected_for(entry.path(), pages, p));
      EXPECT_TRUE(test::same_pixels(want, test::to_pbm(page),
                                    entry.path().stem().string() + "-p" + std::to_string(p + 1)));
    }
  }
  EXPECT_GT(files, 50);
}

TEST(TiffFixtures, PageFactsComeFromTheDirectory) {
  TiffReader reader;
  reader.open(test::fixture("tiff/text-1728-g3-2d-lsb.tif"));
  ASSERT_EQ(reader.read_header(), ReaderResult::kOk);
  ASSERT_EQ(reader.build_page_table(), 1);
  PageBitmap page;
  (void)reader.load_page(0, page);
  EXPECT_EQ(page.width, 1728);
  EXPECT_EQ(page.row_bytes, 216);
  EXPECT_EQ(page.coding, 6);
  EXPECT_EQ(page.bit_order, 2);
  EXPECT_EQ(page.xres, 204);
  EXPECT_EQ(page.yres, 98);
  EXPECT_EQ(page.unit, 2);
  EXPECT_EQ(page.width_class, 1);

  reader.open(test::fixture("tiff/text-1728-mhw.tif"));
  ASSERT_EQ(reader.read_header(), ReaderResult::kOk);
  reader.build_page_table();
  (void)reader.load_page(0, page);
  EXPECT_EQ(page.coding, 4);

  reader.open(test::fixture("tiff/text-1728-g3-1d-xres-only.tif"));
  ASSERT_EQ(reader.read_header(), ReaderResult::kOk);
  reader.build_page_table();
  (void)reader.load_page(0, page);
  EXPECT_EQ(page.xres, 204);
  EXPECT_EQ(page.yres, 204);  // no YResolution: as across
}

}  // namespace
}  // namespace orvane
