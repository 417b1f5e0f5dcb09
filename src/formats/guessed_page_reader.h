#pragma once
// What the readers of formats that do not record their coding share (Bitware,
// Quick Link II): each page's coding, bit order and width are found by trial
// decoding, the page is decoded with what was found, and conversion passes
// the coded data through tagged with it. A reader derived from this only
// says where a page's data is and how many rows it has.
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "core/page_bitmap.h"
#include "formats/format_reader.h"

namespace orvane {

class GuessedPageReader : public FormatReader {
 public:
  void set_analysis(std::uint16_t threshold, std::uint8_t flag_number) override {
    threshold_ = threshold;
    flag_number_ = flag_number;
  }
  // Reads the page's data, finds its coding (T.4 1D or 2D first, then T.6)
  // and decodes it. A page that cannot be read, has no data, states an
  // impossible size or whose coding is not found leaves the bitmap empty:
  // no pixels and every field 0, never the page loaded before.
  void load_page(std::uint32_t index, PageBitmap& page) override;
  // The page's coded data tagged with the coding and bit order found, the
  // width found and the rows decoded. T.6 data starts where the decoder
  // started (after the run of 0xFF bytes in front of it). False for a page
  // that gives no page on loading.
  bool coded_page(std::uint32_t index, PassThroughPage& out) override;
  // Pass-through: each page's coded data (coded_page) goes into the TIFF
  // unchanged. Pages that give no page on loading are left out, and the
  // pages written are numbered 0..n-1 of n.
  int convert(const std::filesystem::path& output, std::uint16_t page_count) override;

 protected:
  struct PageSource {
    std::int64_t rows = 0;   // rows stated for the page
    std::uint16_t yres = 0;  // dots per inch down
  };
  // Brings page `index`'s coded data into the coded buffer; false when the
  // page does not exist or has no data.
  virtual bool read_page(std::uint32_t index, PageSource& out) = 0;

 private:
  // Where the decoder began in the coded buffer: byte and bit (in the
  // order the data is read).
  struct DataStart {
    std::size_t byte = 0;
    int bit = 0;
  };
  bool load(std::uint32_t index, PageBitmap& page, DataStart& start);

  std::uint16_t threshold_ = 50;
  std::uint8_t flag_number_ = 3;
  std::vector<std::uint8_t> moved_;  // T.6 data moved to start on a byte
};

// The bits of `coded` from `byte`/`bit` on, moved to start on a byte
// boundary (bit counts in `bit_order`: 1 from the most significant bit, 2
// from the least). Bits missing at the end of the last byte are 0.
std::vector<std::uint8_t> bits_from(std::span<const std::uint8_t> coded, std::size_t byte, int bit,
                                    std::uint8_t bit_order);

}  // namespace orvane
