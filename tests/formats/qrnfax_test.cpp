#include <gtest/gtest.h>

#include "base/coding_mode.h"
#include "formats/container_writers.h"
#include "formats/qrnfax_reader.h"
#include "support/test_support.h"

namespace orvane {
namespace {

using test::Bytes;
using test::Pbm;
using test::QrnPage;

using OpenQrn = test::OpenedReader<QrnFaxReader>;

// One page per coding 3 to 7 and bit order 1 and 2. Codings 5, 6 and 7 are
// libtiff's strips (Compression 3 1D, 3 2D, 4); 3 and 4 (Compression 2 and
// 32771, which no tool here writes) are netpbm's Modified Huffman rows
// without their EOLs, padded to a byte or a 16-bit word.
struct AllCodings {
  std::vector<Pbm> images;
  std::vector<QrnPage> pages;
  AllCodings() {
    test::TempDir dir;
    unsigned seed = 60;
    for (std::uint8_t order : {1, 2}) {
      const bool lsb = order == 2;
      for (std::uint8_t coding = 3; coding <= 7; ++coding) {
        const int rows = 20 + int(seed % 7) * 9;
        Pbm image = test::test_image(1728, rows, seed++, coding <= 4);
        Bytes data;
        if (coding <= 4) {
          const auto packing = coding == 3 ? test::RowPacking::kByte : test::RowPacking::kWord;
          data = test::pack_rows(test::mh_rows(test::pbmtog3(dir, image, false)), packing);
          if (lsb) data = test::reverse_bits(data);
        } else {
          const char* c = coding == 5 ? "g3" : coding == 6 ? "g3:2d" : "g4";
          data = test::tiffcp_ccitt(dir, image, c, lsb);
        }
        pages.push_back({.coded = data,
                         .rows = std::uint32_t(rows),
                         .bit_order = order,
                         .coding = coding,
                         .xres = std::uint8_t(200 + coding),
                         .yres = std::uint8_t(100 + coding)});
        images.push_back(image);
      }
    }
  }
};

TEST(QrnFaxFiles, EveryCodingInBothBitOrdersDecodesLikeItsSource) {
  AllCodings src;
  OpenQrn f(test::qrn_file(src.pages));
  ASSERT_EQ(f.pages, 10);
  for (std::uint32_t i = 0; i < 10; ++i) {
    const QrnPage& p = src.pages[i];
    const PageBitmap page = f.load(i);
    const std::string name =
        "qrn-coding" + std::to_string(p.coding) + "-order" + std::to_string(p.bit_order);
    EXPECT_TRUE(test::same_pixels(src.images[i], test::to_pbm(page), name)) << name;
    EXPECT_EQ(page.coding, p.coding) << name;
    EXPECT_EQ(page.bit_order, p.bit_order) << name;
    EXPECT_EQ(page.xres, p.xres);
    EXPECT_EQ(page.yres, p.yres);
    EXPECT_EQ(page.unit, 2);
  }
}

TEST(QrnFaxHeaders, DefaultsAndChainPositions) {
  test::TempDir dir;
  const Pbm image = test::test_image(1728, 33, 70);
  const Bytes g4 = test::tiffcp_ccitt(dir, image, "g4", false);
  OpenQrn f(test::qrn_file({{.coded = g4, .width = 0, .rows = 0, .coding = 7}}));
  ASSERT_EQ(f.pages, 1);
  const PageBitmap page = f.load(0);
  EXPECT_EQ(page.width, 1728);
  EXPECT_EQ(page.xres, 204);
  EXPECT_EQ(page.yres, 196);
  EXPECT_TRUE(test::same_pixels(image, test::to_pbm(page), "qrn-default"));

  // First header: data at 64, 1000 bytes: the second header is at 1064.
  const Bytes two = test::qrn_file({{.coded = Bytes(1000, 0)}, {.coded = Bytes(10, 0)}});
  ASSERT_EQ(std::string(two.begin() + 1064, two.begin() + 1071), "QRN-FAX");
  OpenQrn t(two);
  EXPECT_EQ(t.pages, 2);
  EXPECT_EQ(t.reader.page_position(1), 1064u);
}

TEST(QrnFaxHeaders, UnknownCodingIsNotDecodedNorWritten) {
  test::TempDir dir;
  const Pbm image = test::test_image(1728, 20, 71);
  const Bytes g4 = test::tiffcp_ccitt(dir, image, "g4", false);
  OpenQrn f(test::qrn_file({{.coded = g4, .rows = 20, .coding = 7},
                            {.coded = g4, .rows = 20, .coding = 9},
                            {.coded = g4, .rows = 20, .coding = 7}}));
  ASSERT_EQ(f.pages, 3);
  PageBitmap page = f.load(0);
  ASSERT_TRUE(page.is_valid());
  (void)f.reader.load_page(1, page);
  EXPECT_FALSE(page.is_valid());
  EXPECT_FALSE(page.has_pixels());
}

// The decoder reads every bit order but 1 least significant bit first; the
// page must say so too, or an export shows noise where the viewer showed
// the page.
TEST(QrnFaxHeaders, BitOrdersOtherThanOneAreLeastSignificantFirstEverywhere) {
  test::TempDir dir;
  const Pbm image = test::test_image(1728, 20, 72);
  const Bytes g4 = test::tiffcp_ccitt(dir, image, "g4", true);
  OpenQrn f(test::qrn_file({{.coded = g4, .rows = 20, .bit_order = 0, .coding = 7},
                            {.coded = g4, .rows = 20, .bit_order = 3, .coding = 7}}));
  ASSERT_EQ(f.pages, 2);
  for (std::uint32_t i = 0; i < 2; ++i) {
    const PageBitmap page = f.load(i);
    EXPECT_TRUE(test::same_pixels(image, test::to_pbm(page), "qrn-order-" + std::to_string(i)));
    EXPECT_EQ(page.bit_order, kBitOrderLsbFirst);
  }
}

// ------------------------------------------------------------ hostile

TEST(QrnFaxHostile, ChainsThatLoopOrLeaveTheFile) {
  // Page 1 points back to page 0.
  Bytes loop = test::qrn_file({{.coded = Bytes(30, 0)}, {.coded = Bytes(30, 0)}});
  test::put32(loop, 94 + 8, 0);
  test::put32(loop, 94 + 12, 0);
  OpenQrn l(loop);
  EXPECT_EQ(l.pages, 2);
  // A page pointing at itself.
  Bytes self = test::qrn_file({{.coded = Bytes(30, 0)}});
  test::put32(self, 8, 0);
  test::put32(self, 12, 0);
  OpenQrn s(self);
  EXPECT_EQ(s.pages, 1);
  // Past the end, and beyond 4 GiB.
  Bytes far = test::qrn_file({{.coded = Bytes(30, 0)}});
  test::put32(far, 8, 0xFFFFFFFFu);
  test::put32(far, 12, 0xFFFFFFFFu);
  OpenQrn p(far);
  EXPECT_EQ(p.pages, 1);
  // 1100 pages in a row: every one is listed.
  OpenQrn many(test::qrn_file(std::vector<QrnPage>(1100, QrnPage{.coded = Bytes(1, 0)})));
  EXPECT_EQ(many.pages, 1100);
  // No signature at 0: no pages, file closed.
  Bytes bad = test::qrn_file({{.coded = Bytes(30, 0)}});
  bad[3] = '_';
  OpenQrn none(bad);
  EXPECT_EQ(none.pages, 0);
  EXPECT_FALSE(none.reader.is_open());
}

TEST(QrnFaxHostile, SizesAndLengthsFromTheHeader) {
  test::TempDir dir;
  const Pbm image = test::test_image(1728, 24, 72);
  const Bytes g3 = test::tiffcp_ccitt(dir, image, "g3", false);
  Bytes f = test::qrn_file({{.coded = g3, .rows = 24, .coding = 5}});
  // A length beyond the file is cut to what follows the header; the next
  // position (data position + length) then lies outside the file.
  test::put32(f, 12, 0xFFFFFF00u);
  OpenQrn q(f);
  ASSERT_EQ(q.pages, 1);
  EXPECT_TRUE(test::same_pixels(image, test::to_pbm(q.load(0)), "qrn-cut"));

  // Sizes no page can have are refused before anything is allocated.
  for (auto [w, r] :
       {std::pair{0xFFFFFFFFu, 10u}, std::pair{1728u, 0x80000000u}, std::pair{65536u, 65536u}}) {
    OpenQrn h(test::qrn_file({{.coded = g3, .width = w, .rows = r, .coding = 5}}));
    EXPECT_FALSE(h.load(0).has_pixels()) << w << " x " << r;
  }

  // Truncated data decodes what is there.
  Bytes cut(f.begin(), f.begin() + 64 + std::ptrdiff_t(g3.size() / 3));
  OpenQrn t(cut);
  ASSERT_EQ(t.pages, 1);
  EXPECT_LT(t.load(0).height, 24);
}

TEST(QrnFaxHostile, RandomDamage) {
  AllCodings src;
  QrnFaxReader reader;
  test::exercise_damaged(reader, test::qrn_file(src.pages), 4, 120);
}

}  // namespace
}  // namespace orvane
