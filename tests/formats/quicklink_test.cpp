#include <gtest/gtest.h>

#include <random>

#include "base/coding_mode.h"
#include "core/classify.h"
#include "core/fax_file.h"
#include "core/format_registry.h"
#include "formats/container_writers.h"
#include "formats/guessed_pages.h"
#include "formats/quicklink_reader.h"
#include "support/test_support.h"

namespace orvane {
namespace {

using test::Bytes;
using test::MadePage;
using test::QuickLinkLayout;

using OpenQuickLink = test::OpenedReader<QuickLinkReader>;

std::vector<Bytes> data_of(const std::vector<MadePage>& made) {
  std::vector<Bytes> pages;
  for (const auto& m : made) pages.push_back(m.coded);
  return pages;
}

TEST(QuickLinkFiles, EveryCodingAndBitOrderIsFoundAndDecoded) {
  test::TempDir tools;
  const auto made = test::every_kind_of_page(tools, 80);
  OpenQuickLink f(test::quicklink_file(data_of(made),
                                       {.last_rows = 80, .other_rows = 80, .resolution_code = 2}));
  ASSERT_EQ(f.recognised, ReaderResult::kOk);
  ASSERT_EQ(f.pages, made.size());
  for (std::uint32_t i = 0; i < made.size(); ++i) {
    const PageBitmap page = f.load(i);
    test::expect_found(made[i], page);
    EXPECT_EQ(page.xres, 200);
    EXPECT_EQ(page.yres, 100);
    EXPECT_EQ(page.unit, 2);
  }
}

TEST(QuickLinkFiles, LastPageRowsAtOffset10OthersAtOffset12) {
  test::TempDir tools;
  const MadePage mh = test::made_page(tools, kCodingT4_1D, true, 1728, 80, 21);
  OpenQuickLink f(
      test::quicklink_file({mh.coded, mh.coded, mh.coded}, {.last_rows = 60, .other_rows = 75}));
  ASSERT_EQ(f.pages, 3);
  EXPECT_EQ(f.load(0).height, 75);
  EXPECT_EQ(f.load(1).height, 75);
  EXPECT_EQ(f.load(2).height, 60);
  EXPECT_TRUE(test::same_pixels(test::top_rows(mh.image, 60), test::to_pbm(f.load(2)), "last"));
}

TEST(QuickLinkFiles, PagesRunToTheNextOffsetOrToTheEndOfTheFile) {
  test::TempDir tools;
  const MadePage t6 = test::made_page(tools, kCodingT6, false, 2048, 80, 22);
  const MadePage mr = test::made_page(tools, kCodingT4_2D, true, 1728, 60, 23);

  // 375 pages stated, only the last slot used: it runs to the end of the file.
  Bytes last = test::quicklink_file({}, {.last_rows = 80, .stated_count = 375});
  test::put32(last, 32 + 4 * 374, std::uint32_t(last.size()));
  test::append(last, t6.coded);
  OpenQuickLink l(last);
  ASSERT_EQ(l.pages, 375);
  EXPECT_FALSE(l.load(0).has_pixels());
  test::expect_found(t6, l.load(374));

  // A page whose next slot is 0 runs to the end of the file too; one in
  // front of a used slot stops there.
  OpenQuickLink gap(
      test::quicklink_file({mr.coded, t6.coded, {}, {}}, {.last_rows = 60, .other_rows = 80}));
  ASSERT_EQ(gap.pages, 4);
  test::expect_found(mr, gap.load(0));
  test::expect_found(t6, gap.load(1));
  EXPECT_FALSE(gap.load(2).has_pixels());
}

// ------------------------------------------------------------ header

TEST(QuickLinkHeaders, SignatureCountAndResolution) {
  // The signature is a NUL-terminated string: a ninth letter is another one.
  Bytes longer = test::quicklink_file({}, {});
  longer[7] = 'X';
  OpenQuickLink s(longer);
  EXPECT_EQ(s.recognised, ReaderResult::kUnreadable);
  EXPECT_FALSE(s.reader.is_open());
  OpenQuickLink other(Bytes(2000, 0x51));
  EXPECT_EQ(other.recognised, ReaderResult::kUnreadable);
  OpenQuickLink empty(Bytes{});
  EXPECT_EQ(empty.recognised, ReaderResult::kUnreadable);
  QuickLinkReader closed;
  EXPECT_EQ(closed.recognise(), ReaderResult::kNoFile);

  // A short file is judged by the bytes it has; what is missing reads as 0.
  Bytes short_file = test::quicklink_file({}, {.stated_count = 4});
  short_file.resize(10);
  OpenQuickLink t(short_file);
  EXPECT_EQ(t.recognised, ReaderResult::kOk);
  EXPECT_EQ(t.pages, 4);
  EXPECT_FALSE(t.load(0).has_pixels());

  for (std::uint16_t stated : {400, 5000, 65535}) {
    OpenQuickLink c(test::quicklink_file({}, {.stated_count = stated}));
    EXPECT_EQ(c.pages, 375);
    EXPECT_FALSE(c.load(374).has_pixels());
    EXPECT_FALSE(c.load(375).has_pixels());
  }

  test::TempDir tools;
  const MadePage mh = test::made_page(tools, kCodingT4_1D, false, 1728, 60, 24);
  const std::pair<std::uint16_t, std::uint16_t> codes[] = {{0, 400}, {1, 200}, {2, 100}, {3, 400}};
  for (const auto& [code, yres] : codes) {
    OpenQuickLink r(test::quicklink_file({mh.coded}, {.last_rows = 60, .resolution_code = code}));
    const PageBitmap page = r.load(0);
    EXPECT_EQ(page.xres, 200);
    EXPECT_EQ(page.yres, yres) << code;
  }
}

// ------------------------------------------------------------ hostile

TEST(QuickLinkHostile, BadRangesLeaveNoPageAndAreLeftOutOfConversions) {
  test::TempDir tools;
  const MadePage mh = test::made_page(tools, kCodingT4_1D, false, 1728, 60, 25);
  Bytes f = test::quicklink_file({mh.coded, mh.coded, mh.coded, mh.coded, mh.coded},
                                 {.last_rows = 60, .other_rows = 60});
  auto slot = [](std::size_t i) { return 32 + 4 * i; };
  const std::uint32_t p1 = std::uint32_t(1532 + mh.coded.size());
  test::put32(f, slot(2), p1 - 100);                        // page 1's next offset below its own
  test::put32(f, slot(3), std::uint32_t(f.size()) + 1000);  // page 3 past the end
  test::put32(f, slot(4), std::uint32_t(f.size()) + 1000);
  OpenQuickLink q(f);
  ASSERT_EQ(q.pages, 5);
  PageBitmap page;
  (void)q.reader.load_page(0, page);
  ASSERT_TRUE(page.has_pixels());
  (void)q.reader.load_page(1, page);
  EXPECT_FALSE(page.has_pixels());
  EXPECT_EQ(page.width, 0);
  EXPECT_EQ(page.coding, kCodingUnknown);
  EXPECT_FALSE(q.load(3).has_pixels());
  EXPECT_FALSE(q.load(4).has_pixels());

  // Two equal offsets: an empty page.
  Bytes same = test::quicklink_file({mh.coded, mh.coded}, {.last_rows = 60, .other_rows = 60});
  test::put32(same, slot(1), 1532);
  OpenQuickLink z(same);
  EXPECT_FALSE(z.load(0).has_pixels());
  test::expect_found(mh, z.load(1));

  // Row counts no page may have are refused before anything is allocated.
  OpenQuickLink tall(
      test::quicklink_file({mh.coded, mh.coded}, {.last_rows = 0, .other_rows = 0xFFFFFFFFu}));
  EXPECT_FALSE(tall.load(0).has_pixels());
  EXPECT_FALSE(tall.load(1).has_pixels());
}

TEST(QuickLinkHostile, RandomDataIsGivenUpOnInBoundedTime) {
  std::mt19937 rng(5);
  Bytes noise(64 * 1024);
  for (auto& b : noise) b = std::uint8_t(rng());
  OpenQuickLink q(test::quicklink_file({noise}, {.last_rows = 65535}));
  ASSERT_EQ(q.pages, 1);
  EXPECT_FALSE(q.load(0).has_pixels());
}

TEST(QuickLinkHostile, RandomDamage) {
  test::TempDir tools;
  const auto made = test::every_kind_of_page(tools, 60);
  QuickLinkReader reader;
  test::exercise_damaged(
      reader, test::quicklink_file(data_of(made), {.last_rows = 60, .other_rows = 60}), 4, 20);
}

// ------------------------------------------------------------ record

TEST(QuickLinkRecord, OpensAndLoadsThroughTheFaxFile) {
  test::TempDir tools;
  const MadePage t6 = test::made_page(tools, kCodingT6, false, 1728, 80, 26);
  const MadePage mh = test::made_page(tools, kCodingT4_1D, true, 2100, 60, 27);
  const auto path = tools / "fax.qfx";
  test::write_file(path,
                   test::quicklink_file({t6.coded, mh.coded}, {.last_rows = 60, .other_rows = 80}));
  ASSERT_EQ(classify(path), kFormatQuickLink);
  FaxFile fax;
  ASSERT_EQ(fax.open(path, classify(path)), OpenResult::kOk);
  EXPECT_EQ(fax.page_count(), 2);
  EXPECT_TRUE(fax.page_valid());
  EXPECT_TRUE(test::same_pixels(t6.image, test::to_pbm(fax.page()), "record-0"));
  fax.load_page(kFormatQuickLink, 1);
  EXPECT_TRUE(fax.page_valid());
  EXPECT_EQ(fax.page().width, 2100);
  EXPECT_EQ(fax.page().yres, 200);

  // A file whose only page gives no coding: nothing to show.
  std::mt19937 rng(9);
  Bytes noise(8192);
  for (auto& b : noise) b = std::uint8_t(rng());
  const auto blank = tools / "noise.qfx";
  test::write_file(blank, test::quicklink_file({noise}, {.last_rows = 60}));
  FaxFile none;
  ASSERT_EQ(none.open(blank, classify(blank)), OpenResult::kOk);
  EXPECT_EQ(none.page_count(), 1);
  EXPECT_FALSE(none.page_valid());

  // Not a Quick Link II file.
  const auto bad = tools / "bad.qfx";
  test::write_file(bad, Bytes(100, 0x42));
  FaxFile other;
  EXPECT_EQ(other.open(bad, classify(bad)), OpenResult::kOk);
  EXPECT_EQ(other.page_count(), 0);
  EXPECT_FALSE(other.page_valid());
}

}  // namespace
}  // namespace orvane
