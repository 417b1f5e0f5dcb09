#include "base/page_bitmap.h"

#include <gtest/gtest.h>

#include <set>
#include <string_view>

#include "base/coding_mode.h"

namespace orvane {
namespace {

TEST(PageBitmap, RowBytesRoundUpToWholeBytes) {
  EXPECT_EQ(row_bytes_for(1728), 216);
  EXPECT_EQ(row_bytes_for(1729), 217);
  EXPECT_EQ(row_bytes_for(1), 1);
  EXPECT_EQ(row_bytes_for(0), 0);
}

TEST(PageBitmap, PageSizeIsRefusedPastTheLimits) {
  EXPECT_EQ(checked_page_bytes(2200, 216), 2200 * 216);
  EXPECT_EQ(checked_page_bytes(-1, 216), -1);
  EXPECT_EQ(checked_page_bytes(70000, 216), -1);
  EXPECT_EQ(checked_page_bytes(65535, 8192), -1);  // 512 MiB
  PageBitmap page;
  EXPECT_FALSE(page.allocate_pixels(std::int64_t(1) << 40));
  EXPECT_FALSE(page.has_pixels());
}

TEST(PageBitmap, DescriptorRoundTripsEveryField) {
  PageBitmap a;
  a.width = 1728;
  a.height = 2290;
  a.row_bytes = 216;
  a.planes = 1;
  a.bits_per_pixel = 1;
  a.coded_length = 123456;
  a.xres = 200;
  a.yres = 196;
  a.unit = 2;
  a.bit_order = 2;
  a.coding = 6;
  a.width_class = 1;
  a.invert = 1;
  const auto stored = store_descriptor(a);
  EXPECT_EQ(stored[4], 0xC0);  // 1728 little-endian
  EXPECT_EQ(stored[5], 0x06);
  EXPECT_EQ(stored[30], 6);
  PageBitmap b;
  b.pixels.assign(10, 1);
  load_descriptor(b, stored);
  EXPECT_FALSE(b.has_pixels());
  EXPECT_EQ(b.width, 1728);
  EXPECT_EQ(b.height, 2290);
  EXPECT_EQ(b.coded_length, 123456u);
  EXPECT_EQ(b.yres, 196);
  EXPECT_EQ(b.bit_order, 2);
  EXPECT_EQ(b.invert, 1);
}

// Every coding mode a page can carry has a name of its own; 0 (not known
// yet) and numbers past the last mode are unknown.
TEST(CodingNames, EachModeHasItsOwnName) {
  std::set<std::string_view> names;
  for (unsigned coding = kCodingUncompressed; coding <= kCodingJbig; ++coding) {
    EXPECT_NE(coding_name(coding), "Unknown") << coding;
    EXPECT_FALSE(coding_name(coding).empty()) << coding;
    names.insert(coding_name(coding));
  }
  EXPECT_EQ(names.size(), std::size_t(kCodingJbig));
  for (unsigned other : {0u, kCodingJbig + 1u, 255u})
    EXPECT_EQ(coding_name(other), "Unknown") << other;
}

}  // namespace
}  // namespace orvane
