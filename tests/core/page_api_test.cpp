// Pages by value, page facts without decoding, and stopping long work
// (records on several threads: tests/threads).
#include <gtest/gtest.h>

#include <filesystem>

#include "core/classify.h"
#include "core/fax_file.h"
#include "core/format_registry.h"
#include "core/page_export.h"
#include "core/scratch_dir.h"
#include "core/tiff_export.h"
#include "formats/container_writers.h"
#include "formats/guessed_pages.h"
#include "support/fax_record.h"
#include "support/test_support.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::fixture;
using test::Record;

const char* const kFiles[] = {"tiff/multipage-1728-g4.tif", "raw/twopage-1728-g3-2d.g3",
                              "raw/twopage-1728-g4.g4"};

// One file of every format that opens without an outside program, written
// with the ending its registry row names: fixtures for TIFF and bare data,
// and for the containers two pages of different kinds each (CCITT data from
// netpbm and libtiff; stated row counts are the rows the data holds).
std::vector<fs::path> one_file_of_every_format(const test::TempDir& dir) {
  using namespace test;
  const Pbm narrow = test_image(1728, 120, 1), wide = test_image(2048, 130, 2);
  const Bytes mh_lsb = pbmtog3(dir, narrow, true);
  const Bytes mh_msb = pbmtog3(dir, narrow, false);
  const Bytes wide_lsb = pbmtog3(dir, wide, true);
  const MadePage t6 = made_page(dir, kCodingT6, false, 2048, 130, 3);
  const MadePage t6_lsb = made_page(dir, kCodingT6, true, 1728, 120, 4);
  const auto literal_rows = [](int line_bytes, int rows) {
    // Literals below 0xC0 need no count byte.
    return Bytes(std::size_t(line_bytes) * std::size_t(rows), 0x5A);
  };
  const std::vector<std::pair<std::int32_t, Bytes>> files = {
      {kFormatDcx, dcx_file({pcx_image({.xmax = 1727,
                                        .ymax = 8,
                                        .resolution = 196,
                                        .line_bytes = 216,
                                        .coded = literal_rows(216, 9)}),
                             pcx_image({.xmin = 10,
                                        .ymin = 5,
                                        .xmax = 109,
                                        .ymax = 24,
                                        .resolution = 300,
                                        .line_bytes = 13,
                                        .coded = literal_rows(13, 20)})})},
      {kFormatWinFax, winfax_file({{.coded = mh_lsb, .width = 0, .rows = 120, .resolution_code = 0},
                                   {.coded = reverse_bits(t6.coded),
                                    .width = 2048,
                                    .rows = 130,
                                    .mmr = true,
                                    .resolution_code = 2}})},
      {kFormatApro,
       apro_file({{.coded = mh_lsb, .flags = 0x01}, {.coded = wide_lsb, .flags = 0x02}})},
      {kFormatBitware, bitware_file({{.coded = mh_msb, .width = 1728, .rows = 120},
                                     {.coded = t6.coded, .width = 2048, .rows = 130}},
                                    2)},
      {kFormatQuickLink,
       quicklink_file({mh_msb, t6_lsb.coded},
                      {.last_rows = 120, .other_rows = 120, .resolution_code = 2})},
      {kFormatQrnFax, qrn_file({{.coded = mh_msb, .rows = 120},
                                {.coded = reverse_bits(t6.coded),
                                 .width = 2048,
                                 .rows = 130,
                                 .bit_order = 2,
                                 .coding = 7,
                                 .xres = 200,
                                 .yres = 200}})},
  };
  std::vector<fs::path> paths = {fixture("tiff/multipage-1728-g4.tif"),
                                 fixture("raw/twopage-1728-g3-2d.g3"),
                                 fixture("raw/twopage-1728-g4.g4")};
  for (const auto& [format, bytes] : files) {
    paths.push_back(dir / ("file." + std::string(*find_format(format)->endings.begin())));
    write_file(paths.back(), bytes);
  }
  return paths;
}

TEST(PageApi, PagesAreValuesAndEveryFormatStatesWhatLoadingGives) {
  const test::TempDir dir;
  for (const fs::path& path : one_file_of_every_format(dir)) {
    SCOPED_TRACE(path.filename().string());
    Record r;
    ASSERT_EQ(r.open(path), OpenResult::kOk);
    const std::uint32_t count = r.fax.page_count();
    ASSERT_GE(count, 1u);
    // Last and first held at once; the record's own page stays page 1.
    const LoadedPage last = r.fax.read_page(count - 1);
    const LoadedPage first = r.fax.read_page(0);
    ASSERT_TRUE(last.valid() && first.valid());
    EXPECT_TRUE(test::same_pixels(test::to_pbm(r.fax.page()), test::to_pbm(first.page)));
    for (std::uint32_t i = 0; i < count; ++i) {
      SCOPED_TRACE(i);
      const LoadedPage loaded = r.fax.read_page(i);
      const PageBitmap& page = loaded.page;
      ASSERT_TRUE(loaded.valid());
      PageFacts facts;
      ASSERT_TRUE(r.fax.page_facts(i, facts));
      // What a format does not state is 0; what it states, loading gives.
      EXPECT_TRUE(facts.width == 0 || facts.width == std::uint32_t(page.width)) << facts.width;
      EXPECT_TRUE(facts.height == 0 || facts.height == std::uint32_t(page.height)) << facts.height;
      EXPECT_TRUE(facts.coding == 0 || facts.coding == page.coding) << int(facts.coding);
      EXPECT_TRUE(facts.bit_order == 0 || facts.bit_order == page.bit_order)
          << int(facts.bit_order);
      EXPECT_EQ(facts.xres, page.xres);
      EXPECT_EQ(facts.yres, page.yres);
      EXPECT_EQ(facts.unit, page.unit);
    }
    EXPECT_FALSE(r.fax.read_page(count).valid());
    PageFacts none;
    EXPECT_FALSE(r.fax.page_facts(count, none));
  }
}

TEST(WorkControl, TheFirstReadOfABareStreamReportsProgressAndStopsWhenAsked) {
  test::TempDir dir;
  const fs::path stream = dir / "zeros.g3";
  test::write_file(stream, {0x00});
  const std::int64_t size = 9 << 20;
  fs::resize_file(stream, std::uintmax_t(size));

  // A stop asked at the first piece read ends the open there: no scratch
  // file, not even those of the stream opened before, and the record is
  // usable. (Zeros hold no EOL: nothing but the read can report.)
  Record r;
  ASSERT_EQ(r.open(fixture("raw/twopage-1728-g4.g4")), OpenResult::kOk);
  ASSERT_TRUE(fs::exists(r.scratch.paths().row_file));
  std::vector<std::pair<std::int64_t, std::int64_t>> reports;
  WorkControl stopper([&](std::int64_t done, std::int64_t total) {
    reports.emplace_back(done, total);
    stopper.request_stop();
  });
  EXPECT_EQ(r.open(stream, &stopper), OpenResult::kStopped);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].second, size);
  EXPECT_GT(reports[0].first, 0);
  EXPECT_LT(reports[0].first, size);
  test::expect_clean_after_stop(r, fixture("raw/twopage-1728-g4.g4"));
}

TEST(WorkControl, AStoppedConversionWritesNothingAndTheRecordConvertsAfterwards) {
  for (const char* name : kFiles) {
    SCOPED_TRACE(name);
    Record r;
    ASSERT_EQ(r.open(fixture(name)), OpenResult::kOk);
    test::TempDir dir;
    std::int64_t reports = 0;
    WorkControl control([&](std::int64_t, std::int64_t) { ++reports; });
    control.request_stop();
    const fs::path out = dir / "out.tif";
    EXPECT_EQ(export_tiff(r.fax, r.fax.format(), out, TiffPages::kKeepCoded, progress_of(&control)),
              ConvertResult::kStopped);
    EXPECT_TRUE(fs::is_empty(dir.path()));
    control.clear_stop();
    EXPECT_EQ(export_tiff(r.fax, r.fax.format(), out, TiffPages::kKeepCoded, progress_of(&control)),
              ConvertResult::kOk);
    EXPECT_GE(reports, 1);
    EXPECT_TRUE(fs::exists(out));
  }
}

}  // namespace
}  // namespace orvane
