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

TEST(QrnFaxFiles, ConvertsWithTheHeadersCodingAndBitOrder) {
  AllCodings src;
  OpenQrn f(test::qrn_file(src.pages));
  const auto out = f.dir / "out.tif";
  ASSERT_EQ(f.reader.convert(out, f.pages), ConvertResult::kOk);
  const Bytes tif = test::read_file(out);
  const auto dirs = test::tiff_directories(tif);
  ASSERT_EQ(dirs.size(), 10u);
  const std::uint32_t compression[] = {0, 0, 0, 2, 32771, 3, 3, 4};
  for (std::size_t i = 0; i < 10; ++i) {
    const QrnPage& p = src.pages[i];
    EXPECT_EQ(dirs[i].at(259)[0], compression[p.coding]);
    EXPECT_EQ(dirs[i].at(266)[0], p.bit_order);
    EXPECT_EQ(dirs[i].at(257)[0], p.rows);
    EXPECT_EQ(dirs[i].at(282), (std::vector<std::uint32_t>{p.xres, 1}));
    EXPECT_EQ(dirs[i].at(283), (std::vector<std::uint32_t>{p.yres, 1}));
    if (p.coding == 5 || p.coding == 6) {
      EXPECT_EQ(dirs[i].at(292)[0], p.coding == 5 ? 4u : 5u);
    }
    EXPECT_EQ(dirs[i].at(279)[0], p.coded.size());
    EXPECT_TRUE(std::equal(p.coded.begin(), p.coded.end(), tif.begin() + dirs[i].at(273)[0]));
  }
  const auto decoded = test::tifftopnm_pages(f.dir, out);
  ASSERT_EQ(decoded.size(), 10u);
  for (std::size_t i = 0; i < 10; ++i) {
    // libtiff cannot read Compression 32771 back, not even the strips its own
    // encoder writes (byte for byte what pack_rows makes here): it drops the
    // alignment bits by the fill of its bit buffer. Those pages are checked
    // by their bytes above and by our decoder in the test before.
    if (src.pages[i].coding == 4) continue;
    EXPECT_TRUE(test::same_pixels(src.images[i], decoded[i], "qrn-tiff-" + std::to_string(i)))
        << "coding " << int(src.pages[i].coding) << " order " << int(src.pages[i].bit_order);
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
  ASSERT_EQ(f.reader.convert(f.dir / "out.tif", f.pages), ConvertResult::kOk);
  const auto dirs = test::tiff_directories(test::read_file(f.dir / "out.tif"));
  EXPECT_EQ(dirs[0].at(256)[0], 1728u);
  EXPECT_EQ(dirs[0].at(257)[0], 4576u);

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
  f.reader.load_page(1, page);
  EXPECT_FALSE(page.is_valid());
  EXPECT_FALSE(page.has_pixels());
  // TIFF has no Compression for it: the page is left out, the rest renumbered.
  ASSERT_EQ(f.reader.convert(f.dir / "out.tif", f.pages), ConvertResult::kOk);
  const auto dirs = test::tiff_directories(test::read_file(f.dir / "out.tif"));
  ASSERT_EQ(dirs.size(), 2u);
  EXPECT_EQ(dirs[1].at(297), (std::vector<std::uint32_t>{1, 2}));
}

// The decoder reads every bit order but 1 least significant bit first; the
// page and the converted file must say so too, or the TIFF shows noise
// where the viewer showed the page.
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
  const auto out = f.dir / "out.tif";
  ASSERT_EQ(f.reader.convert(out, f.pages), ConvertResult::kOk);
  const auto dirs = test::tiff_directories(test::read_file(out));
  ASSERT_EQ(dirs.size(), 2u);
  const auto decoded = test::tifftopnm_pages(f.dir, out);
  ASSERT_EQ(decoded.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(dirs[i].at(266)[0], 2u);
    EXPECT_TRUE(test::same_pixels(image, decoded[i], "qrn-order-tiff-" + std::to_string(i)));
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
  // 1100 pages in a row: the table keeps 1024.
  OpenQrn many(test::qrn_file(std::vector<QrnPage>(1100, QrnPage{.coded = Bytes(1, 0)})));
  EXPECT_EQ(many.pages, 1024);
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
  EXPECT_EQ(q.reader.convert(q.dir / "missing" / "out.tif", q.pages), ConvertResult::kWriteFailed);
}

TEST(QrnFaxHostile, RandomDamage) {
  AllCodings src;
  QrnFaxReader reader;
  test::exercise_damaged(reader, test::qrn_file(src.pages), 4, 120);
}

}  // namespace
}  // namespace orvane
