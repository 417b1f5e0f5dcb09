#include "app/find_reader.h"

#include <QFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

#include "app/find_word_cache.h"
#include "base/work_control.h"
#include "core/classify.h"
#include "core/page_ocr.h"

namespace orvane::app {

namespace {

// Words read since the cache was last written are kept at most this long
// in memory only: a page takes about a second to read, so the file is not
// written again for every page of a long fax.
constexpr auto kCacheInterval = std::chrono::seconds(5);

// The threads of readers gone, until they are waited for. Any left at the
// end are waited for then: a thread must not outlive the program's
// statics (nor libtesseract's).
struct GoneThreads {
  std::mutex lock;
  std::vector<std::thread> threads;
  void join_all() {
    std::vector<std::thread> ending;
    {
      const std::lock_guard hold(lock);
      ending.swap(threads);
    }
    for (std::thread& t : ending) t.join();
  }
  ~GoneThreads() { join_all(); }
};

GoneThreads& gone_threads() {
  static GoneThreads threads;
  return threads;
}

}  // namespace

// What the thread works with, shared with the reader while it lives: the
// thread may outlast it by the step it cannot break off.
struct CFindReader::Work {
  CFindReader::Source source;
  std::atomic<int> on_view{0};
  std::atomic<int> recognised{0};
  std::atomic<bool> stopping{false};
  WorkControl control;  // stops the analysis of bare data when the file is opened again
  std::mutex receiver_lock;
  CFindReader* receiver = nullptr;  // null once the reader is gone

  // Runs `tell` on the reader's thread, unless the reader is gone by then.
  void tell(std::function<void(CFindReader&)> tell) {
    const std::lock_guard hold(receiver_lock);
    if (!receiver) return;
    CFindReader* r = receiver;
    QMetaObject::invokeMethod(
        r, [r, tell = std::move(tell)] { tell(*r); }, Qt::QueuedConnection);
  }
  // The page to read next; -1 when every page was read.
  int next_page(const std::vector<bool>& done) const {
    const int count = int(done.size());
    if (count == 0) return -1;
    const int start = std::clamp(on_view.load(), 0, count - 1);
    for (int i = 0; i < count; ++i) {
      const int page = (start + i) % count;
      if (!done[std::size_t(page)]) return page;
    }
    return -1;
  }
};

CFindReader::CFindReader(const Source& source, int page_on_view, QObject* parent)
    : QObject(parent), work_(std::make_shared<Work>()) {
  work_->source = source;
  work_->on_view = page_on_view;
  work_->receiver = this;
  worker_ = std::thread([work = work_] { run(*work); });
}

CFindReader::~CFindReader() {
  {
    const std::lock_guard hold(work_->receiver_lock);
    work_->receiver = nullptr;
  }
  work_->stopping = true;
  work_->control.request_stop();
  GoneThreads& gone = gone_threads();
  const std::lock_guard hold(gone.lock);
  gone.threads.push_back(std::move(worker_));
}

void CFindReader::waitForReadersGone() {
  gone_threads().join_all();
}

const CFindReader::Source& CFindReader::source() const {
  return work_->source;
}
void CFindReader::setPageOnView(int page) {
  work_->on_view = page;
}
int CFindReader::pagesRecognised() const {
  return work_->recognised;
}

void CFindReader::run(Work& work) {
  const Source& source = work.source;
  const std::function<bool()> stop = [&work] { return work.stopping.load(); };
  const int count = source.page_count;
  if (count <= 0) return;
  const auto hand_over = [&work](int page, const PageWords& words) {
    work.tell([page, words](CFindReader& r) { emit r.pageRead(page, words); });
  };
  const auto fail = [&work](const QString& why) {
    work.tell([why](CFindReader& r) { emit r.failed(why); });
  };
  const WordCacheKey key{file_digest(source.path, stop), source.language,
                         parameters_text(source.params), count};
  if (work.stopping) return;
  FaxWords pages(static_cast<std::size_t>(count));
  std::vector<bool> done(std::size_t(count), false);
  if (std::optional<FaxWords> kept = read_word_cache(source.cache_folder, key)) {
    pages = std::move(*kept);
    for (std::size_t i = 0; i < pages.size(); ++i) {
      if (!pages[i]) continue;
      done[i] = true;
      hand_over(int(i), *pages[i]);
    }
  }
  if (work.next_page(done) < 0) return;

  const std::filesystem::path file(QFile::encodeName(source.path).toStdString());
  const std::int32_t format = classify(file);
  FaxFile record;
  record.set_working_paths(source.scratch);
  record.set_parameters(source.params);
  const OpenResult opened =
      format < 0 ? OpenResult::kFailed
                 : record.open(file, format, &work.control, FaxFile::FirstPage::kSkip);
  if (work.stopping) return;
  if (opened != OpenResult::kOk) {
    fail(tr("the file cannot be read again"));
    return;
  }
  PageOcr ocr;
  if (!ocr.start(source.language.toStdString())) {
    fail(QString::fromStdString(ocr.problem()));
    return;
  }
  bool unsaved = false;
  auto saved_at = std::chrono::steady_clock::now();
  std::vector<OcrLine> lines;
  for (int page; !work.stopping && (page = work.next_page(done)) >= 0;) {
    PageWords words;
    // Pages past those the record lists (the file changed since the
    // document read it) and pages that do not load have no words.
    if (page < record.page_count()) {
      const LoadedPage loaded = record.read_page(std::uint32_t(page));
      words.width = loaded.page.width;
      words.height = loaded.page.height;
      if (loaded.valid()) {
        const bool read = ocr.read(loaded.page, lines, stop);
        if (work.stopping) break;
        if (read) words = words_of_lines(lines, loaded.page.width, loaded.page.height);
        ++work.recognised;
      }
    }
    done[std::size_t(page)] = true;
    pages[std::size_t(page)] = words;
    unsaved = true;
    hand_over(page, words);
    if (std::chrono::steady_clock::now() - saved_at >= kCacheInterval) {
      write_word_cache(source.cache_folder, key, pages);
      saved_at = std::chrono::steady_clock::now();
      unsaved = false;
    }
  }
  // Also when stopped: what was read is kept (a few milliseconds).
  if (unsaved) write_word_cache(source.cache_folder, key, pages);
}

}  // namespace orvane::app
