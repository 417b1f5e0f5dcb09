#include <gtest/gtest.h>

#include <random>

#include "base/coding_mode.h"
#include "core/classify.h"
#include "core/fax_file.h"
#include "core/format_registry.h"
#include "formats/bitware_reader.h"
#include "formats/container_writers.h"
#include "formats/guessed_pages.h"
#include "support/test_support.h"

namespace orvane {
namespace {

using test::BitwarePage;
using test::Bytes;
using test::MadePage;
using test::Pbm;

using OpenBitware = test::OpenedReader<BitwareReader>;

std::vector<BitwarePage> directory_of(const std::vector<MadePage>& made) {
  std::vector<BitwarePage> pages;
  for (const auto& m : made)
    pages.push_back({.coded = m.coded,
                     .width = std::uint16_t(m.image.width),
                     .rows = std::uint16_t(m.image.height)});
  return pages;
}

Bytes random_bytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = std::uint8_t(rng());
  return b;
}

TEST(BitwareFiles, EveryCodingAndBitOrderIsFoundAndDecoded) {
  test::TempDir tools;
  const auto made = test::every_kind_of_page(tools, 80);
  // netpbm decodes the Modified Huffman pages to their images.
  for (const auto& m : made) {
    if (m.coding != kCodingT4_1D) continue;
    test::write_file(tools / "mh.g3", m.coded);
    ASSERT_EQ(test::run(std::string("g3topbm ") +
                        (m.bit_order == kBitOrderLsbFirst ? "-reversebits " : "") + "'" +
                        (tools / "mh.g3").string() + "' > '" + (tools / "mh.pbm").string() + "'"),
              0);
    EXPECT_TRUE(test::same_pixels(m.image, test::read_pbm(tools / "mh.pbm"), "g3topbm"));
  }
  OpenBitware f(test::bitware_file(directory_of(made), 0));
  ASSERT_EQ(f.recognised, ReaderResult::kOk);
  ASSERT_EQ(f.pages, made.size());
  for (std::uint32_t i = 0; i < made.size(); ++i) {
    const PageBitmap page = f.load(i);
    test::expect_found(made[i], page);
    EXPECT_EQ(page.height, 80);
    EXPECT_EQ(page.xres, 200);
    EXPECT_EQ(page.yres, 100);
    EXPECT_EQ(page.unit, 2);
  }
}

TEST(BitwareFiles, StatedRowsBoundThePageAndTheDirectoryStatesItsWidth) {
  test::TempDir tools;
  const MadePage mh = test::made_page(tools, kCodingT4_1D, false, 2048, 80, 7);
  // The stated rows cut the page short.
  OpenBitware f(test::bitware_file({{.coded = mh.coded, .width = 2048, .rows = 70}}));
  ASSERT_EQ(f.pages, 1);
  const PageBitmap page = f.load(0);
  EXPECT_EQ(page.width, 2048);
  EXPECT_TRUE(test::same_pixels(test::top_rows(mh.image, 70), test::to_pbm(page), "cut"));
}

TEST(BitwareFiles, ThresholdAndFlagNumberComeFromTheRecord) {
  test::TempDir tools;
  // 30 rows never make 50 in a row, but do make 10.
  const MadePage mr = test::made_page(tools, kCodingT4_2D, true, 1728, 30, 8);
  // T.6 data of a page without white rows on top has no 0xFF run: only
  // flag number 0 finds its start.
  const Pbm plain = test::test_image(1728, 80, 9);
  const MadePage t6{.name = "t6-no-run",
                    .image = plain,
                    .coded = test::tiffcp_ccitt(tools, plain, "g4", false),
                    .coding = kCodingT6,
                    .bit_order = kBitOrderMsbFirst};
  const Bytes& bare = t6.coded;
  OpenBitware f(test::bitware_file({{.coded = mr.coded, .rows = 30}, {.coded = bare, .rows = 80}}));
  ASSERT_EQ(f.pages, 2);
  EXPECT_FALSE(f.load(0).has_pixels());
  EXPECT_FALSE(f.load(1).has_pixels());
  f.reader.set_analysis(10, 0);
  test::expect_found(mr, f.load(0));
  test::expect_found(t6, f.load(1));
}

TEST(BitwareFiles, T6PagesKeepTheirWhiteTopRowsAndTheStatedWidth) {
  // White rows on top are 1 bits that look like the 0xFF run in front of
  // T.6 data; the page is decoded from its first byte all the same. The
  // 3456-wide page is accepted by the analysis at 3648 first (tried
  // earlier); the directory's width decides.
  struct Case {
    int width, white_rows;
    bool lsb;
  } cases[] = {{1728, 44, false}, {1728, 19, true}, {3456, 60, false}};
  test::TempDir tools;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    const Pbm image = test::with_white_top(test::test_image(c.width, 120, 10), c.white_rows);
    const Bytes t6 = test::tiffcp_ccitt(tools, image, "g4", c.lsb);
    OpenBitware f(
        test::bitware_file({{.coded = t6, .width = std::uint16_t(c.width), .rows = 120}}));
    const PageBitmap page = f.load(0);
    EXPECT_EQ(page.coding, kCodingT6);
    EXPECT_TRUE(test::same_pixels(image, test::to_pbm(page), "white-top"));
  }
}

// ------------------------------------------------------------ header

TEST(BitwareHeaders, SignatureCountAndResolution) {
  // One space between the words is another signature.
  Bytes one_space = test::bitware_file({});
  std::memcpy(one_space.data(), "BIT FAX ", 8);
  OpenBitware s(one_space);
  EXPECT_EQ(s.recognised, ReaderResult::kBadSignature);
  EXPECT_FALSE(s.reader.is_open());

  // Shorter than the header.
  Bytes short_file = test::bitware_file({});
  short_file.resize(2047);
  OpenBitware t(short_file);
  EXPECT_EQ(t.recognised, ReaderResult::kUnreadable);
  EXPECT_FALSE(t.reader.is_open());

  BitwareReader closed;
  EXPECT_EQ(closed.recognise(), ReaderResult::kNoFile);

  for (std::uint16_t stated : {200, 5000, 65535}) {
    OpenBitware c(test::bitware_file({}, 1, stated));
    EXPECT_EQ(c.pages, 127);
    EXPECT_FALSE(c.load(126).has_pixels());  // no data offset
    EXPECT_FALSE(c.load(127).has_pixels());
  }
  OpenBitware none(test::bitware_file({}));
  EXPECT_EQ(none.pages, 0);
  EXPECT_FALSE(none.reader.valid_after_count(0));
  EXPECT_TRUE(none.reader.valid_after_count(1));

  test::TempDir tools;
  const MadePage mh = test::made_page(tools, kCodingT4_1D, true, 1728, 60, 11);
  const std::pair<std::uint8_t, std::uint16_t> codes[] = {{0, 100}, {1, 200}, {2, 400}, {9, 400}};
  for (const auto& [code, yres] : codes) {
    OpenBitware r(test::bitware_file({{.coded = mh.coded, .rows = 60}}, code));
    const PageBitmap page = r.load(0);
    EXPECT_EQ(page.xres, 200);
    EXPECT_EQ(page.yres, yres) << int(code);
  }
}

// ------------------------------------------------------------ hostile

TEST(BitwareHostile, UnreadablePagesLeaveNoPageAndAreLeftOutOfConversions) {
  test::TempDir tools;
  const MadePage t6 = test::made_page(tools, kCodingT6, true, 1728, 80, 12);
  const MadePage mh = test::made_page(tools, kCodingT4_1D, false, 1728, 60, 13);
  std::vector<BitwarePage> pages = {
      {.coded = t6.coded, .rows = 80},  // good
      {.coded = Bytes(100, 0x55), .rows = 60}, {.coded = mh.coded, .rows = 60},
      {.coded = mh.coded, .rows = 60},         {.coded = mh.coded, .rows = 0},
      {.coded = mh.coded, .rows = 60}};
  Bytes f = test::bitware_file(pages);
  const std::size_t e2 = 16 + 16 * 2, e3 = 16 + 16 * 3, e5 = 16 + 16 * 5;
  test::put32(f, e2 + 8, std::uint32_t(f.size()) + 10);  // data past the end of the file
  test::put32(f, e3 + 4, 0);                             // zero length
  test::put32(f, e5 + 4, 0xFFFFFFF0u);                   // length past the end: cut
  OpenBitware b(f);
  ASSERT_EQ(b.pages, 6);

  // A page that fails leaves nothing of the page loaded before it.
  PageBitmap page;
  (void)b.reader.load_page(0, page);
  ASSERT_TRUE(page.has_pixels());
  for (std::uint32_t i : {1u, 2u, 3u, 4u}) {
    (void)b.reader.load_page(0, page);
    (void)b.reader.load_page(i, page);
    EXPECT_FALSE(page.has_pixels()) << i;
    EXPECT_EQ(page.width, 0) << i;
    EXPECT_EQ(page.height, 0) << i;
    EXPECT_EQ(page.coding, kCodingUnknown) << i;
  }
  (void)b.reader.load_page(5, page);
  EXPECT_TRUE(test::same_pixels(mh.image, test::to_pbm(page), "cut-length"));
}

TEST(BitwareHostile, RandomDataAndLargeStatedSizes) {
  // Random bytes where a page should be: no coding is found, no page shown.
  OpenBitware r(test::bitware_file({{.coded = random_bytes(64 * 1024, 1), .rows = 65535},
                                    {.coded = Bytes(4096, 0xFF), .rows = 65535},
                                    {.coded = Bytes(4096, 0x00), .rows = 65535}}));
  ASSERT_EQ(r.pages, 3);
  for (std::uint32_t i = 0; i < 3; ++i) EXPECT_FALSE(r.load(i).has_pixels()) << i;
}

TEST(BitwareHostile, RandomDamage) {
  test::TempDir tools;
  const auto made = test::every_kind_of_page(tools, 60);
  BitwareReader reader;
  test::exercise_damaged(reader, test::bitware_file(directory_of(made)), 3, 20);
}

// ------------------------------------------------------------ record

TEST(BitwareRecord, OpensAndLoadsThroughTheFaxFile) {
  test::TempDir tools;
  const MadePage mr = test::made_page(tools, kCodingT4_2D, false, 1728, 60, 14);
  const MadePage t6 = test::made_page(tools, kCodingT6, true, 2048, 80, 15);
  const auto path = tools / "fax.BFX";
  test::write_file(path, test::bitware_file({{.coded = mr.coded, .rows = 60},
                                             {.coded = t6.coded, .width = 2048, .rows = 80}},
                                            1));
  ASSERT_EQ(classify(path), kFormatBitware);
  FaxFile fax;
  ASSERT_EQ(fax.open(path, classify(path)), OpenResult::kOk);
  EXPECT_EQ(fax.page_count(), 2);
  EXPECT_TRUE(fax.page_valid());
  EXPECT_TRUE(test::same_pixels(mr.image, test::to_pbm(fax.page()), "record-0"));
  fax.load_page(kFormatBitware, 1);
  EXPECT_TRUE(fax.page_valid());
  EXPECT_EQ(fax.page().coding, kCodingT6);
  EXPECT_EQ(fax.page().yres, 200);

  // The record's threshold reaches the reader before each load.
  fax.parameters().threshold = 70;
  fax.load_page(kFormatBitware, 1);
  EXPECT_FALSE(fax.page_valid());

  // A file that is not a Bitware file: no pages, nothing valid.
  const auto bad = tools / "bad.bfx";
  test::write_file(bad, Bytes(3000, 0x42));
  FaxFile other;
  EXPECT_EQ(other.open(bad, classify(bad)), OpenResult::kOk);
  EXPECT_EQ(other.page_count(), 0);
  EXPECT_FALSE(other.page_valid());
}

}  // namespace
}  // namespace orvane
