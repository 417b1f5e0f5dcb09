#include "app/page_thumbnails.h"

#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTransform>

#include "app/orvane_doc.h"

namespace orvane::app {

namespace {

// Pages below the last one in sight that are asked for too, so that
// scrolling on finds them made.
constexpr int kBeyondSight = 6;

QIcon placeholder(qreal ratio) {
  QPixmap blank(QSize(CPageThumbnails::kSide * 3 / 4, CPageThumbnails::kSide) * ratio);
  blank.setDevicePixelRatio(ratio);
  blank.fill(QColor(0xF4, 0xF4, 0xF4));
  QPainter painter(&blank);
  painter.setPen(QColor(0xC0, 0xC0, 0xC0));
  painter.drawRect(QRectF(0, 0, blank.width() / ratio - 1, blank.height() / ratio - 1));
  return QIcon(blank);
}

// A page that did not load: the page's outline crossed out in a muted red
// on a faint red ground, unlike the grey outline of a page not made yet and
// unlike any page, blank ones too.
QIcon broken_page(qreal ratio) {
  const QSizeF size(CPageThumbnails::kSide * 3 / 4, CPageThumbnails::kSide);
  QPixmap mark((size * ratio).toSize());
  mark.setDevicePixelRatio(ratio);
  mark.fill(QColor(0xF6, 0xE9, 0xE9));
  QPainter painter(&mark);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor red(0xB0, 0x4A, 0x4A);
  const QRectF page = QRectF(QPointF(0, 0), size).adjusted(1, 1, -1, -1);
  painter.setPen(QPen(red, 2));
  painter.drawRect(page);
  const QRectF cross = page.adjusted(14, 22, -14, -22);
  painter.setPen(QPen(red, 3, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(cross.topLeft(), cross.bottomRight());
  painter.drawLine(cross.topRight(), cross.bottomLeft());
  return QIcon(mark);
}

}  // namespace

CPageThumbnails::CPageThumbnails(COrvaneDoc& doc, QWidget* parent)
    : QDockWidget(QStringLiteral("Page Thumbnails"), parent), doc_(doc), list_(new QListWidget) {
  setObjectName(QStringLiteral("PageThumbnails"));
  setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
  list_->setViewMode(QListView::IconMode);
  list_->setFlow(QListView::TopToBottom);
  list_->setWrapping(false);
  list_->setMovement(QListView::Static);
  list_->setResizeMode(QListView::Adjust);
  list_->setUniformItemSizes(true);
  list_->setIconSize(QSize(kSide, kSide));
  list_->setSpacing(4);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setWidget(list_);
  setMinimumWidth(kSide + 40);

  ask_.setSingleShot(true);
  ask_.setInterval(30);
  connect(&ask_, &QTimer::timeout, this, &CPageThumbnails::askInSight);
  connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, &ask_,
          qOverload<>(&QTimer::start));
  connect(this, &QDockWidget::visibilityChanged, &ask_, qOverload<>(&QTimer::start));
  connect(list_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { doc_.goToIndex(list_->row(item)); });
  connect(&doc_.pageAhead(), &CPageAhead::thumbnailReady, this, &CPageThumbnails::showThumbnail);
  connect(&doc_, &COrvaneDoc::pagesChanged, this, &CPageThumbnails::restart);
  connect(&doc_, &COrvaneDoc::turnChanged, this, &CPageThumbnails::restart);
  connect(&doc_, &COrvaneDoc::statusChanged, this, &CPageThumbnails::markCurrent);
  restart();
}

void CPageThumbnails::restart() {
  generation_ = doc_.pageAhead().generation();
  shown_ = 0;
  list_->clear();
  const QIcon blank = placeholder(devicePixelRatioF());
  for (int page = 0; page < doc_.pageCount(); ++page) {
    list_->addItem(new QListWidgetItem(blank, QString::number(page + 1)));
  }
  markCurrent();
  ask_.start();
}

// The pages in sight, top to bottom, and a few below them.
void CPageThumbnails::askInSight() {
  if (!isVisible() || list_->count() == 0) return;
  const QRect sight = list_->viewport()->rect();
  std::vector<int> pages;
  int last_in_sight = -1;
  for (int row = 0; row < list_->count(); ++row) {
    QListWidgetItem* item = list_->item(row);
    if (!item->data(Qt::UserRole).toBool() && list_->visualItemRect(item).intersects(sight)) {
      pages.push_back(row);
    }
    if (list_->visualItemRect(item).intersects(sight)) last_in_sight = row;
  }
  for (int row = last_in_sight + 1; row < list_->count() && row <= last_in_sight + kBeyondSight;
       ++row) {
    if (!list_->item(row)->data(Qt::UserRole).toBool()) pages.push_back(row);
  }
  doc_.pageAhead().askThumbnails(pages, int(kSide * devicePixelRatioF()));
}

void CPageThumbnails::showThumbnail(int generation, int page, const QImage& image,
                                    const QString& failure) {
  if (generation != generation_ || page < 0 || page >= list_->count()) return;
  if (image.isNull() && failure.isEmpty()) return;
  QListWidgetItem* item = list_->item(page);
  if (item->data(Qt::UserRole).toBool()) return;
  if (image.isNull()) {
    item->setIcon(broken_page(devicePixelRatioF()));
    item->setData(kBrokenRole, true);
    item->setToolTip(failure.left(1).toUpper() + failure.mid(1));
  } else {
    // Made from the file: turned as the pages are shown.
    QPixmap pixmap =
        QPixmap::fromImage(doc_.quarterTurns() == 0
                               ? image
                               : image.transformed(QTransform().rotate(90 * doc_.quarterTurns())));
    pixmap.setDevicePixelRatio(devicePixelRatioF());
    item->setIcon(QIcon(pixmap));
  }
  item->setData(Qt::UserRole, true);
  ++shown_;
}

void CPageThumbnails::markCurrent() {
  const int current = doc_.currentPage();
  if (current < 0 || current >= list_->count()) return;
  const QSignalBlocker quiet(list_);
  list_->setCurrentRow(current);
  list_->scrollToItem(list_->item(current));
}

}  // namespace orvane::app
