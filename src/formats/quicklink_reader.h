#pragma once
// Quick Link II fax files (.qfx): a 1532-byte header with a signature, the
// page count, the row counts of the last page and of every other page, a
// vertical resolution code and 375 page data offsets. A page's data runs to
// the next page's offset. Neither width nor coding nor bit order is
// recorded: they are found by trial decoding (see GuessedPageReader).
#include <array>
#include <cstdint>

#include "formats/guessed_page_reader.h"

namespace orvane {

class QuickLinkReader : public GuessedPageReader {
 public:
  static constexpr std::size_t kHeaderSize = 1532;
  static constexpr std::uint16_t kMaxPages = 375;

  // 0, -1 no file, -2 when the header does not start with "QLIIFAX" and a
  // 0 byte (the file is then closed). A file shorter than the header is
  // judged by the bytes it has.
  ReaderResult recognise() override;
  // The count at header offset 8, at most 375.
  std::uint16_t build_page_table() override;

 protected:
  // Page `index` (below the page count) runs from its offset to the next
  // slot's offset, or to the end of the file from the last slot or when the
  // next offset is 0. An offset of 0 or at or past the end of the file, a
  // next offset below the page's own and an empty range give no page.
  bool locate_page(std::uint32_t index, PageSource& out, std::int64_t& offset,
                   std::int64_t& length) override;

 private:
  std::array<std::uint8_t, kHeaderSize> header_{};
  std::uint16_t count_ = 0;
};

// Vertical resolution of a Quick Link II resolution code: 1 = 200, 2 = 100,
// else 400 dpi.
std::uint16_t quicklink_vertical_resolution(std::uint16_t code);

}  // namespace orvane
