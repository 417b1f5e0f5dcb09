#pragma once
// Reads TIFF fax files (TIFF 6.0): the header, the chain of image file
// directories, the tags of one directory and the strips of a page.
#include <cstdint>
#include <string>
#include <vector>

#include "base/format_reader.h"
#include "base/page_bitmap.h"
#include "tiff/tiff_page.h"

namespace orvane {

struct TiffEntry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::uint8_t value[4] = {0, 0, 0, 0};  // as stored; converted when the tag is read
};

class TiffReader : public FormatReader {
 public:
  // Header check: kNoFile, kUnreadable (fewer than 8 bytes), kBadSignature
  // (not a TIFF header; the file is closed on both), or kOk.
  ReaderResult read_header();
  ReaderResult recognise() override { return read_header(); }

  // Lists every directory of the chain (at most limits::kMaxPages; a position seen
  // before ends the walk).
  std::uint16_t build_page_table() override;

  // Reads the directory at `position`: the entry count, or -1 (position 0),
  // -2 (no entry count), -3 (no memory), -4 (entries cut short), -5 (no
  // next-directory position).
  int read_directory(std::uint32_t position);
  // Fills `page` from the entries read last; unset fields keep their defaults.
  void parse_directory(TiffPage& page);
  // Why the fields alone keep `page` from being a fax page this reader
  // loads (no strips, a size of 0 or past the limits, colour, a coding no
  // fax decoder reads); ok otherwise. Checked before anything is allocated
  // for the page.
  Status check_page(const TiffPage& page) const;

  // Position and byte count of strip `index`. False for an index at or past
  // the strip count, or when the strip tables cannot be read there. A
  // page's only strip with byte count 0 runs to the end of the file.
  bool strip_position(std::uint32_t index, const TiffPage& page, std::uint32_t& position,
                      std::uint32_t& byte_count);
  // All strips back to back into the coded buffer. 0, or -1 when there is
  // nothing to read or the buffer cannot be had.
  int read_page_data(const TiffPage& page);
  // Byte count of each strip as read by the last read_page_data.
  const std::vector<std::uint32_t>& strip_byte_counts() const { return strip_sizes_; }

  Status load_page(std::uint32_t index, PageBitmap& page) override;
  // The directory's size, resolution and coding; the strips are not read.
  bool page_facts(std::uint32_t index, PageFacts& out) override;
  // A CCITT-coded page's strips back to back, with the coding its
  // Compression and T4Options name; false for every other Compression and
  // for a page that cannot be read.
  bool coded_page(std::uint32_t index, PassThroughPage& out) override;

  bool big_endian() const { return big_endian_; }

 private:
  std::uint16_t u16(const std::uint8_t* p) const;
  std::uint32_t u32(const std::uint8_t* p) const;
  std::uint16_t first_short(const TiffEntry& e) const { return u16(e.value); }
  // The first value of a SHORT field, from the value field when the values
  // fit in its 4 bytes, else from the position it holds.
  std::uint16_t first_value(const TiffEntry& e);
  std::uint16_t second_short(const TiffEntry& e) const { return u16(e.value + 2); }
  std::uint32_t long_value(const TiffEntry& e) const { return u32(e.value); }
  bool read_rational(std::uint32_t position, std::uint32_t out[2]);
  // An ASCII field's text up to its first 0, at most `most` bytes, trailing
  // spaces taken off; empty when it is of another type or cannot be read.
  std::string ascii_field(const TiffEntry& e, std::uint32_t most);
  bool read_u32_at(std::int64_t position, std::uint32_t& out);
  bool read_u16_at(std::int64_t position, std::uint16_t& out);
  // Entry `index` of a strip table (offsets or byte counts).
  bool strip_table_entry(std::uint32_t value, std::uint16_t type, std::uint32_t count,
                         std::uint32_t index, std::uint32_t& out);
  Status assemble_strips(const TiffPage& desc, PageBitmap& page);

  bool big_endian_ = false;
  std::uint16_t version_ = 0;
  std::uint32_t first_directory_ = 0;
  std::uint32_t next_directory_ = 0;
  std::vector<TiffEntry> entries_;
  std::vector<std::uint32_t> strip_sizes_;
};

}  // namespace orvane
