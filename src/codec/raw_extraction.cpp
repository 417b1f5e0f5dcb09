#include "codec/raw_extraction.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "base/byte_order.h"
#include "base/coding_mode.h"
#include "base/limits.h"
#include "base/page_bitmap.h"
#include "codec/decode_1d.h"
#include "codec/decode_2d.h"
#include "codec/mh_codes.h"
#include "codec/page_rows.h"
#include "codec/row_writer.h"
#include "codec/run_painter.h"
#include "codec/stream_analysis.h"

namespace orvane::codec {

std::array<std::uint8_t, kIndexEntrySize> store_entry(const SegmentEntry& e) {
  std::array<std::uint8_t, kIndexEntrySize> b{};
  put_le32(&b[0], e.first_byte);
  put_le32(&b[4], e.last_byte);
  put_le32(&b[8], e.rows);
  b[12] = e.start_bit;
  b[13] = e.end_bit;
  return b;
}

SegmentEntry load_entry(std::span<const std::uint8_t, kIndexEntrySize> b) {
  return {le32(&b[0]), le32(&b[4]), le32(&b[8]), b[12], b[13]};
}

std::uint16_t choose_vertical_resolution(std::uint8_t width_class, std::uint32_t m) {
  // Page lengths in rows at 100 and 200 dpi, and the 300 dpi length above
  // which a page is taken as 400 dpi.
  struct Lengths {
    std::uint32_t at100, at200, at300;
  };
  static constexpr Lengths kByClass[] = {
      {1144, 2288, 3432}, {1363, 2726, 4089}, {1617, 3234, 4851}};
  if (width_class < 1 || width_class > 3) return 100;
  const Lengths& l = kByClass[width_class - 1];
  if (m <= l.at100) return 100;
  if (m <= l.at200) return 200;
  if (m > l.at300) return 400;
  return 300;
}

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Creates (truncates) a file; false when it cannot be created.
bool truncate_file(const std::filesystem::path& path) {
  File f(std::fopen(path.c_str(), "wb"));
  return f != nullptr;
}

// A place in the coded data, in bits from the start of byte 0.
std::int64_t bit_offset(const FaxCodec& codec) {
  return std::int64_t(codec.position) * 8 + codec.bits_used;
}

// The two scratch files of one extraction and the open segment.
class ExtractionOutput {
 public:
  // Creates both files and writes their headers (no rows yet, 100 dpi).
  bool create(const std::filesystem::path& row_file, const std::filesystem::path& index_file,
              const FaxCodec& codec, std::uint8_t coding) {
    rows_.reset(std::fopen(row_file.c_str(), "wb"));
    index_.reset(std::fopen(index_file.c_str(), "wb"));
    if (!rows_ || !index_) return false;
    // Rows go out one at a time: a large buffer keeps that to few writes.
    std::setvbuf(rows_.get(), nullptr, _IOFBF, std::size_t(1) << 20);
    data_bits_ = std::int64_t(codec.length) * 8;
    const WidthClass wc = width_class(codec.width);
    page_.width = codec.width;
    page_.row_bytes = row_bytes_for(codec.width);
    page_.planes = 1;
    page_.bits_per_pixel = 1;
    page_.coded_length = std::uint32_t(codec.length);
    page_.xres = wc.dpi;
    page_.yres = 100;
    page_.unit = 2;
    page_.bit_order = codec.bit_order;
    page_.coding = coding;
    page_.width_class = wc.paper;
    page_.invert = codec.invert;
    write_row_header();
    header_.fill(0);
    put_le32(&header_[kIndexWidthAt], std::uint32_t(codec.width));
    header_[kIndexBitOrderAt] = codec.bit_order;
    header_[kIndexCodingAt] = coding;
    header_[kIndexWidthClassAt] = wc.paper;
    write_index_header();
    return !failed_;
  }

  // Appends a good row to the row file and the open segment. False once
  // the row file is full or a write failed: extraction then ends.
  bool good_row(const std::uint8_t* row) {
    const std::int64_t row_bytes = page_.row_bytes;
    if ((std::int64_t(total_rows_) + 1) * row_bytes > kMaxRowFileBytes ||
        total_rows_ >= std::uint32_t(INT32_MAX)) {
      return false;
    }
    if (std::fwrite(row, 1, std::size_t(row_bytes), rows_.get()) != std::size_t(row_bytes)) {
      failed_ = true;
      return false;
    }
    ++total_rows_;
    ++segment_.rows;
    return true;
  }

  // While the segment has no rows, every new place moves its start.
  void start_here(std::int64_t bits) {
    if (segment_.rows != 0) return;
    bits = std::clamp<std::int64_t>(bits, 0, data_bits_);
    segment_.first_byte = std::uint32_t(bits / 8);
    segment_.start_bit = std::uint8_t(bits % 8);
  }
  void end_here(std::int64_t bits) {
    bits = std::clamp<std::int64_t>(bits, 0, data_bits_);
    // An end on a byte boundary is kept as the whole byte before it, so the
    // entry never names a byte past the data.
    if (bits > 0 && bits % 8 == 0) {
      segment_.last_byte = std::uint32_t(bits / 8 - 1);
      segment_.end_bit = 8;
    } else {
      segment_.last_byte = std::uint32_t(bits / 8);
      segment_.end_bit = std::uint8_t(bits % 8);
    }
  }

  void close_segment() {
    if (segment_.rows == 0) return;
    const auto bytes = store_entry(segment_);
    if (std::fwrite(bytes.data(), 1, bytes.size(), index_.get()) != bytes.size()) failed_ = true;
    ++entries_;
    longest_ = std::max(longest_, segment_.rows);
    segment_.rows = 0;
  }

  std::uint32_t total_rows() const { return total_rows_; }

  // Closes the segment, chooses the vertical resolution and rewrites both
  // headers. False when any write failed.
  bool finish() {
    close_segment();
    put_le32(&header_[kIndexEntryCountAt], entries_);
    put_le32(&header_[kIndexTotalRowsAt], total_rows_);
    if (entries_ > 0) {
      put_le32(&header_[kIndexLongestAt], longest_);
      page_.yres = choose_vertical_resolution(page_.width_class, longest_);
      put_le16(&header_[kIndexVresAt], page_.yres);
    }
    write_index_header();
    page_.height = std::int32_t(total_rows_);
    write_row_header();
    if (std::fclose(rows_.release()) != 0) failed_ = true;
    if (std::fclose(index_.release()) != 0) failed_ = true;
    return !failed_;
  }

 private:
  void write_row_header() {
    const auto bytes = store_descriptor(page_);
    if (std::fseek(rows_.get(), 0, SEEK_SET) != 0 ||
        std::fwrite(bytes.data(), 1, bytes.size(), rows_.get()) != bytes.size() ||
        std::fseek(rows_.get(), 0, SEEK_END) != 0) {
      failed_ = true;
    }
  }
  void write_index_header() {
    if (std::fseek(index_.get(), 0, SEEK_SET) != 0 ||
        std::fwrite(header_.data(), 1, header_.size(), index_.get()) != header_.size() ||
        std::fseek(index_.get(), 0, SEEK_END) != 0) {
      failed_ = true;
    }
  }

  File rows_, index_;
  PageBitmap page_;
  std::array<std::uint8_t, kIndexHeaderSize> header_{};
  SegmentEntry segment_;
  std::uint32_t entries_ = 0;
  std::uint32_t total_rows_ = 0;
  std::uint32_t longest_ = 0;
  std::int64_t data_bits_ = 0;
  bool failed_ = false;
};

// The row every extractor decodes into. As a page's rows, it starts each
// row as white, so that only the other colour is painted; the painter's
// end_row() must run before the row is used.
class Row {
 public:
  bool allocate(std::int32_t width, std::uint8_t invert) {
    background_ = page_background(invert);
    try {
      bytes_.assign(std::size_t(row_bytes_for(width)), 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return !bytes_.empty();
  }
  RunPainter begin() {
    std::fill(bytes_.begin(), bytes_.end(), background_);
    return RunPainter(bytes_.data(), std::uint32_t(bytes_.size()), background_ != 0);
  }
  const std::uint8_t* data() const { return bytes_.data(); }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint8_t background_ = 0;
};

// Where the EOL just read began: 12 bits before the cursor (T.4 4.1.2), 13
// when its tag bit has been read too (T.4 4.2.1.3).
std::int64_t eol_start(const FaxCodec& codec, int bits) {
  return bit_offset(codec) - bits;
}

bool width_usable(std::int32_t width) {
  return width >= 1 && width <= limits::kMaxPageSide;
}

// Asked between rows: false once the caller wants a stop; every few
// thousand rows it also says how far into the data the extraction is.
class Pace {
 public:
  explicit Pace(const FaxCodec& codec) : codec_(codec) {}
  bool keep_going() {
    if (!codec_.control) return true;
    if (codec_.control->stop_requested()) return !(stopped_ = true);
    if (++rows_ >= 4096) {
      rows_ = 0;
      codec_.control->report(codec_.position, codec_.length);
    }
    return true;
  }
  bool stopped() const { return stopped_; }

 private:
  const FaxCodec& codec_;
  std::uint32_t rows_ = 0;
  bool stopped_ = false;
};

}  // namespace

int extract_mh_rows(FaxCodec& codec, const std::filesystem::path& row_file,
                    const std::filesystem::path& index_file) {
  const std::int32_t width = codec.width;
  ExtractionOutput out;
  Row row;
  if (!width_usable(width) || !out.create(row_file, index_file, codec, kCodingT4_1D) ||
      !row.allocate(width, codec.invert)) {
    return -1;
  }
  int bad = 0;
  bool room = true;
  MhRow line;
  Pace pace(codec);
  if (codec.find_eol() >= 0) {
    out.start_here(eol_start(codec, 12));
    while (room && pace.keep_going()) {
      // Each pass decodes one row, from white, up to what ends it.
      line = MhRow{};
      MhStop stop;
      {
        BitCursor in(codec);
        RunPainter paint = row.begin();
        stop = decode_mh_codes(in, paint, nullptr, line, std::int64_t(width) + 1, codec.invert);
        in.store();
        paint.end_row();
      }
      if (stop == MhStop::kEndOfData) break;
      if (stop == MhStop::kEol) {
        const std::int64_t eol = eol_start(codec, 12);
        if (line.pixels == width) {
          room = out.good_row(row.data());
        } else {
          // Short rows and the empty rows of RTC end the segment.
          out.close_segment();
        }
        out.end_here(eol);
        out.start_here(eol);
        continue;
      }
      if (stop == MhStop::kBadCode) {
        if (line.pixels == width) room = out.good_row(row.data());
        out.close_segment();
        ++bad;
      } else {
        out.close_segment();  // longer than the width
      }
      if (!room || codec.find_eol() < 0) break;
      out.start_here(eol_start(codec, 12));
    }
    // Data that ends right after a full row still gives that row.
    if (room && !pace.stopped() && line.pixels == width && out.good_row(row.data()))
      out.end_here(bit_offset(codec));
  }
  if (pace.stopped()) {
    out.finish();
    return kExtractionStopped;
  }
  return out.finish() ? bad : -1;
}

int extract_mr_rows(FaxCodec& codec, const std::filesystem::path& row_file,
                    const std::filesystem::path& index_file) {
  const std::int32_t width = codec.width;
  ExtractionOutput out;
  Row row;
  LinePair lines;
  if (!width_usable(width) || !out.create(row_file, index_file, codec, kCodingT4_2D) ||
      !row.allocate(width, codec.invert) || !lines.allocate(std::uint32_t(width) + 1)) {
    return -1;
  }
  if (!find_1d_row(codec)) {
    out.finish();
    return -1;
  }
  out.start_here(eol_start(codec, 13));
  int bad = 0;
  int tag = 1;
  Pace pace(codec);
  while (pace.keep_going()) {
    RunPainter paint = row.begin();
    lines.clear_coding();
    const int r = tag == 1 ? decode_row_to_eol(codec, paint, &lines.coding())
                           : decode_2d_row(codec, paint, lines, false);
    paint.end_row();
    if (r == width) {
      if (!out.good_row(row.data())) break;
      lines.accept_coding();
      out.end_here(eol_start(codec, 12));
      tag = codec.read_bits(1);
      if (tag < 0) break;
      continue;
    }
    if (r == 0) {
      // An EOL at once (RTC, fill): the segment stays open.
      const std::int64_t eol = eol_start(codec, 12);
      out.end_here(eol);
      out.start_here(eol);
      tag = codec.read_bits(1);
      if (tag < 0) break;
      continue;
    }
    if (r == END_AFTER_ROW) {
      if (out.good_row(row.data())) out.end_here(bit_offset(codec));
      break;
    }
    if (r == END_OF_DATA) break;
    // A wrong length or a bad code: resume at the next 1D row, the only
    // kind that decodes without a reference.
    out.close_segment();
    ++bad;
    if (!find_1d_row(codec)) break;
    tag = 1;
    out.start_here(eol_start(codec, 13));
  }
  if (pace.stopped()) {
    out.finish();
    return kExtractionStopped;
  }
  return out.finish() ? bad : -1;
}

int extract_t6_rows(FaxCodec& codec, const std::filesystem::path& row_file,
                    const std::filesystem::path& index_file) {
  const std::int32_t width = codec.width;
  ExtractionOutput out;
  Row row;
  LinePair lines;
  if (!width_usable(width) || !out.create(row_file, index_file, codec, kCodingT6) ||
      !row.allocate(width, codec.invert) || !lines.allocate(std::uint32_t(width) + 1)) {
    return -1;
  }
  lines.reset_reference(width);
  Pace pace(codec);
  while (pace.keep_going()) {
    out.start_here(bit_offset(codec));
    RunPainter paint = row.begin();
    lines.clear_coding();
    const int r = decode_2d_row(codec, paint, lines, true);
    paint.end_row();
    if (r >= 0) {
      if (!out.good_row(row.data())) break;
      lines.accept_coding();
      out.end_here(bit_offset(codec));
      continue;
    }
    if (r == EOL_SEEN) {
      // EOFB between pages, or an EOL: the next row starts from white.
      lines.reset_reference(width);
      out.end_here(bit_offset(codec));
      continue;
    }
    if (r == BAD_CODE) {
      out.close_segment();
      if (find_t6_start(codec, T6Search::kHere) < 0) break;
      lines.reset_reference(width);
      continue;
    }
    if (r == END_AFTER_ROW && out.good_row(row.data())) out.end_here(bit_offset(codec));
    break;
  }
  const bool any_rows = out.total_rows() > 0;
  if (pace.stopped()) {
    out.finish();
    return kExtractionStopped;
  }
  if (!out.finish()) return -1;
  // Rows written are kept even when the data ends in something no start
  // search accepts.
  return any_rows ? 0 : END_OF_DATA;
}

int extract(FaxCodec& codec, const std::filesystem::path& row_file,
            const std::filesystem::path& index_file, const ExtractionOptions& o) {
  if (!truncate_file(row_file) || !truncate_file(index_file)) return -1;
  if (codec.stop_requested()) return kExtractionStopped;
  if (analyse_mh_standard(codec, o.bit_order, o.threshold) == kAnalysisAccepted ||
      (o.nonstandard_widths &&
       analyse_mh_any_width(codec, o.bit_order, o.threshold, o.min_width) == kAnalysisAccepted)) {
    return extract_mh_rows(codec, row_file, index_file);
  }
  if (analyse_mr_standard(codec, o.bit_order, o.threshold) == kAnalysisAccepted ||
      (o.nonstandard_widths &&
       analyse_mr_any_width(codec, o.bit_order, o.threshold, o.min_width) == kAnalysisAccepted)) {
    return extract_mr_rows(codec, row_file, index_file);
  }
  return codec.stop_requested() ? kExtractionStopped : -1;
}

int extract_t6(FaxCodec& codec, const std::filesystem::path& row_file,
               const std::filesystem::path& index_file, const ExtractionOptions& o) {
  if (!truncate_file(row_file) || !truncate_file(index_file)) return -1;
  // Data without a start fails at every width (see t6_start_exists).
  if (!t6_start_exists(codec, o.bit_order, o.flag_number)) return -1;
  bool found = o.nonstandard_widths &&
               analyse_t6_at_width(codec, o.bit_order, o.min_width, o.threshold, o.flag_number) ==
                   kAnalysisAccepted;
  for (std::size_t i = 0; !found && i < kStandardWidths.size(); ++i) {
    found = analyse_t6_at_width(codec, o.bit_order, kStandardWidths[i], o.threshold,
                                o.flag_number) == kAnalysisAccepted;
  }
  if (!found) return codec.stop_requested() ? kExtractionStopped : -1;
  codec.position = codec.raw_flag ? 0 : codec.start_offset;
  codec.bits_used = 0;
  codec.load_byte(false);
  return extract_t6_rows(codec, row_file, index_file);
}

}  // namespace orvane::codec
