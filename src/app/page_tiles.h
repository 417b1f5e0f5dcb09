#pragma once
// The page as the view draws it, in square tiles of device pixels made from
// the page bitmap when they come in sight and kept in a small cache bounded
// in bytes: a page at 4.00 is tens of megabytes drawn whole, of which a
// window shows a few. Whatever bitmap the document hands over (turned,
// flipped, its resolutions changed) is drawn this way.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "base/page_bitmap.h"

namespace orvane::app {

// Device pixels along a tile's side.
inline constexpr int kTileSide = 256;

// The tiles (column, row) that `part` of a page drawn at `device` device
// pixels touches, row by row; none outside the page.
std::vector<QPoint> tiles_over(QRect part, QSize device);
// The device pixels of tile `grid` of a page drawn at `device`, clipped
// to the page.
QRect tile_rect(QPoint grid, QSize device);

// Hands the memory freed so far back to the system: the C library keeps
// freed blocks for the next allocation otherwise, so a page zoomed out of
// would go on holding the memory of its large tiles.
void give_back_memory();

// A tile as made: not reversed, without a pixel ratio.
using Tile = std::pair<QPoint, QImage>;

class CPageTiles {
 public:
  // What the tiles are of: a new page, size or screen drops every tile.
  void reset(QSize device, qreal ratio, bool reversed);
  // The bytes held at most; the least recently drawn tiles go first.
  void setBudget(std::size_t bytes);
  // Black and white swapped in every tile held and made from now on.
  void setReversed(bool reversed);

  // Tile `grid` of `page`, made now when it is not held.
  const QImage& tile(const PageBitmap& page, QPoint grid);
  // A tile made elsewhere (read ahead) for this page and size.
  void insert(Tile tile);

  QSize device() const { return device_; }
  qreal ratio() const { return ratio_; }
  std::size_t bytes() const { return bytes_; }
  std::size_t count() const { return held_.size(); }

 private:
  struct Held {
    QPoint grid;
    QImage image;
    std::uint64_t used = 0;
  };
  Held& add(QPoint grid, QImage image);
  void keepWithinBudget();

  QSize device_;
  qreal ratio_ = 1;
  bool reversed_ = false;
  std::size_t budget_ = std::size_t(16) << 20;
  std::size_t bytes_ = 0;
  std::uint64_t clock_ = 0;
  // A window's worth of tiles: a short list, searched through.
  std::vector<Held> held_;
  QImage none_;
};

}  // namespace orvane::app
