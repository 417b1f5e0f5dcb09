#pragma once
// The TIFF 6.0 fields and Compression values a fax file uses, by name.
#include <cstdint>

namespace orvane {

enum TiffTag : std::uint16_t {
  kTagNewSubfileType = 254,
  kTagImageWidth = 256,
  kTagImageLength = 257,
  kTagBitsPerSample = 258,
  kTagCompression = 259,
  kTagPhotometric = 262,
  kTagImageDescription = 270,
  kTagFillOrder = 266,
  kTagStripOffsets = 273,
  kTagOrientation = 274,
  kTagSamplesPerPixel = 277,
  kTagRowsPerStrip = 278,
  kTagStripByteCounts = 279,
  kTagXResolution = 282,
  kTagYResolution = 283,
  kTagPlanarConfiguration = 284,
  kTagT4Options = 292,
  kTagT6Options = 293,
  kTagResolutionUnit = 296,
  // TIFF-F / TIFF-FX: how a received page arrived.
  kTagBadFaxLines = 326,
  kTagCleanFaxData = 327,
  kTagConsecutiveBadFaxLines = 328,
  kTagPageNumber = 297,
  kTagSoftware = 305,
  kTagDateTime = 306,
  kTagTileWidth = 322,
  kTagTileOffsets = 324,
};

enum TiffCompression : std::uint16_t {
  kCompressionNone = 1,
  kCompressionCcittRle = 2,       // Modified Huffman rows, byte aligned
  kCompressionCcittT4 = 3,        // T.4 (T4Options bit 0: 2D rows)
  kCompressionCcittT6 = 4,        // T.6
  kCompressionCcittRleW = 32771,  // Modified Huffman rows, word aligned
  kCompressionT85 = 9,            // TIFF-FX: JBIG (ITU-T T.85 profile)
  kCompressionJbig = 34661,       // JBIG (ITU-T T.82)
  kCompressionPackBits = 32773,
};

// TIFF 6.0 field types.
inline constexpr std::uint16_t kTypeAscii = 2;
inline constexpr std::uint16_t kTypeShort = 3;
inline constexpr std::uint16_t kTypeLong = 4;
inline constexpr std::uint16_t kTypeRational = 5;

}  // namespace orvane
