// The viewer's reader ahead on its pool thread, without the window: the
// pages and thumbnails it hands over are those a record of its own reads,
// while the file, the page on view and the zoom change under it and the
// work is stopped half way. Built into the ThreadSanitizer tree too, where
// every handover between the task and the caller is checked.
#include "app/page_ahead.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "core/classify.h"
#include "core/scratch_dir.h"
#include "support/fax_record.h"
#include "support/test_support.h"

namespace orvane::app {
namespace {

namespace fs = std::filesystem;

QCoreApplication& application() {
  static int argc = 1;
  static char name[] = "page_ahead_test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

// A bare G3 stream of three copies of the sample: several pages.
fs::path bare_stream(const test::TempDir& dir) {
  const std::vector<std::uint8_t> one =
      test::read_file(fs::path(ORVANE_SOURCE_DIR) / "samples/sample.g3");
  std::vector<std::uint8_t> three;
  for (int i = 0; i < 3; ++i) three.insert(three.end(), one.begin(), one.end());
  test::write_file(dir / "three.g3", three);
  return dir / "three.g3";
}

CPageAhead::Source source_of(const fs::path& file, int page_count) {
  return {file, classify(file), DecodingParameters{}, page_count};
}

// Runs the caller's event loop until `done` holds or `ms` have passed.
template <typename Done>
bool wait_for_ms(Done done, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

template <typename Done>
bool wait_for(Done done) {
  return wait_for_ms(done, 20000);
}

TEST(PageAheadOnItsThread, HandsOverThePagesAndThumbnailsItsOwnRecordReads) {
  application();
  test::TempDir dir;
  const fs::path files[] = {test::fixture("tiff/multipage-1728-g4.tif"), bare_stream(dir)};
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.string());
    test::Record plain;
    ASSERT_EQ(plain.open(file), OpenResult::kOk);
    const int pages = plain.fax.page_count();
    ASSERT_GE(pages, 2);
    ScratchDir scratch;
    CPageAhead ahead(scratch.paths());
    std::map<int, QImage> thumbnails;
    QObject::connect(
        &ahead, &CPageAhead::thumbnailReady,
        [&](int, int page, const QImage& image, const QString&) { thumbnails[page] = image; });
    ahead.setSource(source_of(file, pages));
    std::vector<int> every(static_cast<std::size_t>(pages));
    for (int i = 0; i < pages; ++i) every[std::size_t(i)] = i;
    ahead.askThumbnails(every, 64);
    // Page turns as a reader gives them, at zoom levels that draw from a
    // few tiles to many.
    const float scalings[] = {1.0f, 4.0f, 0.5f};
    for (int current = 0; current < pages; ++current) {
      const float scaling = scalings[current % 3];
      ahead.follow(current, scaling, 1.0, QRect(0, 0, 1200, 900));
      const int next = current + 1 < pages ? current + 1 : current - 1;
      ASSERT_TRUE(wait_for([&] { return ahead.holds(next); })) << "page " << next;
      std::optional<CPageAhead::Ready> ready = ahead.take(next);
      ASSERT_TRUE(ready);
      EXPECT_EQ(ready->loaded.page.pixels, plain.fax.read_page(std::uint32_t(next)).page.pixels);
      EXPECT_FALSE(ready->tiles.empty());
    }
    ASSERT_TRUE(wait_for([&] { return int(thumbnails.size()) == pages; }));
    for (const auto& [page, image] : thumbnails) EXPECT_FALSE(image.isNull()) << page;
  }
}

// Sources changed while the task opens and reads them, and a stop in the
// middle of it all: whatever is held afterwards is of the last source.
TEST(PageAheadOnItsThread, SourcesChangedAndStoppedUnderWay) {
  application();
  const fs::path tiff = test::fixture("tiff/multipage-1728-g4.tif");
  test::TempDir dir;
  const fs::path bare = bare_stream(dir);
  test::Record plain;
  ASSERT_EQ(plain.open(tiff), OpenResult::kOk);
  test::Record plain_bare;
  ASSERT_EQ(plain_bare.open(bare), OpenResult::kOk);
  ScratchDir scratch;
  auto ahead = std::make_unique<CPageAhead>(scratch.paths());
  for (int round = 0; round < 12; ++round) {
    const bool is_bare = round % 2 == 1;
    const test::Record& r = is_bare ? plain_bare : plain;
    ahead->setSource(source_of(is_bare ? bare : tiff, r.fax.page_count()));
    ahead->askThumbnails({0, 1}, 32);
    ahead->follow(0, round % 3 == 0 ? 4.0f : 1.0f, 1.0, QRect(0, 0, 800, 600));
    QCoreApplication::processEvents();
  }
  ASSERT_TRUE(wait_for([&] { return ahead->holds(1); }));
  std::optional<CPageAhead::Ready> ready = ahead->take(1);
  ASSERT_TRUE(ready);
  test::Record check;
  ASSERT_EQ(check.open(bare), OpenResult::kOk);
  EXPECT_EQ(ready->loaded.page.pixels, check.fax.read_page(1).page.pixels);
  ahead->setSource(source_of(tiff, plain.fax.page_count()));
  ahead->follow(1, 4.0f, 2.0, QRect(0, 0, 2400, 1800));
  ahead->stop();
  // Nothing is done after the stop.
  ahead->follow(0, 1.0f, 1.0, QRect(0, 0, 800, 600));
  EXPECT_FALSE(wait_for_ms([&] { return ahead->holds(1); }, 200));
  ahead.reset();
}

}  // namespace
}  // namespace orvane::app
