#pragma once
// What the readers of formats that do not record their coding share (Bitware,
// Quick Link II): each page's coding, bit order and width are found by trial
// decoding, and the page is decoded with what was found. A reader derived from this only
// says where a page's data is and how many rows it has.
#include <cstdint>
#include <filesystem>

#include "base/format_reader.h"
#include "base/page_bitmap.h"

namespace orvane {

class GuessedPageReader : public FormatReader {
 public:
  void set_analysis(std::uint16_t threshold, std::uint8_t flag_number) override {
    threshold_ = threshold;
    flag_number_ = flag_number;
  }
  // Reads the page's data, finds its coding (T.4 1D or 2D first, then T.6)
  // and decodes it from its first byte, at the width the file states (or
  // else the width found). A page that cannot be read, has no data, states an
  // impossible size or whose coding is not found leaves the bitmap empty:
  // no pixels and every field 0, never the page loaded before.
  Status load_page(std::uint32_t index, PageBitmap& page) override;
  // The page's coded data, tagged with the coding and bit order found, the
  // width decoded at and the rows decoded. False for a page that gives no
  // page on loading.
  bool coded_page(std::uint32_t index, PassThroughPage& out) override;
  // Rows and densities as the header states them; the width only where it
  // is stated, and never the coding or bit order, which only trial
  // decoding finds. False for a page that has no data or whose stated row
  // count no page may have.
  bool page_facts(std::uint32_t index, PageFacts& out) override;

 protected:
  struct PageSource {
    std::int64_t rows = 0;   // rows stated for the page
    std::int32_t width = 0;  // width stated for the page; 0: the width found
    std::uint16_t yres = 0;  // dots per inch down
  };
  // Where page `index`'s coded data lies and what the header states about
  // it, from the header alone; false when the page does not exist or has
  // no data.
  virtual bool locate_page(std::uint32_t index, PageSource& out, std::int64_t& offset,
                           std::int64_t& length) = 0;

 private:
  // Brings page `index`'s coded data into the coded buffer.
  Status read_page(std::uint32_t index, PageSource& out);
  Status load(std::uint32_t index, PageBitmap& page);

  std::uint16_t threshold_ = 50;
  std::uint8_t flag_number_ = 3;
};

}  // namespace orvane
