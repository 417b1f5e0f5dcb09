// Pages by value, page facts without decoding, and stopping long work
// (records on several threads: tests/threads).
#include <gtest/gtest.h>

#include <filesystem>

#include "core/classify.h"
#include "core/fax_file.h"
#include "core/format_registry.h"
#include "core/scratch_dir.h"
#include "support/test_support.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::fixture;

struct Record {
  ScratchDir scratch;
  FaxFile fax;
  Record() {
    fax.set_working_paths(scratch.paths());
    fax.set_parameters({});
  }
  int open(const fs::path& path, const WorkControl* control = nullptr) {
    return fax.open(path, classify(path), control);
  }
};

const char* const kFiles[] = {"tiff/multipage-1728-g4.tif", "raw/twopage-1728-g3-2d.g3",
                              "raw/twopage-1728-g4.g4"};

TEST(PageApi, PagesAreValuesAndTheFileStatesWhatLoadingGives) {
  for (const char* name : kFiles) {
    SCOPED_TRACE(name);
    Record r;
    ASSERT_EQ(r.open(fixture(name)), kOpenOk);
    EXPECT_EQ(r.fax.format(), classify(fixture(name)));
    const std::uint32_t count = r.fax.page_count();
    ASSERT_GE(count, 1u);
    // Last and first held at once; the record's own page stays page 1.
    const LoadedPage last = r.fax.read_page(count - 1);
    const LoadedPage first = r.fax.read_page(0);
    ASSERT_TRUE(last.valid() && first.valid());
    EXPECT_TRUE(test::same_pixels(test::to_pbm(r.fax.page()), test::to_pbm(first.page)));
    for (const LoadedPage* p : {&first, &last}) {
      PageFacts facts;
      ASSERT_TRUE(r.fax.page_facts(p == &first ? 0 : count - 1, facts));
      EXPECT_EQ(facts.width, std::uint32_t(p->page.width));
      EXPECT_EQ(facts.height, std::uint32_t(p->page.height));
      EXPECT_EQ(facts.xres, p->page.xres);
      EXPECT_EQ(facts.yres, p->page.yres);
      EXPECT_EQ(facts.coding, p->page.coding);
    }
    EXPECT_EQ(r.fax.read_page(count).status, LoadedPage::Status::kNotLoaded);
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
  ASSERT_EQ(r.open(fixture("raw/twopage-1728-g4.g4")), kOpenOk);
  ASSERT_TRUE(fs::exists(r.scratch.paths().row_file));
  std::vector<std::pair<std::int64_t, std::int64_t>> reports;
  WorkControl stopper([&](std::int64_t done, std::int64_t total) {
    reports.emplace_back(done, total);
    stopper.request_stop();
  });
  EXPECT_EQ(r.open(stream, &stopper), kOpenStopped);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].second, size);
  EXPECT_GT(reports[0].first, 0);
  EXPECT_LT(reports[0].first, size);
  EXPECT_EQ(r.fax.page_count(), 0);
  EXPECT_FALSE(r.fax.page_valid());
  EXPECT_FALSE(fs::exists(r.scratch.paths().row_file));
  EXPECT_FALSE(fs::exists(r.scratch.paths().page_index));
  ASSERT_EQ(r.open(fixture("raw/twopage-1728-g4.g4")), kOpenOk);
  EXPECT_TRUE(r.fax.page_valid());
}

TEST(WorkControl, AStoppedConversionWritesNothingAndTheRecordConvertsAfterwards) {
  for (const char* name : kFiles) {
    SCOPED_TRACE(name);
    Record r;
    ASSERT_EQ(r.open(fixture(name)), kOpenOk);
    test::TempDir dir;
    std::int64_t reports = 0;
    WorkControl control([&](std::int64_t, std::int64_t) { ++reports; });
    control.request_stop();
    const fs::path out = dir / "out.tif";
    EXPECT_EQ(r.fax.convert(out, r.fax.format(), FaxFile::TiffSource::kCopy, &control),
              kConvertStopped);
    EXPECT_TRUE(fs::is_empty(dir.path()));
    control.clear_stop();
    EXPECT_EQ(r.fax.convert(out, r.fax.format(), FaxFile::TiffSource::kCopy, &control), kConvertOk);
    EXPECT_GE(reports, 1);
    EXPECT_TRUE(fs::exists(out));
  }
}

}  // namespace
}  // namespace orvane
