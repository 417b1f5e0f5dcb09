#pragma once
// Bare CCITT data (".g3", ".g4", ".mh", ".mr", ".mmr" and every name no other
// reader claims): one coded stream of unknown bit order, width and coding.
// The whole stream is decoded once into a row file and a page index file
// (two scratch files the caller names); pages are served by cutting the rows
// into standard page lengths, and conversion cuts the file's own coded data
// along the segments the extraction found.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "base/format_reader.h"
#include "base/page_bitmap.h"
#include "codec/raw_extraction.h"
#include "formats/raw_coded_rows.h"

namespace orvane {

// Load page results.
class RawFaxReader : public FormatReader {
 public:
  // The row file and page index file this reader writes and reads. Two
  // readers (or two processes) must be given different paths.
  void set_scratch_paths(const std::filesystem::path& row_file,
                         const std::filesystem::path& page_index);
  // The analysis parameters of the fax file record; also forgets the rows
  // and page length of an earlier file.
  void set_parameters(std::uint16_t threshold, std::uint8_t flag_number, std::int16_t min_width,
                      bool raw_file);
  // Pages end where the data says a page ends (RTC, EOFB) rather than at
  // the standard page length; for the next analyse().
  void set_split_at_page_ends(bool split) { split_at_page_ends_ = split; }

  // Maps the whole open file and extracts it: bit order choice 0 tries LSB
  // then MSB first (MH/MR), then T.6 LSB then MSB first; 1 or 2 tries that
  // order only, MH/MR then T.6. 0 or more on success; negative when nothing
  // accepted the data or the file is empty or too large (the file is then
  // closed when empty). The reading and the extraction follow control():
  // a stop ends either with codec::kExtractionStopped and no scratch files.
  int analyse(std::uint8_t bit_order_choice, bool nonstandard_widths);
  // Why the last analysis failed: the file too large to hold, a scratch
  // folder that took no rows, or (nothing more known) no coding fitted.
  const Refusal& analysis_refusal() const { return analysis_refusal_; }

  // Loads the row file's descriptor into `page` (no pixels) and takes its
  // height as the total rows. 0, or -1 when the row file cannot be read.
  int read_descriptor(PageBitmap& page);

  // Standard page length in rows for a width class and vertical resolution
  // (dpi); also kept as the reader's rows per page.
  std::uint32_t page_geometry(std::uint8_t width_class, std::uint16_t vres);
  static std::uint32_t standard_page_rows(std::uint8_t width_class, std::uint16_t vres);

  // Total rows / rows per page rounded up (at most 65535), or the pages
  // the page ends made; reads the descriptor first when the total is not
  // known yet. 0 when the row file cannot be read or no page geometry was
  // set.
  std::uint16_t count_pages();

  std::uint32_t total_rows() const { return total_rows_; }
  // How the last analysis's rows decoded: the rows kept and the places
  // where decoding lost its way (bad codes, rows of another length).
  const codec::ExtractionSummary& extraction_summary() const { return summary_; }
  // True when decoding lost its way so often that the rows may well be
  // noise: data read at a wrong width, in the wrong bit order or coding,
  // that happened to pass the analysis. T.4 may lose it now and then (a
  // row hit on the wire); T.6, that has no way to find it again, never.
  bool decodes_badly() const;
  static bool decodes_badly(const codec::ExtractionSummary& summary, std::uint8_t coding);

  // The bit order in which the open file decodes cleanly as T.6 from its
  // first byte, as Group 4 data without a run of 0xFF bytes in front does
  // (what the raw file flag is for); 0 when it does not. Reads the start of
  // the file again; for telling a user what to try.
  std::uint8_t t6_order_from_first_byte();

  // FormatReader: the page count (the raw pages are counted from the rows,
  // not from a table), page loading, and conversion with the reader's own
  // descriptor standing in for the record's page.
  std::uint16_t build_page_table() override { return count_pages(); }
  // Page `index`: rows [index x rows per page, ...) from the row file (or
  // the rows between two page ends).
  Status load_page(std::uint32_t index, PageBitmap& page) override;
  // From the row file's descriptor and the page length: what loading the
  // page gives, without reading its rows.
  bool page_facts(std::uint32_t index, PageFacts& out) override;
  // A page of a T.4 stream (1D or 2D): its rows as the stream codes them,
  // joined most significant bit first (see RawCodedRows), copied out of
  // the mapped stream.
  bool coded_page(std::uint32_t index, PassThroughPage& out) override;

 private:
  // Removes the scratch files after a stop; the analysis's stop result.
  int drop_stopped_work();
  // The first row and the rows of page `index`; false past the last page
  // or before the page length is known.
  bool page_extent(std::uint32_t index, std::uint32_t& first, std::uint32_t& rows) const;

  Refusal analysis_refusal_;
  std::filesystem::path row_file_, page_index_;
  std::uint16_t threshold_ = 50;
  std::uint8_t flag_number_ = 3;
  std::int16_t min_width_ = 1728;
  bool raw_file_ = false;
  std::uint32_t total_rows_ = 0;
  std::uint32_t rows_per_page_ = 0;
  RawCodedRows coded_rows_;
  std::vector<std::uint8_t> page_data_;
  bool split_at_page_ends_ = false;
  std::vector<std::uint32_t> page_starts_;  // first row of each page, when split at page ends
  codec::ExtractionSummary summary_;
  std::uint8_t coding_ = 0;  // the coding the last analysis kept
};

}  // namespace orvane
