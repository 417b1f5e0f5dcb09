#pragma once
// Writes decoded runs into one bitmap row, and records runs for the 2D coder.
#include <cstdint>

namespace orvane::codec {

// Writes runs into a row of row_length bytes; pixel x is bit 7 - x % 8 of byte x / 8.
struct RowWriter {
  std::uint32_t byte_index = 0;
  std::uint32_t row_length = 0;
  std::uint8_t bit_index = 0;   // 0 = most significant bit
  std::uint8_t* row = nullptr;  // owned by the page bitmap

  // Points the writer at the start of `r` (row_length bytes); does not clear.
  void start(std::uint8_t* r, std::uint32_t length) {
    row = r;
    row_length = length;
    byte_index = 0;
    bit_index = 0;
  }
};

// Writes n pixels: set bits unless `skip` (then the bits stay 0 and the
// writer only moves). 0, or -1 once the writer is at or reaches the row end.
// Never writes outside the row.
int write_run(RowWriter& writer, std::uint32_t n, bool skip);

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

  std::int64_t run(std::uint32_t k) const { return at[k + 1] - at[k]; }
};

// Width class of a line width: horizontal resolution and paper class 1..3.
struct WidthClass {
  std::uint16_t dpi;
  std::uint8_t paper;
};
WidthClass width_class(std::int32_t width);

}  // namespace orvane::codec
