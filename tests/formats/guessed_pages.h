#pragma once
// Pages for the containers that do not record how their pages are coded
// (Bitware, Quick Link II): CCITT data made by netpbm and libtiff in every
// coding and both bit orders, and the checks that the reader finds what
// each page was made with and decodes it to the same pixels.
#include <string>
#include <vector>

#include "base/coding_mode.h"
#include "formats/container_writers.h"
#include "support/test_support.h"

namespace orvane::test {

struct MadePage {
  std::string name;
  Pbm image;
  Bytes coded;
  std::uint8_t coding = 0;
  std::uint8_t bit_order = 0;
};

// The first rows of `image` made white. A T.6 page codes each such row as
// one V0 code, a 1 bit: 16 of them make the 0xFF bytes the T.6 start search
// needs before it accepts data.
inline Pbm with_white_top(Pbm image, int rows) {
  std::fill(image.bits.begin(), image.bits.begin() + std::ptrdiff_t(rows) * image.row_bytes(), 0);
  return image;
}

// Modified Huffman from pbmtog3, MR and T.6 from tiffcp (a T.6 page begins
// with 16 white rows, as fax pages do, and is stored from its first bit).
inline MadePage made_page(const TempDir& tools, std::uint8_t coding, bool lsb_first, int width,
                          int rows, unsigned seed) {
  MadePage p;
  p.image = test_image(width, rows, seed);
  if (coding == kCodingT6) p.image = with_white_top(p.image, 16);
  p.coding = coding;
  p.bit_order = lsb_first ? kBitOrderLsbFirst : kBitOrderMsbFirst;
  p.name = std::string(coding == kCodingT4_1D   ? "mh"
                       : coding == kCodingT4_2D ? "mr"
                                                : "t6") +
           (lsb_first ? "-lsb-" : "-msb-") + std::to_string(width);
  if (coding == kCodingT4_1D) p.coded = pbmtog3(tools, p.image, lsb_first);
  if (coding == kCodingT4_2D) p.coded = tiffcp_ccitt(tools, p.image, "g3:2d", lsb_first);
  if (coding == kCodingT6) p.coded = tiffcp_ccitt(tools, p.image, "g4", lsb_first);
  return p;
}

// Every coding in both bit orders, at standard widths and (for MH and MR)
// at widths above 1728 that no standard names. `rows` must reach the
// analysis threshold with room to spare.
inline std::vector<MadePage> every_kind_of_page(const TempDir& tools, int rows) {
  return {
      made_page(tools, kCodingT4_1D, false, 1728, rows, 1),
      made_page(tools, kCodingT4_1D, true, 2000, rows, 2),
      made_page(tools, kCodingT4_2D, false, 2048, rows, 3),
      made_page(tools, kCodingT4_2D, true, 1800, rows, 4),
      made_page(tools, kCodingT6, false, 1728, rows, 5),
      made_page(tools, kCodingT6, true, 2432, rows, 6),
  };
}

// The page as loaded matches how it was made.
inline void expect_found(const MadePage& made, const PageBitmap& page) {
  SCOPED_TRACE(made.name);
  EXPECT_EQ(page.coding, made.coding);
  EXPECT_EQ(page.bit_order, made.bit_order);
  EXPECT_EQ(page.width, made.image.width);
  EXPECT_TRUE(page.has_pixels());
  EXPECT_TRUE(same_pixels(made.image, to_pbm(page), made.name));
}

}  // namespace orvane::test
