#pragma once
// The rows of a page handed out one after another to a page decoder.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/page_bitmap.h"
#include "codec/fax_codec.h"
#include "codec/run_painter.h"

namespace orvane::codec {

// The byte a page decoder's rows start as: white, so that white runs need
// no painting (see RunPainter).
inline std::uint8_t page_background(std::uint8_t invert) {
  return invert ? 0x00 : 0xFF;
}

// Rows a page decoder writes into: `height` rows of `row_bytes` bytes from
// `rows`, every one the background already (a page's own pixels, or the
// rows of a page that a strip decodes straight into).
struct RowTarget {
  std::uint8_t* rows = nullptr;
  std::int64_t row_bytes = 0;
  std::int32_t height = 0;
};

// Row r while r is below the height, no row (decoded and dropped) after it.
// The rows start as the background, so a row is reset only when it is
// handed out a second time (a row that was dropped is decoded again).
class PageRows {
 public:
  PageRows(const RowTarget& target, std::uint8_t invert)
      : target_(target), background_(page_background(invert)) {}

  RunPainter start(std::int64_t r) {
    if (r >= target_.height) return RunPainter(nullptr, 0);
    std::uint8_t* row = row_at(r);
    if (r < fresh_from_) std::memset(row, background_, std::size_t(target_.row_bytes));
    if (r >= fresh_from_) fresh_from_ = r + 1;
    return RunPainter(row, std::uint32_t(target_.row_bytes), background_ != 0);
  }
  // Rows r .. r + n - 1 are white rows a decoder took without painting:
  // only those handed out before need their background back.
  void white_rows(std::int64_t r, std::int64_t n) {
    for (std::int64_t i = r; i < std::min({r + n, fresh_from_, std::int64_t(target_.height)}); ++i)
      std::memset(row_at(i), background_, std::size_t(target_.row_bytes));
    fresh_from_ = std::max(fresh_from_, r + n);
  }
  // Gives the rows handed out past the first `kept` their background back,
  // so that the rows after a strip's are untouched for the next strip.
  void release_after(std::int64_t kept) {
    for (std::int64_t r = std::max<std::int64_t>(kept, 0);
         r < std::min<std::int64_t>(fresh_from_, target_.height); ++r) {
      std::memset(row_at(r), background_, std::size_t(target_.row_bytes));
    }
  }

 private:
  std::uint8_t* row_at(std::int64_t r) {
    return target_.rows + std::size_t(r) * std::size_t(target_.row_bytes);
  }

  RowTarget target_;
  std::uint8_t background_;
  std::int64_t fresh_from_ = 0;
};

}  // namespace orvane::codec
