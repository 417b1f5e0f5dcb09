#pragma once
// The page bitmap turned into what the view and the printer draw.
#include <QImage>
#include <QRect>
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

// The device pixels `size` x `ratio` of the page drawn at `size` for a
// screen of `ratio` (rounded as scaled_page() rounds them).
QSize device_size(QSize size, qreal ratio);

// The part `part` (device pixels) of the page drawn at `device` device
// pixels: the pixels of scaled_page() there, without the rest of the page
// (a page at 4.00 is tens of megabytes drawn whole). Not reversed, and
// without a pixel ratio: the caller sets both. A null image when nothing
// of `part` lies on the page.
QImage drawn_part(const PageBitmap& page, QSize device, const QRect& part);

}  // namespace orvane::app
