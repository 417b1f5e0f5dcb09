#pragma once
// The zoom factor that fits a page into the window.
#include <QSize>

namespace orvane::app {

enum class FitMode;

// The factor at which a page of `at_one` device-independent pixels (its
// size at 1.00) fits `area`: its width (FitMode::kWidth; the page may then
// scroll downwards, so `scrollbar` pixels are kept free at the right) or
// the whole page (FitMode::kPage). Within the zoom steps' range 0.25 to
// 4.00; 1.00 for an empty page or area.
float fit_scaling(FitMode mode, QSize at_one, QSize area, int scrollbar);

}  // namespace orvane::app
