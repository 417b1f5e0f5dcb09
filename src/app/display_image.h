#pragma once
// The page bitmap turned into what the view and the printer draw.
#include <QImage>
#include <QSize>

#include "base/page_bitmap.h"

namespace orvane::app {

// The page as a one-bit image, a set bit white. Rows are copied one by one,
// so any row stride (an odd byte count too) gives an image without shear.
// A null image when the page has no pixels.
QImage page_image(const PageBitmap& page);

// `page` scaled to `size` device-independent pixels for a screen with
// `ratio` device pixels to each of them, as a grey image: area averaging
// (core/grey_page.h), so a fax at a quarter of its size keeps every row
// readable; `reversed` swaps black and white. A null image for a page
// without pixels or an empty size.
QImage scaled_page(const PageBitmap& page, QSize size, qreal ratio, bool reversed);

}  // namespace orvane::app
