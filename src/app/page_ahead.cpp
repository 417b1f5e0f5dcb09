#include "app/page_ahead.h"

#include <QtConcurrent/QtConcurrentRun>
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

CPageAhead::CPageAhead(const WorkingPaths& scratch, QObject* parent)
    : QObject(parent), scratch_(scratch) {
  // One thread: the record is used by one task at a time.
  pool_.setMaxThreadCount(1);
}

CPageAhead::~CPageAhead() {
  stop();
}

void CPageAhead::stop() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    stop_->request_stop();
  }
  done_.notify_all();
  task_.waitForFinished();
  pool_.waitForDone();
  {
    // The task's end as our own lock sees it, not only as the pool's:
    // what the task did happens before what follows here.
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return !running_; });
  }
  // Its scratch files go with it.
  record_.reset();
}

void CPageAhead::setSource(const Source& source) {
  const std::lock_guard lock(mutex_);
  ++generation_;
  source_ = source;
  current_ = -1;
  ready_.clear();
  failed_.clear();
  thumbnails_.clear();
  // The work under way is of the file before: it ends at its next step.
  stop_->request_stop();
  stop_ = std::make_shared<WorkControl>();
  wake();
}

int CPageAhead::generation() const {
  const std::lock_guard lock(mutex_);
  return generation_;
}

void CPageAhead::follow(int current, float scaling, qreal ratio, QRect sight) {
  const std::lock_guard lock(mutex_);
  // Tiles of another sight are still the page's: only the size counts.
  if (scaling != scaling_ || ratio != ratio_) ready_.clear();
  current_ = current;
  scaling_ = scaling;
  ratio_ = ratio;
  sight_ = sight;
  const std::vector<int> wanted = neighbours(current_, source_.page_count);
  std::erase_if(ready_, [&](const auto& entry) { return !contains(wanted, entry.first); });
  wake();
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
  const std::lock_guard lock(mutex_);
  thumbnails_ = pages;
  thumbnail_side_ = side;
  wake();
}

void CPageAhead::wake() {
  if (running_ || stopping_) return;
  running_ = true;
  task_ = QtConcurrent::run(&pool_, [this] { run(); });
}

// The record first; then the neighbours: a page turn is waited for, a
// thumbnail is not.
CPageAhead::Job CPageAhead::nextJob() {
  if (source_.path.empty() || source_.page_count <= 0) {
    // A record of no file holds nothing open.
    return record_ ? Job{Job::kOpen, 0} : Job{};
  }
  if (record_generation_ != generation_) return {Job::kOpen, 0};
  if (!record_serves_) return {};
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
    std::shared_ptr<WorkControl> stop;
    float scaling = 1.0f;
    qreal ratio = 1;
    QRect sight;
    int current = 0;
    int side = 0;
    {
      const std::lock_guard lock(mutex_);
      if (!stopping_) job = nextJob();
      if (job.kind == Job::kNone) {
        running_ = false;
        done_.notify_all();
        return;
      }
      generation = generation_;
      source = source_;
      stop = stop_;
      scaling = scaling_;
      ratio = ratio_;
      sight = sight_;
      current = current_;
      side = thumbnail_side_;
      if (job.kind == Job::kNeighbour) in_hand_ = job.page;
    }
    bool failed = false;
    if (job.kind == Job::kOpen) {
      record_serves_ = openRecord(source, stop);
      record_generation_ = generation;
    } else if (job.kind == Job::kNeighbour) {
      failed = !doNeighbour(generation, job.page, scaling, ratio, sight, job.page > current, *stop);
    } else {
      doThumbnail(generation, job.page, side);
    }
    {
      const std::lock_guard lock(mutex_);
      // What cannot be read is not tried again for this source.
      if (failed && generation == generation_) failed_.push_back(job.page);
      in_hand_ = -1;
    }
    done_.notify_all();
  }
}

bool CPageAhead::openRecord(const Source& source, const std::shared_ptr<WorkControl>& stop) {
  record_.reset();
  if (source.path.empty() || source.page_count <= 0) return false;
  record_ = std::make_unique<FaxFile>();
  record_->set_working_paths(scratch_);
  record_->set_parameters(source.params);
  try {
    // Bare data is analysed again here, in scratch files of its own.
    if (record_->open(source.path, source.format, stop.get(), FaxFile::FirstPage::kSkip) !=
        OpenResult::kOk)
      return false;
  } catch (const std::exception&) {
    return false;
  }
  return record_->page_count() == source.page_count;
}

bool CPageAhead::doNeighbour(int generation, int page, float scaling, qreal ratio, QRect sight,
                             bool next, const WorkControl& stop) {
  Ready ready;
  ready.loaded = read_page_or_reason(*record_, page);
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
    // A page at 4.00 takes tens of tiles: a new file or exit need not
    // wait for them.
    if (stop.stop_requested()) return true;
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

void CPageAhead::doThumbnail(int generation, int page, int side) {
  LoadedPage loaded = read_page_or_reason(*record_, page);
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
  {
    // Handed over under our own lock, the call below only says so.
    const std::lock_guard lock(mutex_);
    made_.push_back({generation, page, std::move(thumbnail), std::move(failure)});
  }
  QMetaObject::invokeMethod(this, &CPageAhead::handOver, Qt::QueuedConnection);
}

void CPageAhead::handOver() {
  std::vector<Made> made;
  {
    const std::lock_guard lock(mutex_);
    made.swap(made_);
  }
  for (const Made& m : made) emit thumbnailReady(m.generation, m.page, m.image, m.failure);
}

}  // namespace orvane::app
