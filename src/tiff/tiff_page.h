#pragma once
// The TIFF 6.0 fields of one image file directory that a fax page needs,
// with the defaults used when a directory does not set them.
#include <cstdint>

namespace orvane {

struct TiffPage {
  std::uint32_t image_width = 0;           // 256
  std::uint32_t image_length = 0;          // 257
  std::uint16_t bits_per_sample = 1;       // 258 (the first sample's)
  std::uint32_t samples = 1;               // 277, or the count of 258 when larger
  std::uint16_t compression = 0;           // 259
  std::uint16_t photometric = 0;           // 262
  std::uint16_t fill_order = 1;            // 266
  std::uint16_t orientation = 1;           // 274
  std::uint16_t resolution_unit = 2;       // 296
  std::uint32_t x_resolution[2] = {0, 0};  // 282 numerator, denominator
  std::uint32_t y_resolution[2] = {0, 0};  // 283
  std::uint32_t t4_options = 0;            // 292
  std::uint32_t t6_options = 0;            // 293
  std::uint16_t page_number[2] = {0, 0};   // 297 page, total
  std::uint32_t strip_count = 0;           // count of 273
  std::uint16_t strip_offsets_type = 0;
  std::uint16_t strip_byte_counts_type = 0;
  std::uint32_t strip_offsets_value = 0;
  std::uint32_t strip_byte_counts_value = 0;
  std::uint32_t rows_per_strip = 0xFFFFFFFFu;  // 278
  bool tiled = false;  // 322 TileWidth or 324 TileOffsets: data in tiles, not strips
  // How a received page arrived (TIFF-F); -1 where the directory is silent.
  std::int64_t bad_fax_lines = -1;              // 326
  std::int32_t clean_fax_data = -1;             // 327: 0 clean, 1 regenerated, 2 unclean
  std::int64_t consecutive_bad_fax_lines = -1;  // 328
};

}  // namespace orvane
