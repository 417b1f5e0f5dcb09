// Fax file records at work on several threads at once, and long work
// stopped from another thread. Kept apart from the other tests so that
// a ThreadSanitizer build of these alone stays small enough for CI.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "core/classify.h"
#include "core/fax_file.h"
#include "core/scratch_dir.h"
#include "formats/container_writers.h"
#include "support/fax_record.h"
#include "support/test_support.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::fixture;
using test::Record;

TEST(RecordsOnThreads, IndependentRecordsLoadTheSameFilesAtOnce) {
  // A TIFF, bare streams (analysis, extraction and the scratch files), and
  // a container whose pages are bare streams too.
  test::TempDir dir;
  const fs::path winfax = dir / "two.fxs";
  const test::Bytes lsb = test::read_file(fixture("raw/text-1728-pbmtog3-lsb.g3"));
  test::write_file(winfax, test::winfax_file({{.coded = lsb}, {.coded = lsb}}));
  const fs::path files[] = {fixture("tiff/multipage-1728-g4.tif"),
                            fixture("raw/twopage-1728-g3-2d.g3"), fixture("raw/twopage-1728-g4.g4"),
                            winfax};
  std::vector<std::vector<test::Pbm>> wanted;
  for (const fs::path& file : files) {
    Record r;
    ASSERT_EQ(r.open(file), OpenResult::kOk) << file;
    ASSERT_GE(r.fax.page_count(), 1) << file;
    wanted.emplace_back();
    for (std::uint32_t i = 0; i < r.fax.page_count(); ++i)
      wanted.back().push_back(test::to_pbm(r.fax.read_page(i).page));
  }
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (std::size_t f = 0; f < std::size(files); ++f) {
        Record r;
        const std::size_t file = (f + t) % std::size(files);
        if (r.open(files[file]) != OpenResult::kOk || r.fax.page_count() != wanted[file].size()) {
          ++mismatches;
          continue;
        }
        // From the last page back, so that threads are on different pages.
        for (std::uint32_t i = r.fax.page_count(); i-- > 0;)
          if (!test::same_pixels(wanted[file][i], test::to_pbm(r.fax.read_page(i).page)))
            ++mismatches;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(mismatches, 0);
}

TEST(RecordsOnThreads, RecordsDecodingDifferentStreamsGiveWhatNetpbmMade) {
  auto run = [](const std::string& stem, bool* ok) {
    const test::Pbm expected = test::read_pbm(fixture("expected/" + stem + ".pbm.gz"));
    for (int i = 0; i < 3; ++i) {
      Record r;
      if (r.open(fixture("raw/" + stem + ".g3")) != OpenResult::kOk || !r.fax.page_valid()) return;
      if (!test::same_pixels(expected, test::to_pbm(r.fax.page()))) return;
    }
    *ok = true;
  };
  bool a = false, b = false;
  std::thread ta(run, "text-1728-pbmtog3", &a);
  std::thread tb(run, "text-2048-pbmtog3", &b);
  ta.join();
  tb.join();
  EXPECT_TRUE(a);
  EXPECT_TRUE(b);
}

TEST(RecordsOnThreads, AStopDuringTheAnalysisOfALargeStreamEndsItAtOnceLeavingNothing) {
  test::TempDir dir;
  std::vector<std::uint8_t> noise(64u << 20);
  std::mt19937 random(11);
  for (std::size_t i = 0; i < noise.size(); i += 4) {
    const std::uint32_t word = random();
    for (std::size_t k = 0; k < 4; ++k) noise[i + k] = std::uint8_t(word >> (8 * k));
  }
  const fs::path stream = dir / "large.g3";
  test::write_file(stream, noise);

  Record r;
  // The progress crosses to the asking thread as the viewer's window takes it.
  std::atomic<std::int64_t> seen{0};
  WorkControl control([&](std::int64_t done, std::int64_t) { seen.store(done); });
  OpenResult result = OpenResult::kOk;
  std::thread worker([&] { result = r.open(stream, &control); });
  // Well into the work, however slow the build (sanitizers) or the machine.
  for (int i = 0; i < 1000 && seen.load() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto asked = std::chrono::steady_clock::now();
  control.request_stop();
  worker.join();
  const auto took = std::chrono::steady_clock::now() - asked;
  EXPECT_LT(took, std::chrono::milliseconds(100));
  EXPECT_GT(seen.load(), 0);
  EXPECT_EQ(result, OpenResult::kStopped);
  test::expect_clean_after_stop(r, fixture("raw/twopage-1728-g4.g4"));
}

}  // namespace
}  // namespace orvane
