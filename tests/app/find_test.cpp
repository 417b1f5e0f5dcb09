// Find Text: where a text stands among the words read, the word cache, and
// the find bar on a fax whose words are known (pages drawn with pbmtext and
// read by OCR): places highlighted, F3 and Shift+F3 across pages, the cache
// taken on a second search, and the disabled command's prompt.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <chrono>

#include "app/find_bar.h"
#include "app/find_commands.h"
#include "app/find_reader.h"
#include "app/find_word_cache.h"
#include "app/main_frame.h"
#include "app/orvane_app.h"
#include "app/orvane_doc.h"
#include "app/orvane_view.h"
#include "core/page_ocr.h"
#include "core/scratch_dir.h"
#include "scripted_ui.h"
#include "support/test_support.h"

namespace orvane::app {
namespace {

namespace ot = orvane::test;
namespace fs = std::filesystem;

QString q(const fs::path& p) {
  return QString::fromStdString(p.string());
}

// A page of one word per line of `lines`, each 10 x 20 pixels, line i at
// row 100 * i.
PageWords page_of(const std::vector<std::vector<const char*>>& lines) {
  PageWords page;
  page.width = 1728;
  page.height = 2200;
  for (std::size_t i = 0; i < lines.size(); ++i)
    for (std::size_t k = 0; k < lines[i].size(); ++k)
      page.words.push_back(
          {QString::fromUtf8(lines[i][k]), QRectF(20.0 * double(k), 100.0 * double(i), 10, 20)});
  return page;
}

TEST(FindHits, TermsMatchInsideConsecutiveWordsOfAPage) {
  FaxWords pages{page_of({{"Invoice", "20417"}, {"payment", "due."}}), std::nullopt,
                 page_of({{"PAYMENT"}, {"Due", "payment", "due"}})};
  const struct {
    const char* text;
    std::vector<FindHit> hits;
  } cases[] = {
      {"pay", {{0, 2, 1}, {2, 0, 1}, {2, 2, 1}}},          // inside a word, case ignored
      {"payment due", {{0, 2, 2}, {2, 0, 2}, {2, 2, 2}}},  // across a line's end too
      {"  payment \t due ", {{0, 2, 2}, {2, 0, 2}, {2, 2, 2}}},
      {"invoice due", {}},  // not consecutive
      {"due payment due", {{2, 1, 3}}},
      {"e", {{0, 0, 1}, {0, 2, 1}, {0, 3, 1}, {2, 0, 1}, {2, 1, 1}, {2, 2, 1}, {2, 3, 1}}},
      {"", {}},
      {" ", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(find_hits(QString::fromUtf8(c.text), pages), c.hits) << c.text;
  }
  EXPECT_EQ(hit_boxes({2, 2, 2}, pages),
            (std::vector<QRectF>{{20, 100, 10, 20}, {40, 100, 10, 20}}));
  EXPECT_TRUE(hit_boxes({1, 0, 1}, pages).empty());  // a page not read
}

TEST(WordCache, KeepsWhatWasReadForTheSameKeyOnly) {
  ot::TempDir dir;
  const QString folder = q(dir / "words");
  const WordCacheKey key{"ab12", "eng", "50 3 0 0 1 1728 0 0", 3};
  FaxWords pages{page_of({{"Invoice", "20417"}}), std::nullopt, PageWords{}};
  // Not kept, rather than making the whole file unreadable.
  pages[0]->words.push_back({QString(300, u'x'), QRectF(0, 0, 5, 5)});
  ASSERT_TRUE(write_word_cache(folder, key, pages));
  const std::optional<FaxWords> back = read_word_cache(folder, key);
  ASSERT_TRUE(back);
  ASSERT_EQ(back->size(), 3u);
  EXPECT_FALSE((*back)[1]);
  ASSERT_TRUE((*back)[0] && (*back)[2]);
  EXPECT_EQ((*back)[0]->words.size(), 2u);
  EXPECT_EQ((*back)[0]->words[1].text, "20417");
  EXPECT_EQ((*back)[0]->words[1].box, QRectF(20, 0, 10, 20));
  EXPECT_EQ((*back)[2]->width, 0);  // a page that did not load: read, no words
  // Another language, other parameters, another page count: not these words.
  for (const auto& change : {+[](WordCacheKey& k) { k.language = "deu"; },
                             +[](WordCacheKey& k) { k.parameters = "50 3 1 0 1 1728 0 0"; },
                             +[](WordCacheKey& k) { k.page_count = 4; }}) {
    WordCacheKey other = key;
    change(other);
    EXPECT_FALSE(read_word_cache(folder, other));
  }
  // Damaged files are read again, not trusted.
  const QString file = folder + "/ab12.json";
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray good = f.readAll();
  f.close();
  for (const auto& [from, to] :
       {std::pair{"[\"20417\",20,0,30,20]", "[\"20417\",20,0,3000,20]"},
        std::pair{"[\"20417\",20,0,30,20]", "[\"20417\",20,0,30]"},
        std::pair{"\"w\":1728", "\"w\":-1"}, std::pair{"\"20417\"", "\"\""}, std::pair{"{", "["}}) {
    QByteArray bad = good;
    bad.replace(from, to);
    ASSERT_NE(bad, good) << from;
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bad);
    f.close();
    EXPECT_FALSE(read_word_cache(folder, key)) << to;
  }
}

// The window of a program whose settings and word cache are in `dir`.
struct Window {
  explicit Window(const ot::TempDir& dir)
      : app(std::make_unique<CAppSettings>(q(dir / "settings.ini")),
            std::make_unique<test::ScriptedUi>()) {}
  COrvaneApp app;
  CMainFrame& frame = app.frame();
  CFindCommands& find = *frame.findChild<CFindCommands*>();
};

class FindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cache_before = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(q(dir / "cache")));
  }
  void TearDown() override {
    if (cache_before.isNull()) {
      qunsetenv("XDG_CACHE_HOME");
    } else {
      qputenv("XDG_CACHE_HOME", cache_before);
    }
  }
  // A three-page fine fax: "payment due" on the first and last pages.
  fs::path makeFax() {
    const char* texts[] = {"Invoice 20417 payment due", "Shipment leaves the harbour",
                           "Balance of the account\nPayment due today"};
    std::string pages;
    for (int i = 0; i < 3; ++i) {
      const fs::path page = dir / ("page" + std::to_string(i) + ".tif");
      EXPECT_EQ(ot::run("printf '" + std::string(texts[i]) +
                        "\\n' | pbmtext | pamscale 2 | pamditherbw -threshold | "
                        "pnmpad -white -left 100 -right 1300 -top 300 -bottom 1200 | pamtopnm | "
                        "pnmtotiff -g4 -xresolution 204 -yresolution 196 > " +
                        ot::shell_quoted(page) + " 2>/dev/null"),
                0);
      pages += " " + ot::shell_quoted(page);
    }
    const fs::path fax = dir / "fax.tif";
    EXPECT_EQ(ot::run("tiffcp" + pages + " " + ot::shell_quoted(fax)), 0);
    return fax;
  }
  static QString status(Window& w) { return w.find.bar().status()->text(); }

  ot::TempDir dir;
  QByteArray cache_before;
};

TEST_F(FindTest, PlacesAreHighlightedAndVisitedAcrossPagesThenTakenFromTheCache) {
  if (!ocr_built_in() || !ocr_language_problem("eng").empty()) GTEST_SKIP() << "no OCR";
  const fs::path fax = makeFax();
  {
    Window w(dir);
    ASSERT_TRUE(w.app.openDocumentFile(q(fax)));
    w.frame.resize(900, 700);
    w.frame.show();
    // The page on view is read first, then those after it, then those before.
    w.app.doc().goToIndex(1);
    w.frame.runCommand(kCmdFindText);
    ASSERT_TRUE(w.find.bar().isVisible());
    std::vector<int> order;
    QObject::connect(w.find.reader(), &CFindReader::pageRead,
                     [&](int page) { order.push_back(page); });
    QTest::keyClicks(w.find.bar().edit(), "PAYMENT due");
    QTRY_COMPARE_WITH_TIMEOUT(w.find.pagesRead(), 3, 60000);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 0}));
    w.app.doc().goToIndex(0);
    QTRY_COMPARE(status(w), "2 found — 3 of 3 pages read");
    ASSERT_EQ(w.find.hits().size(), 2u);
    EXPECT_EQ(w.find.reader()->pagesRecognised(), 3);

    COrvaneDoc& doc = w.app.doc();
    COrvaneView& view = *w.frame.view();
    // Both words of each place are boxed where pbmtext drew them (100
    // pixels in, 300 rows down, about 40 rows high).
    const auto gone_to = [&] { return view.findHighlights().current; };
    w.frame.runCommand(kCmdFindNext);
    EXPECT_EQ(doc.currentPage(), 0);
    EXPECT_EQ(status(w), "1 of 2 — 3 of 3 pages read");
    ASSERT_EQ(gone_to().size(), 2u);
    const QRectF payment = gone_to()[0];
    EXPECT_GT(payment.left(), 100 + 150);
    EXPECT_NEAR(payment.center().y(), 320, 25);
    EXPECT_GT(gone_to()[1].left(), payment.right());
    // Painted there, through the view's scaling and scrolling.
    const QImage shot = view.viewport()->grab().toImage();
    const QRectF on_screen = drawn_box(
        payment, QSizeF(view.displaySize().source_width, view.displaySize().source_height),
        QRectF(QPointF(-view.horizontalScrollBar()->value(), -view.verticalScrollBar()->value()),
               QSizeF(view.drawnSize())));
    ASSERT_TRUE(shot.rect().contains(on_screen.center().toPoint()));
    const QColor tint =
        shot.pixelColor((on_screen.center() * shot.devicePixelRatio()).toPoint() + QPoint(0, 0));
    EXPECT_GT(tint.red() - tint.blue(), 60) << tint.name().toStdString();

    // Flipped, the boxes stand upside down.
    w.frame.runCommand(kCmdFlip);
    ASSERT_EQ(gone_to().size(), 2u);
    EXPECT_NEAR(gone_to()[0].center().y(), doc.page().height - payment.center().y(), 1);
    EXPECT_EQ(gone_to()[0].left(), payment.left());

    w.frame.runCommand(kCmdFindNext);
    EXPECT_EQ(doc.currentPage(), 2);
    EXPECT_EQ(status(w), "2 of 2 — 3 of 3 pages read");
    ASSERT_EQ(gone_to().size(), 2u);
    EXPECT_NEAR(gone_to()[0].center().y(), 360, 30);  // the second line
    // Around the end, back and around the start.
    w.frame.runCommand(kCmdFindNext);
    EXPECT_EQ(doc.currentPage(), 0);
    EXPECT_EQ(gone_to()[0], payment);  // read afresh: no longer flipped
    w.frame.runCommand(kCmdFindPrevious);
    EXPECT_EQ(doc.currentPage(), 2);
    QTest::keyClick(w.find.bar().edit(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(doc.currentPage(), 0);
    // From a page turned to by hand, F3 goes to the first place after it.
    doc.goToIndex(1);
    EXPECT_TRUE(view.findHighlights().boxes.empty() && gone_to().empty());
    w.frame.runCommand(kCmdFindNext);
    EXPECT_EQ(doc.currentPage(), 2);

    QTest::keyClick(w.find.bar().edit(), Qt::Key_Escape);
    EXPECT_FALSE(w.find.bar().isVisible());
    EXPECT_TRUE(gone_to().empty());
  }
  // The same contents under another name: every page from the cache.
  const fs::path copy = dir / "copy of fax.tif";
  fs::copy_file(fax, copy);
  Window w(dir);
  ASSERT_TRUE(w.app.openDocumentFile(q(copy)));
  w.frame.runCommand(kCmdFindText);
  QTest::keyClicks(w.find.bar().edit(), "harbour");
  QTRY_COMPARE(w.find.pagesRead(), 3);
  EXPECT_EQ(w.find.reader()->pagesRecognised(), 0);
  QTRY_COMPARE(w.find.hits().size(), 1u);
  EXPECT_EQ(w.find.hits()[0].page, 1);
}

// The reader lets go at once whatever its thread is doing (hashing the
// file, loading the language's data, inside a page), and nothing comes
// from it after.
TEST_F(FindTest, TheReaderLetsGoAtOnceAndNothingComesAfter) {
  if (!ocr_built_in() || !ocr_language_problem("eng").empty()) GTEST_SKIP() << "no OCR";
  const fs::path fax = makeFax();
  ScratchDir scratch;
  for (const int wait_ms : {0, 100, 300, 600, 900}) {
    const CFindReader::Source source{q(fax), {},    scratch.paths(),
                                     3,      "eng", q(dir / ("words" + std::to_string(wait_ms)))};
    auto reader = std::make_unique<CFindReader>(source, 0);
    int pages = 0;
    QObject::connect(reader.get(), &CFindReader::pageRead, [&] { ++pages; });
    QTest::qWait(wait_ms);
    const auto start = std::chrono::steady_clock::now();
    reader.reset();
    const int before = pages;
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::milliseconds(200)) << "after " << wait_ms << " ms";
    EXPECT_LE(pages, 3);
    QTest::qWait(50);
    EXPECT_EQ(pages, before) << "a page came after the reader was gone";
  }
  CFindReader::waitForReadersGone();
}

TEST_F(FindTest, WithoutTheLanguagesDataTheCommandIsDisabledAndSaysWhy) {
  QSettings(q(dir / "settings.ini"), QSettings::IniFormat)
      .setValue("Settings/FindLanguage", "zz_nowhere");
  Window w(dir);
  ASSERT_TRUE(w.app.openDocumentFile(q(ot::fixture("tiff/multipage-1728-g4.tif"))));
  w.frame.updateCommandStates();
  for (const CommandId id : {kCmdFindText, kCmdFindNext, kCmdFindPrevious}) {
    EXPECT_FALSE(w.frame.action(id)->isEnabled());
    const QString tip = w.frame.action(id)->statusTip();
    EXPECT_TRUE(tip.startsWith("Find Text cannot read the pages: ")) << tip.toStdString();
    EXPECT_TRUE(tip.contains(ocr_built_in() ? "tesseract-ocr-zz-nowhere" : "without OCR"))
        << tip.toStdString();
  }
}

}  // namespace
}  // namespace orvane::app
