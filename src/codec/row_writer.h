#pragma once
// The runs of a coding line, and the width classes of line widths.
#include <cstdint>

namespace orvane::codec {

// The runs of one line, alternating white, black, white... from white, held
// as where each run ends: at[k + 1] is the end of run k and at[0] is 0, so
// the changing elements a 2D row is coded against are read directly.
// Written through `count` (coding line), read through `count` and `size`
// (reference line). `at` has room for capacity + 2 entries (the last one
// for the row engine's stop mark) and is owned by the caller.
struct RunList {
  std::uint32_t count = 0;  // runs recorded; also the read cursor
  std::uint32_t size = 0;   // runs held (reference line)
  std::int64_t* at = nullptr;
  std::uint32_t capacity = 0;
};

// Width class of a line width: horizontal resolution and paper class 1..3.
struct WidthClass {
  std::uint16_t dpi;
  std::uint8_t paper;
};
WidthClass width_class(std::int32_t width);

}  // namespace orvane::codec
