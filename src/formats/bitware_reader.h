#pragma once
// Bitware fax files (.bfx): a 2048-byte header with a signature, the page
// count, a vertical resolution code and a directory of up to 127 pages
// (width, rows, data length, data offset). Nothing records how the pages are
// coded, so each page's coding and bit order are found by trial decoding
// before it is decoded at the width its directory entry states.
#include <array>
#include <cstdint>

#include "base/page_bitmap.h"
#include "formats/guessed_page_reader.h"

namespace orvane {

class BitwareReader : public GuessedPageReader {
 public:
  static constexpr std::size_t kHeaderSize = 2048;
  static constexpr std::uint16_t kMaxPages = 127;
  static constexpr std::uint16_t kHorizontalResolution = 200;

  // 0, -1 no file, -2 shorter than the header, -3 not "BIT  FAX" (the file
  // is closed on either rejection).
  ReaderResult recognise() override;
  // The count at header offset 9, at most 127.
  std::uint16_t build_page_table() override;
  bool valid_after_count(std::uint16_t count) const override { return count > 0; }

 protected:
  // Directory entry `index` (below the page count): data offset 0, an
  // offset at or past the end of the file, or a length of 0 give no page;
  // a length past the end of the file is cut to what the file holds.
  bool locate_page(std::uint32_t index, PageSource& out, std::int64_t& offset,
                   std::int64_t& length) override;

 private:
  std::array<std::uint8_t, kHeaderSize> header_{};
  std::uint16_t count_ = 0;
};

// Vertical resolution of a Bitware resolution code: 0 = 100, 1 = 200, else 400 dpi.
std::uint16_t bitware_vertical_resolution(std::uint8_t code);

}  // namespace orvane
