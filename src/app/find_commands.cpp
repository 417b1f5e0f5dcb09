#include "app/find_commands.h"

#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <algorithm>

#include "app/find_bar.h"
#include "app/find_reader.h"
#include "app/find_word_cache.h"
#include "app/main_frame.h"
#include "app/orvane_doc.h"
#include "app/orvane_view.h"
#include "core/page_ocr.h"

namespace orvane::app {

namespace {

// The reader's scratch files sit beside the document's, under names of
// each reader's own: a reader gone may still be ending when the next starts.
WorkingPaths reader_paths(const WorkingPaths& paths, int reader) {
  const auto beside = [reader](const std::filesystem::path& path) {
    return path.parent_path() / ("find" + std::to_string(reader) + "-" + path.filename().string());
  };
  return {beside(paths.row_file), beside(paths.page_index), beside(paths.temp_tiff)};
}

}  // namespace

CFindCommands::CFindCommands(CMainFrame& frame, COrvaneDoc& doc, const QString& language)
    : QObject(&frame),
      frame_(frame),
      doc_(doc),
      language_(language),
      problem_(QString::fromStdString(ocr_language_problem(language.toStdString()))),
      bar_(new CFindBar(&frame)) {
  frame.addToolBar(Qt::BottomToolBarArea, bar_);
  bar_->hide();
  if (problem_.isEmpty()) {
    frame.setHandler(kCmdFindText, [this] { openBar(); });
    frame.setHandler(kCmdFindNext, [this] { next(); });
    frame.setHandler(kCmdFindPrevious, [this] { previous(); });
  } else {
    // No handler: disabled, and the prompt says why.
    for (const CommandId id : {kCmdFindText, kCmdFindNext, kCmdFindPrevious})
      frame.action(id)->setStatusTip(tr("Find Text cannot read the pages: %1").arg(problem_));
  }
  connect(bar_, &CFindBar::textChanged, this, [this] {
    current_.reset();
    searchAgain();
  });
  connect(bar_, &CFindBar::nextRequested, this, &CFindCommands::next);
  connect(bar_, &CFindBar::previousRequested, this, &CFindCommands::previous);
  connect(bar_, &CFindBar::closed, this, [this] {
    current_.reset();
    showHighlights();
    frame_.view()->setFocus();
  });
  connect(&doc_, &COrvaneDoc::pagesChanged, this, &CFindCommands::followDocument);
  // After the view took the page in (it was connected first).
  connect(&doc_, &COrvaneDoc::viewsNeedUpdate, this, [this] {
    if (reader_) reader_->setPageOnView(doc_.currentPage());
    showHighlights();
    showStatus();
  });
  frame.installEventFilter(this);
  showStatus();
}

// The readers' threads end before the scratch folder and the program go.
CFindCommands::~CFindCommands() {
  reader_.reset();
  CFindReader::waitForReadersGone();
}

// The window closes: the reading ends now rather than when the window
// goes, and the bar is not kept open for the next run.
bool CFindCommands::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &frame_ && event->type() == QEvent::Close) {
    stopReading();
    bar_->hide();
  }
  return QObject::eventFilter(watched, event);
}

std::optional<std::size_t> CFindCommands::currentHit() const {
  if (!current_) return std::nullopt;
  const auto it = std::find(hits_.begin(), hits_.end(), *current_);
  if (it == hits_.end()) return std::nullopt;
  return std::size_t(it - hits_.begin());
}

void CFindCommands::openBar() {
  bar_->open();
  startReading();
  showHighlights();
  showStatus();
}

namespace {

QString source_of(COrvaneDoc& doc) {
  if (doc.path().isEmpty() || doc.pageCount() <= 0) return {};
  return QStringLiteral("%1\n%2\n%3")
      .arg(doc.path(), parameters_text(doc.record().parameters()))
      .arg(doc.pageCount());
}

}  // namespace

void CFindCommands::startReading() {
  if (reader_ || !problem_.isEmpty()) return;
  source_ = source_of(doc_);
  if (source_.isEmpty()) return;
  CFindReader::Source source;
  source.path = doc_.path();
  source.params = doc_.record().parameters();
  source.scratch = reader_paths(doc_.record().working_paths(), ++readers_made_);
  source.page_count = doc_.pageCount();
  source.language = language_;
  source.cache_folder = word_cache_folder();
  pages_.assign(std::size_t(source.page_count), std::nullopt);
  pages_read_ = 0;
  failure_.clear();
  reader_ = std::make_unique<CFindReader>(source, doc_.currentPage());
  connect(reader_.get(), &CFindReader::pageRead, this, &CFindCommands::takePage);
  connect(reader_.get(), &CFindReader::failed, this, [this](const QString& why) {
    failure_ = why;
    showStatus();
  });
}

void CFindCommands::stopReading() {
  reader_.reset();
  source_.clear();
}

void CFindCommands::followDocument() {
  if (source_of(doc_) == source_ && reader_) return;
  stopReading();
  pages_.clear();
  pages_read_ = 0;
  hits_.clear();
  current_.reset();
  failure_.clear();
  if (!bar_->isHidden()) startReading();
  showHighlights();
  showStatus();
}

void CFindCommands::takePage(int page, const PageWords& words) {
  if (page < 0 || std::size_t(page) >= pages_.size() || pages_[std::size_t(page)]) return;
  pages_[std::size_t(page)] = words;
  ++pages_read_;
  // The pages kept in the cache come all at once: one search after them.
  if (search_pending_) return;
  search_pending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        search_pending_ = false;
        searchAgain();
      },
      Qt::QueuedConnection);
}

void CFindCommands::searchAgain() {
  hits_ = find_hits(bar_->text(), pages_);
  if (!currentHit()) current_.reset();
  showHighlights();
  showStatus();
}

void CFindCommands::next() {
  if (bar_->isHidden()) openBar();
  if (hits_.empty()) return;
  const int on_view = doc_.currentPage();
  const std::optional<std::size_t> current = currentHit();
  std::size_t index = 0;
  if (current && hits_[*current].page == on_view) {
    index = (*current + 1) % hits_.size();
  } else {
    // From the page on view: the first place on it or after it.
    const auto it = std::find_if(hits_.begin(), hits_.end(),
                                 [&](const FindHit& hit) { return hit.page >= on_view; });
    index = it == hits_.end() ? 0 : std::size_t(it - hits_.begin());
  }
  goTo(index);
}

void CFindCommands::previous() {
  if (bar_->isHidden()) openBar();
  if (hits_.empty()) return;
  const int on_view = doc_.currentPage();
  const std::optional<std::size_t> current = currentHit();
  std::size_t index = hits_.size() - 1;
  if (current && hits_[*current].page == on_view) {
    index = (*current + hits_.size() - 1) % hits_.size();
  } else {
    const auto it = std::find_if(hits_.rbegin(), hits_.rend(),
                                 [&](const FindHit& hit) { return hit.page <= on_view; });
    if (it != hits_.rend()) index = std::size_t(hits_.rend() - it) - 1;
  }
  goTo(index);
}

void CFindCommands::goTo(std::size_t index) {
  current_ = hits_[index];
  if (current_->page != doc_.currentPage()) {
    doc_.goToIndex(current_->page);  // the view and the highlights follow
  } else {
    showHighlights();
  }
  scrollToCurrent();
  showStatus();
}

std::vector<QRectF> CFindCommands::onView(const std::vector<QRectF>& boxes) const {
  const int page = doc_.currentPage();
  if (page < 0 || std::size_t(page) >= pages_.size() || !pages_[std::size_t(page)] ||
      !doc_.pageShown())
    return {};
  const PageWords& words = *pages_[std::size_t(page)];
  const int w = doc_.page().width, h = doc_.page().height;
  if (w != words.width || h != words.height) return {};
  std::vector<QRectF> out;
  for (QRectF box : boxes) {
    if (doc_.pageMirrored()) box.moveLeft(w - box.right());
    if (doc_.pageFlipped()) box.moveTop(h - box.bottom());
    out.push_back(box);
  }
  return out;
}

void CFindCommands::showHighlights() {
  FindHighlights highlights;
  const int page = doc_.currentPage();
  if (!bar_->isHidden()) {
    for (const FindHit& hit : hits_) {
      if (hit.page != page) continue;
      std::vector<QRectF>& to =
          current_ && hit == *current_ ? highlights.current : highlights.boxes;
      for (const QRectF& box : onView(hit_boxes(hit, pages_))) to.push_back(box);
    }
  }
  frame_.view()->setFindHighlights(std::move(highlights));
}

// The place gone to is brought into sight, in the middle of the window
// along each side it was out of sight on.
void CFindCommands::scrollToCurrent() {
  if (!current_) return;
  QRectF place;
  for (const QRectF& box : onView(hit_boxes(*current_, pages_))) place |= box;
  if (place.isEmpty()) return;
  COrvaneView* view = frame_.view();
  const DisplaySize& size = view->displaySize();
  const QRectF drawn = drawn_box(place, QSizeF(size.source_width, size.source_height),
                                 QRectF(QPointF(0, 0), QSizeF(view->drawnSize())));
  const QSize area = view->viewport()->size();
  QScrollBar* h = view->horizontalScrollBar();
  QScrollBar* v = view->verticalScrollBar();
  if (drawn.left() < h->value() || drawn.right() > h->value() + area.width())
    h->setValue(int(drawn.center().x()) - area.width() / 2);
  if (drawn.top() < v->value() || drawn.bottom() > v->value() + area.height())
    v->setValue(int(drawn.center().y()) - area.height() / 2);
}

void CFindCommands::showStatus() {
  if (!problem_.isEmpty()) {
    bar_->setStatus(problem_);
    return;
  }
  if (!failure_.isEmpty()) {
    bar_->setStatus(tr("The pages cannot be read: %1").arg(failure_));
    return;
  }
  if (!reader_) {
    bar_->setStatus(doc_.pageCount() > 0 ? QString() : tr("No fax is open"));
    return;
  }
  const QString read = tr("%1 of %2 pages read").arg(pages_read_).arg(pages_.size());
  if (bar_->text().simplified().isEmpty()) {
    bar_->setStatus(read);
  } else if (hits_.empty()) {
    bar_->setStatus(tr("Not found — %1").arg(read));
  } else if (const std::optional<std::size_t> current = currentHit()) {
    bar_->setStatus(tr("%1 of %2 — %3").arg(*current + 1).arg(hits_.size()).arg(read));
  } else {
    bar_->setStatus(tr("%n found — %1", nullptr, int(hits_.size())).arg(read));
  }
}

}  // namespace orvane::app
