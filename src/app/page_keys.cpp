#include "app/page_keys.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "app/orvane_doc.h"
#include "app/orvane_view.h"

namespace orvane::app {

namespace {

// A screen less a few lines, so that the line read last stays in sight.
int screen_step(const COrvaneView& view) {
  const int height = view.viewport()->height();
  return std::max(1, height - height / 10);
}

}  // namespace

CPageKeys::CPageKeys(COrvaneView& view, COrvaneDoc& doc)
    : QObject(&view), view_(view), viewport_(view.viewport()), doc_(doc) {
  view_.installEventFilter(this);
  viewport_->installEventFilter(this);
}

// Turns to the next page at its top, or to the previous page at its bottom,
// as Page Down and Page Up do.
bool CPageKeys::turn(bool forward) {
  QScrollBar* v = view_.verticalScrollBar();
  if (forward) {
    if (!doc_.canGoForward()) return false;
    doc_.nextPage();
    v->setValue(0);
  } else {
    if (!doc_.canGoBack()) return false;
    doc_.previousPage();
    v->setValue(v->maximum());
  }
  return true;
}

bool CPageKeys::screen(bool forward) {
  QScrollBar* v = view_.verticalScrollBar();
  if (forward ? v->value() >= v->maximum() : v->value() <= v->minimum()) return turn(forward);
  v->setValue(v->value() + (forward ? 1 : -1) * screen_step(view_));
  return true;
}

bool CPageKeys::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &view_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    // The page fits the window's width: there is nothing to scroll sideways,
    // so the arrows sideways turn the page.
    const bool fits_width = view_.horizontalScrollBar()->maximum() <= 0;
    switch (key->key()) {
      case Qt::Key_Space:
        if (mods == Qt::NoModifier || mods == Qt::ShiftModifier) {
          screen(mods == Qt::NoModifier);
          return true;
        }
        break;
      case Qt::Key_Left:
      case Qt::Key_Right:
        if (mods == Qt::NoModifier && fits_width) {
          turn(key->key() == Qt::Key_Right);
          return true;
        }
        break;
      default: break;
    }
    return false;
  }
  // The viewport as it was made: asked of the view, it may be asked while
  // the view is being destroyed.
  if (watched == viewport_ && event->type() == QEvent::Wheel) {
    const auto* wheel = static_cast<QWheelEvent*>(event);
    if (wheel->modifiers() != Qt::NoModifier) return false;  // Ctrl zooms: the view's
    const int delta = wheel->angleDelta().y();
    QScrollBar* v = view_.verticalScrollBar();
    if (delta < 0 && v->value() >= v->maximum()) return turn(true);
    if (delta > 0 && v->value() <= v->minimum()) return turn(false);
  }
  return false;
}

}  // namespace orvane::app
