#include "codec/raw_extraction.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "base/byte_order.h"
#include "base/coding_mode.h"
#include "base/limits.h"
#include "base/page_bitmap.h"
#include "base/page_lengths.h"
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
  // The least resolution whose page length holds the segment; past the
  // 300 dpi length a page is taken as 400 dpi.
  if (width_class < 1 || width_class > 3) return 100;
  const auto& rows = kPageRows[width_class - 1];
  for (std::size_t i = 0; i + 1 < rows.size(); ++i)
    if (m <= rows[i]) return kPageRowsDpi[i];
  return kPageRowsDpi.back();
}

namespace {

// A place in the coded data, in bits from the start of byte 0.
std::int64_t bit_offset(const FaxCodec& codec) {
  return std::int64_t(codec.position) * 8 + codec.bits_used;
}

// The open segment of one extraction and the counts the sink is told at the
// end.
class ExtractionOutput {
 public:
  explicit ExtractionOutput(ExtractionSink& sink) : sink_(sink) {}

  // Describes the page to the sink (no rows yet, 100 dpi).
  bool create(const FaxCodec& codec, std::uint8_t coding) {
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
    failed_ = !sink_.begin(page_);
    return !failed_;
  }

  // Hands a good row to the sink and the open segment. False once the row
  // data is at its limit or the sink failed: extraction then ends.
  bool good_row(const std::uint8_t* row) {
    const std::int64_t row_bytes = page_.row_bytes;
    if ((std::int64_t(summary_.total_rows) + 1) * row_bytes > kMaxRowFileBytes ||
        summary_.total_rows >= std::uint32_t(INT32_MAX)) {
      return false;
    }
    if (!sink_.row({row, std::size_t(row_bytes)})) {
      failed_ = true;
      return false;
    }
    ++summary_.total_rows;
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
    if (!sink_.segment(segment_)) failed_ = true;
    ++summary_.entries;
    summary_.longest = std::max(summary_.longest, segment_.rows);
    segment_.rows = 0;
  }

  std::uint32_t total_rows() const { return summary_.total_rows; }
  void trouble() {
    if (summary_.troubles != UINT32_MAX) ++summary_.troubles;
  }

  // Closes the segment, chooses the vertical resolution and tells the
  // sink. False when the sink failed at any step.
  bool finish() {
    close_segment();
    if (summary_.entries > 0)
      page_.yres = choose_vertical_resolution(page_.width_class, summary_.longest);
    page_.height = std::int32_t(summary_.total_rows);
    if (!sink_.finish(page_, summary_)) failed_ = true;
    return !failed_;
  }

 private:
  ExtractionSink& sink_;
  PageBitmap page_;
  SegmentEntry segment_;
  ExtractionSummary summary_;
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

int extract_mh_rows(FaxCodec& codec, ExtractionSink& sink) {
  const std::int32_t width = codec.width;
  ExtractionOutput out(sink);
  Row row;
  if (!width_usable(width) || !out.create(codec, kCodingT4_1D) ||
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
          if (line.pixels != 0) out.trouble();
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
      out.trouble();
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

int extract_mr_rows(FaxCodec& codec, ExtractionSink& sink) {
  const std::int32_t width = codec.width;
  ExtractionOutput out(sink);
  Row row;
  LinePair lines;
  if (!width_usable(width) || !out.create(codec, kCodingT4_2D) ||
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
    out.trouble();
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

int extract_t6_rows(FaxCodec& codec, ExtractionSink& sink) {
  const std::int32_t width = codec.width;
  ExtractionOutput out(sink);
  Row row;
  LinePair lines;
  if (!width_usable(width) || !out.create(codec, kCodingT6) || !row.allocate(width, codec.invert) ||
      !lines.allocate(std::uint32_t(width) + 1)) {
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
      out.trouble();
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

int extract(FaxCodec& codec, ExtractionSink& sink, const ExtractionOptions& o) {
  if (!sink.clear()) return -1;
  if (codec.stop_requested()) return kExtractionStopped;
  if (analyse_mh_standard(codec, o.bit_order, o.threshold) == AnalysisResult::kAccepted ||
      (o.nonstandard_widths && analyse_mh_any_width(codec, o.bit_order, o.threshold, o.min_width) ==
                                   AnalysisResult::kAccepted)) {
    return extract_mh_rows(codec, sink);
  }
  if (analyse_mr_standard(codec, o.bit_order, o.threshold) == AnalysisResult::kAccepted ||
      (o.nonstandard_widths && analyse_mr_any_width(codec, o.bit_order, o.threshold, o.min_width) ==
                                   AnalysisResult::kAccepted)) {
    return extract_mr_rows(codec, sink);
  }
  return codec.stop_requested() ? kExtractionStopped : -1;
}

int extract_t6(FaxCodec& codec, ExtractionSink& sink, const ExtractionOptions& o) {
  if (!sink.clear()) return -1;
  // Data without a start fails at every width (see t6_start_exists).
  if (!t6_start_exists(codec, o.bit_order, o.flag_number)) return -1;
  bool found = o.nonstandard_widths &&
               analyse_t6_at_width(codec, o.bit_order, o.min_width, o.threshold, o.flag_number) ==
                   AnalysisResult::kAccepted;
  for (std::size_t i = 0; !found && i < kStandardWidths.size(); ++i) {
    found = analyse_t6_at_width(codec, o.bit_order, kStandardWidths[i], o.threshold,
                                o.flag_number) == AnalysisResult::kAccepted;
  }
  if (!found) return codec.stop_requested() ? kExtractionStopped : -1;
  codec.position = codec.raw_flag ? 0 : codec.start_offset;
  codec.bits_used = 0;
  codec.load_byte(false);
  return extract_t6_rows(codec, sink);
}

namespace {

// Passes a try on to the sink and keeps its summary. The sink is cleared
// only when the try's extraction begins, so a try that no analysis accepts
// leaves the sink holding the try before it.
class TryTap : public ExtractionSink {
 public:
  explicit TryTap(ExtractionSink& next) : next_(next) {}
  bool clear() override {
    summary_ = {};
    return true;
  }
  bool begin(const PageBitmap& descriptor) override {
    began_ = true;
    return next_.clear() && next_.begin(descriptor);
  }
  bool row(std::span<const std::uint8_t> row) override { return next_.row(row); }
  bool segment(const SegmentEntry& entry) override { return next_.segment(entry); }
  bool finish(const PageBitmap& descriptor, const ExtractionSummary& summary) override {
    summary_ = summary;
    return next_.finish(descriptor, summary);
  }
  bool began() const { return began_; }
  const ExtractionSummary& summary() const { return summary_; }

 private:
  ExtractionSink& next_;
  ExtractionSummary summary_;
  bool began_ = false;
};

// A stream that lost its way more than once in this many good rows is in
// doubt, and the other tries are made too. Data read in the wrong bit
// order loses its way every few rows in MH and MR, but T.6 rows end by
// themselves at the width, so T.6 read the wrong way round can look sound
// for a hundred rows at a time.
constexpr std::uint64_t kCleanRowsPerTrouble = 1024;

bool decodes_cleanly(const ExtractionSummary& s) {
  return s.total_rows > 0 && std::uint64_t(s.troubles) * kCleanRowsPerTrouble <= s.total_rows;
}

// True when a lost its way in a smaller share of its rows than b.
bool cleaner(const ExtractionSummary& a, const ExtractionSummary& b) {
  if (a.total_rows == 0) return false;
  if (b.total_rows == 0) return true;
  const std::uint64_t a_all = std::uint64_t(a.total_rows) + a.troubles;
  const std::uint64_t b_all = std::uint64_t(b.total_rows) + b.troubles;
  return std::uint64_t(a.troubles) * b_all < std::uint64_t(b.troubles) * a_all;
}

}  // namespace

int extract_cleanest(FaxCodec& t4, FaxCodec& t6, ExtractionSink& sink,
                     const ExtractionOptions& options, std::span<const std::uint8_t> orders) {
  struct Try {
    bool t6 = false;
    std::uint8_t order = 1;
  };
  std::array<Try, 4> tries{};
  std::size_t count = 0;
  for (const bool is_t6 : {false, true})
    for (std::size_t i = 0; i < orders.size() && count < tries.size(); ++i)
      tries[count++] = {is_t6, orders[i]};
  auto run = [&](const Try& t, ExtractionSink& into) {
    ExtractionOptions o = options;
    o.bit_order = t.order;
    return t.t6 ? extract_t6(t6, into, o) : extract(t4, into, o);
  };

  if (!sink.clear()) return -1;
  int result = -1;
  constexpr std::size_t kNone = SIZE_MAX;
  std::size_t in_sink = kNone;  // the try whose rows the sink holds
  std::size_t best = kNone;
  int best_result = -1;
  ExtractionSummary best_fit;
  for (std::size_t i = 0; i < count; ++i) {
    TryTap tap(sink);
    const int r = run(tries[i], tap);
    if (r == kExtractionStopped) return r;
    if (tap.began()) in_sink = i;
    if (r < 0) {
      if (best == kNone) result = r;
      continue;
    }
    if (decodes_cleanly(tap.summary())) return r;
    if (best == kNone || cleaner(tap.summary(), best_fit)) {
      best = i;
      best_result = r;
      best_fit = tap.summary();
    }
  }
  if (best == kNone) {
    // A try that began and failed may have left rows behind.
    if (in_sink != kNone && !sink.clear()) return -1;
    return result;
  }
  return best == in_sink ? best_result : run(tries[best], sink);
}

}  // namespace orvane::codec
