#include "formats/pdf_glyphless_font.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace orvane {

namespace {

// TrueType numbers are big-endian.
class Table {
 public:
  Table& u16(std::uint32_t v) {
    bytes.push_back(std::uint8_t(v >> 8));
    bytes.push_back(std::uint8_t(v));
    return *this;
  }
  Table& u32(std::uint32_t v) { return u16(v >> 16).u16(v & 0xFFFF); }
  Table& zeros(std::size_t n) {
    bytes.insert(bytes.end(), n, 0);
    return *this;
  }
  Table& text(std::string_view s) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    return *this;
  }
  std::vector<std::uint8_t> bytes;
};

std::uint32_t checksum(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t size) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < size; i += 4) {
    std::uint32_t word = 0;
    for (std::size_t k = 0; k < 4; ++k)
      word = (word << 8) | (i + k < size ? bytes[from + i + k] : 0u);
    sum += word;
  }
  return sum;
}

Table head_table() {
  Table t;
  t.u32(0x00010000).u32(0x00010000);  // version, fontRevision
  t.u32(0);                           // checkSumAdjustment, set when the font is whole
  t.u32(0x5F0F3CF5);                  // magicNumber
  t.u16(0x0003);                      // flags: baseline at y 0, left side bearing at x 0
  t.u16(kGlyphlessUnitsPerEm);
  t.zeros(16);  // created, modified: a fixed font has no date
  t.u16(0).u16(std::uint16_t(kGlyphlessDescent)).u16(0).u16(kGlyphlessAscent);  // bbox
  t.u16(0);                                                                     // macStyle
  t.u16(6);                                                                     // lowestRecPPEM
  t.u16(2);                                                                     // fontDirectionHint
  t.u16(0);  // indexToLocFormat: short offsets
  t.u16(0);  // glyphDataFormat
  return t;
}

Table hhea_table(std::uint16_t advance) {
  Table t;
  t.u32(0x00010000);
  t.u16(kGlyphlessAscent).u16(std::uint16_t(kGlyphlessDescent)).u16(0);  // ascender, descender, gap
  t.u16(advance);                                                        // advanceWidthMax
  t.u16(0).u16(0).u16(0);  // minLeftSideBearing, minRightSideBearing, xMaxExtent
  t.u16(1).u16(0).u16(0);  // caretSlopeRise, caretSlopeRun, caretOffset
  t.zeros(8);              // reserved
  t.u16(0);                // metricDataFormat
  t.u16(1);                // numberOfHMetrics: the one advance serves every glyph
  return t;
}

Table maxp_table(std::uint16_t glyphs) {
  Table t;
  t.u32(0x00010000).u16(glyphs);
  t.u16(0).u16(0).u16(0).u16(0);  // points and contours, simple and composite
  t.u16(2);                       // maxZones
  t.zeros(16);                    // the rest: no hinting, no composites
  return t;
}

Table hmtx_table(std::uint16_t glyphs, std::uint16_t advance) {
  Table t;
  t.u16(advance).u16(0);
  t.zeros(2 * std::size_t(glyphs - 1));  // left side bearings of the others
  return t;
}

// Format 4 with the closing segment only: no character maps to a glyph.
Table cmap_table() {
  Table t;
  t.u16(0).u16(1);                // version, numTables
  t.u16(3).u16(1).u32(12);        // Windows, Unicode BMP, at 12
  t.u16(4).u16(24).u16(0);        // format, length, language
  t.u16(2).u16(2).u16(0).u16(0);  // segCountX2, searchRange, entrySelector, rangeShift
  t.u16(0xFFFF).u16(0);           // endCode, reservedPad
  t.u16(0xFFFF).u16(1).u16(0);    // startCode, idDelta, idRangeOffset
  return t;
}

Table name_table() {
  const std::string_view family = kGlyphlessName;
  const std::array<std::pair<std::uint16_t, std::string_view>, 6> names = {{
      {1, family},
      {2, "Regular"},
      {3, family},
      {4, family},
      {5, "Version 1.0"},
      {6, family},
  }};
  Table t, strings;
  t.u16(0).u16(std::uint16_t(names.size())).u16(std::uint16_t(6 + 12 * names.size()));
  for (const auto& [id, text] : names) {
    // Windows names are UTF-16BE; these are ASCII.
    t.u16(3).u16(1).u16(0x0409).u16(id);
    t.u16(std::uint16_t(2 * text.size())).u16(std::uint16_t(strings.bytes.size()));
    for (const char c : text) strings.u16(std::uint8_t(c));
  }
  t.bytes.insert(t.bytes.end(), strings.bytes.begin(), strings.bytes.end());
  return t;
}

Table os2_table(std::uint16_t advance) {
  Table t;
  t.u16(4).u16(advance).u16(400).u16(5);  // version, xAvgCharWidth, weight, width class
  t.u16(0);                               // fsType: installable, may be embedded
  t.u16(650).u16(600).u16(0).u16(75);     // subscript size and offset
  t.u16(650).u16(600).u16(0).u16(350);    // superscript
  t.u16(50).u16(250);                     // strikeout size, position
  t.u16(0);                               // sFamilyClass
  t.zeros(10);                            // panose
  t.zeros(16);                            // ulUnicodeRange1-4
  t.text("ORVN");                         // achVendID
  t.u16(0x0040);                          // fsSelection: regular
  t.u16(0xFFFF).u16(0xFFFF);              // first and last character: none mapped
  t.u16(kGlyphlessAscent).u16(std::uint16_t(kGlyphlessDescent)).u16(0);  // typo metrics
  t.u16(kGlyphlessAscent).u16(std::uint16_t(-kGlyphlessDescent));        // win ascent, descent
  t.u32(1).u32(0);                                                       // ulCodePageRange: Latin 1
  t.u16(500).u16(700);                                                   // sxHeight, sCapHeight
  t.u16(0).u16(32).u16(0);  // usDefaultChar, usBreakChar, usMaxContext
  return t;
}

Table post_table() {
  Table t;
  t.u32(0x00030000);                   // version 3: no glyph names
  t.u32(0);                            // italicAngle
  t.u16(std::uint16_t(-100)).u16(50);  // underline position, thickness
  t.u32(1);                            // isFixedPitch
  t.zeros(16);                         // memory hints
  return t;
}

}  // namespace

std::vector<std::uint8_t> glyphless_truetype(std::uint16_t glyphs, std::uint16_t advance) {
  glyphs = std::max<std::uint16_t>(glyphs, 1);
  Table loca;
  loca.zeros(2 * (std::size_t(glyphs) + 1));  // every glyph empty, at offset 0
  // Tables in the order of their tags, as the directory must list them.
  const std::array<std::pair<const char*, Table>, 10> tables = {{
      {"OS/2", os2_table(advance)},
      {"cmap", cmap_table()},
      {"glyf", Table{}},
      {"head", head_table()},
      {"hhea", hhea_table(advance)},
      {"hmtx", hmtx_table(glyphs, advance)},
      {"loca", loca},
      {"maxp", maxp_table(glyphs)},
      {"name", name_table()},
      {"post", post_table()},
  }};
  Table font;
  // The offset table: 10 tables, searchRange 8 * 16, entrySelector 3.
  font.u32(0x00010000).u16(10).u16(128).u16(3).u16(10 * 16 - 128);
  std::size_t offset = 12 + 16 * tables.size(), head_at = 0;
  for (const auto& [tag, table] : tables) {
    font.text(tag);
    font.u32(checksum(table.bytes, 0, table.bytes.size()));
    font.u32(std::uint32_t(offset)).u32(std::uint32_t(table.bytes.size()));
    if (std::strcmp(tag, "head") == 0) head_at = offset;
    offset += (table.bytes.size() + 3) / 4 * 4;
  }
  for (const auto& [tag, table] : tables) {
    font.bytes.insert(font.bytes.end(), table.bytes.begin(), table.bytes.end());
    font.zeros((4 - table.bytes.size() % 4) % 4);
  }
  // head's checkSumAdjustment makes the whole font sum to 0xB1B0AFBA.
  const std::uint32_t adjust = 0xB1B0AFBAu - checksum(font.bytes, 0, font.bytes.size());
  for (int k = 0; k < 4; ++k)
    font.bytes[head_at + 8 + std::size_t(k)] = std::uint8_t(adjust >> (24 - 8 * k));
  return std::move(font.bytes);
}

}  // namespace orvane
