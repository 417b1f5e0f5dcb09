// A page turn in the viewer: the next page of a loaded TIFF fax decoded,
// sized, scaled and made ready to paint, as the window does it. Runs on the
// offscreen platform. The window's aim is under 20 ms a turn at 1.00.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>
#include <QString>

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
    benchmark::DoNotOptimize(view.pagePixmap().cacheKey());
  }
  state.SetLabel(QStringLiteral("scaling %1").arg(double(doc.scaling()), 0, 'f', 2).toStdString());
}
BENCHMARK(BM_PageTurn)->Arg(0)->Arg(-3)->Arg(12)->Unit(benchmark::kMillisecond);

// The parts of a turn: the page as an image, and that image scaled to the
// drawn size (argument: scaling in hundredths), then made a pixmap.
void BM_DrawnPage(benchmark::State& state) {
  ScratchDir scratch;
  SilentUi ui;
  COrvaneDoc doc(scratch.paths(), ui);
  doc.open(QStringLiteral(ORVANE_SOURCE_DIR "/samples/sample.tif"));
  const PageBitmap& page = doc.page();
  const double s = double(state.range(0)) / 100;
  const QSize size(int(page.width * 100 / 204 * s), int(page.height * 100 / 196 * s));
  for (auto _ : state) {
    const QImage image = page_image(page);
    const QImage scaled = scaled_page(image, size, 1.0, false);
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
