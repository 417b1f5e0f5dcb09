#include "app/orvane_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>

#include "app/display_image.h"
#include "app/fit_scaling.h"
#include "app/orvane_doc.h"

namespace orvane::app {

COrvaneView::COrvaneView(COrvaneDoc& doc, QWidget* parent)
    : QAbstractScrollArea(parent), doc_(doc) {
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  viewport()->setAutoFillBackground(false);
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::StrongFocus);
  connect(&doc_, &COrvaneDoc::viewsNeedUpdate, this, &COrvaneView::updateFromDocument);
}

void COrvaneView::updateFromDocument() {
  followFit();
  if (doc_.pageShown()) {
    // Sizing normalises the page's resolutions to inches, in the record
    // the worker reads ahead through.
    const auto hold = doc_.holdRecord();
    display_ = display_size(doc_.record().page(), doc_.scaling());
  } else {
    // The fields of a page that did not load are not this page's.
    PageBitmap none;
    display_ = display_size(none, doc_.scaling());
  }
  std::optional<CPageAhead::Ready> ready = doc_.takePreparedPage();
  // One inch of paper is 100 device-independent pixels at 1.00, whatever
  // the screen's density: the display size is taken over as it is.
  drawn_ = QSize(display_.width, display_.height);
  const qreal ratio = devicePixelRatioF();
  if (ready && ready->drawn == drawn_ && ready->ratio == ratio && !ready->scaled.isNull()) {
    QImage scaled = std::move(ready->scaled);
    if (reversed_) scaled.invertPixels();
    pixmap_ = QPixmap::fromImage(std::move(scaled));
  } else {
    rebuildPixmap();
  }
  updateScrollRange();
  viewport()->update();
  doc_.refreshStatus();
  doc_.keepNeighboursReady(ratio);
}

// In a fitting mode the factor is worked out from the window as it is now.
void COrvaneView::followFit() {
  // A page that did not load has no size to fit; the factor stays.
  if (doc_.fitMode() == FitMode::kNone || !doc_.pageShown()) return;
  PageBitmap fields = doc_.page().fields_only();
  const DisplaySize at_one = display_size(fields, 1.0f);
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  doc_.setFittedScaling(
      fit_scaling(doc_.fitMode(), QSize(at_one.width, at_one.height), maximumViewportSize(), bar));
}

void COrvaneView::toggleReversed() {
  reversed_ = !reversed_;
  rebuildPixmap();
  viewport()->update();
}

// Built once per update, never per paint: painting is one copy.
void COrvaneView::rebuildPixmap() {
  if (!doc_.pageShown()) {
    pixmap_ = QPixmap();
    return;
  }
  const QImage scaled = scaled_page(doc_.page(), drawn_, devicePixelRatioF(), reversed_);
  pixmap_ = scaled.isNull() ? QPixmap() : QPixmap::fromImage(scaled);
}

void COrvaneView::updateScrollRange() {
  const QSize area = viewport()->size();
  QScrollBar* h = horizontalScrollBar();
  QScrollBar* v = verticalScrollBar();
  // A page step of a tenth of the page, a line step of a tenth of that.
  h->setPageStep(std::max(1, drawn_.width() / 10));
  h->setSingleStep(std::max(1, drawn_.width() / 100));
  v->setPageStep(std::max(1, drawn_.height() / 10));
  v->setSingleStep(std::max(1, drawn_.height() / 100));
  // Setting the range keeps the position, clamped to the new range.
  h->setRange(0, std::max(0, drawn_.width() - area.width()));
  v->setRange(0, std::max(0, drawn_.height() - area.height()));
}

void COrvaneView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.fillRect(event->rect(), QColor::fromRgb(kBackground));
  if (!doc_.pageShown() || pixmap_.isNull() || display_.source_width < 1 ||
      display_.source_height < 1) {
    drawRefusal(painter);
    return;
  }
  // Moved to a screen of another density: drawn again for its pixels.
  if (pixmap_.devicePixelRatio() != devicePixelRatioF()) rebuildPixmap();
  const QPoint origin(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
  const QRect target(origin, drawn_);
  const QRect area = event->rect() & target;
  if (area.isEmpty()) return;
  const qreal ratio = pixmap_.devicePixelRatio();
  const QRectF source((area.topLeft() - origin) * ratio, area.size() * ratio);
  painter.drawPixmap(QRectF(area), pixmap_, source);
  paint_find_highlights(painter, highlights_, QSizeF(display_.source_width, display_.source_height),
                        QRectF(target), reversed_);
}

void COrvaneView::setFindHighlights(FindHighlights highlights) {
  highlights_ = std::move(highlights);
  viewport()->update();
}

// A file or a page that shows nothing says why, under the status bar's
// verdict.
void COrvaneView::drawRefusal(QPainter& painter) {
  const QString reason = doc_.refusalReason();
  if (reason.isEmpty()) return;
  const QString text = QStringLiteral("That's NOT a FAX file!\n%1: %2")
                           .arg(QFileInfo(doc_.path()).fileName(), reason);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(viewport()->rect().adjusted(24, 24, -24, -24),
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
}

void COrvaneView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (doc_.fitMode() != FitMode::kNone) {
    const float before = doc_.scaling();
    followFit();
    if (doc_.scaling() != before) {
      updateFromDocument();
      return;
    }
  }
  updateScrollRange();
}

// Moves what is on screen and repaints only the strips uncovered.
void COrvaneView::scrollContentsBy(int dx, int dy) {
  viewport()->scroll(dx, dy);
}

void COrvaneView::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    QAbstractScrollArea::wheelEvent(event);
    return;
  }
  const int delta = event->angleDelta().y();
  if (delta > 0) doc_.zoomIn();
  if (delta < 0) doc_.zoomOut();
  event->accept();
}

// Page Down at the bottom of a page turns to the next, Page Up at the top to
// the previous one.
void COrvaneView::keyPressEvent(QKeyEvent* event) {
  QScrollBar* v = verticalScrollBar();
  if (event->key() == Qt::Key_PageDown && v->value() >= v->maximum() && doc_.canGoForward()) {
    doc_.nextPage();
    v->setValue(0);
    return;
  }
  if (event->key() == Qt::Key_PageUp && v->value() <= v->minimum() && doc_.canGoBack()) {
    doc_.previousPage();
    v->setValue(v->maximum());
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

void COrvaneView::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!urls.isEmpty() && urls.first().isLocalFile()) event->acceptProposedAction();
}

void COrvaneView::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  event->acceptProposedAction();
  emit fileDropped(urls.first().toLocalFile());
}

}  // namespace orvane::app
