#include "codec/row_writer.h"

#include <algorithm>
#include <cstring>

namespace orvane::codec {

int write_run(RowWriter& w, std::uint32_t n, bool skip) {
  if (w.row == nullptr || w.byte_index >= w.row_length) return -1;
  if (skip) {
    const std::uint64_t bits = std::uint64_t(w.bit_index) + n;
    const std::uint64_t to = std::uint64_t(w.byte_index) + bits / 8;
    if (to >= w.row_length) {
      // Past the row: the writer stays at its end and refuses later runs.
      w.byte_index = w.row_length;
      w.bit_index = 0;
    } else {
      w.byte_index = std::uint32_t(to);
      w.bit_index = std::uint8_t(bits % 8);
    }
    return 0;
  }
  if (w.bit_index + std::uint64_t(n) < 8) {
    w.row[w.byte_index] |= std::uint8_t((0xFF >> w.bit_index) & ~(0xFF >> (w.bit_index + n)));
    w.bit_index = std::uint8_t(w.bit_index + n);
    return 0;
  }
  // Fill the current byte to its end, then whole bytes, then the head of the
  // last byte. A run longer than the row is cut at the row's end.
  w.row[w.byte_index] |= std::uint8_t(0xFF >> w.bit_index);
  const std::uint64_t rest = std::uint64_t(w.bit_index) + n - 8;
  ++w.byte_index;
  w.bit_index = 0;
  if (w.byte_index >= w.row_length) return -1;
  const std::uint64_t whole = rest / 8;
  const std::uint32_t room = w.row_length - w.byte_index;
  const std::uint32_t k = std::uint32_t(std::min<std::uint64_t>(whole, room));
  std::memset(w.row + w.byte_index, 0xFF, k);
  w.byte_index += k;
  if (whole > room || w.byte_index >= w.row_length) {
    w.byte_index = w.row_length;
    return -1;
  }
  const unsigned tail = unsigned(rest % 8);
  w.row[w.byte_index] = std::uint8_t(~(0xFF >> tail));
  w.bit_index = std::uint8_t(tail);
  return 0;
}

WidthClass width_class(std::int32_t width) {
  // T.4 2.2 line lengths: A4, B4 and A3 (classes 1, 2, 3) at 200, 300 and
  // 400 dots per inch. 3456 (A4 at 400) is tested before 3648 (A3 at 300).
  struct Step {
    std::int32_t max_width;
    WidthClass cls;
  };
  static constexpr Step kSteps[] = {
      {1728, {200, 1}}, {2048, {200, 2}}, {2432, {200, 3}}, {2592, {300, 1}},
      {3072, {300, 2}}, {3456, {400, 1}}, {3648, {300, 3}}, {4096, {400, 2}},
  };
  for (const Step& s : kSteps) {
    if (width <= s.max_width) return s.cls;
  }
  return {400, 3};
}

}  // namespace orvane::codec
