// Pages by value, page facts without decoding, stopping long work, and
// records working side by side on several threads.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

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
  OpenResult open(const fs::path& path, const WorkControl* control = nullptr) {
    return fax.open(path, classify(path), control);
  }
};

const char* const kFiles[] = {"tiff/multipage-1728-g4.tif", "raw/twopage-1728-g3-2d.g3",
                              "raw/twopage-1728-g4.g4"};

TEST(PageApi, PagesAreValuesAndTheFileStatesWhatLoadingGives) {
  for (const char* name : kFiles) {
    SCOPED_TRACE(name);
    Record r;
    ASSERT_EQ(r.open(fixture(name)), OpenResult::kOk);
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

TEST(PageApi, IndependentRecordsLoadTheSameFilesOnSeveralThreads) {
  std::vector<std::vector<test::Pbm>> wanted;
  for (const char* name : kFiles) {
    Record r;
    wanted.emplace_back();
    if (r.open(fixture(name)) != OpenResult::kOk) continue;
    for (std::uint32_t i = 0; i < r.fax.page_count(); ++i)
      wanted.back().push_back(test::to_pbm(r.fax.read_page(i).page));
  }
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (std::size_t f = 0; f < std::size(kFiles); ++f) {
        Record r;
        const std::size_t file = (f + std::size_t(t)) % std::size(kFiles);
        if (r.open(fixture(kFiles[file])) != OpenResult::kOk ||
            r.fax.page_count() != wanted[file].size()) {
          ++mismatches;
          continue;
        }
        for (std::uint32_t i = 0; i < r.fax.page_count(); ++i)
          if (!test::same_pixels(wanted[file][i], test::to_pbm(r.fax.read_page(i).page)))
            ++mismatches;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(mismatches, 0);
}

TEST(WorkControl, AStopDuringTheAnalysisOfALargeStreamEndsItAtOnceLeavingNothing) {
  test::TempDir dir;
  std::vector<std::uint8_t> noise(64u << 20);
  std::mt19937 random(11);
  for (auto& b : noise) b = std::uint8_t(random());
  const fs::path stream = dir / "large.g3";
  test::write_file(stream, noise);

  Record r;
  WorkControl control;
  OpenResult result = OpenResult::kOk;
  std::thread worker([&] { result = r.open(stream, &control); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto asked = std::chrono::steady_clock::now();
  control.request_stop();
  worker.join();
  const auto took = std::chrono::steady_clock::now() - asked;
  EXPECT_LT(took, std::chrono::milliseconds(100));
  EXPECT_EQ(result, OpenResult::kStopped);
  EXPECT_EQ(r.fax.page_count(), 0);
  EXPECT_FALSE(r.fax.page_valid());
  EXPECT_FALSE(fs::exists(r.scratch.paths().row_file));
  EXPECT_FALSE(fs::exists(r.scratch.paths().page_index));
  // The record is usable again at once.
  ASSERT_EQ(r.open(fixture("raw/twopage-1728-g4.g4")), OpenResult::kOk);
  EXPECT_TRUE(r.fax.page_valid());
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
    EXPECT_EQ(r.fax.convert(out, r.fax.format(), FaxFile::TiffSource::kCopy, &control),
              ConvertResult::kStopped);
    EXPECT_TRUE(fs::is_empty(dir.path()));
    control.clear_stop();
    EXPECT_EQ(r.fax.convert(out, r.fax.format(), FaxFile::TiffSource::kCopy, &control),
              ConvertResult::kOk);
    EXPECT_GE(reports, 1);
    EXPECT_TRUE(fs::exists(out));
  }
}

}  // namespace
}  // namespace orvane
