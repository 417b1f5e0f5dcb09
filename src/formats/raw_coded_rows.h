#pragma once
// Where each row of a bare T.4 stream lies in the stream, so that the rows
// of a page can be handed out as the stream codes them (for a PDF that
// keeps them) instead of being coded again: every row starts with an EOL,
// and the rows the extraction kept are found by counting EOLs in each of
// its segments.
#include <cstdint>
#include <span>
#include <vector>

#include "codec/raw_extraction.h"

namespace orvane {

class RawCodedRows {
 public:
  // Indexes the rows of `segments` (in order) in `stream`, whose bit order
  // is `msb_first` or not. A segment with fewer EOLs than rows gets no row
  // starts, nor does any row after it (rows are counted across segments).
  void index(std::span<const std::uint8_t> stream, bool msb_first,
             std::span<const codec::SegmentEntry> segments);
  std::uint32_t rows() const { return std::uint32_t(starts_.size()); }

  // Rows [first, first + count) as one stream, most significant bit first:
  // each row from the zeros of its EOL up to the next row's (the next
  // segment's rows joined on directly, what lies between left out). False
  // when a row is not indexed.
  bool page(std::span<const std::uint8_t> stream, std::uint32_t first, std::uint32_t count,
            std::vector<std::uint8_t>& out) const;

 private:
  bool msb_first_ = true;
  std::vector<std::uint64_t> starts_;  // bit where each row's EOL zeros begin
  std::vector<std::uint64_t> ends_;    // bit where the row ends
};

}  // namespace orvane
