// Turning a page by quarter turns, against netpbm's pamflip on pages whose
// widths leave part of a byte at each row's end.
#include "base/page_turn.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace orvane {
namespace {

namespace q = test;

PageBitmap page_of(const test::Pbm& image) {
  PageBitmap page;
  page.width = image.width;
  page.height = image.height;
  page.row_bytes = row_bytes_for(page.width);
  page.xres = 204;
  page.yres = 98;
  page.unit = 2;
  EXPECT_TRUE(page.allocate_pixels(std::int64_t(page.height) * page.row_bytes));
  for (std::size_t i = 0; i < image.bits.size(); ++i) page.pixels[i] = std::uint8_t(~image.bits[i]);
  return page;
}

TEST(PageTurn, QuarterTurnsMatchPamflipAndKeepTheAspect) {
  test::TempDir dir;
  const std::string text = test::shell_quoted(test::fixture("expected/text-1728-pbmtog3.pbm.gz"));
  for (const char* size : {"203 77", "64 40", "1 9"}) {
    const std::string cut = test::shell_quoted(dir / "cut.pbm");
    ASSERT_EQ(test::run("zcat " + text + " | pamcut 300 20 " + size + " > " + cut), 0);
    const test::Pbm image = test::read_pbm(dir / "cut.pbm");
    const PageBitmap page = page_of(image);
    const struct {
      int turns;
      const char* flip;
    } cases[] = {{1, "-cw"}, {2, "-r180"}, {3, "-ccw"}, {-1, "-ccw"}, {6, "-r180"}};
    for (const auto& c : cases) {
      ASSERT_EQ(test::run("pamflip " + std::string(c.flip) + " " + cut + " > " +
                          test::shell_quoted(dir / "want.pbm")),
                0);
      const PageBitmap out = turned(page, c.turns);
      EXPECT_TRUE(test::same_pixels(test::read_pbm(dir / "want.pbm"), test::to_pbm(out), "turned"))
          << size << " turned " << c.turns;
      EXPECT_EQ(out.row_bytes, row_bytes_for(out.width));
      // Turned a quarter, the page's rows are its columns: the resolutions follow.
      EXPECT_EQ(out.xres, c.turns % 2 ? 98 : 204) << c.turns;
      EXPECT_EQ(out.yres, c.turns % 2 ? 204 : 98) << c.turns;
      // Padding bits stay white, as the decoders leave them.
      if (out.width % 8) {
        EXPECT_EQ(out.row(out.height - 1)[out.row_bytes - 1] & (0xFF >> (out.width % 8)),
                  0xFF >> (out.width % 8));
      }
    }
    EXPECT_EQ(turned(page, 4).pixels, page.pixels);
  }
  PageBitmap empty;
  empty.width = 10;
  empty.height = 3;
  const PageBitmap out = turned(empty, 1);
  EXPECT_FALSE(out.has_pixels());
  EXPECT_EQ(out.width, 3);
}

}  // namespace
}  // namespace orvane
