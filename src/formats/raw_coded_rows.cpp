#include "formats/raw_coded_rows.h"

#include <new>

namespace orvane {

namespace {

int bit_at(std::span<const std::uint8_t> stream, std::uint64_t bit, bool msb_first) {
  const std::uint8_t byte = stream[std::size_t(bit / 8)];
  const int k = int(bit % 8);
  return (msb_first ? byte >> (7 - k) : byte >> k) & 1;
}

}  // namespace

void RawCodedRows::index(std::span<const std::uint8_t> stream, bool msb_first,
                         std::span<const codec::SegmentEntry> segments) {
  msb_first_ = msb_first;
  starts_.clear();
  ends_.clear();
  const std::uint64_t stream_bits = std::uint64_t(stream.size()) * 8;
  try {
    for (const codec::SegmentEntry& s : segments) {
      const std::uint64_t from = std::uint64_t(s.first_byte) * 8 + s.start_bit;
      const std::uint64_t to = std::uint64_t(s.last_byte) * 8 + s.end_bit;
      if (s.start_bit > 7 || s.end_bit > 8 || from >= to || to > stream_bits) return;
      // EOL: eleven or more zeros, then a one; its zeros are where the row
      // begins (fill included).
      const std::size_t before = starts_.size();
      std::uint64_t zeros = 0;
      for (std::uint64_t bit = from; bit < to && starts_.size() - before < s.rows; ++bit) {
        if (bit_at(stream, bit, msb_first) == 0) {
          ++zeros;
          continue;
        }
        if (zeros >= 11) {
          if (starts_.size() > before) ends_.push_back(bit - zeros);
          starts_.push_back(bit - zeros);
        }
        zeros = 0;
      }
      if (starts_.size() - before < s.rows) {
        starts_.resize(before);
        ends_.resize(before);
        return;
      }
      // The last row ends at the next EOL or at the segment's end.
      std::uint64_t end = to, bit = starts_.back();
      while (bit < to && bit_at(stream, bit, msb_first) == 0) ++bit;  // the EOL's zeros
      zeros = 0;
      for (++bit; bit < to; ++bit) {
        if (bit_at(stream, bit, msb_first) == 0) {
          if (++zeros == 11) {
            end = bit - 10;
            break;
          }
        } else {
          zeros = 0;
        }
      }
      ends_.push_back(end);
    }
  } catch (const std::bad_alloc&) {
    starts_.clear();
    ends_.clear();
  }
}

bool RawCodedRows::page(std::span<const std::uint8_t> stream, std::uint32_t first,
                        std::uint32_t count, std::vector<std::uint8_t>& out) const {
  out.clear();
  if (count == 0 || first >= starts_.size() || count > starts_.size() - first) return false;
  std::uint64_t bits = 0;
  for (std::uint32_t r = first; r < first + count; ++r) bits += ends_[r] - starts_[r];
  try {
    out.assign(std::size_t((bits + 7) / 8), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::uint64_t at = 0;
  for (std::uint32_t r = first; r < first + count;) {
    // Rows that follow each other in the stream are copied as one run.
    const std::uint64_t start = starts_[r];
    std::uint64_t end = ends_[r++];
    while (r < first + count && starts_[r] == end) end = ends_[r++];
    for (std::uint64_t bit = start; bit < end; ++bit, ++at) {
      if (bit_at(stream, bit, msb_first_))
        out[std::size_t(at / 8)] |= std::uint8_t(0x80 >> (at % 8));
    }
  }
  return true;
}

}  // namespace orvane
