#pragma once
// Pages of bare data written page after page: a page ends where the data
// says so, at an RTC (T.4: a run of EOLs with no row between them) or an
// EOFB (T.6: two EOLs), instead of at a standard page length. Sits between
// an extraction and the sink that keeps its results: between two good rows
// it looks in the coded data for such a run, notes the row where every
// page starts, and cuts the segments there, so that each segment lies in
// one page and a page's coded data can be cut out of the stream whole.
#include <cstdint>
#include <span>
#include <vector>

#include "codec/fax_codec.h"
#include "codec/raw_extraction.h"

namespace orvane {

class PageEndSplitter final : public codec::ExtractionSink {
 public:
  // `next` gets every row and the cut segments, and at the end the counts
  // of the cut segments and the vertical resolution of the longest page.
  // The coded data is the one begin() is handed; it must outlive the
  // extraction.
  explicit PageEndSplitter(codec::ExtractionSink& next);

  bool clear() override;
  bool begin(const PageBitmap& descriptor, std::span<const std::uint8_t> coded) override;
  bool row(std::span<const std::uint8_t> row, const codec::RowBits& coded) override;
  bool segment(const codec::SegmentEntry& entry) override;
  bool finish(const PageBitmap& descriptor, const codec::ExtractionSummary& summary) override;

  // The first row of every page, rising from 0; empty without rows. A page
  // without an end in the data is cut at the largest page this program
  // opens.
  const std::vector<std::uint32_t>& page_starts() const { return page_starts_; }

 private:
  // Where one page's data ends and the next one's begins inside the open
  // segment, and the rows before it since the last cut.
  struct Cut {
    std::uint32_t rows = 0;
    std::int64_t end_bit = 0;
    std::int64_t start_bit = 0;
  };
  void reset();
  bool emit(std::int64_t start_bit, std::int64_t end_bit, std::uint32_t rows);

  codec::ExtractionSink& next_;
  std::span<const std::uint8_t> coded_;  // the data of the extraction under way
  bool began_ = false;
  bool msb_first_ = true;
  std::uint8_t coding_ = 0;
  std::uint32_t most_rows_ = 0;  // rows of the largest page

  std::vector<std::uint32_t> page_starts_;
  std::vector<Cut> cuts_;  // cuts in the open segment
  std::int64_t last_row_bit_ = -1;
  std::uint32_t rows_ = 0;
  std::uint32_t page_rows_ = 0;
  std::uint32_t piece_rows_ = 0;  // rows of the open segment since its last cut
  bool segment_closed_ = false;   // a segment ended since the last row
  std::uint32_t pieces_ = 0;
  std::uint32_t longest_piece_ = 0;
  std::uint32_t longest_page_ = 0;
};

}  // namespace orvane
