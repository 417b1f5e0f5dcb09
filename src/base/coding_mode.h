#pragma once
#include <cstdint>
#include <string_view>

namespace orvane {

// How the coded data of a page is coded. The numbers are stored in files
// (the row file header) and reported by orvane-cli, so they never change.
enum CodingMode : std::uint8_t {
  kCodingUnknown = 0,
  kCodingUncompressed = 1,
  kCodingPcxRle = 2,
  kCodingMhByte = 3,  // TIFF Compression 2
  kCodingMhWord = 4,  // TIFF Compression 32771
  kCodingT4_1D = 5,
  kCodingT4_2D = 6,
  kCodingT6 = 7,
  kCodingPackBits = 8,
  kCodingJbig = 9,  // TIFF Compression 34661 and 9 (T.85)
};

// Bit order of coded data.
enum BitOrder : std::uint8_t {
  kBitOrderAuto = 0,
  kBitOrderMsbFirst = 1,
  kBitOrderLsbFirst = 2,
};

// The name the viewer and the CLI show for a coding ("Unknown" for any value
// outside the table).
std::string_view coding_name(unsigned coding);

// "Highest bit first", "Least bit first", or "Auto bit order" for 0.
std::string_view bit_order_name(unsigned bit_order);

}  // namespace orvane
