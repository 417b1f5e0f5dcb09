#include "formats/page_end_splitter.h"

#include <algorithm>

#include "base/coding_mode.h"
#include "base/limits.h"

namespace orvane {
PageEndSplitter::PageEndSplitter(codec::ExtractionSink& next, RawCodedRows* coded_rows)
    : next_(next), coded_rows_(coded_rows) {}

void PageEndSplitter::reset() {
  page_starts_.clear();
  cuts_.clear();
  last_row_bit_ = -1;
  forget_run();
  rows_ = page_rows_ = piece_rows_ = 0;
  segment_closed_ = false;
  pieces_ = longest_piece_ = longest_page_ = 0;
}

bool PageEndSplitter::clear() {
  reset();
  data_bits_ = 0;
  began_ = false;
  return next_.clear();
}

bool PageEndSplitter::begin(const PageBitmap& descriptor, std::span<const std::uint8_t> coded) {
  reset();
  coding_ = descriptor.coding;
  data_bits_ = std::int64_t(coded.size()) * 8;
  began_ = true;
  const std::int64_t row_bytes = std::max<std::int64_t>(descriptor.row_bytes, 1);
  most_rows_ = std::uint32_t(
      std::clamp<std::int64_t>(limits::kMaxPageBytes / row_bytes, 1, limits::kMaxPageSide));
  return next_.begin(descriptor, coded);
}

void PageEndSplitter::forget_run() {
  // T.4 rows end in an EOL, which counts as the first of a run; T.6 rows
  // end at their width.
  eols_ = coding_ == kCodingT6 ? 0 : 1;
  end_found_ = run_over_ = false;
  next_start_ = 0;
}

bool PageEndSplitter::gap(bool empty, std::int64_t position) {
  if (!began_ || rows_ == 0 || run_over_) return next_.gap(empty, position);
  if (!empty) {
    // Data that is no row: a run that was found is over, and a run not
    // yet long enough starts again after it. The T.4 decoders find their
    // way back at an EOL, which counts; T.6 at a start, which does not.
    if (end_found_) {
      run_over_ = true;
    } else {
      eols_ = coding_ == kCodingT6 ? 0 : 1;
    }
  } else if (++eols_ >= 2) {
    // Two EOLs with nothing but fill between them: an empty row, which no
    // page holds, so the RTC or EOFB that ends a page. The next page
    // begins with the run's last EOL in T.4 (every T.4 row starts after
    // one), after it in T.6.
    end_found_ = true;
    next_start_ = coding_ == kCodingT6 ? position : position - 12;
  }
  return next_.gap(empty, position);
}

bool PageEndSplitter::row(std::span<const std::uint8_t> row, const codec::RowBits& coded) {
  if (!began_) return false;
  const std::int64_t at = std::clamp<std::int64_t>(coded.end, 0, data_bits_);
  if (rows_ == 0) {
    page_starts_.push_back(0);
  } else if (end_found_ || page_rows_ >= most_rows_) {
    // A segment that runs on into the next page is cut where the last row
    // ended.
    if (!segment_closed_) {
      cuts_.push_back({piece_rows_, last_row_bit_, end_found_ ? next_start_ : last_row_bit_});
      piece_rows_ = 0;
    }
    longest_page_ = std::max(longest_page_, page_rows_);
    page_starts_.push_back(rows_);
    page_rows_ = 0;
    if (coded_rows_) coded_rows_->mark_next();
  }
  forget_run();
  last_row_bit_ = at;
  segment_closed_ = false;
  ++rows_;
  ++page_rows_;
  ++piece_rows_;
  return next_.row(row, coded);
}

bool PageEndSplitter::emit(std::int64_t start_bit, std::int64_t end_bit, std::uint32_t rows) {
  if (rows == 0) return true;
  const std::int64_t bits = data_bits_;
  start_bit = std::clamp<std::int64_t>(start_bit, 0, bits);
  end_bit = std::clamp<std::int64_t>(end_bit, start_bit, bits);
  codec::SegmentEntry e;
  e.first_byte = std::uint32_t(start_bit / 8);
  e.start_bit = std::uint8_t(start_bit % 8);
  // An end on a byte boundary is the whole byte before it.
  if (end_bit > 0 && end_bit % 8 == 0) {
    e.last_byte = std::uint32_t(end_bit / 8 - 1);
    e.end_bit = 8;
  } else {
    e.last_byte = std::uint32_t(end_bit / 8);
    e.end_bit = std::uint8_t(end_bit % 8);
  }
  e.rows = rows;
  ++pieces_;
  longest_piece_ = std::max(longest_piece_, rows);
  return next_.segment(e);
}

bool PageEndSplitter::segment(const codec::SegmentEntry& entry) {
  std::int64_t start = std::int64_t(entry.first_byte) * 8 + entry.start_bit;
  std::uint32_t before = 0;
  bool ok = true;
  for (const Cut& cut : cuts_) {
    ok = emit(start, cut.end_bit, cut.rows) && ok;
    before += cut.rows;
    start = cut.start_bit;
  }
  const std::int64_t end = std::int64_t(entry.last_byte) * 8 + entry.end_bit;
  ok = emit(start, end, entry.rows > before ? entry.rows - before : 0) && ok;
  cuts_.clear();
  piece_rows_ = 0;
  segment_closed_ = true;
  return ok;
}

bool PageEndSplitter::finish(const PageBitmap& descriptor,
                             const codec::ExtractionSummary& summary) {
  longest_page_ = std::max(longest_page_, page_rows_);
  codec::ExtractionSummary cut = summary;
  cut.entries = pieces_;
  cut.longest = longest_piece_;
  // The resolution is told by the length of a page, not of a stretch of
  // pages that decoded without a break.
  PageBitmap page = descriptor.fields_only();
  if (pieces_ > 0) page.yres = codec::choose_vertical_resolution(page.width_class, longest_page_);
  return next_.finish(page, cut);
}

}  // namespace orvane
