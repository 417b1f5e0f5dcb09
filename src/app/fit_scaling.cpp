#include "app/fit_scaling.h"

#include <algorithm>

#include "app/orvane_doc.h"

namespace orvane::app {

float fit_scaling(FitMode mode, QSize at_one, QSize area, int scrollbar) {
  if (at_one.isEmpty() || area.isEmpty() || mode == FitMode::kNone) return 1.0f;
  double across = double(area.width()) / at_one.width();
  if (mode == FitMode::kWidth) {
    // Only a page taller than the window at that width needs the scroll bar.
    if (at_one.height() * across > area.height())
      across = double(std::max(1, area.width() - scrollbar)) / at_one.width();
  } else {
    across = std::min(across, double(area.height()) / at_one.height());
  }
  return std::clamp(float(across), COrvaneDoc::kMinScaling, COrvaneDoc::kMaxScaling);
}

}  // namespace orvane::app
