#include "formats/raw_coded_rows.h"

#include <algorithm>
#include <new>

#include "base/page_lengths.h"
#include "codec/bit_reader.h"

namespace orvane {

namespace {

// Every standard page length is a multiple of the shortest of its paper
// size: a page cut at standard lengths begins at a multiple of one of these.
bool begins_standard_page(std::uint32_t row) {
  for (const auto& lengths : kPageRows)
    if (row % lengths[0] == 0) return true;
  return false;
}

// Appends bits to a byte buffer sized beforehand, most significant first.
class BitCopy {
 public:
  explicit BitCopy(std::vector<std::uint8_t>& out) : out_(out) {}
  // Bits [from, to) of `in`, up to 56 at a time.
  void copy(codec::BitReader& in, std::int64_t from, std::int64_t to) {
    in.seek(from);
    for (std::int64_t left = to - from; left > 0;) {
      const int n = int(std::min<std::int64_t>(left, 56));
      const std::uint64_t bits = in.peek() >> (64 - n);
      in.seek(in.position() + n);
      held_ = (held_ << n) | bits;
      count_ += n;
      for (; count_ >= 8; count_ -= 8) out_[at_++] = std::uint8_t(held_ >> (count_ - 8));
      left -= n;
    }
  }
  void flush() {
    if (count_ > 0) out_[at_++] = std::uint8_t(held_ << (8 - count_));
    count_ = 0;
  }

 private:
  std::vector<std::uint8_t>& out_;
  std::size_t at_ = 0;
  std::uint64_t held_ = 0;
  int count_ = 0;
};

}  // namespace

void RawCodedRows::clear() {
  runs_.clear();
  marks_.clear();
  rows_ = 0;
  mark_next_ = failed_ = false;
}

bool RawCodedRows::add(const codec::RowBits& coded) {
  if (failed_) return false;
  const bool mark = mark_next_ || begins_standard_page(rows_);
  mark_next_ = false;
  try {
    if (!runs_.empty() && runs_.back().end == coded.start && coded.end >= coded.start) {
      Run& run = runs_.back();
      if (mark) marks_.push_back({rows_, coded.start});
      run.end = coded.end;
      ++run.rows;
    } else {
      runs_.push_back({rows_, 1, coded.start, std::max(coded.start, coded.end)});
    }
  } catch (const std::bad_alloc&) {
    clear();
    failed_ = true;
    return false;
  }
  ++rows_;
  return true;
}

std::int64_t RawCodedRows::bound(std::uint32_t row, bool at_start) const {
  // The run that holds the row (the one ending there, for an end).
  const std::uint32_t held = at_start ? row : row - 1;
  auto run = std::upper_bound(runs_.begin(), runs_.end(), held,
                              [](std::uint32_t r, const Run& x) { return r < x.first_row; });
  if (run == runs_.begin()) return -1;
  --run;
  if (at_start && run->first_row == row) return run->start;
  if (!at_start && run->first_row + run->rows == row) return run->end;
  auto mark = std::lower_bound(marks_.begin(), marks_.end(), row,
                               [](const Mark& m, std::uint32_t r) { return m.row < r; });
  return mark != marks_.end() && mark->row == row ? mark->bit : -1;
}

bool RawCodedRows::page(std::span<const std::uint8_t> stream, bool msb_first, std::uint32_t first,
                        std::uint32_t count, std::vector<std::uint8_t>& out) const {
  out.clear();
  if (count == 0 || first >= rows_ || count > rows_ - first) return false;
  const std::uint32_t last = first + count;
  const std::int64_t from = bound(first, true), to = bound(last, false);
  const std::int64_t stream_bits = std::int64_t(stream.size()) * 8;
  if (from < 0 || to < 0 || to > stream_bits) return false;
  // The runs from the one holding the first row to the one holding the
  // last; the first and last cut at the page's bounds.
  auto begin = std::upper_bound(runs_.begin(), runs_.end(), first,
                                [](std::uint32_t r, const Run& x) { return r < x.first_row; });
  --begin;  // a run holds row `first`: bound() found it
  auto piece = [&](auto run, std::int64_t& a, std::int64_t& b) {
    a = run->first_row <= first ? from : run->start;
    b = run->first_row + run->rows >= last ? to : run->end;
  };
  std::int64_t bits = 0;
  auto end = begin;
  for (; end != runs_.end() && end->first_row < last; ++end) {
    std::int64_t a = 0, b = 0;
    piece(end, a, b);
    if (a < 0 || b < a || b > stream_bits) return false;
    bits += b - a;
  }
  try {
    out.assign(std::size_t((bits + 7) / 8), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  codec::BitReader in(stream, !msb_first);
  BitCopy copy(out);
  for (auto run = begin; run != end; ++run) {
    std::int64_t a = 0, b = 0;
    piece(run, a, b);
    copy.copy(in, a, b);
  }
  copy.flush();
  return true;
}

}  // namespace orvane
