// The invisible text layer, read back by poppler's pdftotext: the words in
// their order, each where its box is, in any script.
#include "formats/pdf_text_layer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "codec/t6_encoder.h"
#include "formats/pdf_writer.h"
#include "support/test_support.h"

namespace orvane {
namespace {

TEST(PdfTextLayer, Utf8BecomesCharacters) {
  struct Case {
    const char* utf8;
    std::u32string chars;
  } const cases[] = {
      {"plain (text)", U"plain (text)"},
      {"caf\xC3\xA9 \xD0\x96 \xE6\x97\xA5 \xF0\x9D\x90\x80", U"caf\u00E9 \u0416 \u65E5 \U0001D400"},
      {"a\xC3", U"a\uFFFD"},                            // cut short
      {"\xFF\x80z", U"\uFFFD\uFFFDz"},                  // no lead byte
      {"\xC0\xAF\xE0\x80\xAF", U"\uFFFD\uFFFD\uFFFD"},  // overlong
      {"\xED\xA0\x80", U"\uFFFD"},                      // a surrogate
      {"\xF4\x90\x80\x80", U"\uFFFD"},                  // past U+10FFFF
      {"tab\there", U"tab\uFFFDhere"},                  // control
  };
  for (const Case& c : cases) EXPECT_EQ(utf8_characters(c.utf8), c.chars) << c.utf8;
}

struct BoxWord {
  double x_min, x_max;
  std::string text;
};

std::vector<BoxWord> pdftotext_words(const std::filesystem::path& pdf) {
  const std::string html = test::run_output("pdftotext -bbox '" + pdf.string() + "' - 2>&1");
  static const std::regex word(
      R"re(<word xMin="([0-9.]+)" yMin="[0-9.]+" xMax="([0-9.]+)"[^>]*>([^<]*)</word>)re");
  std::vector<BoxWord> out;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator();
       ++it)
    out.push_back({std::stod((*it)[1]), std::stod((*it)[2]), (*it)[3]});
  return out;
}

TEST(PdfTextLayer, WordsComeBackInOrderOnTheirBoxes) {
  test::TempDir dir;
  // A blank page's image, coded as G4.
  const std::int32_t width = 1728, rows = 400;
  codec::T6Encoder encoder(width);
  std::vector<std::uint8_t> data, white(std::size_t(row_bytes_for(width)), 0xFF);
  for (std::int32_t y = 0; y < rows; ++y) encoder.encode_row(white.data(), data);
  encoder.finish(data);
  // Lines of words of every length at their boxes (points); the layer
  // places them to the whole point and stretches each in steps of 4 %.
  const std::vector<PdfTextLine> lines = {
      // The last two words 1 point apart, which only the space parts.
      {120,
       14,
       {{"Invoice", 72, 130}, {"20417", 140, 180}, {"(copy)", 190, 241.5}, {"of", 242.5, 254}}},
      {100, 10, {{"i", 72, 75}, {"wwwwwwwwwwwwwwww", 80, 190}, {"caf\xC3\xA9", 194, 216}}},
      {60,
       24,
       {{"Total:", 72, 150},
        {"\xE2\x82\xAC"
         "12,50",
         160, 260}}},
      // Cyrillic, Greek, Chinese, and letters past U+FFFF.
      {30,
       12,
       {{"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", 72, 120},
        {"\xCE\xBA\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1", 130, 200},
        {"\xE4\xBD\xA0\xE5\xA5\xBD\xE4\xB8\x96\xE7\x95\x8C", 210, 260},
        {"\xF0\x9D\x90\x80\xF0\x9F\x98\x80", 270, 290}}},
  };
  PdfWriter pdf;
  ASSERT_TRUE(pdf.create(dir / "t.pdf"));
  PdfFaxPage page;
  page.data = data;
  page.filter.k = -1;
  page.filter.columns = width;
  page.filter.rows = rows;
  page.width_points = 612;
  page.height_points = 144;
  page.text = lines;
  ASSERT_TRUE(pdf.add_page(page));
  page.text = {};  // a page without words after one with them
  ASSERT_TRUE(pdf.add_page(page));
  ASSERT_TRUE(pdf.close({.title = "test"}));
  EXPECT_EQ(test::run("qpdf --check '" + (dir / "t.pdf").string() + "' >/dev/null 2>&1"), 0);
  EXPECT_EQ(test::run_output("pdftoppm -r 10 '" + (dir / "t.pdf").string() + "' '" +
                             (dir / "p").string() + "' 2>&1"),
            "");

  const std::vector<BoxWord> words = pdftotext_words(dir / "t.pdf");
  std::vector<const PdfWord*> expected;
  for (const PdfTextLine& line : lines)
    for (const PdfWord& w : line.words) expected.push_back(&w);
  ASSERT_EQ(words.size(), expected.size());
  for (std::size_t i = 0; i < words.size(); ++i) {
    const PdfWord& w = *expected[i];
    SCOPED_TRACE(w.text);
    EXPECT_EQ(words[i].text, w.text);
    EXPECT_NEAR(words[i].x_min, w.left, 0.6);
    EXPECT_NEAR(words[i].x_max, w.right, 0.6 + 0.02 * (w.right - w.left));
  }
  EXPECT_EQ(test::run_output("pdftotext -f 1 -l 1 '" + (dir / "t.pdf").string() + "' -"),
            "Invoice 20417 (copy) of\ni wwwwwwwwwwwwwwww caf\xC3\xA9\n\nTotal: \xE2\x82\xAC"
            "12,50\n\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 "
            "\xCE\xBA\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1 "
            "\xE4\xBD\xA0\xE5\xA5\xBD\xE4\xB8\x96\xE7\x95\x8C "
            "\xF0\x9D\x90\x80\xF0\x9F\x98\x80\n\n\f");
  // The one font is embedded, and says so to the tools.
  const std::string fonts = test::run_output("pdffonts '" + (dir / "t.pdf").string() + "'");
  EXPECT_TRUE(std::regex_search(fonts, std::regex("CID TrueType +Identity-H +yes +no +yes")))
      << fonts;
}

}  // namespace
}  // namespace orvane
