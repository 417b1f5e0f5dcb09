#pragma once
// Whether a page's coded data can go into a PDF unchanged: the data is
// decoded as a PDF CCITTFaxDecode filter reads it (PDF 1.4 section 3.3.5:
// K, EncodedByteAlign, EndOfLine, Columns, Rows, EndOfBlock false) and
// each row is compared with the page as this program decoded it. Only data
// that such a filter reads without an error, without a reader's own
// recovery and to exactly the page's pixels passes.
#include <cstdint>
#include <span>
#include <vector>

#include "base/page_bitmap.h"

namespace orvane::codec {

// The decode parameters a CCITTFaxDecode filter needs for a stream.
struct CcittFilterParameters {
  std::int32_t k = -1;              // < 0 T.6, 0 T.4 1D, > 0 T.4 2D (1D row at least every K)
  bool encoded_byte_align = false;  // every row starts on a byte boundary
  bool end_of_line = false;         // every row is preceded by an EOL
  bool black_is_1 = false;          // white runs decode to 0 bits
  bool end_of_block = true;         // false: the filter stops after Rows rows
  std::int32_t columns = 0;
  std::int32_t rows = 0;
};

// Checks `data` (most significant bit first) coded as `coding` (CodingMode
// 3, 5, 6 or 7; every other coding fails) against `page`: the first
// page.height rows must decode cleanly to page.width pixels each and equal
// the page's rows (padding bits aside), decoded with the page's invert flag.
// On success fills `out` (Columns, Rows and BlackIs1 from the page, K as the
// data needs it, EndOfBlock false) and returns true.
bool check_ccitt_filter_stream(std::span<const std::uint8_t> data, std::uint8_t coding,
                               const PageBitmap& page, CcittFilterParameters& out);

// The same check with its row buffer kept from page to page.
class CcittFilterCheck {
 public:
  // As check_ccitt_filter_stream.
  bool check(std::span<const std::uint8_t> data, std::uint8_t coding, const PageBitmap& page,
             CcittFilterParameters& out);
  // Without a page to compare with: the first `rows` rows must decode
  // cleanly to `width` pixels each (a size above the page limits fails).
  // For data whose reader builds its page by decoding this same data with
  // the same row rules, where a clean decode is the page; `invert` is the
  // page's invert flag (0 or 1). When `pixels` is not empty (at least
  // rows x row_bytes_for(width) bytes) the rows are decoded into it, so
  // that the check's decode is the page.
  bool check_clean(std::span<const std::uint8_t> data, std::uint8_t coding, std::int32_t width,
                   std::int32_t rows, std::uint8_t invert, CcittFilterParameters& out,
                   std::span<std::uint8_t> pixels = {});

 private:
  bool run(std::span<const std::uint8_t> data, std::uint8_t coding, std::int32_t width,
           std::int32_t rows, std::uint8_t invert, const PageBitmap* page,
           CcittFilterParameters& out, std::span<std::uint8_t> pixels = {});

  std::vector<std::uint8_t> row_;
};

}  // namespace orvane::codec
