#pragma once
// Pages read ahead in the background: the neighbours of the page on view,
// decoded and drawn for the screen before the user turns to them, and the
// thumbnails of the pages the overview shows. The work runs as tasks on a
// pool of one thread of its own (QtConcurrent), through a record of the
// file of its own, opened on the same path with the same parameters and
// scratch files of its own: nothing is shared with the document's record,
// so the document never waits for a lock while it reads, and a new file
// or exit need not wait for a page being read. At most the two neighbours
// are held, with the page in hand three; a thumbnail is handed over as
// soon as it is made.
#include <QFuture>
#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>
#include <QThreadPool>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "app/page_tiles.h"
#include "base/work_control.h"
#include "core/fax_file.h"

namespace orvane::app {

class CPageAhead : public QObject {
  Q_OBJECT
 public:
  // The file on view as the reader ahead opens it for itself. No path, or
  // no pages, is no work; a file that opens with another count of pages
  // than the document's is not read ahead.
  struct Source {
    std::filesystem::path path;
    int format = -1;
    DecodingParameters params;
    int page_count = 0;
  };
  // A page as the document and the view take it over.
  struct Ready {
    LoadedPage loaded;        // normalised to inches, as the view would leave it
    std::vector<Tile> tiles;  // what will be in sight, drawn at `drawn` for `ratio`
    QSize drawn;
    qreal ratio = 1;
  };

  // `scratch`: the scratch files of the reader ahead's record (bare data,
  // At Work), apart from the document's.
  explicit CPageAhead(const WorkingPaths& scratch, QObject* parent = nullptr);
  // Stops the work as stop() does.
  ~CPageAhead() override;

  // A new file, or new parameters: whatever was held or asked is dropped,
  // the work under way told to stop. Returns at once.
  void setSource(const Source& source);
  // Counts the sources set; results name the one they belong to.
  int generation() const;

  // The page on view is `current`, drawn at `scaling` on a screen of
  // `ratio`, with `sight` of it in sight (device pixels): its neighbours
  // are made ready, anything else held is dropped. Of a neighbour the
  // tiles under the same sight are drawn, and those under it moved to the
  // page's top (the next page) or bottom (the page before), where turning
  // with the keys puts the window.
  void follow(int current, float scaling, qreal ratio, QRect sight);
  // Page `index` when it is ready (waiting for it when the worker is on it
  // just now); nothing when it was not asked for.
  std::optional<Ready> take(int index);
  // True when page `index` is held ready.
  bool holds(int index) const;

  // Thumbnails of `pages`, made in this order, each fitting in a square of
  // `side` device pixels; replaces the thumbnails asked before that are not
  // made yet.
  void askThumbnails(const std::vector<int>& pages, int side);

  // Ends the work and waits for it: a page being read is read to its end
  // (a few milliseconds), drawing and the analysis of bare data stop at
  // their next step. Nothing is done after it.
  void stop();

 signals:
  // Queued from the worker; `generation` tells which source it is of. A
  // page that did not load comes with a null image and `failure`, why not
  // ("page 3 does not decode: its directory cannot be read").
  void thumbnailReady(int generation, int page, const QImage& image, const QString& failure);

 private:
  struct Job {
    enum Kind { kNone, kOpen, kNeighbour, kThumbnail } kind = kNone;
    int page = 0;
  };
  // Starts the task unless it runs; under the lock.
  void wake();
  // The task: jobs one after another until there is none.
  void run();
  Job nextJob();  // under the lock
  // Opens the record of `source`; false when it gave no record that
  // serves it.
  bool openRecord(const Source& source, const std::shared_ptr<WorkControl>& stop);
  // False when the page could not be read.
  bool doNeighbour(int generation, int page, float scaling, qreal ratio, QRect sight, bool next,
                   const WorkControl& stop);
  void doThumbnail(int generation, int page, int side);
  // On the object's thread: the thumbnails made so far are told.
  void handOver();

  mutable std::mutex mutex_;
  std::condition_variable done_;  // the job in hand is finished
  bool stopping_ = false;
  bool running_ = false;  // a task is started and has not seen an empty queue
  int generation_ = 0;
  Source source_;
  // Asked of the work under way, and replaced, when the source changes.
  std::shared_ptr<WorkControl> stop_ = std::make_shared<WorkControl>();
  // What is asked.
  int current_ = -1;
  float scaling_ = 1.0f;
  qreal ratio_ = 1;
  QRect sight_;
  std::vector<int> thumbnails_;
  int thumbnail_side_ = 0;
  // What is held and in hand.
  std::vector<std::pair<int, Ready>> ready_;
  std::vector<int> failed_;  // neighbours that did not load, not tried again
  int in_hand_ = -1;         // the neighbour being read
  // Thumbnails made and not told yet.
  struct Made {
    int generation;
    int page;
    QImage image;
    QString failure;
  };
  std::vector<Made> made_;

  // The record, used by the task only (one task at a time).
  WorkingPaths scratch_;
  std::unique_ptr<FaxFile> record_;
  int record_generation_ = -1;  // the source the record is of
  bool record_serves_ = false;  // it opened with the document's pages

  QThreadPool pool_;  // one thread
  QFuture<void> task_;
};

}  // namespace orvane::app
