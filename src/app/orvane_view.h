#pragma once
// The scrolling view: the page of the document drawn at its true aspect
// times the zoom factor, from the top-left corner, on a light grey ground.
// Only what is in sight is drawn, in tiles made from the page bitmap.
#include <QAbstractScrollArea>
#include <QImage>
#include <vector>

#include "app/display_size.h"
#include "app/find_highlights.h"
#include "app/page_tiles.h"

class QPainter;

namespace orvane::app {

class COrvaneDoc;

class COrvaneView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  static constexpr QRgb kBackground = 0xFFE8E8E8;

  explicit COrvaneView(COrvaneDoc& doc, QWidget* parent = nullptr);

  // Recomputes the sizes, drops the tiles of the page before, resets the
  // scroll range, repaints and has the document refresh the status bar.
  void updateFromDocument();
  // Reversed display: black and white swapped, for every page and file
  // until switched off again.
  void toggleReversed();
  bool reversed() const { return reversed_; }

  const DisplaySize& displaySize() const { return display_; }
  // The page's size on screen in device-independent pixels.
  QSize drawnSize() const { return drawn_; }
  // What Find Text found on the page on view, painted over it.
  void setFindHighlights(FindHighlights highlights);
  const FindHighlights& findHighlights() const { return highlights_; }
  // The whole page as drawn at the top-left corner, made from the tiles
  // (null without a page); for tests and pictures of the window, as it
  // is the size of the page at the present scaling.
  QImage drawnPage();
  // The tiles held.
  const CPageTiles& tiles() const { return tiles_; }

 signals:
  // A file was dropped on the window.
  void fileDropped(const QString& path);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The tiles start again for the page on view as it is drawn now.
  void resetTiles();
  void followFit();
  // Room for the tiles of two windows' worth of the page.
  void setTileBudget();
  // The part of the page in sight, in device pixels of the drawn page.
  QRect sight() const;
  void drawRefusal(QPainter& painter);
  void updateScrollRange();

  COrvaneDoc& doc_;
  DisplaySize display_;
  QSize drawn_{100, 100};
  CPageTiles tiles_;  // of the page as drawn: scaled, maybe reversed
  bool reversed_ = false;
  FindHighlights highlights_;
};

}  // namespace orvane::app
