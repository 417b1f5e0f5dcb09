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
#include "codec/page_driver.h"
#include "codec/page_rows.h"
#include "codec/row_decoders.h"
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
    failed_ = !sink_.begin(page_, codec.bytes());
    return !failed_;
  }

  // Hands a good row to the sink and the open segment. False once the row
  // data is at its limit or the sink failed: extraction then ends.
  bool good_row(const std::uint8_t* row, const RowBits& coded) {
    const std::int64_t row_bytes = page_.row_bytes;
    if ((std::int64_t(summary_.total_rows) + 1) * row_bytes > kMaxRowFileBytes ||
        summary_.total_rows >= std::uint32_t(INT32_MAX)) {
      return false;
    }
    if (!sink_.row({row, std::size_t(row_bytes)}, coded)) {
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

  // The sink told of what lay between two rows; false once it failed.
  bool gap(bool empty, std::int64_t position) {
    if (!sink_.gap(empty, position)) failed_ = true;
    return !failed_;
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

// The output and the row of an extraction at the codec's width.
bool prepare(const FaxCodec& codec, ExtractionOutput& out, Row& row, std::uint8_t coding) {
  return codec.width >= 1 && codec.width <= limits::kMaxPageSide && out.create(codec, coding) &&
         row.allocate(codec.width, codec.invert);
}

using Pace = Pacer;

// How a coding's rows make segments: the bits of an EOL (and tag) in front
// of a row's codes and of the EOL that ends a good row (for the segment
// bounds); MH keeps a row of the width that a bad code follows, and its
// empty rows (RTC) end a segment.
struct SegmentRules {
  int before = 0;
  int after = 0;
  bool mh = false;
};

// The rows of one decoder into the output, segment by segment. Bad rows
// count towards the result. Each good row is handed on with its whole span
// of coded data: from its EOL (and tag) up to the EOL of the row after it,
// so that rows which follow one another in the data lie back to back.
template <class Decoder>
int extract_rows(Decoder& dec, ExtractionOutput& out, Row& row, Pace& pace, SegmentRules eol) {
  int bad = 0;
  const auto span = [&](std::int64_t after) {
    const std::int64_t start = dec.row_start() - eol.before;
    return RowBits{start, std::max(start, dec.position() - after)};
  };
  while (pace.keep_going(dec.position())) {
    const RowStatus status = dec.next_row(row.begin());
    out.start_here(dec.row_start() - eol.before);
    switch (status) {
      case RowStatus::kRow:
        if (!out.good_row(row.data(), span(eol.after))) return bad;
        out.end_here(dec.position() - eol.after);
        break;
      case RowStatus::kEmpty:
        // An EOL at once (RTC, fill; EOFB in T.6).
        if (eol.mh) out.close_segment();
        out.end_here(dec.position() - eol.after);
        if (eol.after > 0) out.start_here(dec.position() - eol.after);
        if (!out.gap(true, dec.position())) return bad;
        break;
      case RowStatus::kOtherWidth:
      case RowStatus::kBad: {
        // Not a row of the width, or one given up (the decoder finds its
        // own way back): the segment ends there.
        const bool given_up = status == RowStatus::kBad;
        const bool room = !given_up || !eol.mh || dec.pixels() != dec.width() ||
                          out.good_row(row.data(), span(0));
        out.close_segment();
        out.trouble();
        if (given_up) ++bad;
        if (!room || !out.gap(false, dec.position())) return bad;
        break;
      }
      case RowStatus::kLastRow:
        if (out.good_row(row.data(), span(0))) out.end_here(dec.position());
        return bad;
      case RowStatus::kEnd: return bad;
    }
  }
  return bad;
}

// The extraction's result from the rows' and the sink's.
int finish(ExtractionOutput& out, const Pace& pace, int result) {
  if (pace.stopped()) {
    out.finish();
    return kExtractionStopped;
  }
  return out.finish() ? result : -1;
}

}  // namespace

int extract_mh_rows(FaxCodec& codec, ExtractionSink& sink) {
  ExtractionOutput out(sink);
  Row row;
  if (!prepare(codec, out, row, kCodingT4_1D)) return -1;
  MhDecoder dec(codec.reader(), codec.width, codec.invert, MhRows::kToEol);
  dec.resync();  // rows begin after the first EOL
  Pace pace(codec);
  return finish(out, pace, extract_rows(dec, out, row, pace, {12, 12, true}));
}

int extract_mr_rows(FaxCodec& codec, ExtractionSink& sink) {
  ExtractionOutput out(sink);
  Row row;
  if (!prepare(codec, out, row, kCodingT4_2D)) return -1;
  MrDecoder dec(codec.reader(), codec.width, codec.invert, MrRows::kToEol, Recovery::kRecover);
  if (!dec.allocated()) return -1;
  if (!dec.start()) {
    out.finish();
    return -1;
  }
  Pace pace(codec);
  return finish(out, pace, extract_rows(dec, out, row, pace, {13, 12, false}));
}

int extract_t6_rows(FaxCodec& codec, ExtractionSink& sink) {
  ExtractionOutput out(sink);
  Row row;
  if (!prepare(codec, out, row, kCodingT6)) return -1;
  BitReader in = codec.reader();
  in.seek(codec.raw_flag ? 0 : std::int64_t(codec.start_offset) * 8);
  T6Decoder dec(in, codec.width, codec.invert, codec.raw_flag != 0, codec.flag_number,
                Recovery::kRecover);
  if (!dec.allocated()) return -1;
  Pace pace(codec);
  extract_rows(dec, out, row, pace, {0, 0, false});
  // Rows written are kept even when the data ends in something no start
  // search accepts.
  return finish(out, pace, out.total_rows() > 0 ? 0 : END_OF_DATA);
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

namespace {

// Runs the T.6 analysis at the widths extract_t6 tries; on success the codec
// holds the width and the start found.
bool find_t6(FaxCodec& codec, const ExtractionOptions& o) {
  // Data without a start fails at every width (see t6_start_exists).
  if (!t6_start_exists(codec, o.bit_order, o.flag_number)) return false;
  bool found = o.nonstandard_widths &&
               analyse_t6_at_width(codec, o.bit_order, o.min_width, o.threshold, o.flag_number) ==
                   AnalysisResult::kAccepted;
  for (std::size_t i = 0; !found && i < kStandardWidths.size(); ++i) {
    found = analyse_t6_at_width(codec, o.bit_order, kStandardWidths[i], o.threshold,
                                o.flag_number) == AnalysisResult::kAccepted;
  }
  return found;
}

}  // namespace

int extract_t6(FaxCodec& codec, ExtractionSink& sink, const ExtractionOptions& o) {
  if (!sink.clear()) return -1;
  if (!find_t6(codec, o)) return codec.stop_requested() ? kExtractionStopped : -1;
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
  bool begin(const PageBitmap& descriptor, std::span<const std::uint8_t> coded) override {
    began_ = true;
    return next_.clear() && next_.begin(descriptor, coded);
  }
  bool row(std::span<const std::uint8_t> row, const RowBits& coded) override {
    return next_.row(row, coded);
  }
  bool segment(const SegmentEntry& entry) override { return next_.segment(entry); }
  bool gap(bool empty, std::int64_t position) override { return next_.gap(empty, position); }
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

// A stream that lost its way more than once in kCleanRowsPerTrouble good
// rows is in doubt, and the other tries are made too. Data read in the
// wrong bit order loses its way every few rows in MH and MR, but T.6 rows
// end by themselves at the width, so T.6 read the wrong way round can look
// sound for a hundred rows at a time.
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

// The T.6 tries, earliest accepted start first (a stable order: the given
// order on a tie). White rows are V0 codes, single 1 bits that read the same
// in either bit order, so a page with white bands "decodes" the wrong way
// round too, from a start inside the page where a band ends: taken first, that
// try would lose every row above it. The order that explains the data from an
// earlier start is the page's own.
template <typename TrySpan>
void order_by_t6_start(FaxCodec& t6, const ExtractionOptions& options, TrySpan tries) {
  if (tries.size() < 2 || t6.raw_flag) return;  // raw data starts at byte 0 in any order
  std::array<std::int64_t, 4> start{};
  for (std::size_t i = 0; i < tries.size(); ++i) {
    ExtractionOptions o = options;
    o.bit_order = tries[i].order;
    start[i] = find_t6(t6, o) ? t6.start_offset : INT64_MAX;
  }
  for (std::size_t i = 1; i < tries.size(); ++i) {
    for (std::size_t j = i; j > 0 && start[j] < start[j - 1]; --j) {
      std::swap(tries[j], tries[j - 1]);
      std::swap(start[j], start[j - 1]);
    }
  }
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
  for (const bool is_t6 : {false, true}) {
    const std::size_t first = count;
    for (std::size_t i = 0; i < orders.size() && count < tries.size(); ++i)
      tries[count++] = {is_t6, orders[i]};
    if (is_t6) order_by_t6_start(t6, options, std::span(tries).subspan(first, count - first));
  }
  auto run = [&](const Try& t, ExtractionSink& into) {
    ExtractionOptions o = options;
    o.bit_order = t.order;
    return t.t6 ? extract_t6(t6, into, o) : extract(t4, into, o);
  };

  if (!sink.clear()) return -1;
  // While other tries compete, a try's analysis gives up once the data can
  // no longer decode cleanly; only when no try is then accepted at all are
  // they made again to the end of the data.
  t4.clean_only = count > 1;
  t4.gave_up = false;
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
      if (i + 1 == count && best == kNone && t4.clean_only && t4.gave_up) {
        t4.clean_only = false;
        i = SIZE_MAX;  // once more from the first try
      }
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
