#pragma once
// Pages of bare data written page after page: a page ends where the data
// says so, at an RTC (T.4: a run of EOLs with no row between them) or an
// EOFB (T.6: two EOLs), instead of at a standard page length. Sits between
// an extraction and the sink that keeps its results: from what the decoder
// met between two good rows (see ExtractionSink::gap) it finds such a run,
// notes the row where every page starts, and cuts the segments there, so
// that each segment lies in one page.
#include <cstdint>
#include <span>
#include <vector>

#include "codec/fax_codec.h"
#include "codec/raw_extraction.h"
#include "formats/raw_coded_rows.h"

namespace orvane {

class PageEndSplitter final : public codec::ExtractionSink {
 public:
  // `next` gets every row and the cut segments, and at the end the counts
  // of the cut segments and the vertical resolution of the longest page.
  // Each page's first row is marked in `coded_rows` (when given) before
  // `next` gets it.
  explicit PageEndSplitter(codec::ExtractionSink& next, RawCodedRows* coded_rows = nullptr);

  bool clear() override;
  bool begin(const PageBitmap& descriptor, std::span<const std::uint8_t> coded) override;
  bool row(std::span<const std::uint8_t> row, const codec::RowBits& coded) override;
  bool segment(const codec::SegmentEntry& entry) override;
  bool gap(bool empty, std::int64_t position) override;
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
  void forget_run();
  bool emit(std::int64_t start_bit, std::int64_t end_bit, std::uint32_t rows);

  codec::ExtractionSink& next_;
  RawCodedRows* coded_rows_;
  std::int64_t data_bits_ = 0;  // of the data of the extraction under way
  bool began_ = false;
  std::uint8_t coding_ = 0;
  std::uint32_t most_rows_ = 0;  // rows of the largest page

  std::vector<std::uint32_t> page_starts_;
  std::vector<Cut> cuts_;  // cuts in the open segment
  std::int64_t last_row_bit_ = -1;
  // The EOLs since the last row with nothing but fill between them, and
  // the page end they made: where the next page begins; a run that found
  // one is over at the next data that is no row.
  int eols_ = 0;
  bool end_found_ = false;
  bool run_over_ = false;
  std::int64_t next_start_ = 0;
  std::uint32_t rows_ = 0;
  std::uint32_t page_rows_ = 0;
  std::uint32_t piece_rows_ = 0;  // rows of the open segment since its last cut
  bool segment_closed_ = false;   // a segment ended since the last row
  std::uint32_t pieces_ = 0;
  std::uint32_t longest_piece_ = 0;
  std::uint32_t longest_page_ = 0;
};

}  // namespace orvane
