#include "formats/page_end_splitter.h"

#include <algorithm>

#include "base/coding_mode.h"
#include "base/limits.h"

namespace orvane {
namespace {

// Bit `at` of the coded data, in the order the decoder reads it.
int bit_at(std::span<const std::uint8_t> data, bool msb_first, std::int64_t at) {
  std::uint8_t b = data[std::size_t(at >> 3)];
  if (!msb_first) b = codec::reverse_bits(b);
  return (b >> (7 - (at & 7))) & 1;
}

struct PageEnd {
  bool found = false;
  std::int64_t next_start = 0;  // where the next page's data begins
};

// Looks in bits [from, to), the data between two good rows, for two or more
// EOLs (eleven or more zeros, then a 1) with nothing but zero fill between
// them, and in MR each one's tag bit: an empty row, which no page holds, so
// the RTC or EOFB that ends a page. T.4 rows end in an EOL, which counts as
// the first of the run; T.6 rows end at their width. The next page begins
// with the run's last EOL in T.4 (every T.4 row starts after one), after it
// in T.6.
PageEnd find_page_end(std::span<const std::uint8_t> data, bool msb_first, std::int64_t from,
                      std::int64_t to, std::uint8_t coding) {
  const bool t6 = coding == kCodingT6;
  const bool tags = coding == kCodingT4_2D;
  int run = t6 ? 0 : 1;
  bool only_fill = !t6;  // nothing but fill since the last EOL
  bool tag_next = tags;
  std::int64_t zeros = 0;
  PageEnd end;
  for (std::int64_t at = from; at < to; ++at) {
    // Fill comes in whole zero bytes mostly.
    if (!tag_next && (at & 7) == 0 && at + 8 <= to && data[std::size_t(at >> 3)] == 0) {
      zeros += 8;
      at += 7;
      continue;
    }
    const int bit = bit_at(data, msb_first, at);
    if (tag_next) {
      tag_next = false;
      continue;
    }
    if (bit == 0) {
      ++zeros;
      continue;
    }
    if (zeros >= 11) {
      run = only_fill ? run + 1 : 1;
      only_fill = true;
      tag_next = tags;
      if (run >= 2) end = {true, t6 ? at + 1 : at - 11};
    } else {
      // Row data: a run that was found is over.
      if (end.found) return end;
      only_fill = false;
      run = 0;
    }
    zeros = 0;
  }
  return end;
}

}  // namespace

PageEndSplitter::PageEndSplitter(codec::ExtractionSink& next) : next_(next) {}

void PageEndSplitter::reset() {
  page_starts_.clear();
  cuts_.clear();
  last_row_bit_ = -1;
  rows_ = page_rows_ = piece_rows_ = 0;
  segment_closed_ = false;
  pieces_ = longest_piece_ = longest_page_ = 0;
}

bool PageEndSplitter::clear() {
  reset();
  coded_ = {};
  began_ = false;
  return next_.clear();
}

bool PageEndSplitter::begin(const PageBitmap& descriptor, std::span<const std::uint8_t> coded) {
  reset();
  coding_ = descriptor.coding;
  coded_ = coded;
  msb_first_ = descriptor.bit_order == kBitOrderMsbFirst;
  began_ = true;
  const std::int64_t row_bytes = std::max<std::int64_t>(descriptor.row_bytes, 1);
  most_rows_ = std::uint32_t(
      std::clamp<std::int64_t>(limits::kMaxPageBytes / row_bytes, 1, limits::kMaxPageSide));
  return next_.begin(descriptor, coded);
}

bool PageEndSplitter::row(std::span<const std::uint8_t> row, const codec::RowBits& coded) {
  if (!began_) return false;
  const std::int64_t at = std::clamp<std::int64_t>(coded.end, 0, std::int64_t(coded_.size()) * 8);
  if (rows_ == 0) {
    page_starts_.push_back(0);
  } else {
    const PageEnd end = at > last_row_bit_
                            ? find_page_end(coded_, msb_first_, last_row_bit_, at, coding_)
                            : PageEnd{};
    if (end.found || page_rows_ >= most_rows_) {
      // A segment that runs on into the next page is cut where the last
      // row ended: before its EOL in T.4, right after it in T.6.
      if (!segment_closed_) {
        const std::int64_t row_end = coding_ == kCodingT6 ? last_row_bit_ : last_row_bit_ - 12;
        cuts_.push_back({piece_rows_, row_end, end.found ? end.next_start : row_end});
        piece_rows_ = 0;
      }
      longest_page_ = std::max(longest_page_, page_rows_);
      page_starts_.push_back(rows_);
      page_rows_ = 0;
    }
  }
  last_row_bit_ = at;
  segment_closed_ = false;
  ++rows_;
  ++page_rows_;
  ++piece_rows_;
  return next_.row(row, coded);
}

bool PageEndSplitter::emit(std::int64_t start_bit, std::int64_t end_bit, std::uint32_t rows) {
  if (rows == 0) return true;
  const std::int64_t bits = std::int64_t(coded_.size()) * 8;
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
