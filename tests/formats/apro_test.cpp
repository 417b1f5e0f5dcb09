#include <gtest/gtest.h>

#include "base/coding_mode.h"
#include "formats/apro_reader.h"
#include "formats/container_writers.h"
#include "support/test_support.h"

namespace orvane {
namespace {

using test::AproPage;
using test::Bytes;
using test::Pbm;

using OpenApro = test::OpenedReader<AproReader>;

// Modified Huffman rows with a 16-bit word in front of the first row and
// after every row, least significant bit first: netpbm's rows without their
// EOLs, packed around the words.
Bytes prefixed_rows(const test::TempDir& dir, const Pbm& image) {
  const auto rows = test::mh_rows(test::pbmtog3(dir, image, false));
  EXPECT_EQ(rows.size(), std::size_t(image.height));
  return test::reverse_bits(test::pack_rows(rows, test::RowPacking::kPrefixWords));
}

struct FourPages {
  test::TempDir tools;
  Pbm narrow = test::test_image(1728, 45, 41);
  Pbm wide = test::test_image(2048, 52, 42);
  Pbm narrow_edge = test::test_image(1728, 38, 43, true);
  Pbm wide_edge = test::test_image(2048, 61, 44, true);
  std::vector<AproPage> pages() const {
    test::TempDir dir;
    return {{.coded = test::pbmtog3(dir, narrow, true), .flags = 0x00},
            {.coded = test::pbmtog3(dir, wide, true), .flags = 0x03},
            {.coded = prefixed_rows(dir, narrow_edge), .flags = 0x04},
            {.coded = prefixed_rows(dir, wide_edge), .flags = 0x07}};
  }
  std::vector<Pbm> images() const { return {narrow, wide, narrow_edge, wide_edge}; }
};

TEST(AproFiles, EachFlagBitDecodesLikeNetpbm) {
  FourPages src;
  OpenApro f(test::apro_file(src.pages()));
  ASSERT_EQ(f.recognised, ReaderResult::kOk);
  ASSERT_EQ(f.pages, 4);
  const auto images = src.images();
  const std::uint16_t yres[] = {100, 200, 100, 200};
  for (std::uint32_t i = 0; i < 4; ++i) {
    const PageBitmap page = f.load(i);
    EXPECT_EQ(page.width, images[i].width);
    EXPECT_EQ(page.xres, 200);
    EXPECT_EQ(page.yres, yres[i]);
    EXPECT_EQ(page.unit, 2);
    EXPECT_EQ(page.bit_order, kBitOrderLsbFirst);
    EXPECT_TRUE(test::same_pixels(images[i], test::to_pbm(page), "apro-" + std::to_string(i)));
  }
}

TEST(AproFiles, PagesEndAt3000Rows) {
  test::TempDir dir;
  const Pbm tall = test::test_image(1728, 3010, 45);
  OpenApro f(test::apro_file({{.coded = test::pbmtog3(dir, tall, true), .flags = 0x01}}));
  const PageBitmap page = f.load(0);
  EXPECT_EQ(page.height, 3000);
  EXPECT_TRUE(test::same_pixels(test::top_rows(tall, 3000), test::to_pbm(page), "apro-3000"));
}

// ------------------------------------------------------------ page table

TEST(AproPageTable, StatedCountBoundsTheWalk) {
  const std::vector<AproPage> two = {{.coded = Bytes(30, 0)}, {.coded = Bytes(30, 0)}};
  // A count of 1, 0 or below lists the first position alone.
  for (std::int16_t count : {1, 0, -5}) {
    OpenApro f(test::apro_file(two, count));
    EXPECT_EQ(f.pages, 1) << count;
  }
  // The first position is listed even when no page header is there.
  Bytes header_only = test::apro_file({}, 3);
  OpenApro h(header_only);
  EXPECT_EQ(h.pages, 1);
  EXPECT_FALSE(h.load(0).is_valid());
  // A count above the pages in the file stops where the file ends.
  OpenApro more(test::apro_file(two, 5));
  EXPECT_EQ(more.pages, 2);
  OpenApro many(test::apro_file(std::vector<AproPage>(1100, AproPage{}), 2000));
  EXPECT_EQ(many.pages, 1100);
}

TEST(AproPageTable, Signature) {
  Bytes f = test::apro_file({{.coded = Bytes(30, 0)}});
  f[4] = '1';
  OpenApro bad(f);
  EXPECT_EQ(bad.recognised, ReaderResult::kBadSignature);
  EXPECT_FALSE(bad.reader.is_open());
  OpenApro tiny(Bytes(f.begin(), f.begin() + 40));
  EXPECT_EQ(tiny.recognised, ReaderResult::kUnreadable);
  EXPECT_FALSE(tiny.reader.is_open());
}

// ------------------------------------------------------------ hostile

TEST(AproHostile, LengthsTheFileCannotHoldEndTheRead) {
  test::TempDir dir;
  const Pbm image = test::test_image(1728, 20, 46);
  const Bytes good = test::pbmtog3(dir, image, true);
  Bytes f = test::apro_file({{.coded = good}, {.coded = good}});
  // Page 1 states more bytes than the file has after its header.
  const std::size_t second = 64 + 16 + good.size();
  test::put32(f, second, std::uint32_t(good.size() + 1));
  OpenApro a(f);
  ASSERT_EQ(a.pages, 2);
  PageBitmap page = a.load(0);
  ASSERT_TRUE(page.is_valid());
  (void)a.reader.load_page(1, page);
  EXPECT_FALSE(page.has_pixels());
  EXPECT_FALSE(page.is_valid());
  EXPECT_FALSE(a.reader.read_page(1).ok());
  EXPECT_FALSE(a.reader.read_page(2).ok());

  // A length near 4 GiB: refused the same way, and no page follows it.
  test::put32(f, 64, 0xFFFFFFF0u);
  OpenApro b(f);
  EXPECT_EQ(b.pages, 1);
  EXPECT_FALSE(b.load(0).is_valid());
}

TEST(AproHostile, GarbageAndTruncatedData) {
  test::TempDir dir;
  const Pbm image = test::test_image(1728, 25, 47, true);
  const Bytes words = prefixed_rows(dir, image);
  Bytes garbage(4000);
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = std::uint8_t(i * 7 + i / 13);
  OpenApro f(test::apro_file({{.coded = garbage, .flags = 0x07},
                              {.coded = Bytes(words.begin(), words.begin() + 200), .flags = 0x04},
                              {.coded = Bytes(3, 0xFF), .flags = 0x04}}));
  ASSERT_EQ(f.pages, 3);
  for (std::uint32_t i = 0; i < 3; ++i) {
    const PageBitmap page = f.load(i);
    EXPECT_LE(page.height, AproReader::kMaxRows);
  }
  EXPECT_LT(f.load(1).height, 25);
}

TEST(AproHostile, RandomDamage) {
  FourPages src;
  AproReader reader;
  test::exercise_damaged(reader, test::apro_file(src.pages()), 3, 120);
}

}  // namespace
}  // namespace orvane
