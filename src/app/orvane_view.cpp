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
#include "app/page_tiles.h"

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
    // Sizing normalises the page's resolutions to inches.
    display_ = display_size(doc_.record().page(), doc_.scaling());
  } else {
    // The fields of a page that did not load are not this page's.
    PageBitmap none;
    display_ = display_size(none, doc_.scaling());
  }
  std::optional<CPageAhead::Ready> ready = doc_.takePreparedPage();
  // One inch of paper is 100 device-independent pixels at 1.00, whatever
  // the screen's density: the display size is taken over as it is.
  const QSize before = tiles_.device();
  drawn_ = QSize(display_.width, display_.height);
  const qreal ratio = devicePixelRatioF();
  resetTiles();
  if (ready && ready->drawn == drawn_ && ready->ratio == ratio) {
    for (Tile& tile : ready->tiles) tiles_.insert(std::move(tile));
  }
  // Zoomed out of a large page: the memory its tiles took goes back.
  if (tiles_.device().width() * tiles_.device().height() < before.width() * before.height())
    give_back_memory();
  updateScrollRange();
  viewport()->update();
  doc_.refreshStatus();
  doc_.keepNeighboursReady(ratio, sight());
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
  tiles_.setReversed(reversed_);
  viewport()->update();
}

void COrvaneView::resetTiles() {
  tiles_.reset(doc_.pageShown() ? device_size(drawn_, devicePixelRatioF()) : QSize(),
               devicePixelRatioF(), reversed_);
  setTileBudget();
}

void COrvaneView::setTileBudget() {
  const QSize area = device_size(viewport()->size(), devicePixelRatioF());
  // A window's tiles, one more each way for a window between tile edges.
  const std::size_t across = std::size_t(area.width() / kTileSide + 2);
  const std::size_t down = std::size_t(area.height() / kTileSide + 2);
  tiles_.setBudget(std::max<std::size_t>(2 * across * down, 16) * kTileSide * kTileSide * 4);
}

QRect COrvaneView::sight() const {
  const qreal ratio = tiles_.ratio();
  const QRect area(QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()),
                   viewport()->size());
  return QRect(QPoint(int(area.left() * ratio), int(area.top() * ratio)),
               device_size(area.size(), ratio) + QSize(1, 1)) &
         QRect(QPoint(0, 0), tiles_.device());
}

QImage COrvaneView::drawnPage() {
  if (!doc_.pageShown() || tiles_.device().isEmpty()) return {};
  QImage page(tiles_.device(), QImage::Format_RGB32);
  {
    QPainter painter(&page);
    for (const QPoint grid : tiles_over(QRect(QPoint(0, 0), tiles_.device()), tiles_.device())) {
      QImage tile = tiles_.tile(doc_.page(), grid);
      tile.setDevicePixelRatio(1);
      painter.drawImage(tile_rect(grid, tiles_.device()).topLeft(), tile);
    }
  }
  page.setDevicePixelRatio(tiles_.ratio());
  return page;
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
  if (!doc_.pageShown() || tiles_.device().isEmpty() || display_.source_width < 1 ||
      display_.source_height < 1) {
    drawRefusal(painter);
    return;
  }
  // Moved to a screen of another density: drawn again for its pixels.
  if (tiles_.ratio() != devicePixelRatioF()) resetTiles();
  const QPoint origin(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
  const QRect area = event->rect() & QRect(origin, drawn_);
  if (area.isEmpty()) return;
  // The tiles under the area, in device pixels of the drawn page; each is
  // drawn at its place, clipped to the area.
  const qreal ratio = tiles_.ratio();
  const QRect part(
      QPoint(int((area.left() - origin.x()) * ratio), int((area.top() - origin.y()) * ratio)),
      device_size(area.size(), ratio) + QSize(1, 1));
  painter.setClipRect(area);
  for (const QPoint grid : tiles_over(part, tiles_.device())) {
    const QRect rect = tile_rect(grid, tiles_.device());
    const QImage& tile = tiles_.tile(doc_.page(), grid);
    painter.drawImage(QPointF(origin) + QPointF(rect.topLeft()) / ratio, tile);
  }
  paint_find_highlights(painter, highlights_, QSizeF(display_.source_width, display_.source_height),
                        QRectF(QRect(origin, drawn_)), reversed_);
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
  setTileBudget();
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
