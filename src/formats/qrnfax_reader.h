#pragma once
// QRN-FAX: our own fax container. A chain of pages, each a 64-byte header
// that states width, rows, coding, bit order and densities, followed by the
// page's coded data.
#include <array>
#include <cstdint>
#include <filesystem>

#include "base/format_reader.h"
#include "base/page_bitmap.h"

namespace orvane {

class QrnFaxReader : public FormatReader {
 public:
  static constexpr std::size_t kHeaderSize = 64;
  static constexpr std::int32_t kDefaultWidth = 1728;
  static constexpr std::int32_t kDefaultRows = 4576;

  // Walks the header chain from position 0 (this is also the recognition):
  // stops at a position without a header, a position already listed or a
  // full table. A count of 0 closes the file.
  std::uint16_t build_page_table() override;
  Status load_page(std::uint32_t index, PageBitmap& page) override;
  // The data with the header's coding and bit order.
  bool coded_page(std::uint32_t index, PassThroughPage& out) override;
  // From the page header alone.
  bool page_facts(std::uint32_t index, PageFacts& out) override;

  // 0 when a "QRN-FAX" header starts at `position`, -1 no file, -2 otherwise.
  ReaderResult check_header(std::int64_t position);

 private:
  struct Page {
    std::uint32_t width = 0;
    std::uint32_t rows = 0;
    std::uint8_t bit_order = 0;
    std::uint8_t coding = 0;
    std::uint8_t xres = 0;
    std::uint8_t yres = 0;
  };
  // Header and coded data of page `index`, or why they cannot be read.
  Status read_page(std::uint32_t index, Page& out);

  std::array<std::uint8_t, kHeaderSize> header_{};
};

}  // namespace orvane
