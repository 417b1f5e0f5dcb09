#pragma once
// The rows of a page handed out one after another to a page decoder.
#include <cstdint>
#include <cstring>

#include "codec/run_painter.h"
#include "base/page_bitmap.h"

namespace orvane::codec {

// The byte a page decoder's rows start as: white, so that white runs need
// no painting (see RunPainter).
inline std::uint8_t page_background(std::uint8_t invert) {
  return invert ? 0x00 : 0xFF;
}

// Row r while r is below the height, no row (decoded and dropped) after it.
// The page's pixels start as the background (setup_page), so a row is reset
// only when it is handed out a second time (a row that was dropped is
// decoded again).
class PageRows {
 public:
  PageRows(PageBitmap& page, std::int32_t height, std::uint8_t invert)
      : page_(page), height_(height), background_(page_background(invert)) {}

  RunPainter start(std::int64_t r) {
    if (r >= height_) return RunPainter(nullptr, 0);
    std::uint8_t* row = page_.row(std::int32_t(r));
    if (r < fresh_from_) std::memset(row, background_, std::size_t(page_.row_bytes));
    if (r >= fresh_from_) fresh_from_ = r + 1;
    return RunPainter(row, std::uint32_t(page_.row_bytes), background_ != 0);
  }
  // Resets row r when it exists (a row given up before the page ends).
  void clear(std::int64_t r) {
    if (r < height_) std::memset(page_.row(std::int32_t(r)), 0, std::size_t(page_.row_bytes));
  }

 private:
  PageBitmap& page_;
  std::int32_t height_;
  std::uint8_t background_;
  std::int64_t fresh_from_ = 0;
};

}  // namespace orvane::codec
