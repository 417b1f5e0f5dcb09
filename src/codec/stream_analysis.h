#pragma once
// Trial decoding of coded data whose width, bit order and coding are not
// recorded anywhere (bare .g3/.g4 streams, the pages of some fax formats).
// An assumption is accepted once a run of consecutive rows decodes cleanly to
// one width.
#include <array>
#include <cstdint>

#include "codec/fax_codec.h"

namespace orvane::codec {

// Results of the analyses.
enum class AnalysisResult : std::int8_t {
  kAccepted = 0,  // the codec's width holds the width found
  kNoMemory = -1,
  kNotAccepted = -2,  // the data ended first
  kStopped = -3,      // the codec's control asked for a stop
};

// The line lengths of ITU-T T.4 (A4, B4, A3 at 200, 300 and 400 dpi), in the
// order every analysis tries them; 3648 is tried before 3456.
inline constexpr std::array<std::int32_t, 9> kStandardWidths = {1728, 2048, 2432, 2592, 3072,
                                                                3648, 3456, 4096, 4864};
// The widest standard width: the scratch row and run lists are sized for it.
inline constexpr std::int32_t kWidestStandard = 4864;

// Data that lost its way more than once in this many rows is in doubt: a
// decode of it is not clean.
inline constexpr std::uint64_t kCleanRowsPerTrouble = 1024;

// What the analysis found; threshold and flag number are inputs.
struct StreamGuess {
  std::int32_t start_offset = 0;  // T.6 only: where the coded data begins
  std::int32_t width = 0;
  std::uint8_t bit_order = 0;    // 1 MSB first, 2 LSB first
  std::uint8_t coding = 0;       // CodingMode 5, 6 or 7
  std::uint16_t threshold = 50;  // consecutive rows of one width needed
  std::uint8_t flag_number = 3;  // 0xFF run in front of T.6 data
};

// Every analysis sets the codec's bit order and works from the start of the
// codec's data. With the codec's clean_only, an MH or MR analysis gives up
// (not accepted, gave_up set) once it has lost its way more often than a
// clean decode of the whole data could: once in kCleanRowsPerTrouble of
// the most rows the data can hold (each row ends at an EOL of 12 bits). A threshold of 0 counts
// as 1 (a guess is never accepted without a row of that width). Results:
// AnalysisResult::kAccepted, AnalysisResult::kNoMemory, AnalysisResult::kNotAccepted or, when the
// codec's control asks for a stop, AnalysisResult::kStopped.

// Modified Huffman rows ended by EOL (T.4 1D), widths from kStandardWidths.
AnalysisResult analyse_mh_standard(FaxCodec& codec, std::uint8_t bit_order,
                                   std::uint16_t threshold);
// Modified Huffman rows of any width above `min_width`.
AnalysisResult analyse_mh_any_width(FaxCodec& codec, std::uint8_t bit_order,
                                    std::uint16_t threshold, std::int32_t min_width);
// T.4 two-dimensional rows (EOL + tag bit), widths from kStandardWidths.
AnalysisResult analyse_mr_standard(FaxCodec& codec, std::uint8_t bit_order,
                                   std::uint16_t threshold);
// T.4 two-dimensional rows of any width above `min_width` (up to 4864).
AnalysisResult analyse_mr_any_width(FaxCodec& codec, std::uint8_t bit_order,
                                    std::uint16_t threshold, std::int32_t min_width);
// T.6 rows of exactly `width`, from the first start (T6Decoder::find_start) that leads to them
// (or from byte 0 with the codec's raw flag). On success the codec's
// start offset holds where the accepted data begins.
AnalysisResult analyse_t6_at_width(FaxCodec& codec, std::uint8_t bit_order, std::int32_t width,
                                   std::uint16_t threshold, std::uint8_t flag_number);

// Whether a T.6 start exists anywhere in the codec's data in this bit
// order with this flag number (always, with the codec's raw flag). Without
// one, no T.6 analysis of the data can accept any width.
bool t6_start_exists(const FaxCodec& codec, std::uint8_t bit_order, std::uint8_t flag_number);

// The MH/MR search used when a page is loaded: MH then MR, standard widths
// then any width above 1728, each with bit order 1 then 2. True with the
// guess's width, bit order and coding (5 or 6) filled; false (guess
// unchanged) when nothing is accepted. Only the guess's threshold is used as
// input.
bool guess_coding(FaxCodec& codec, StreamGuess& guess);

// T.6 at each standard width, bit order 1 then 2 for each. True with the
// guess's start offset, width, bit order and coding 7 filled; false (guess
// unchanged) when nothing is accepted. Uses the guess's threshold and flag
// number.
bool guess_t6(FaxCodec& codec, StreamGuess& guess);

}  // namespace orvane::codec
