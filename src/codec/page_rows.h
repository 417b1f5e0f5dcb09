#pragma once
// The rows of a page handed out one after another to a page decoder.
#include <cstdint>
#include <cstring>

#include "codec/row_writer.h"
#include "core/page_bitmap.h"

namespace orvane::codec {

// Row r while r is below the height, no row (decoded and dropped) after it.
// The page's pixels start cleared, so a row is cleared only when it is
// handed out a second time (a row that was dropped is decoded again).
class PageRows {
 public:
  PageRows(PageBitmap& page, std::int32_t height) : page_(page), height_(height) {}

  RowWriter& start(std::int64_t r) {
    if (r >= height_) {
      writer_.start(nullptr, 0);
      return writer_;
    }
    std::uint8_t* row = page_.row(std::int32_t(r));
    if (r < clean_from_) std::memset(row, 0, std::size_t(page_.row_bytes));
    if (r >= clean_from_) clean_from_ = r + 1;
    writer_.start(row, std::uint32_t(page_.row_bytes));
    return writer_;
  }
  // Clears row r when it exists (a row given up before the page ends).
  void clear(std::int64_t r) {
    if (r < height_) std::memset(page_.row(std::int32_t(r)), 0, std::size_t(page_.row_bytes));
  }

 private:
  PageBitmap& page_;
  std::int32_t height_;
  std::int64_t clean_from_ = 0;
  RowWriter writer_;
};

}  // namespace orvane::codec
