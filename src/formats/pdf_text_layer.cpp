#include "formats/pdf_text_layer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace orvane {

namespace {

// The characters 0x80-0x9F of WinAnsiEncoding (0 where it has none).
constexpr char32_t kWinAnsiHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char win_ansi(char32_t c) {
  if ((c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF)) return char(c);
  for (int i = 0; i < 32; ++i)
    if (kWinAnsiHigh[i] == c && c != 0) return char(0x80 + i);
  return '?';
}

// The next character of `s` from `at`, or 0xFFFD for a broken sequence.
char32_t next_char(std::string_view s, std::size_t& at) {
  const auto lead = std::uint8_t(s[at++]);
  if (lead < 0x80) return lead;
  int extra = lead >= 0xF0 && lead < 0xF5 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
  if (lead >= 0xF5 || extra < 0) return 0xFFFD;
  char32_t c = lead & (0x3F >> extra);
  for (; extra > 0; --extra) {
    if (at >= s.size() || (std::uint8_t(s[at]) & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (std::uint8_t(s[at++]) & 0x3F);
  }
  return c;
}

void put_literal(std::string& out, std::string_view text) {
  out += '(';
  for (const char c : text) {
    if (c == '(' || c == ')' || c == '\\') out += '\\';
    out += c;
  }
  out += ')';
}

}  // namespace

std::string to_win_ansi(std::string_view utf8) {
  std::string out;
  for (std::size_t at = 0; at < utf8.size();) out += win_ansi(next_char(utf8, at));
  return out;
}

std::string text_layer_font(const TextLayerCodes& codes) {
  const int first = codes.last < 0 ? 32 : codes.first, last = codes.last < 0 ? 32 : codes.last;
  std::string widths;
  for (int c = first; c <= last; ++c) {
    if (c != first) widths += ' ';
    widths += std::to_string(kTextLayerGlyphWidth);
  }
  return "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding "
         "/FirstChar " +
         std::to_string(first) + " /LastChar " + std::to_string(last) + " /Widths [" + widths +
         "] >>";
}

std::string text_layer_operators(std::span<const PdfTextLine> lines, TextLayerCodes& codes) {
  std::string out;
  long scale = 0;  // the horizontal scale in force, in percent
  for (const PdfTextLine& line : lines) {
    if (!(line.size > 0)) continue;
    const double em = kTextLayerGlyphWidth / 1000.0 * double(std::max(1L, std::lround(line.size)));
    bool first = true;
    double left = 0;  // the last word's left edge, where Td counts from
    for (const PdfWord& word : line.words) {
      const std::string text = to_win_ansi(word.text);
      if (text.empty() || !(word.right > word.left)) continue;
      if (out.empty()) out = "BT 3 Tr\n";
      for (const char c : text) {
        codes.first = std::min(codes.first, int(std::uint8_t(c)));
        codes.last = std::max(codes.last, int(std::uint8_t(c)));
      }
      if (first) {
        // Whole points place a word well enough for search and selection,
        // and short numbers compress well.
        out += "1 0 0 1 ";
        out += std::to_string(std::lround(word.left));
        out += ' ';
        out += std::to_string(std::lround(line.baseline));
        out += " Tm /F1 ";
        out += std::to_string(std::max(1L, std::lround(line.size)));
        out += " Tf";
        first = false;
      } else {
        out += ' ';
        out += std::to_string(std::lround(word.left) - std::lround(left));
        out += " 0 Td";
      }
      left = word.left;
      // The word stretched across its box, in steps of 4 percent (a word
      // then ends within 2 percent of its box's right edge): repeated
      // scales repeat their text and compress well.
      const double fit = (word.right - word.left) * 100.0 / (double(text.size()) * em);
      const long step = std::max(1L, std::lround(fit / 4)) * 4;
      if (step != scale) {
        scale = step;
        out += ' ';
        out += std::to_string(scale);
        out += " Tz";
      }
      put_literal(out, text);
      out += "Tj\n";
    }
  }
  if (!out.empty()) out += "ET\n";
  return out;
}

}  // namespace orvane
