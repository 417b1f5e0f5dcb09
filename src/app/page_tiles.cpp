#include "app/page_tiles.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>

#include "app/display_image.h"

namespace orvane::app {

std::vector<QPoint> tiles_over(QRect part, QSize device) {
  std::vector<QPoint> tiles;
  part &= QRect(QPoint(0, 0), device);
  if (part.isEmpty()) return tiles;
  for (int row = part.top() / kTileSide; row <= part.bottom() / kTileSide; ++row)
    for (int col = part.left() / kTileSide; col <= part.right() / kTileSide; ++col)
      tiles.emplace_back(col, row);
  return tiles;
}

QRect tile_rect(QPoint grid, QSize device) {
  return QRect(grid * kTileSide, QSize(kTileSide, kTileSide)) & QRect(QPoint(0, 0), device);
}

void give_back_memory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

void CPageTiles::reset(QSize device, qreal ratio, bool reversed) {
  device_ = device;
  ratio_ = ratio;
  reversed_ = reversed;
  // Swapped for an empty list: the memory goes now, not at the next page.
  std::vector<Held>().swap(held_);
  bytes_ = 0;
}

void CPageTiles::setBudget(std::size_t bytes) {
  budget_ = bytes;
  keepWithinBudget();
}

void CPageTiles::setReversed(bool reversed) {
  if (reversed == reversed_) return;
  reversed_ = reversed;
  for (Held& held : held_) held.image.invertPixels();
}

const QImage& CPageTiles::tile(const PageBitmap& page, QPoint grid) {
  for (Held& held : held_) {
    if (held.grid == grid) {
      held.used = ++clock_;
      return held.image;
    }
  }
  QImage image = drawn_part(page, device_, tile_rect(grid, device_));
  if (image.isNull()) return none_;
  if (reversed_) image.invertPixels();
  return add(grid, std::move(image)).image;
}

void CPageTiles::insert(Tile tile) {
  if (tile.second.isNull() || tile.second.size() != tile_rect(tile.first, device_).size()) return;
  if (std::any_of(held_.begin(), held_.end(),
                  [&](const Held& held) { return held.grid == tile.first; }))
    return;
  if (reversed_) tile.second.invertPixels();
  add(tile.first, std::move(tile.second));
}

CPageTiles::Held& CPageTiles::add(QPoint grid, QImage image) {
  image.setDevicePixelRatio(ratio_);
  // Room first, so that the tile returned stays where it is.
  bytes_ += std::size_t(image.sizeInBytes());
  keepWithinBudget();
  held_.push_back({grid, std::move(image), ++clock_});
  return held_.back();
}

void CPageTiles::keepWithinBudget() {
  while (bytes_ > budget_ && !held_.empty()) {
    const auto oldest = std::min_element(
        held_.begin(), held_.end(), [](const Held& a, const Held& b) { return a.used < b.used; });
    bytes_ -= std::size_t(oldest->image.sizeInBytes());
    held_.erase(oldest);
  }
}

}  // namespace orvane::app
