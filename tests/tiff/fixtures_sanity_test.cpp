// The fixture set itself: every coded file has its expected pages, and those
// pages have the size libtiff reports, so a decoding test that compares
// against them compares against the right thing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace orvane::test {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> files_in(const std::string& folder) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(fixture(folder)))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

// The expected images of one fixture: <stem>.pbm.gz for a single page,
// <stem>-p1.pbm.gz, <stem>-p2.pbm.gz, ... for several.
std::vector<fs::path> expected_pages(const fs::path& coded) {
  const std::string stem = coded.stem().string();
  const fs::path single = fixture("expected/" + stem + ".pbm.gz");
  if (fs::exists(single)) return {single};
  std::vector<fs::path> pages;
  for (int n = 1; fs::exists(fixture("expected/" + stem + "-p" + std::to_string(n) + ".pbm.gz"));
       ++n)
    pages.push_back(fixture("expected/" + stem + "-p" + std::to_string(n) + ".pbm.gz"));
  return pages;
}

TEST(FixtureSet, EveryCodedFileHasExpectedPagesAndNothingIsLeftOver) {
  std::set<fs::path> claimed;
  std::size_t coded = 0;
  for (const char* folder : {"tiff", "raw", "faxtools"}) {
    for (const fs::path& file : files_in(folder)) {
      ++coded;
      const std::vector<fs::path> pages = expected_pages(file);
      EXPECT_FALSE(pages.empty()) << file << " has no expected image";
      claimed.insert(pages.begin(), pages.end());
    }
  }
  EXPECT_GE(coded, 60u) << "fixtures missing; run tests/fixtures/make-fixtures";
  for (const fs::path& image : files_in("expected"))
    EXPECT_TRUE(claimed.count(image)) << image << " belongs to no coded file";
}

TEST(FixtureSet, ExpectedPagesHaveTheSizeLibtiffReports) {
  if (run("command -v tiffinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "tiffinfo not installed";
  const std::regex size_line(R"(Image Width: (\d+) Image Length: (\d+))");
  for (const fs::path& file : files_in("tiff")) {
    const std::string info = run_output("tiffinfo '" + file.string() + "' 2>/dev/null");
    std::vector<std::pair<int, int>> sizes;
    for (std::sregex_iterator it(info.begin(), info.end(), size_line), end; it != end; ++it)
      sizes.emplace_back(std::stoi((*it)[1]), std::stoi((*it)[2]));
    const std::vector<fs::path> pages = expected_pages(file);
    ASSERT_EQ(sizes.size(), pages.size()) << file;
    for (std::size_t i = 0; i < pages.size(); ++i) {
      const Pbm image = read_pbm(pages[i]);
      EXPECT_EQ(image.width, sizes[i].first) << pages[i];
      EXPECT_EQ(image.height, sizes[i].second) << pages[i];
      EXPECT_EQ(image.bits.size(), std::size_t(image.row_bytes()) * std::size_t(image.height));
    }
  }
}

}  // namespace
}  // namespace orvane::test
