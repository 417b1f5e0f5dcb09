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

// Appends a run to a coding line while it has room (runs past its capacity
// are dropped).
inline void record_run(RunList* line, std::int64_t run) {
  if (line != nullptr && line->items != nullptr && line->count < line->capacity) {
    line->items[line->count++] = std::int32_t(clamp_count(run));
  }
}

}  // namespace orvane::codec
