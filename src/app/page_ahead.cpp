#include "app/page_ahead.h"

#include <algorithm>

#include "app/display_image.h"
#include "app/display_size.h"
#include "app/refusal_reason.h"
#include "core/format_registry.h"

namespace orvane::app {

namespace {

bool contains(const std::vector<int>& list, int value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

// The neighbours of `current`, the next one first (pages are mostly read
// forwards).
std::vector<int> neighbours(int current, int page_count) {
  std::vector<int> pages;
  if (current < 0) return pages;
  if (current + 1 < page_count) pages.push_back(current + 1);
  if (current - 1 >= 0 && current - 1 < page_count) pages.push_back(current - 1);
  return pages;
}

}  // namespace

CPageAhead::CPageAhead(QObject* parent) : QObject(parent) {
  worker_ = std::thread([this] { run(); });
}

CPageAhead::~CPageAhead() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

void CPageAhead::setSource(const Source& source) {
  {
    std::unique_lock lock(mutex_);
    ++generation_;
    source_ = source;
    current_ = -1;
    ready_.clear();
    failed_.clear();
    thumbnails_.clear();
    // A job picks its source under this lock: once the worker is idle, no
    // job of the record before can start.
    done_.wait(lock, [&] { return !busy_; });
  }
  wake_.notify_all();
}

int CPageAhead::generation() const {
  const std::lock_guard lock(mutex_);
  return generation_;
}

void CPageAhead::follow(int current, float scaling, qreal ratio, QRect sight) {
  {
    const std::lock_guard lock(mutex_);
    // Tiles of another sight are still the page's: only the size counts.
    if (scaling != scaling_ || ratio != ratio_) ready_.clear();
    current_ = current;
    scaling_ = scaling;
    ratio_ = ratio;
    sight_ = sight;
    const std::vector<int> wanted = neighbours(current_, source_.page_count);
    std::erase_if(ready_, [&](const auto& entry) { return !contains(wanted, entry.first); });
  }
  wake_.notify_all();
}

std::optional<CPageAhead::Ready> CPageAhead::take(int index) {
  std::unique_lock lock(mutex_);
  done_.wait(lock, [&] { return in_hand_ != index || stopping_; });
  const auto it =
      std::find_if(ready_.begin(), ready_.end(), [&](const auto& e) { return e.first == index; });
  if (it == ready_.end()) return std::nullopt;
  Ready ready = std::move(it->second);
  ready_.erase(it);
  return ready;
}

bool CPageAhead::holds(int index) const {
  const std::lock_guard lock(mutex_);
  return std::any_of(ready_.begin(), ready_.end(), [&](const auto& e) { return e.first == index; });
}

void CPageAhead::askThumbnails(const std::vector<int>& pages, int side) {
  {
    const std::lock_guard lock(mutex_);
    thumbnails_ = pages;
    thumbnail_side_ = side;
  }
  wake_.notify_all();
}

// The neighbours come first: a page turn is waited for, a thumbnail is not.
CPageAhead::Job CPageAhead::nextJob() {
  if (!source_.record || !source_.lock || source_.page_count <= 0) return {};
  for (int page : neighbours(current_, source_.page_count)) {
    const bool held =
        std::any_of(ready_.begin(), ready_.end(), [&](const auto& e) { return e.first == page; });
    if (!held && !contains(failed_, page)) return {Job::kNeighbour, page};
  }
  while (!thumbnails_.empty()) {
    const int page = thumbnails_.front();
    thumbnails_.erase(thumbnails_.begin());
    if (page >= 0 && page < source_.page_count) return {Job::kThumbnail, page};
  }
  return {};
}

void CPageAhead::run() {
  for (;;) {
    Job job;
    int generation = 0;
    Source source;
    float scaling = 1.0f;
    qreal ratio = 1;
    QRect sight;
    int current = 0;
    int side = 0;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || (job = nextJob()).kind != Job::kNone; });
      if (stopping_) return;
      generation = generation_;
      source = source_;
      scaling = scaling_;
      ratio = ratio_;
      sight = sight_;
      current = current_;
      side = thumbnail_side_;
      busy_ = true;
      if (job.kind == Job::kNeighbour) in_hand_ = job.page;
    }
    bool failed = false;
    if (job.kind == Job::kNeighbour) {
      failed =
          !doNeighbour(source, generation, job.page, scaling, ratio, sight, job.page > current);
    } else {
      doThumbnail(source, generation, job.page, side);
    }
    {
      const std::lock_guard lock(mutex_);
      // What cannot be read is not tried again for this source.
      if (failed && generation == generation_) failed_.push_back(job.page);
      in_hand_ = -1;
      busy_ = false;
    }
    done_.notify_all();
  }
}

LoadedPage CPageAhead::readPage(const Source& source, int page) {
  const std::lock_guard lock(*source.lock);
  return read_page_or_reason(*source.record, page);
}

bool CPageAhead::doNeighbour(const Source& source, int generation, int page, float scaling,
                             qreal ratio, QRect sight, bool next) {
  Ready ready;
  ready.loaded = readPage(source, page);
  if (!ready.loaded.valid()) return false;
  const DisplaySize size = display_size(ready.loaded.page, scaling);
  ready.drawn = QSize(size.width, size.height);
  ready.ratio = ratio;
  const QSize device = device_size(ready.drawn, ratio);
  std::vector<QPoint> grids = tiles_over(sight, device);
  const QRect turned =
      sight.translated(0, (next ? 0 : device.height() - sight.height()) - sight.y());
  for (const QPoint grid : tiles_over(turned, device))
    if (std::find(grids.begin(), grids.end(), grid) == grids.end()) grids.push_back(grid);
  for (const QPoint grid : grids) {
    QImage tile = drawn_part(ready.loaded.page, device, tile_rect(grid, device));
    if (!tile.isNull()) ready.tiles.emplace_back(grid, std::move(tile));
  }
  const std::lock_guard lock(mutex_);
  // Kept only while still wanted as drawn.
  if (generation != generation_ || scaling != scaling_ || ratio != ratio_ ||
      !contains(neighbours(current_, source_.page_count), page)) {
    return true;
  }
  ready_.emplace_back(page, std::move(ready));
  return true;
}

void CPageAhead::doThumbnail(const Source& source, int generation, int page, int side) {
  LoadedPage loaded = readPage(source, page);
  QImage thumbnail;
  QString failure;
  if (!loaded.valid()) {
    failure = QString::fromStdString(loaded.refusal->for_page(std::uint32_t(page + 1)));
  } else if (side > 0) {
    // The page's true aspect, fitted into the square.
    const DisplaySize size = display_size(loaded.page, 1.0f);
    const double fit =
        std::min(double(side) / std::max(1, size.width), double(side) / std::max(1, size.height));
    const QSize drawn(std::max(1, int(size.width * fit)), std::max(1, int(size.height * fit)));
    thumbnail = scaled_page(loaded.page, drawn, 1.0, false);
  }
  QMetaObject::invokeMethod(
      this,
      [this, generation, page, thumbnail, failure] {
        emit thumbnailReady(generation, page, thumbnail, failure);
      },
      Qt::QueuedConnection);
}

}  // namespace orvane::app
