#pragma once
// The invisible text layer laid over a page's image in a searchable PDF:
// words drawn in text render mode 3 (neither filled nor stroked), each one
// stretched across its box, so that text extraction gives the words and a
// viewer's search marks them where the image shows them.
//
// The words are drawn with a composite font (Type 0, Identity-H) over an
// embedded TrueType font of empty glyphs, one glyph per character the file
// uses; its ToUnicode map gives each glyph back as its character, so that
// text of any script can be searched and copied.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvane {

// A word (UTF-8) and its left and right edges, in points from the page's
// left edge.
struct PdfWord {
  std::string text;
  double left = 0;
  double right = 0;
};

// A line of words on one baseline (points from the page's bottom edge),
// drawn at one size (points).
struct PdfTextLine {
  double baseline = 0;
  double size = 0;
  std::vector<PdfWord> words;
};

// Every glyph of the text layer's font is this wide (in thousandths of the
// font size): a word's width then depends only on its length.
inline constexpr int kTextLayerGlyphWidth = 500;

// The characters a file's text layer uses, each with its two-byte code
// (which is also its glyph number in the font), numbered from 1 as they
// first appear.
class TextLayerCodes {
 public:
  // The code of `c`, given one when it has none. Once the codes run out,
  // every new character shares the code of U+FFFD.
  std::uint16_t code(char32_t c);
  // The characters by code - 1.
  const std::vector<char32_t>& characters() const { return characters_; }
  bool empty() const { return characters_.empty(); }

 private:
  std::unordered_map<char32_t, std::uint16_t> codes_;
  std::vector<char32_t> characters_;
};

// The characters of UTF-8 text: a broken sequence, a surrogate and a control
// character each become U+FFFD.
std::u32string utf8_characters(std::string_view utf8);

// The ToUnicode CMap of the font: each code to its character, in UTF-16BE
// (characters past U+FFFF as surrogate pairs).
std::string text_layer_to_unicode(const TextLayerCodes& codes);

// The content-stream operators that draw `lines` invisibly with the font
// named /F1; empty when no line has a word. Gives codes in `codes` to the
// characters it writes.
std::string text_layer_operators(std::span<const PdfTextLine> lines, TextLayerCodes& codes);

}  // namespace orvane
