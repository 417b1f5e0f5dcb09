#include "codec/stream_analysis.h"

#include <algorithm>
#include <type_traits>

#include "base/coding_mode.h"
#include "base/limits.h"
#include "codec/row_decoders.h"

namespace orvane::codec {
namespace {

// A T.6 start candidate that fails is followed by a search from the byte
// after it, so a long stretch of data can be decoded once per candidate.
// The bytes decoded over all failed candidates are capped at this multiple
// of the data length (plus a constant for short data) to keep the analysis
// linear in the data length.
constexpr std::int64_t kT6WorkPerByte = 2;
constexpr std::int64_t kT6WorkSlack = 256 * 1024;

bool is_standard_width(std::int64_t w) {
  return std::find(kStandardWidths.begin(), kStandardWidths.end(), w) != kStandardWidths.end();
}

// A threshold of 0 would accept before a single row was seen; one row is
// the least evidence we accept.
int effective_threshold(std::uint16_t threshold) {
  return std::max<int>(threshold, 1);
}

// A row must have at least one pixel to count, whatever minimum width the
// user gave (an empty row would give a page of width 0).
std::int32_t effective_min_width(std::int32_t min_width) {
  return std::max<std::int32_t>(min_width, 0);
}

// The codec's data in the bit order to try. Rows are only measured: the
// pixel count comes from the decoder, and no row is painted.
BitReader reader_for(FaxCodec& codec, std::uint8_t bit_order) {
  codec.bit_order = bit_order;
  return codec.reader();
}

// The troubles a trial may still meet (see clean_only).
class Troubles {
 public:
  explicit Troubles(FaxCodec& codec)
      : codec_(codec),
        left_(codec.clean_only
                  ? std::int64_t(codec.length) * 8 / 12 / std::int64_t(kCleanRowsPerTrouble)
                  : INT64_MAX) {}
  // False once there are too many.
  bool one_more() {
    if (--left_ >= 0) return true;
    codec_.gave_up = true;
    return false;
  }

 private:
  FaxCodec& codec_;
  std::int64_t left_;
};

// The run lists every 2D trial works in: a search tries up to ten widths
// in each bit order, and run lists allocated and cleared anew for each
// trial cost more than a short trial's decoding. Kept per thread, for the
// thread's life, grown to the widest width tried.
LinePair& trial_lines() {
  thread_local LinePair lines;
  return lines;
}

bool clean(RowStatus s) {
  return s == RowStatus::kRow || s == RowStatus::kOtherWidth;
}

}  // namespace

namespace {

// The widths a search accepts: the standard ones, or any above `minimum`
// up to `maximum` (a row past it is as good as a bad code).
struct WidthRule {
  bool standard = true;
  std::int32_t minimum = 0;
  std::int64_t maximum = 0;
};

// Rows decoded one after another until `threshold` consecutive clean rows
// have one width the rule accepts; that width goes into the codec. A 2D
// decoder is told every new width (its reference line is that long).
template <class Decoder>
AnalysisResult find_width(FaxCodec& codec, Decoder& dec, std::uint16_t threshold, WidthRule rule) {
  Pacer pace(codec);
  Troubles troubles(codec);
  const int needed = effective_threshold(threshold);
  const std::int32_t minimum = effective_min_width(rule.minimum);
  std::int64_t candidate = -1;
  auto take = [&](std::int64_t width) {
    candidate = width;
    codec.width = std::int32_t(width);
    if constexpr (std::is_same_v<Decoder, MrDecoder>) dec.set_width(codec.width);
  };
  auto lost = [&] {
    dec.resync();
    return troubles.one_more();
  };
  for (int count = 0; count < needed;) {
    if (!pace.keep_going(dec.position())) return AnalysisResult::kStopped;
    const RowStatus s = dec.next_row(no_row());
    if (s == RowStatus::kEnd) return AnalysisResult::kNotAccepted;
    const std::int64_t r = dec.pixels();
    if (rule.standard) {
      // A bad code or another length: the next clean run of rows has to
      // start again after the following EOL.
      if (clean(s) && is_standard_width(r)) {
        count = r == candidate ? count + 1 : 1;
        take(r);
      } else {
        count = 0;
        if (!lost()) return AnalysisResult::kNotAccepted;
      }
    } else if ((!clean(s) && s != RowStatus::kEmpty) || r > rule.maximum) {
      if (!lost()) return AnalysisResult::kNotAccepted;
      count = 0;
      candidate = -1;
    } else if (r <= minimum) {
      // Passed over (the count is kept), but a short row is a trouble all the same.
      if (r > 0 && !troubles.one_more()) return AnalysisResult::kNotAccepted;
    } else if (r == candidate) {
      ++count;
    } else {
      // A new width in mid-stream: an MR search starts counting at the next
      // row that needs no reference.
      if (candidate > 0) dec.resync();
      take(r);
      count = 1;
    }
  }
  codec.width = std::int32_t(candidate);
  return AnalysisResult::kAccepted;
}

AnalysisResult analyse_mh(FaxCodec& codec, std::uint8_t bit_order, std::uint16_t threshold,
                          WidthRule rule) {
  MhDecoder dec(reader_for(codec, bit_order), -1, 0, MhRows::kToEol);
  dec.resync();  // from the first EOL
  codec.width = -1;
  return find_width(codec, dec, threshold, rule);
}

AnalysisResult analyse_mr(FaxCodec& codec, std::uint8_t bit_order, std::uint16_t threshold,
                          WidthRule rule) {
  // The widest width while searching, so that the coding line takes every
  // run a standard row can have.
  MrDecoder dec(reader_for(codec, bit_order), kWidestStandard, 0, MrRows::kToEol, Recovery::kReport,
                &trial_lines());
  if (!dec.allocated()) return AnalysisResult::kNoMemory;
  codec.width = kWidestStandard;
  if (!dec.start()) return AnalysisResult::kNotAccepted;
  return find_width(codec, dec, threshold, rule);
}

}  // namespace

AnalysisResult analyse_mh_standard(FaxCodec& codec, std::uint8_t bit_order,
                                   std::uint16_t threshold) {
  return analyse_mh(codec, bit_order, threshold, {});
}

AnalysisResult analyse_mh_any_width(FaxCodec& codec, std::uint8_t bit_order,
                                    std::uint16_t threshold, std::int32_t min_width) {
  return analyse_mh(codec, bit_order, threshold, {false, min_width, limits::kMaxPageSide});
}

AnalysisResult analyse_mr_standard(FaxCodec& codec, std::uint8_t bit_order,
                                   std::uint16_t threshold) {
  return analyse_mr(codec, bit_order, threshold, {});
}

AnalysisResult analyse_mr_any_width(FaxCodec& codec, std::uint8_t bit_order,
                                    std::uint16_t threshold, std::int32_t min_width) {
  return analyse_mr(codec, bit_order, threshold, {false, min_width, kWidestStandard});
}

AnalysisResult analyse_t6_at_width(FaxCodec& codec, std::uint8_t bit_order, std::int32_t width,
                                   std::uint16_t threshold, std::uint8_t flag_number) {
  codec.width = width;
  codec.flag_number = flag_number;
  if (width < 1 || width > limits::kMaxPageSide) return AnalysisResult::kNotAccepted;
  T6Decoder dec(reader_for(codec, bit_order), width, 0, codec.raw_flag != 0, flag_number,
                Recovery::kReport, &trial_lines());
  if (!dec.allocated()) return AnalysisResult::kNoMemory;
  if (!dec.find_start(T6Search::kFirst)) return AnalysisResult::kNotAccepted;
  Pacer pace(codec);
  const int needed = effective_threshold(threshold);
  const std::int64_t budget = kT6WorkPerByte * std::int64_t(codec.length) + kT6WorkSlack;
  std::int64_t work = 0;
  std::int64_t candidate_position = dec.position() >> 3;
  for (int count = 0; count < needed;) {
    if (!pace.keep_going(dec.position())) return AnalysisResult::kStopped;
    const RowStatus s = dec.next_row(no_row());
    if (s == RowStatus::kEnd) return AnalysisResult::kNotAccepted;
    if (s == RowStatus::kRow || s == RowStatus::kLastRow) {
      ++count;
      continue;
    }
    // Try the next start candidate with a white reference line.
    work += std::max<std::int64_t>(0, (dec.position() >> 3) - candidate_position);
    if (work > budget || !dec.find_start(T6Search::kNext)) return AnalysisResult::kNotAccepted;
    candidate_position = dec.position() >> 3;
    count = 0;
  }
  codec.start_offset = codec.raw_flag ? 0 : std::int32_t(dec.start_offset());
  return AnalysisResult::kAccepted;
}

bool t6_start_exists(const FaxCodec& codec, std::uint8_t bit_order, std::uint8_t flag_number) {
  if (codec.raw_flag) return true;
  T6Decoder probe(BitReader(codec.bytes(), bit_order != 1), 1, 0, false, flag_number);
  return probe.find_start(T6Search::kFirst);
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
