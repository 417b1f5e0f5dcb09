#include "base/coding_mode.h"

namespace orvane {

std::string_view coding_name(unsigned coding) {
  switch (coding) {
    case kCodingUncompressed: return "Uncompressed";
    case kCodingPcxRle: return "RLE";
    case kCodingMhByte: return "CCITT Modified Huffman (byte aligned)";
    case kCodingMhWord: return "CCITT Modified Huffman (Word aligned)";
    case kCodingT4_1D: return "CCITT Group 3 1D (T.4 1D)";
    case kCodingT4_2D: return "CCITT Group 3 2D (T.4 2D)";
    case kCodingT6: return "CCITT Group 4 2D (T.6 2D)";
    case kCodingPackBits: return "PackBits";
    case kCodingJbig: return "JBIG";
    default: return "Unknown";
  }
}

std::string_view bit_order_name(unsigned bit_order) {
  switch (bit_order) {
    case kBitOrderMsbFirst: return "Highest bit first";
    case kBitOrderLsbFirst: return "Least bit first";
    default: return "Auto bit order";
  }
}

}  // namespace orvane
