#pragma once
// The font program of the invisible text layer: a TrueType font whose
// glyphs are all empty and all one advance wide. Nothing of it is ever
// drawn (the words are in render mode 3), but an embedded font lets every
// reader, and PDF/A, take the words' widths from the file itself rather
// than from a font of the reader's choosing.
#include <cstdint>
#include <vector>

namespace orvane {

// The font's units per em; kGlyphlessAdvance of them is every glyph's advance.
inline constexpr int kGlyphlessUnitsPerEm = 1000;
inline constexpr int kGlyphlessAscent = 800;
inline constexpr int kGlyphlessDescent = -200;
// The PostScript name the font program and the PDF font dictionaries share.
inline constexpr const char* kGlyphlessName = "OrvaneGlyphless";

// A complete TrueType font (head, hhea, maxp, hmtx, loca, glyf, cmap, name,
// OS/2 and post) of `glyphs` glyphs (at least 1, glyph 0 being .notdef),
// each empty and `advance` units wide. Its cmap maps no character: a PDF
// reaches the glyphs by number (CIDToGIDMap).
std::vector<std::uint8_t> glyphless_truetype(std::uint16_t glyphs, std::uint16_t advance);

}  // namespace orvane
