// A page turn in the viewer: the next page of a loaded TIFF fax decoded,
// sized, scaled and made ready to paint, as the window does it. Runs on the
// offscreen platform. The window's aim is under 16 ms a turn at 1.00 (one
// frame at 60 Hz), which reading ahead meets.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScrollBar>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/display_image.h"
#include "app/doc_ui.h"
#include "app/orvane_doc.h"
#include "app/orvane_view.h"
#include "core/scratch_dir.h"

namespace {

using namespace orvane;
using namespace orvane::app;

// The page commands ask nothing of the user.
struct SilentUi : CDocUi {
  bool askPageNumber(int&, int, const QString&) override { return false; }
  bool askResolutions(int&, int&) override { return false; }
  bool askBitOrder(int&) override { return false; }
  bool askAdvanced(AdvancedValues&) override { return false; }
  void showProperties(const FaxProperties&) override {}
  void showTipsOfOpenFax() override {}
  void message(const QString&, const QString&) override {}
  bool runLong(const QString&, const std::function<void()>& work, WorkControl*) override {
    work();
    return true;
  }
};

// Argument: zoom steps from 1.00 (negative: out).
void BM_PageTurn(benchmark::State& state) {
  ScratchDir scratch;
  SilentUi ui;
  COrvaneDoc doc(scratch.paths(), ui);
  COrvaneView view(doc);
  view.resize(1200, 900);
  if (!doc.open(QStringLiteral(ORVANE_SOURCE_DIR "/samples/sample.tif")) || doc.pageCount() < 2) {
    state.SkipWithError("samples/sample.tif did not open with two pages");
    return;
  }
  for (int i = 0; i < state.range(0); ++i) doc.zoomIn();
  for (int i = 0; i > state.range(0); --i) doc.zoomOut();
  for (auto _ : state) {
    if (doc.canGoForward()) {
      doc.nextPage();
    } else {
      doc.previousPage();
    }
    benchmark::DoNotOptimize(view.tiles().count());
  }
  state.SetLabel(QStringLiteral("scaling %1").arg(double(doc.scaling()), 0, 'f', 2).toStdString());
}
BENCHMARK(BM_PageTurn)->Arg(0)->Arg(-3)->Arg(12)->Unit(benchmark::kMillisecond);

// A 100-page G4 TIFF (the sample's two pages, 50 times over), made with
// libtiff's tiffcp in a folder of its own; empty when tiffcp failed.
std::filesystem::path hundred_page_g4(const std::filesystem::path& dir) {
  const std::filesystem::path g4 = dir / "g4.tif", hundred = dir / "hundred.tif";
  const std::string sample = ORVANE_SOURCE_DIR "/samples/sample.tif";
  std::string all = "tiffcp";
  for (int i = 0; i < 50; ++i) all += " '" + g4.string() + "'";
  if (std::system(("tiffcp -c g4 '" + sample + "' '" + g4.string() + "'").c_str()) != 0 ||
      std::system((all + " '" + hundred.string() + "'").c_str()) != 0) {
    return {};
  }
  return hundred;
}

// Page Down through a 100-page G4 TIFF as a reader does it: the time from
// the command to the next page drawn on screen, with the pause a reader
// leaves between turns (in which the pages ahead are read) not counted.
// Argument: 1 with reading ahead, 0 without (every turn reads its page).
void BM_PageDownHundredPages(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("orvane-bench-" + std::to_string(QCoreApplication::applicationPid()));
  std::filesystem::create_directories(dir);
  const std::filesystem::path file = hundred_page_g4(dir);
  ScratchDir scratch;
  SilentUi ui;
  COrvaneDoc doc(scratch.paths(), ui);
  COrvaneView view(doc);
  view.resize(1200, 900);
  view.show();
  if (file.empty() || !doc.open(QString::fromStdString(file.string())) || doc.pageCount() != 100) {
    state.SkipWithError("the 100-page TIFF was not made or did not open");
    return;
  }
  const bool ahead = state.range(0) != 0;
  if (!ahead) doc.pageAhead().setSource({});
  std::vector<double> turns_ms;
  for (auto _ : state) {
    if (!doc.canGoForward()) doc.firstPage();
    // The reader's pause: the next page is read ahead meanwhile.
    QElapsedTimer pause;
    pause.start();
    while (ahead && !doc.pageAhead().holds(doc.currentPage() + 1) && pause.elapsed() < 2000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QElapsedTimer turn;
    turn.start();
    doc.nextPage();
    view.viewport()->repaint();
    const double seconds = double(turn.nsecsElapsed()) / 1e9;
    state.SetIterationTime(seconds);
    turns_ms.push_back(seconds * 1000);
  }
  std::sort(turns_ms.begin(), turns_ms.end());
  if (!turns_ms.empty()) {
    state.counters["median_ms"] = turns_ms[turns_ms.size() / 2];
    state.counters["p90_ms"] = turns_ms[turns_ms.size() * 9 / 10];
    state.counters["max_ms"] = turns_ms.back();
  }
  state.SetLabel(ahead ? "read ahead" : "read on the turn");
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_PageDownHundredPages)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(198);

// The process's resident memory in MB, as top shows it.
double resident_mb() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Page Down through the 100-page G4 TIFF (fine A4 pages, 1728 x 2200) at a
// zoom level, reading ahead, in a 1200 x 900 window: the turn's time (the
// command to the page painted) and the memory the process holds. Argument:
// scaling in hundredths. Counters: the turns' median and 90th percentile,
// the resident memory at 1.00 before zooming, at the zoom level after the
// turns, and at 1.00 again after zooming back out and a few turns there.
void BM_PageDownZoomed(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("orvane-bench-" + std::to_string(QCoreApplication::applicationPid()));
  std::filesystem::create_directories(dir);
  const std::filesystem::path file = hundred_page_g4(dir);
  ScratchDir scratch;
  SilentUi ui;
  COrvaneDoc doc(scratch.paths(), ui);
  COrvaneView view(doc);
  view.resize(1200, 900);
  view.show();
  if (file.empty() || !doc.open(QString::fromStdString(file.string())) || doc.pageCount() != 100) {
    state.SkipWithError("the 100-page TIFF was not made or did not open");
    return;
  }
  const auto settle = [&] {
    QElapsedTimer pause;
    pause.start();
    while (doc.canGoForward() && !doc.pageAhead().holds(doc.currentPage() + 1) &&
           pause.elapsed() < 5000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QCoreApplication::processEvents();
  };
  const auto turn = [&] {
    if (!doc.canGoForward()) doc.firstPage();
    settle();
    QElapsedTimer timer;
    timer.start();
    doc.nextPage();
    view.viewport()->repaint();
    return double(timer.nsecsElapsed()) / 1e6;
  };
  for (int i = 0; i < 4; ++i) turn();
  const double at_one = resident_mb();
  const float scaling = float(state.range(0)) / 100;
  while (doc.scaling() < scaling - 1e-3f && doc.canZoomIn()) doc.zoomIn();
  // Somewhere in the middle of the page, as a reader of small print scrolls.
  view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum() / 2);
  view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() / 2);
  std::vector<double> turns_ms;
  for (auto _ : state) {
    const double ms = turn();
    state.SetIterationTime(ms / 1000);
    turns_ms.push_back(ms);
  }
  const double zoomed = resident_mb();
  const float zoomed_scaling = doc.scaling();
  while (doc.scaling() > 1.0f + 1e-3f && doc.canZoomOut()) doc.zoomOut();
  for (int i = 0; i < 4; ++i) turn();
  const double back = resident_mb();
  std::sort(turns_ms.begin(), turns_ms.end());
  if (!turns_ms.empty()) {
    state.counters["median_ms"] = turns_ms[turns_ms.size() / 2];
    state.counters["p90_ms"] = turns_ms[turns_ms.size() * 9 / 10];
  }
  state.counters["rss_1_mb"] = at_one;
  state.counters["rss_zoomed_mb"] = zoomed;
  state.counters["rss_back_mb"] = back;
  state.SetLabel(QStringLiteral("scaling %1").arg(double(zoomed_scaling), 0, 'f', 2).toStdString());
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_PageDownZoomed)
    ->Arg(100)
    ->Arg(200)
    ->Arg(400)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(40);

// Closing the window while reading ahead is busy: the document and its
// view destroyed right after the file opened at 4.00, the overview asking
// for every page. Argument 0: the 100-page G4 TIFF (pages read and drawn
// ahead); 1: a bare G3 stream of 200 copies of the sample (the reader
// ahead's analysis under way). Counter: the close's median in ms.
void BM_CloseWhileBusy(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("orvane-bench-" + std::to_string(QCoreApplication::applicationPid()));
  std::filesystem::create_directories(dir);
  std::filesystem::path file = hundred_page_g4(dir);
  if (state.range(0) == 1) {
    file = dir / "long.g3";
    std::string all = "cat";
    for (int i = 0; i < 200; ++i) all += " '" ORVANE_SOURCE_DIR "/samples/sample.g3'";
    if (std::system((all + " > '" + file.string() + "'").c_str()) != 0) file.clear();
  }
  std::vector<double> closes_ms;
  for (auto _ : state) {
    auto scratch = std::make_unique<ScratchDir>();
    SilentUi ui;
    auto doc = std::make_unique<COrvaneDoc>(scratch->paths(), ui);
    auto view = std::make_unique<COrvaneView>(*doc);
    view->resize(1200, 900);
    view->show();
    if (file.empty() || !doc->open(QString::fromStdString(file.string()))) {
      state.SkipWithError("the file was not made or did not open");
      return;
    }
    while (doc->canZoomIn()) doc->zoomIn();
    std::vector<int> every(std::size_t(doc->pageCount()));
    for (std::size_t i = 0; i < every.size(); ++i) every[i] = int(i);
    doc->pageAhead().askThumbnails(every, 120);
    // The work under way.
    QElapsedTimer busy;
    busy.start();
    while (busy.elapsed() < 50) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QElapsedTimer close;
    close.start();
    view.reset();
    doc.reset();
    const double ms = double(close.nsecsElapsed()) / 1e6;
    state.SetIterationTime(ms / 1000);
    closes_ms.push_back(ms);
    QCoreApplication::processEvents();
  }
  std::sort(closes_ms.begin(), closes_ms.end());
  if (!closes_ms.empty()) {
    state.counters["median_ms"] = closes_ms[closes_ms.size() / 2];
    state.counters["max_ms"] = closes_ms.back();
  }
  state.SetLabel(state.range(0) == 1 ? "bare stream analysed" : "TIFF pages drawn");
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_CloseWhileBusy)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

// The drawing part of a turn: the page averaged to grey at the drawn size
// (argument: scaling in hundredths), then made a pixmap.
void BM_DrawnPage(benchmark::State& state) {
  ScratchDir scratch;
  SilentUi ui;
  COrvaneDoc doc(scratch.paths(), ui);
  doc.open(QStringLiteral(ORVANE_SOURCE_DIR "/samples/sample.tif"));
  const PageBitmap& page = doc.page();
  const double s = double(state.range(0)) / 100;
  const QSize size(int(page.width * 100 / 204 * s), int(page.height * 100 / 196 * s));
  for (auto _ : state) {
    const QImage scaled = scaled_page(page, size, 1.0, false);
    benchmark::DoNotOptimize(QPixmap::fromImage(scaled).cacheKey());
  }
}
BENCHMARK(BM_DrawnPage)->Arg(25)->Arg(100)->Arg(400)->Unit(benchmark::kMillisecond);

void BM_LoadPage(benchmark::State& state) {
  ScratchDir scratch;
  SilentUi ui;
  COrvaneDoc doc(scratch.paths(), ui);
  doc.open(QStringLiteral(ORVANE_SOURCE_DIR "/samples/sample.tif"));
  std::uint32_t index = 0;
  for (auto _ : state) {
    doc.record().load_page(doc.format(), index ^= 1);
    benchmark::DoNotOptimize(doc.page().pixels.data());
  }
}
BENCHMARK(BM_LoadPage)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
