#pragma once
// The two scratch files that hold what extraction found in a bare stream:
// the row file (the 37-byte page descriptor, then every good row) and the
// page index file (a header, then one entry per segment), both
// little-endian; and, for T.4, where each row lies in the stream
// (RawCodedRows). The bare data reader serves pages and conversion from
// them.
#include <array>
#include <filesystem>

#include "base/file_handle.h"
#include "codec/raw_extraction.h"
#include "formats/raw_coded_rows.h"

namespace orvane {

class RawScratchFiles final : public codec::ExtractionSink {
 public:
  RawScratchFiles(std::filesystem::path row_file, std::filesystem::path index_file);

  // Both files emptied (created when missing).
  bool clear() override;
  // Both files created with their headers.
  bool begin(const PageBitmap& descriptor, std::span<const std::uint8_t> coded) override;
  bool row(std::span<const std::uint8_t> row, const codec::RowBits& coded) override;
  bool segment(const codec::SegmentEntry& entry) override;
  // Both headers written again with the counts; both files closed.
  bool finish(const PageBitmap& descriptor, const codec::ExtractionSummary& summary) override;
  // What the extraction kept in the files found (zero after clear()).
  const codec::ExtractionSummary& summary() const { return summary_; }
  std::uint8_t coding() const { return coding_; }
  // Where the rows lie in the stream (T.4 only; none for T.6, whose rows
  // cannot be cut apart).
  RawCodedRows& coded_rows() { return coded_rows_; }

  // The system's reason (errno) for the first write that failed, 0 if none.
  int error() const { return error_; }

 private:
  bool write_at_start(std::FILE* f, std::span<const std::uint8_t> bytes);
  // `ok`, noting errno when it is false.
  bool noted(bool ok);

  std::filesystem::path row_path_, index_path_;
  FileHandle rows_, index_;
  std::array<std::uint8_t, codec::kIndexHeaderSize> header_{};
  int error_ = 0;
  codec::ExtractionSummary summary_;
  std::uint8_t coding_ = 0;
  RawCodedRows coded_rows_;
  bool index_rows_ = false;
};

}  // namespace orvane
