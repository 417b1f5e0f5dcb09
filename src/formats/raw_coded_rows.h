#pragma once
// Where the rows of a bare T.4 stream lie in the stream, so that the rows
// of a page can be handed out as the stream codes them (for a file that
// keeps them) instead of being coded again. The extraction tells where
// each row lies as it decodes it (see ExtractionSink::row); kept here are
// only runs of rows that lie back to back and the places where a page may
// begin inside such a run, not every row.
#include <cstdint>
#include <span>
#include <vector>

#include "codec/fax_codec.h"

namespace orvane {

class RawCodedRows {
 public:
  // Forgets every row.
  void clear();
  // The next good row and where it lies (in bits, in the stream's own bit
  // order). Rows are counted from 0 in the order given. False when memory
  // ran out: no row is known from then on.
  bool add(const codec::RowBits& coded);
  // The next row added begins a page (besides the standard page lengths,
  // whose first rows are always kept).
  void mark_next() { mark_next_ = true; }
  std::uint32_t rows() const { return rows_; }
  std::size_t runs() const { return runs_.size(); }

  // Rows [first, first + count) as one stream, most significant bit first:
  // each run of rows copied whole, the runs joined on directly (what lies
  // between them left out). False when a page bound is not known (a page
  // starting inside a run at a row not marked) or the rows are not all
  // there.
  bool page(std::span<const std::uint8_t> stream, bool msb_first, std::uint32_t first,
            std::uint32_t count, std::vector<std::uint8_t>& out) const;

 private:
  struct Run {
    std::uint32_t first_row = 0;
    std::uint32_t rows = 0;
    std::int64_t start = 0;  // bit where the first row begins
    std::int64_t end = 0;    // bit where the last row ends
  };
  struct Mark {
    std::uint32_t row = 0;
    std::int64_t bit = 0;  // where the row begins (and the row before it ends)
  };
  // The bit where row `row` begins (`at_start`) or where row `row - 1`
  // ends; -1 when not known.
  std::int64_t bound(std::uint32_t row, bool at_start) const;

  std::vector<Run> runs_;
  std::vector<Mark> marks_;
  std::uint32_t rows_ = 0;
  bool mark_next_ = false;
  bool failed_ = false;
};

}  // namespace orvane
