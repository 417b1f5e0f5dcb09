#pragma once
// The Modified Huffman row engine: code words into runs, runs into a row,
// up to the event that ends the row for its decoder (MH rows, and the
// one-dimensional rows of MR).
#include <algorithm>
#include <cstdint>

#include "codec/bit_reader.h"
#include "codec/row_writer.h"
#include "codec/run_painter.h"

namespace orvane::codec {

enum class MhStop {
  kEol,        // an EOL
  kBadCode,    // no code word of the table in use
  kEndOfData,  // the data ended inside a code word
  kWidth,      // a terminating code brought the pixels to the stop count
};

// A row under way; a fresh one starts white with no pixels.
struct MhRow {
  std::int64_t pixels = 0;
  std::int64_t pending = 0;  // make-up pixels not yet written
  int colour = 0;
};

// Pixel counts of hostile rows can grow past any width; they are reported
// clamped, which keeps them "longer than the width".
inline std::int64_t clamp_count(std::int64_t n) {
  constexpr std::int64_t kCap = std::int64_t(1) << 30;
  return std::clamp<std::int64_t>(n, -kCap, kCap);
}

// Appends a run to a line while it has room (runs past its capacity are dropped).
inline void record_run(RunList* line, std::int64_t run) {
  if (line != nullptr && line->at != nullptr && line->count < line->capacity) {
    line->at[line->count + 1] = line->at[line->count] + clamp_count(run);
    ++line->count;
  }
}

// Decodes code words into `paint` (runs also onto `line` when not null)
// until one of the stops; kWidth once row.pixels >= stop_at after a
// terminating code. The loop is written once per colour, so that only the
// colour that changes pixels is painted, and works on a copy of the reader
// that stays in registers.
template <bool R>
MhStop mh_codes(BitReader& reader, RunPainter& painter, RunList* line, MhRow& row,
                std::int64_t stop_at, int invert) {
  BitReader in = reader;
  RunPainter paint = painter;
  const int painted = paint.painted_colour(invert);
  std::int64_t x = paint.position();
  MhRow r = row;
  constexpr int kGoOn = -1;
  auto run_of = [&]<int C>() -> int {
    for (;;) {
      const int v = C == 0 ? in.template white<R>() : in.template black<R>();
      // One test lets terminating codes through: make-up codes, EOLs,
      // invalid codes and the end of data are all outside 0..63.
      if (unsigned(v) >= 64u) [[unlikely]] {
        if (v < 0) return int(MhStop::kEndOfData);
        if (v >= kEolCode) return int(v == kInvalidCode ? MhStop::kBadCode : MhStop::kEol);
        r.pending += v;
        continue;
      }
      const std::int64_t run = r.pending + v;
      r.pixels += run;
      if (C == painted) paint.span(x, x + run);
      x += run;
      record_run(line, run);
      r.colour = C ^ 1;
      r.pending = 0;
      return r.pixels >= stop_at ? int(MhStop::kWidth) : kGoOn;
    }
  };
  int stop;
  if (r.colour == 1 && (stop = run_of.template operator()<1>()) != kGoOn) {
    // stopped inside the first (black) run
  } else {
    for (;;) {
      if ((stop = run_of.template operator()<0>()) != kGoOn) break;
      if ((stop = run_of.template operator()<1>()) != kGoOn) break;
    }
  }
  row = r;
  paint.move_to(x);
  painter = paint;
  reader = in;
  return MhStop(stop);
}

inline MhStop decode_mh_codes(BitReader& in, RunPainter& paint, RunList* line, MhRow& row,
                              std::int64_t stop_at, int invert) {
  return in.reversed() ? mh_codes<true>(in, paint, line, row, stop_at, invert)
                       : mh_codes<false>(in, paint, line, row, stop_at, invert);
}

}  // namespace orvane::codec
