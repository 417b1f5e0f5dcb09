#pragma once
// Resampling of a one-bit page to grey by area averaging: each output pixel
// is the white share of the source area it covers. Reductions lose no row
// or column (a thin rule shows as grey instead of vanishing), and the work
// grows with the source and output sizes, not their product.
#include <QImage>
#include <QSize>

namespace orvane::app {

// `mono`: a QImage::Format_Mono image. Returns a grey Format_RGB32 image of
// `size` (null for an empty input or size).
QImage area_average(const QImage& mono, QSize size);

}  // namespace orvane::app
