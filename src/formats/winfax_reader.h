#pragma once
// WinFax: a chain of pages, each a 128-byte page header followed by the
// page's CCITT data (Modified Huffman with EOLs, or MMR), least significant
// bit first. The header also carries a text shown with the page.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "base/format_reader.h"
#include "base/page_bitmap.h"

namespace orvane {

class WinFaxReader : public FormatReader {
 public:
  static constexpr std::size_t kHeaderSize = 128;
  static constexpr std::int32_t kDefaultWidth = 1728;
  static constexpr std::int32_t kDefaultRows = 3432;

  // Walks the header chain from position 0 (this is also the recognition).
  // Stops at an invalid header, a position outside the file, a position
  // already listed, or a full table. A count of 0 closes the file.
  std::uint16_t build_page_table() override;
  Status load_page(std::uint32_t index, PageBitmap& page) override;
  // Text from header offset 9 up to its first 0, never past the header.
  std::string page_text(std::uint32_t index) override;
  // MMR pages are T.6, Modified Huffman pages T.4 one-dimensional, both
  // least significant bit first.
  bool coded_page(std::uint32_t index, PassThroughPage& out) override;
  // Size, coding and densities from the page header alone.
  bool page_facts(std::uint32_t index, PageFacts& out) override;

  // 0 when a page header starts at `position`, -1 no file, -2 otherwise.
  ReaderResult check_header(std::int64_t position);

 private:
  struct Page {
    std::int32_t width = 0;
    std::int32_t rows = 0;
    bool mmr = false;
    std::uint16_t yres = 0;
  };
  // Header of page `index` (defaults applied); -1 no such page, -2 unreadable.
  ReaderResult read_header(std::uint32_t index, Page& out);
  // Header and coded data of page `index`, or why they cannot be read.
  Status read_page(std::uint32_t index, Page& out);

  std::array<std::uint8_t, kHeaderSize> header_{};
};

// Vertical density of a resolution code: 0 = 100, 1 = 200, else 400 dpi.
std::uint16_t winfax_vertical_resolution(std::uint8_t code);

}  // namespace orvane
