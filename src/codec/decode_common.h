#pragma once
// Small pieces shared by the row engines: clamping pixel counts and
// recording runs on a coding line.
#include <algorithm>
#include <cstdint>

#include "codec/row_writer.h"

namespace orvane::codec {

// Pixel counts of hostile rows can grow past any width; they are reported
// clamped, which keeps them "longer than the width".
inline int clamp_count(std::int64_t n) {
  constexpr std::int64_t kCap = 1 << 30;
  return int(std::clamp<std::int64_t>(n, -kCap, kCap));
}

// Appends a run to a line while it has room (runs past its capacity are
// dropped). Each run counts at most the clamp, so its end stays exact.
inline void record_run(RunList* line, std::int64_t run) {
  if (line != nullptr && line->at != nullptr && line->count < line->capacity) {
    line->at[line->count + 1] = line->at[line->count] + clamp_count(run);
    ++line->count;
  }
}

}  // namespace orvane::codec
