#pragma once
// The invisible text laid over a page's image in a searchable PDF: words
// drawn in text render mode 3 (neither filled nor stroked), each one
// stretched across its box, so that text extraction gives the words and a
// viewer's search marks them where the image shows them.
#include <span>
#include <string>
#include <string_view>
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

// The character codes a file's text layer uses, first to last.
struct TextLayerCodes {
  int first = 256;
  int last = -1;
};

// The font dictionary the operators below name /F1: a simple font with
// WinAnsiEncoding and every width of `codes` kTextLayerGlyphWidth (written
// once every page is, so that it lists only the codes used).
std::string text_layer_font(const TextLayerCodes& codes);

// The content-stream operators that draw `lines` invisibly with /F1; empty
// when no line has a word. Widens `codes` to take in the codes written.
std::string text_layer_operators(std::span<const PdfTextLine> lines, TextLayerCodes& codes);

// UTF-8 in the font's encoding (WinAnsi): a character it lacks, or a broken
// sequence, becomes '?'.
std::string to_win_ansi(std::string_view utf8);

}  // namespace orvane
