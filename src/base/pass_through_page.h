#pragma once
// A page's coded data as a reader hands it out for copying unchanged into
// another file (a TIFF strip, a PDF image), with the facts the copy needs.
#include <cstdint>
#include <span>

namespace orvane {

// One page of coded data as it goes into the file unchanged.
struct PassThroughPage {
  std::span<const std::uint8_t> coded;  // the page's coded data, one strip
  std::uint8_t coding = 0;              // CodingMode (0 and 2 are not writable)
  std::uint8_t bit_order = 1;           // 2 = least significant bit first, else most
  std::uint32_t width = 0;              // pixels per row
  std::uint32_t length = 0;             // rows
  std::uint32_t xres = 0;               // dots per unit across
  std::uint32_t yres = 0;               // dots per unit down
  std::uint16_t unit = 2;               // TIFF ResolutionUnit, 2 = inch
};

}  // namespace orvane
