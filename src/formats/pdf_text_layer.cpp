#include "formats/pdf_text_layer.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
// Codes are two bytes, 0 is the font's .notdef, and a TrueType font has
// at most 0xFFFF glyphs.
constexpr std::size_t kMaxCodes = 0xFFFE;

// The next character of `s` from `at`, or U+FFFD for a broken sequence
// (an overlong form, a surrogate, a value past U+10FFFF).
char32_t next_char(std::string_view s, std::size_t& at) {
  const auto lead = std::uint8_t(s[at++]);
  if (lead < 0x80) return lead;
  int extra = lead >= 0xF0 && lead < 0xF5 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
  if (lead >= 0xF5 || extra < 0) return kReplacement;
  const int length = extra;
  char32_t c = lead & (0x3F >> extra);
  for (; extra > 0; --extra) {
    if (at >= s.size() || (std::uint8_t(s[at]) & 0xC0) != 0x80) return kReplacement;
    c = (c << 6) | (std::uint8_t(s[at++]) & 0x3F);
  }
  static constexpr char32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
  if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return kReplacement;
  return c;
}

void put_hex4(std::string& out, std::uint32_t v) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(v >> shift) & 0xF];
}

// One byte of a literal string; those a reader would take otherwise (the
// delimiters, the escape, a carriage return, which reads as a line end)
// escaped.
void put_code_byte(std::string& out, std::uint8_t b) {
  if (b == '(' || b == ')' || b == '\\') {
    out += '\\';
  } else if (b == '\r') {
    out += "\\r";
    return;
  }
  out += char(b);
}

}  // namespace

std::u32string utf8_characters(std::string_view utf8) {
  std::u32string out;
  for (std::size_t at = 0; at < utf8.size();) {
    const char32_t c = next_char(utf8, at);
    out += c < 0x20 || c == 0x7F ? kReplacement : c;
  }
  return out;
}

std::uint16_t TextLayerCodes::code(char32_t c) {
  if (const auto it = codes_.find(c); it != codes_.end()) return it->second;
  // The last code left goes to U+FFFD, which then stands for every
  // character that comes later.
  if (characters_.size() + 1 >= kMaxCodes && c != kReplacement) return code(kReplacement);
  characters_.push_back(c);
  const auto number = std::uint16_t(characters_.size());
  codes_.emplace(c, number);
  return number;
}

std::string text_layer_to_unicode(const TextLayerCodes& codes) {
  std::string out =
      "/CIDInit /ProcSet findresource begin\n"
      "12 dict begin\n"
      "begincmap\n"
      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
      "/CMapName /Adobe-Identity-UCS def\n"
      "/CMapType 2 def\n"
      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
  const std::vector<char32_t>& chars = codes.characters();
  // At most 100 mappings a section (the CMap format's limit).
  for (std::size_t from = 0; from < chars.size(); from += 100) {
    const std::size_t to = std::min(chars.size(), from + 100);
    out += std::to_string(to - from) + " beginbfchar\n";
    for (std::size_t i = from; i < to; ++i) {
      out += '<';
      put_hex4(out, std::uint32_t(i + 1));
      out += "> <";
      const char32_t c = chars[i];
      if (c > 0xFFFF) {
        put_hex4(out, 0xD800 + ((c - 0x10000) >> 10));
        put_hex4(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
      } else {
        put_hex4(out, std::uint32_t(c));
      }
      out += ">\n";
    }
    out += "endbfchar\n";
  }
  out +=
      "endcmap\n"
      "CMapName currentdict /CMap defineresource pop\n"
      "end\n"
      "end\n";
  return out;
}

std::string text_layer_operators(std::span<const PdfTextLine> lines, TextLayerCodes& codes) {
  std::string out;
  long scale = 0;  // the horizontal scale in force, in percent
  for (const PdfTextLine& line : lines) {
    if (!(line.size > 0)) continue;
    const double em = kTextLayerGlyphWidth / 1000.0 * double(std::max(1L, std::lround(line.size)));
    bool first = true;
    double left = 0;  // the last word's left edge, where Td counts from
    // The last word of the line that is written: every word before it is
    // followed by a space.
    std::size_t last = line.words.size();
    for (std::size_t i = line.words.size(); i-- > 0;) {
      const PdfWord& word = line.words[i];
      if (!utf8_characters(word.text).empty() && word.right > word.left) {
        last = i;
        break;
      }
    }
    for (std::size_t i = 0; i < line.words.size(); ++i) {
      const PdfWord& word = line.words[i];
      const std::u32string text = utf8_characters(word.text);
      if (text.empty() || !(word.right > word.left)) continue;
      if (out.empty()) out = "BT 3 Tr\n";
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
      // Two bytes a code, as a literal string: the high bytes repeat and
      // the text compresses about as well as one byte a character would.
      out += '(';
      for (const char32_t c : text) {
        const std::uint16_t code = codes.code(c);
        put_code_byte(out, std::uint8_t(code >> 8));
        put_code_byte(out, std::uint8_t(code));
      }
      // A space after the word, past its box: text extraction then parts
      // words that stand close together by the space, not by their gap
      // alone (which it can take for none, and join two words).
      if (i < last) {
        const std::uint16_t space = codes.code(U' ');
        put_code_byte(out, std::uint8_t(space >> 8));
        put_code_byte(out, std::uint8_t(space));
      }
      out += ")Tj\n";
    }
  }
  if (!out.empty()) out += "ET\n";
  return out;
}

}  // namespace orvane
