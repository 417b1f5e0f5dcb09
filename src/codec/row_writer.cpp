#include "codec/row_writer.h"

namespace orvane::codec {

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
