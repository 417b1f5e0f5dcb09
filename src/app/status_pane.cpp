#include "app/status_pane.h"

#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace orvane::app {

CStatusPane::CStatusPane(const QString& text, const QStringList& longest, int minimum,
                         QWidget* parent)
    : QLabel(text, parent), longest_(longest), minimum_(minimum) {
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  setMinimumWidth(minimum);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QSize CStatusPane::sizeHint() const {
  int widest = fontMetrics().horizontalAdvance(text());
  for (const QString& t : longest_) widest = std::max(widest, fontMetrics().horizontalAdvance(t));
  const QMargins m = contentsMargins();
  const int margin = 2 * fontMetrics().horizontalAdvance(u' ');
  return {std::max(minimum_, widest + m.left() + m.right() + margin), QLabel::sizeHint().height()};
}

QSize CStatusPane::minimumSizeHint() const {
  return {minimum_, QLabel::minimumSizeHint().height()};
}

void CStatusPane::setPaneText(const QString& text) {
  setText(text);
  setToolTip(text);
}

void CStatusPane::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawFrame(&painter);
  const QRect area = contentsRect().adjusted(fontMetrics().horizontalAdvance(u' '), 0, 0, 0);
  const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
  style()->drawItemText(&painter, area, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(),
                        shown, foregroundRole());
}

}  // namespace orvane::app
