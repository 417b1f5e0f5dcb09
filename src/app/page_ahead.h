#pragma once
// Pages read ahead on a worker thread: the neighbours of the page on view,
// decoded and scaled for the screen before the user turns to them, and the
// thumbnails of the pages the overview shows. The worker reads through the
// document's own record, under a lock the document holds whenever it uses
// the record, so what the open found (the page table, the analysed bare
// stream) serves both and nothing is read twice. At most the two
// neighbours are held, with the page in hand three; a thumbnail is handed
// over as soon as it is made.
#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "app/page_tiles.h"
#include "core/fax_file.h"

namespace orvane::app {

class CPageAhead : public QObject {
  Q_OBJECT
 public:
  // The document's record and the lock that guards it; no record, or no
  // pages, is no work.
  struct Source {
    FaxFile* record = nullptr;
    std::mutex* lock = nullptr;
    int page_count = 0;
  };
  // A page as the document and the view take it over.
  struct Ready {
    LoadedPage loaded;        // normalised to inches, as the view would leave it
    std::vector<Tile> tiles;  // what will be in sight, drawn at `drawn` for `ratio`
    QSize drawn;
    qreal ratio = 1;
  };

  explicit CPageAhead(QObject* parent = nullptr);
  ~CPageAhead() override;

  // A new file, or new parameters: whatever was held or asked is dropped.
  // Returns once the worker has let go of the record before, which may then
  // be changed or destroyed; the caller does not hold either lock.
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

 signals:
  // Queued from the worker; `generation` tells which source it is of. A
  // page that did not load comes with a null image and `failure`, why not
  // ("page 3 does not decode: its directory cannot be read").
  void thumbnailReady(int generation, int page, const QImage& image, const QString& failure);

 private:
  struct Job {
    enum Kind { kNone, kNeighbour, kThumbnail } kind = kNone;
    int page = 0;
  };
  void run();
  Job nextJob();  // under the lock
  // Page `page` through the record of `source`, as a value.
  static LoadedPage readPage(const Source& source, int page);
  // False when the page could not be read.
  bool doNeighbour(const Source& source, int generation, int page, float scaling, qreal ratio,
                   QRect sight, bool next);
  void doThumbnail(const Source& source, int generation, int page, int side);

  mutable std::mutex mutex_;
  std::condition_variable wake_;  // work to do, or stop
  std::condition_variable done_;  // the job in hand is finished
  bool stopping_ = false;
  int generation_ = 0;
  Source source_;
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
  bool busy_ = false;        // the worker is on a job (and may use the record)

  std::thread worker_;
};

}  // namespace orvane::app
