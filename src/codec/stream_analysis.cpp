#include "codec/stream_analysis.h"

#include <algorithm>

#include "base/coding_mode.h"
#include "base/limits.h"
#include "codec/decode_1d.h"
#include "codec/decode_2d.h"
#include "codec/row_writer.h"

namespace orvane::codec {
namespace {

// A T.6 start candidate that fails is followed by a search from the byte
// after it, so a long stretch of data can be decoded once per candidate.
// The bytes decoded over all failed candidates are capped at this multiple
// of the data length (plus a constant for short data) to keep the analysis
// linear in the data length.
constexpr std::int64_t kT6WorkPerByte = 2;
constexpr std::int64_t kT6WorkSlack = 256 * 1024;

// Rows are decoded only to be measured: the pixel count comes from the
// decoder, and nothing reads the pixels. So the analyses give the decoders a
// writer without a row, which refuses every run at once; on data that is not
// fax data a trial may start a row at nearly every bit, and filling rows of
// up to 4864 pixels there would be most of the work.
class MeasuringWriter {
 public:
  RowWriter& begin_row() {
    writer_.start(nullptr, 0);
    return writer_;
  }

 private:
  RowWriter writer_;
};

// Every analysis leaves the cursor at the start of the data, whatever the
// outcome, so the next trial or the decoder begins from byte 0.
class RewindOnExit {
 public:
  explicit RewindOnExit(FaxCodec& codec) : codec_(codec) {}
  ~RewindOnExit() { codec_.rewind(codec_.bytes()); }
  RewindOnExit(const RewindOnExit&) = delete;
  RewindOnExit& operator=(const RewindOnExit&) = delete;

 private:
  FaxCodec& codec_;
};

bool is_standard_width(int w) {
  return std::find(kStandardWidths.begin(), kStandardWidths.end(), w) != kStandardWidths.end();
}

// A threshold of 0 would accept before a single row was seen (with width
// -1 for MH); one row is the least evidence we accept.
int effective_threshold(std::uint16_t threshold) {
  return std::max<int>(threshold, 1);
}

// A row must have at least one pixel to count, whatever minimum width the
// user gave (an empty row would give a page of width 0).
std::int32_t effective_min_width(std::int32_t min_width) {
  return std::max<std::int32_t>(min_width, 0);
}

// One MR row: tag 1 rows are Modified Huffman up to the EOL, tag 0 rows are
// coded against the reference line (T.4 4.2).
int decode_mr_row(FaxCodec& codec, MeasuringWriter& scratch, LinePair& lines, int tag) {
  RowWriter& writer = scratch.begin_row();
  lines.clear_coding();
  if (tag == 1) return decode_row_to_eol(codec, writer, &lines.coding());
  return decode_2d_row(codec, writer, lines, false);
}

// Sum of the runs on the coding line: the pixels a row wrote before it
// stopped (used when a T.6 row ends at an EOL).
std::int64_t coding_total(LinePair& lines) {
  const RunList& line = lines.coding();
  return line.at != nullptr ? line.at[line.count] : 0;
}

}  // namespace

AnalysisResult analyse_mh_standard(FaxCodec& codec, std::uint8_t bit_order,
                                   std::uint16_t threshold) {
  RewindOnExit rewind(codec);
  MeasuringWriter scratch;
  codec.bit_order = bit_order;
  codec.rewind(codec.bytes());
  codec.width = -1;
  const int needed = effective_threshold(threshold);
  int count = 0;
  if (codec.find_eol() < 0) return AnalysisResult::kNotAccepted;
  while (count < needed) {
    if (!codec.keep_going()) return AnalysisResult::kStopped;
    const int r = decode_row_to_eol(codec, scratch.begin_row(), nullptr);
    if (r == END_OF_DATA) return AnalysisResult::kNotAccepted;
    if (r >= 0 && is_standard_width(r)) {
      if (r == codec.width) {
        ++count;
      } else {
        codec.width = r;
        count = 1;
      }
      continue;
    }
    // A bad code, another length or the data ending after a row: the next
    // clean run of rows has to start again from the following EOL.
    if (codec.find_eol() < 0) return AnalysisResult::kNotAccepted;
    count = 0;
  }
  return AnalysisResult::kAccepted;
}

AnalysisResult analyse_mh_any_width(FaxCodec& codec, std::uint8_t bit_order,
                                    std::uint16_t threshold, std::int32_t min_width) {
  RewindOnExit rewind(codec);
  MeasuringWriter scratch;
  codec.bit_order = bit_order;
  codec.rewind(codec.bytes());
  const int needed = effective_threshold(threshold);
  const std::int32_t minimum = effective_min_width(min_width);
  std::int32_t candidate = -1;
  int count = 0;
  codec.width = candidate;
  if (codec.find_eol() < 0) return AnalysisResult::kNotAccepted;
  while (count < needed) {
    if (!codec.keep_going()) return AnalysisResult::kStopped;
    const int r = decode_row_to_eol(codec, scratch.begin_row(), nullptr);
    if (r == END_OF_DATA) return AnalysisResult::kNotAccepted;
    // A row wider than any page can be is as good as a bad code.
    if (r == BAD_CODE || r > limits::kMaxPageSide) {
      if (codec.find_eol() < 0) return AnalysisResult::kNotAccepted;
      count = 0;
      candidate = -1;
      continue;
    }
    if (r <= minimum) continue;  // short rows (and RTC) are passed over
    if (r == candidate) {
      ++count;
      continue;
    }
    if (candidate > 0 && codec.find_eol() < 0) return AnalysisResult::kNotAccepted;
    candidate = r;
    count = 1;
  }
  codec.width = candidate;
  return AnalysisResult::kAccepted;
}

AnalysisResult analyse_mr_standard(FaxCodec& codec, std::uint8_t bit_order,
                                   std::uint16_t threshold) {
  RewindOnExit rewind(codec);
  MeasuringWriter scratch;
  LinePair lines;
  if (!lines.allocate(kWidestStandard + 1)) return AnalysisResult::kNoMemory;
  codec.bit_order = bit_order;
  codec.rewind(codec.bytes());
  // The widest width while searching, so that the coding line takes every
  // run a standard row can have.
  codec.width = kWidestStandard;
  const int needed = effective_threshold(threshold);
  int count = 0;
  if (!find_1d_row(codec)) return AnalysisResult::kNotAccepted;
  int tag = 1;
  while (count < needed) {
    if (!codec.keep_going()) return AnalysisResult::kStopped;
    const int r = decode_mr_row(codec, scratch, lines, tag);
    if (r == END_OF_DATA) return AnalysisResult::kNotAccepted;
    if (r >= 0 && r <= kWidestStandard && is_standard_width(r)) {
      if (r == codec.width) {
        ++count;
      } else {
        codec.width = r;
        count = 1;
      }
      lines.accept_coding();
      if (count >= needed) break;
      tag = codec.read_bits(1);
      if (tag < 0) return AnalysisResult::kNotAccepted;
      continue;
    }
    if (!find_1d_row(codec)) return AnalysisResult::kNotAccepted;
    tag = 1;
    count = 0;
  }
  return AnalysisResult::kAccepted;
}

AnalysisResult analyse_mr_any_width(FaxCodec& codec, std::uint8_t bit_order,
                                    std::uint16_t threshold, std::int32_t min_width) {
  RewindOnExit rewind(codec);
  MeasuringWriter scratch;
  LinePair lines;
  if (!lines.allocate(kWidestStandard + 1)) return AnalysisResult::kNoMemory;
  codec.bit_order = bit_order;
  codec.rewind(codec.bytes());
  codec.width = kWidestStandard;
  const int needed = effective_threshold(threshold);
  const std::int32_t minimum = effective_min_width(min_width);
  std::int32_t candidate = -1;
  int count = 0;
  if (!find_1d_row(codec)) return AnalysisResult::kNotAccepted;
  int tag = 1;
  while (count < needed) {
    if (!codec.keep_going()) return AnalysisResult::kStopped;
    const int r = decode_mr_row(codec, scratch, lines, tag);
    if (r == END_OF_DATA) return AnalysisResult::kNotAccepted;
    if (r == BAD_CODE || r > kWidestStandard) {
      if (!find_1d_row(codec)) return AnalysisResult::kNotAccepted;
      tag = 1;
      count = 0;
      candidate = -1;
      continue;
    }
    if (r > minimum && r != candidate && candidate > 0) {
      // A new width in mid-stream: start counting at the next row that
      // needs no reference.
      if (!find_1d_row(codec)) return AnalysisResult::kNotAccepted;
      tag = 1;
      candidate = codec.width = r;
      count = 1;
      continue;
    }
    if (r > minimum) {
      if (r == candidate) {
        ++count;
      } else {
        candidate = codec.width = r;
        count = 1;
      }
      lines.accept_coding();
      if (count >= needed) break;
    }
    // Rows at or below the minimum are passed over; the count is kept.
    tag = codec.read_bits(1);
    if (tag < 0) return AnalysisResult::kNotAccepted;
  }
  codec.width = candidate;
  return AnalysisResult::kAccepted;
}

AnalysisResult analyse_t6_at_width(FaxCodec& codec, std::uint8_t bit_order, std::int32_t width,
                                   std::uint16_t threshold, std::uint8_t flag_number) {
  RewindOnExit rewind(codec);
  codec.bit_order = bit_order;
  codec.rewind(codec.bytes());
  codec.width = width;
  codec.flag_number = flag_number;
  if (width < 1 || width > limits::kMaxPageSide) return AnalysisResult::kNotAccepted;
  MeasuringWriter scratch;
  LinePair lines;
  const std::uint32_t runs = std::uint32_t(std::max(width, kWidestStandard)) + 1;
  if (!lines.allocate(runs)) return AnalysisResult::kNoMemory;
  const int needed = effective_threshold(threshold);
  const std::int64_t budget = kT6WorkPerByte * std::int64_t(codec.length) + kT6WorkSlack;
  std::int64_t work = 0;
  int count = 0;

  lines.reset_reference(width);
  if (find_t6_start(codec, T6Search::kFirst) < 0) return AnalysisResult::kNotAccepted;
  std::int64_t candidate_position = codec.position;
  while (count < needed) {
    if (!codec.keep_going()) return AnalysisResult::kStopped;
    lines.clear_coding();
    const int r = decode_2d_row(codec, scratch.begin_row(), lines, true);
    if (r == END_OF_DATA) return AnalysisResult::kNotAccepted;
    std::int64_t total = r;
    if (r == END_AFTER_ROW) total = width;
    if (r == EOL_SEEN) total = coding_total(lines);
    if (total == width) {
      ++count;
      lines.accept_coding();
      continue;
    }
    // Try the next start candidate with a white reference line.
    work += std::max<std::int64_t>(0, std::int64_t(codec.position) - candidate_position);
    if (work > budget) return AnalysisResult::kNotAccepted;
    if (find_t6_start(codec, T6Search::kNext) < 0) return AnalysisResult::kNotAccepted;
    candidate_position = codec.position;
    lines.reset_reference(width);
    count = 0;
  }
  return AnalysisResult::kAccepted;
}

bool guess_coding(FaxCodec& codec, StreamGuess& guess) {
  constexpr std::int32_t kMinimum = 1728;
  struct Trial {
    AnalysisResult (*analyse)(FaxCodec&, std::uint8_t, std::uint16_t, std::int32_t);
    std::uint8_t coding;
  };
  // The standard-width analyses take no minimum; wrap them to one shape.
  const Trial trials[] = {
      {[](FaxCodec& c, std::uint8_t o, std::uint16_t t, std::int32_t) {
         return analyse_mh_standard(c, o, t);
       },
       kCodingT4_1D},
      {analyse_mh_any_width, kCodingT4_1D},
      {[](FaxCodec& c, std::uint8_t o, std::uint16_t t, std::int32_t) {
         return analyse_mr_standard(c, o, t);
       },
       kCodingT4_2D},
      {analyse_mr_any_width, kCodingT4_2D},
  };
  for (const Trial& trial : trials) {
    for (std::uint8_t order : {std::uint8_t{1}, std::uint8_t{2}}) {
      if (trial.analyse(codec, order, guess.threshold, kMinimum) == AnalysisResult::kAccepted) {
        guess.width = codec.width;
        guess.bit_order = codec.bit_order;
        guess.coding = trial.coding;
        return true;
      }
    }
  }
  return false;
}

bool guess_t6(FaxCodec& codec, StreamGuess& guess) {
  // A bit order whose data holds no start fails at every width: its trials
  // are passed over rather than run to the end of the data each.
  const bool starts[2] = {t6_start_exists(codec, 1, guess.flag_number),
                          t6_start_exists(codec, 2, guess.flag_number)};
  for (std::int32_t width : kStandardWidths) {
    for (std::uint8_t order : {std::uint8_t{1}, std::uint8_t{2}}) {
      if (starts[order - 1] &&
          analyse_t6_at_width(codec, order, width, guess.threshold, guess.flag_number) ==
              AnalysisResult::kAccepted) {
        guess.start_offset = codec.start_offset;
        guess.width = width;
        guess.bit_order = order;
        guess.coding = kCodingT6;
        return true;
      }
    }
  }
  return false;
}

}  // namespace orvane::codec
