#pragma once
// The "Page Thumbnails" bar: one small picture per page of the open fax,
// made on the reader-ahead's worker for the pages in sight first; a click
// turns to that page, and the page on view is kept marked.
#include <QDockWidget>
#include <QTimer>

class QListWidget;

namespace orvane::app {

class COrvaneDoc;

class CPageThumbnails : public QDockWidget {
  Q_OBJECT
 public:
  // Device-independent pixels of the square a thumbnail fits in.
  static constexpr int kSide = 120;
  // Item data: true on the thumbnail of a page that did not load, which
  // shows a crossed-out page (its tooltip says why).
  static constexpr int kBrokenRole = Qt::UserRole + 1;

  explicit CPageThumbnails(COrvaneDoc& doc, QWidget* parent = nullptr);

  QListWidget* list() const { return list_; }
  // How many pages have their thumbnail.
  int thumbnailsShown() const { return shown_; }

 private:
  void restart();
  void askInSight();
  void showThumbnail(int generation, int page, const QImage& image, const QString& failure);
  void markCurrent();

  COrvaneDoc& doc_;
  QListWidget* list_;
  QTimer ask_;  // gathers scrolling and resizing into one request
  int generation_ = -1;
  int shown_ = 0;
};

}  // namespace orvane::app
