// Grey pictures of pages: the size at true aspect, and area averaging
// against a reference that measures every overlap with doubles.
#include "core/grey_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace orvane {
namespace {

PageBitmap blank_page(int width, int height, std::uint8_t fill) {
  PageBitmap page;
  page.width = width;
  page.height = height;
  page.row_bytes = row_bytes_for(width);
  (void)page.allocate_pixels(std::int64_t(page.row_bytes) * height, fill);
  return page;
}

bool white(const PageBitmap& page, int x, int y) {
  return (page.row(y)[x / 8] >> (7 - x % 8)) & 1;
}

void set_black(PageBitmap& page, int x, int y) {
  page.row(y)[x / 8] &= std::uint8_t(~(0x80 >> (x % 8)));
}

// The white share of each picture cell, summed pixel by pixel with the
// exact overlap of the cell and the pixel.
std::vector<double> reference(const PageBitmap& page, GreySize size) {
  std::vector<double> out(std::size_t(size.width) * std::size_t(size.height));
  const double cw = double(page.width) / size.width, ch = double(page.height) / size.height;
  for (int cy = 0; cy < size.height; ++cy)
    for (int cx = 0; cx < size.width; ++cx) {
      const double x0 = cx * cw, x1 = x0 + cw, y0 = cy * ch, y1 = y0 + ch;
      double sum = 0;
      for (int y = int(y0); y < std::min(page.height, int(std::ceil(y1))); ++y)
        for (int x = int(x0); x < std::min(page.width, int(std::ceil(x1))); ++x) {
          const double ox = std::min(x1, x + 1.0) - std::max(x0, double(x));
          const double oy = std::min(y1, y + 1.0) - std::max(y0, double(y));
          if (ox > 0 && oy > 0 && white(page, x, y)) sum += ox * oy;
        }
      out[std::size_t(cy) * std::size_t(size.width) + std::size_t(cx)] = sum / (cw * ch);
    }
  return out;
}

TEST(GreyPage, TrueAspectSizeFollowsTheResolutions) {
  struct Case {
    const char* what;
    int width, height;
    std::uint16_t xres, yres;
    std::uint8_t unit;
    int longest;
    GreySize expected;
  };
  const Case cases[] = {
      {"standard fax: rows count double", 1728, 1143, 204, 98, 2, 256, {186, 256}},
      {"fine fax", 1728, 2286, 204, 196, 2, 256, {186, 256}},
      {"landscape", 2000, 1000, 200, 200, 2, 100, {100, 50}},
      {"centimetres keep the ratio", 800, 400, 80, 40, 3, 400, {400, 400}},
      {"no unit: shown as 200 x 100 dpi", 100, 100, 0, 0, 1, 200, {100, 200}},
      {"unknown unit: square pixels", 300, 150, 204, 98, 0, 300, {300, 150}},
      {"no resolution: square pixels", 300, 150, 0, 0, 2, 300, {300, 150}},
      {"never larger than the page", 40, 20, 200, 200, 2, 256, {40, 20}},
      {"a thin strip keeps one pixel", 4000, 1, 200, 200, 2, 100, {100, 1}},
      {"no pixels", 0, 0, 200, 200, 2, 100, {0, 0}},
      {"no size", 100, 100, 200, 200, 2, 0, {0, 0}},
  };
  for (const Case& c : cases) {
    PageFields page;
    page.width = c.width;
    page.height = c.height;
    page.xres = c.xres;
    page.yres = c.yres;
    page.unit = c.unit;
    const GreySize got = true_aspect_size(page, c.longest);
    EXPECT_EQ(got.width, c.expected.width) << c.what;
    EXPECT_EQ(got.height, c.expected.height) << c.what;
  }
}

TEST(GreyPage, AreaAverageAgreesWithExactOverlaps) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 40; ++trial) {
    const int width = 1 + int(random() % 90), height = 1 + int(random() % 90);
    PageBitmap page = blank_page(width, height, 0xFF);
    // Runs of black as text has them, at random.
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (random() % 3 == 0) set_black(page, x, y);
    // Reductions, enlargements and odd ratios along either side.
    const GreySize size{1 + int(random() % (width + 20)), 1 + int(random() % (height + 20))};
    const GreyImage got = area_average(page, size);
    ASSERT_EQ(got.width, size.width);
    ASSERT_EQ(got.height, size.height);
    const std::vector<double> want = reference(page, size);
    for (std::size_t i = 0; i < want.size(); ++i)
      ASSERT_NEAR(got.pixels[i], want[i] * 255, 1.0)
          << width << "x" << height << " to " << size.width << "x" << size.height << ", pixel "
          << i;
    // Any part, also one reaching past the picture, is the same pixels.
    const GreyRect part{int(random() % unsigned(size.width)) - 2,
                        int(random() % unsigned(size.height)), 1 + int(random() % 40),
                        1 + int(random() % 40)};
    const GreyImage piece = area_average_part(page, size, part);
    const int x0 = std::max(0, part.x), y0 = part.y;
    ASSERT_EQ(piece.width, std::min(size.width, part.x + part.width) - x0);
    ASSERT_EQ(piece.height, std::min(size.height, part.y + part.height) - y0);
    for (int y = 0; y < piece.height; ++y)
      for (int x = 0; x < piece.width; ++x)
        ASSERT_EQ(piece.pixels[std::size_t(y * piece.width + x)],
                  got.pixels[std::size_t((y0 + y) * size.width + x0 + x)])
            << "part at " << part.x << "," << part.y << ", pixel " << x << "," << y;
  }
}

TEST(GreyPage, ThinLinesTurnGreyAndPaddingCountsForNothing) {
  // One black column in 13 (the padding bits of each row are black): the
  // rule shows in every picture pixel's column as a darker grey.
  PageBitmap page = blank_page(13, 20, 0x00);
  for (int y = 0; y < 20; ++y) {
    page.row(y)[0] = 0xFF;
    page.row(y)[1] = 0xF8;  // pixels 8..12 white, 3 padding bits black
  }
  for (int y = 0; y < 20; ++y) set_black(page, 6, y);
  const GreyImage one = area_average(page, {1, 1});
  ASSERT_EQ(one.pixels.size(), 1u);
  EXPECT_EQ(one.pixels[0], std::lround(255.0 * 12 / 13));
  const GreyImage white = area_average(blank_page(13, 5, 0xFF), {3, 2});
  EXPECT_TRUE(
      std::all_of(white.pixels.begin(), white.pixels.end(), [](int v) { return v == 255; }));
  EXPECT_TRUE(area_average(PageBitmap{}, {4, 4}).pixels.empty());
  EXPECT_TRUE(area_average(page, {0, 4}).pixels.empty());
  EXPECT_TRUE(area_average_part(page, {4, 4}, {4, 0, 2, 2}).pixels.empty());
}

}  // namespace
}  // namespace orvane
