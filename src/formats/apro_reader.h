#pragma once
// Apro fax files: a 64-byte file header ("APF10", page count, first page
// position), then pages of a 16-byte page header and Modified Huffman data,
// least significant bit first.
#include <array>
#include <cstdint>
#include <filesystem>

#include "base/format_reader.h"
#include "base/page_bitmap.h"

namespace orvane {

class AproReader : public FormatReader {
 public:
  static constexpr std::size_t kFileHeaderSize = 64;
  static constexpr std::size_t kPageHeaderSize = 16;
  static constexpr std::int32_t kMaxRows = 3000;
  // Page header flag bits.
  static constexpr std::uint8_t kFine = 0x01;      // 200 dpi down, else 100
  static constexpr std::uint8_t kWide = 0x02;      // 2048 pixels, else 1728
  static constexpr std::uint8_t kRowWords = 0x04;  // a 16-bit word before each row

  // 0, -1 no file, -2 short header, -3 no "APF10" (file closed on rejection).
  ReaderResult recognise() override;
  // The first page position always; then, while the header's page count
  // allows, one page after the other until a page header cannot be read or
  // the next position lies outside the file.
  std::uint16_t build_page_table() override;
  Status load_page(std::uint32_t index, PageBitmap& page) override;
  // Width and densities from the page header's flags; the height is not
  // stored.
  bool page_facts(std::uint32_t index, PageFacts& out) override;

  // Page header and data of page `index` into the coded buffer, or why
  // they cannot be read.
  Status read_page(std::uint32_t index);
  std::uint8_t flags() const { return flags_; }

 private:
  // Page header of page `index`: its data length and flags. 0, -1 no such
  // page, -2 unreadable or a length the file cannot hold.
  ReaderResult read_page_header(std::uint32_t index, std::int64_t& length, std::uint8_t& flags);

  std::array<std::uint8_t, kFileHeaderSize> header_{};
  std::uint8_t flags_ = 0;
};

}  // namespace orvane
