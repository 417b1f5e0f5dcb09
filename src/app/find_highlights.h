#pragma once
// The places Find Text found on the page on view, as the view paints them
// over the page: half-transparent boxes, the one gone to stronger.
#include <QRectF>
#include <QSizeF>
#include <vector>

class QPainter;

namespace orvane::app {

struct FindHighlights {
  std::vector<QRectF> boxes;    // pixels of the page on view (as flipped and mirrored)
  std::vector<QRectF> current;  // the words of the place gone to
};

// The box `box` of a page of `pixels` as drawn at `drawn` (the page's
// top-left corner where the view draws it, at its size on screen).
QRectF drawn_box(const QRectF& box, const QSizeF& pixels, const QRectF& drawn);

// Paints `highlights` over a page of `pixels` drawn at `drawn`; on a
// reversed page (white on black) in colours that show there.
void paint_find_highlights(QPainter& painter, const FindHighlights& highlights,
                           const QSizeF& pixels, const QRectF& drawn, bool reversed);

}  // namespace orvane::app
