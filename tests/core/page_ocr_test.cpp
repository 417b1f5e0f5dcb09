// A page taller than the OCR library takes is read in overlapping bands,
// and a line of text near where two bands meet is kept exactly once.
#include "core/page_ocr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/test_support.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

// `word` as black text (pbmtext, doubled: about 20 rows high) on white.
test::Pbm word_image(const fs::path& dir, const std::string& word) {
  const fs::path file = dir / (word + ".pbm");
  EXPECT_EQ(test::run("echo '" + word + "' | pbmtext | pamscale 2 | pamditherbw -threshold | " +
                      "pamtopnm > '" + file.string() + "' 2>/dev/null"),
            0);
  return test::read_pbm(file);
}

TEST(PageOcr, ATallPageIsReadInBandsAndEachLineKeptOnce) {
  if (!ocr_built_in() || !ocr_language_problem("eng").empty()) GTEST_SKIP() << "no OCR";
  test::TempDir dir;
  PageBitmap page;
  page.width = 800;
  page.height = 40000;
  page.row_bytes = row_bytes_for(page.width);
  page.xres = 204;  // square pixels: rows are not repeated, one band is 32767 rows
  page.yres = 196;
  page.unit = 2;
  ASSERT_TRUE(page.allocate_pixels(std::int64_t(page.height) * page.row_bytes, 0xFF));
  const std::int32_t band = kOcrMaxImageRows;
  // Lines at the top, across the middle of the two bands' overlap (the
  // first band's last rows and the second's first), just either side of
  // where the bands divide the overlap, and at the bottom.
  const struct {
    const char* word;
    std::int32_t top;
  } lines[] = {{"Invoice", 500},        {"Harbour", band - 340},  {"Payment", band - 290},
               {"Balance", band - 120}, {"Shipment", band - 620}, {"Account", 39500}};
  for (const auto& line : lines) {
    const test::Pbm image = word_image(dir.path(), line.word);
    ASSERT_LT(image.width, page.width - 100);
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x)
        if (image.bits[std::size_t(y) * std::size_t(image.row_bytes()) + std::size_t(x / 8)] &
            (0x80 >> (x % 8)))
          page.row(line.top + y)[(x + 50) / 8] &= std::uint8_t(~(0x80 >> ((x + 50) % 8)));
  }
  PageOcr ocr;
  ASSERT_TRUE(ocr.start("eng")) << ocr.problem();
  std::vector<OcrLine> read;
  ASSERT_TRUE(ocr.read(page, read)) << ocr.problem();
  std::vector<std::string> words;
  for (const OcrLine& line : read)
    for (const OcrWord& word : line.words) words.push_back(word.text);
  for (const auto& line : lines) {
    EXPECT_EQ(std::count(words.begin(), words.end(), line.word), 1)
        << line.word << " at row " << line.top;
  }
  // In page order, placed on the page.
  ASSERT_EQ(read.size(), std::size(lines));
  EXPECT_NEAR(read.back().baseline, 39500 + 20, 20);
}

}  // namespace
}  // namespace orvane
