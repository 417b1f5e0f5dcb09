#include "app/find_highlights.h"

#include <QPainter>

namespace orvane::app {

QRectF drawn_box(const QRectF& box, const QSizeF& pixels, const QRectF& drawn) {
  if (pixels.isEmpty()) return {};
  const double sx = drawn.width() / pixels.width();
  const double sy = drawn.height() / pixels.height();
  return {drawn.left() + box.left() * sx, drawn.top() + box.top() * sy, box.width() * sx,
          box.height() * sy};
}

void paint_find_highlights(QPainter& painter, const FindHighlights& highlights,
                           const QSizeF& pixels, const QRectF& drawn, bool reversed) {
  if (highlights.boxes.empty() && highlights.current.empty()) return;
  // Yellow and orange over black text on white; on a reversed page, where
  // the text is white, colours that keep it readable.
  const QColor found = reversed ? QColor(0, 120, 255, 110) : QColor(255, 220, 0, 110);
  const QColor gone_to = reversed ? QColor(0, 200, 120, 150) : QColor(255, 120, 0, 140);
  painter.save();
  painter.setPen(Qt::NoPen);
  for (const QRectF& box : highlights.boxes) painter.fillRect(drawn_box(box, pixels, drawn), found);
  for (const QRectF& box : highlights.current)
    painter.fillRect(drawn_box(box, pixels, drawn), gone_to);
  painter.restore();
}

}  // namespace orvane::app
