// Pages read ahead on the worker: what the user sees is the same page,
// pixel for pixel and in the status bar, as a page read on the turn, also
// when commands come faster than the worker; bare data is analysed once;
// only the neighbours are held; the overview's thumbnails come from the
// same worker and turn to the page clicked.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QListWidget>
#include <QMainWindow>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <numeric>
#include <set>

#include "app/page_thumbnails.h"
#include "core/format_registry.h"
#include "document_fixture.h"
#include "formats/container_writers.h"

namespace orvane::app {
namespace {

namespace ot = orvane::test;

using test::q;
using test::sample;

// One document with its view, reading ahead or not.
struct Viewer : test::DocumentAndView {
  explicit Viewer(bool ahead) : ahead_(ahead) { view.resize(900, 700); }

  bool open(const QString& path) {
    if (!doc.open(path)) return false;
    if (!ahead_) doc.pageAhead().setSource({});
    return true;
  }
  // Gives the worker the time a reader leaves between two turns.
  void pause() {
    if (!ahead_) return;
    const int here = doc.currentPage();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          return (here + 1 >= doc.pageCount() || doc.pageAhead().holds(here + 1)) &&
                 (here == 0 || doc.pageAhead().holds(here - 1));
        },
        5000));
  }
  // What the user sees of the page on view.
  struct Shown {
    std::vector<std::uint8_t> pixels;
    std::array<QString, 4> panes;
    QImage drawn;
    bool operator==(const Shown&) const = default;
  };
  Shown shown() { return {doc.page().pixels, doc.statusTexts().panes, view.drawnPage()}; }

 private:
  bool ahead_;
};

// A three-page DCX of pages of different heights, made by netpbm.
QString three_page_dcx(const ot::TempDir& dir) {
  std::vector<ot::Bytes> pages;
  for (int i = 0; i < 3; ++i) {
    ot::write_pbm(dir / "p.pbm", ot::test_image(1728, 400 + 300 * i, unsigned(i + 7)));
    EXPECT_EQ(ot::run("ppmtopcx '" + (dir / "p.pbm").string() + "' > '" + (dir / "p.pcx").string() +
                      "' 2>/dev/null"),
              0);
    pages.push_back(ot::read_file(dir / "p.pcx"));
  }
  ot::write_file(dir / "three.dcx", ot::dcx_file(pages));
  return q(dir / "three.dcx");
}

// Every page, forwards and back again, zoomed and reversed too: the page
// read ahead is the page read on the turn.
TEST(ReadingAhead, ShowsThePagesReadOnTheTurn) {
  ot::TempDir dir;
  const QString files[] = {q(ot::fixture("tiff/multipage-1728-g4.tif")),
                           q(ot::fixture("tiff/multipage-1728-g3-2d.tif")), three_page_dcx(dir),
                           sample("sample.g3"), sample("sample.tif")};
  for (const QString& file : files) {
    SCOPED_TRACE(file.toStdString());
    Viewer ahead(true), plain(false);
    ASSERT_TRUE(ahead.open(file));
    ASSERT_TRUE(plain.open(file));
    // Bare data at standard resolution: its rows make two pages.
    if (ahead.doc.format() == kFormatRawFax) {
      ahead.doc.setVerticalResolutionIndex(0);
      plain.doc.setVerticalResolutionIndex(0);
      plain.doc.pageAhead().setSource({});
    }
    ASSERT_GT(ahead.doc.pageCount(), 1);
    for (Viewer* v : {&ahead, &plain}) v->doc.zoomOut();
    ahead.view.toggleReversed();
    plain.view.toggleReversed();
    const int pages = ahead.doc.pageCount();
    for (int step = 0; step < 2 * (pages - 1); ++step) {
      const bool forwards = step < pages - 1;
      ahead.pause();
      for (Viewer* v : {&ahead, &plain}) forwards ? v->doc.nextPage() : v->doc.previousPage();
      SCOPED_TRACE("page " + std::to_string(ahead.doc.currentPage() + 1));
      EXPECT_EQ(ahead.shown(), plain.shown());
      EXPECT_FALSE(ahead.doc.pageAhead().holds(ahead.doc.currentPage()));
    }
  }
}

// Commands given while the worker reads (no pause between them, the
// overview asking for every page all the while) show what a viewer that
// reads each page on the turn shows.
TEST(ReadingAhead, CommandsWhileTheWorkerReadsShowThePagesReadOnTheTurn) {
  const QString files[] = {q(ot::fixture("tiff/multipage-1728-g4.tif")), sample("sample.g3")};
  for (const QString& file : files) {
    SCOPED_TRACE(file.toStdString());
    Viewer ahead(true), plain(false);
    ASSERT_TRUE(ahead.open(file));
    ASSERT_TRUE(plain.open(file));
    std::vector<int> every;
    const auto commands = std::vector<std::function<void(COrvaneDoc&)>>{
        [](COrvaneDoc& d) { d.nextPage(); },
        [](COrvaneDoc& d) { d.flip(); },
        [](COrvaneDoc& d) { d.lastPage(); },
        [](COrvaneDoc& d) { d.mirror(); },
        [](COrvaneDoc& d) { d.previousPage(); },
        [](COrvaneDoc& d) { d.zoomIn(); },
        [](COrvaneDoc& d) { d.firstPage(); },
        // Bare data is paginated again; other files only take the value.
        [](COrvaneDoc& d) { d.setVerticalResolutionIndex(d.currentPage() % 2); },
    };
    for (int round = 0; round < 3; ++round) {
      for (std::size_t i = 0; i < commands.size(); ++i) {
        SCOPED_TRACE("round " + std::to_string(round) + ", command " + std::to_string(i));
        every.resize(std::size_t(ahead.doc.pageCount()));
        std::iota(every.begin(), every.end(), 0);
        ahead.doc.pageAhead().askThumbnails(every, 64);
        commands[i](ahead.doc);
        commands[i](plain.doc);
        plain.doc.pageAhead().setSource({});
        ASSERT_EQ(ahead.doc.currentPage(), plain.doc.currentPage());
        EXPECT_EQ(ahead.shown(), plain.shown());
      }
    }
  }
}

// Bare data is analysed once by the document's record and once by the
// reader ahead's, each into scratch files of its own: nothing more is
// written to the scratch folder, however far it reads.
TEST(ReadingAhead, BareDataIsAnalysedOncePerRecord) {
  ot::TempDir dir;
  {
    std::ofstream three(dir / "three.g3", std::ios::binary);
    const ot::Bytes one =
        ot::read_file(std::filesystem::path(ORVANE_SOURCE_DIR) / "samples/sample.g3");
    for (int i = 0; i < 3; ++i)
      three.write(reinterpret_cast<const char*>(one.data()), std::streamsize(one.size()));
  }
  Viewer v(true);
  ASSERT_TRUE(v.open(q(dir / "three.g3")));
  const auto scratch_files = [&v] {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(v.scratch.root()))
      names.insert(entry.path().filename().string() + " " + std::to_string(entry.file_size()));
    return names;
  };
  v.pause();
  const std::set<std::string> after_open = scratch_files();
  ASSERT_GT(v.doc.pageCount(), 2);
  while (v.doc.canGoForward()) {
    v.pause();
    v.doc.nextPage();
  }
  v.pause();
  EXPECT_EQ(scratch_files(), after_open);
}

// Closing the window while the reader ahead is busy (drawing neighbours
// at 4.00 and every thumbnail; analysing a long bare stream) ends its work
// at the next step instead of waiting for it. The bound leaves room for
// the sanitizers and a loaded machine; the optimised build takes a few
// milliseconds (bench/README.md).
TEST(ReadingAhead, ClosingEndsTheWorkUnderWay) {
  ot::TempDir dir;
  {
    std::ofstream stream(dir / "long.g3", std::ios::binary);
    const ot::Bytes one =
        ot::read_file(std::filesystem::path(ORVANE_SOURCE_DIR) / "samples/sample.g3");
    for (int i = 0; i < 60; ++i)
      stream.write(reinterpret_cast<const char*>(one.data()), std::streamsize(one.size()));
  }
  const QString files[] = {three_page_dcx(dir), q(dir / "long.g3")};
  for (const QString& file : files) {
    SCOPED_TRACE(file.toStdString());
    auto v = std::make_unique<Viewer>(true);
    ASSERT_TRUE(v->open(file));
    while (v->doc.canZoomIn()) v->doc.zoomIn();
    std::vector<int> every(std::size_t(v->doc.pageCount()));
    std::iota(every.begin(), every.end(), 0);
    v->doc.pageAhead().askThumbnails(every, 120);
    QTest::qWait(20);
    QElapsedTimer close;
    close.start();
    v.reset();
    EXPECT_LT(close.elapsed(), 1000);
  }
}

// At most the two neighbours are held, and none once another file is open.
TEST(ReadingAhead, HoldsOnlyTheNeighbours) {
  Viewer v(true);
  ASSERT_TRUE(v.open(q(ot::fixture("tiff/multipage-1728-g4.tif"))));
  v.doc.nextPage();
  v.pause();
  const auto held = [&v] {
    int n = 0;
    for (int page = 0; page < v.doc.pageCount(); ++page) n += v.doc.pageAhead().holds(page);
    return n;
  };
  EXPECT_TRUE(v.doc.pageAhead().holds(0));
  EXPECT_TRUE(v.doc.pageAhead().holds(2));
  EXPECT_EQ(held(), 2);
  v.doc.lastPage();
  v.pause();
  EXPECT_EQ(held(), 1);  // page 2; page 1 went out of reach
  EXPECT_TRUE(v.doc.pageAhead().holds(1));
  ASSERT_TRUE(v.open(sample("sample.tif")));
  EXPECT_FALSE(v.doc.pageAhead().holds(1));
}

TEST(PageThumbnails, MadeForThePagesAndTurnToThePageClicked) {
  Viewer v(true);
  QMainWindow window;
  auto* bar = new CPageThumbnails(v.doc, &window);
  window.addDockWidget(Qt::RightDockWidgetArea, bar);
  window.resize(600, 900);
  window.show();
  ASSERT_TRUE(v.open(q(ot::fixture("tiff/multipage-1728-g4.tif"))));
  ASSERT_EQ(bar->list()->count(), 3);
  ASSERT_TRUE(QTest::qWaitFor([&] { return bar->thumbnailsShown() == 3; }, 5000));
  // Each thumbnail keeps its page's true aspect within the square.
  const QSize icon = bar->list()->item(0)->icon().availableSizes().value(0);
  const DisplaySize page = v.view.displaySize();
  const QSize want =
      QSize(page.width, page.height)
          .scaled(CPageThumbnails::kSide, CPageThumbnails::kSide, Qt::KeepAspectRatio);
  EXPECT_NEAR(icon.width(), want.width(), 1);
  EXPECT_NEAR(icon.height(), want.height(), 1);

  QListWidget* list = bar->list();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(2)).center());
  EXPECT_EQ(v.doc.currentPage(), 2);
  v.doc.firstPage();
  EXPECT_EQ(list->currentRow(), 0);  // the page on view stays marked

  // Another file starts the overview again.
  ASSERT_TRUE(v.open(sample("sample.tif")));
  EXPECT_EQ(list->count(), v.doc.pageCount());
  EXPECT_TRUE(QTest::qWaitFor([&] { return bar->thumbnailsShown() == v.doc.pageCount(); }, 5000));
}

}  // namespace
}  // namespace orvane::app
