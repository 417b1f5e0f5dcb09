// The document's commands as Part of the window sees them: opening files of
// several kinds, pages, zoom, flip and mirror, resolutions, re-detection,
// properties and the save step.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QListWidget>
#include <QMainWindow>
#include <QTest>
#include <functional>

#include "app/page_thumbnails.h"
#include "app/refusal_reason.h"
#include "core/format_registry.h"
#include "core/page_export.h"
#include "document_fixture.h"
#include "formats/container_writers.h"
#include "tiff/tiff_builder.h"

namespace orvane::app {
namespace {

namespace ot = orvane::test;

using test::q;
using test::sample;

// A one-page TIFF `width` pixels wide with `compression`, its strip at the
// end of the file (no StripOffsets with `offsets` false).
std::vector<std::uint8_t> one_page_tiff(std::uint16_t compression, bool offsets = true,
                                        std::uint32_t width = 1728) {
  ot::TiffBuilder t;
  const std::uint32_t strip = t.append(std::vector<std::uint8_t>(64, 0x55));
  std::vector<ot::TiffBuilder::Entry> e = {t.long_entry(256, width), t.long_entry(257, 20),
                                           t.short_entry(258, 1), t.short_entry(259, compression),
                                           t.short_entry(262, 0)};
  if (offsets) e.push_back(t.long_entry(273, strip));
  e.push_back(t.long_entry(278, 20));
  e.push_back(t.long_entry(279, 64));
  t.add_directory(e);
  return t.bytes();
}

class DocumentTest : public ::testing::Test {
 protected:
  ot::TempDir dir;
  test::DocumentAndView shown;
  test::ScriptedUi& ui = shown.ui;
  COrvaneDoc& doc = shown.doc;
  COrvaneView& view = shown.view;

  QStringList panes() {
    const StatusTexts s = doc.statusTexts();
    return {s.panes[0], s.panes[1], s.panes[2], s.panes[3]};
  }
  std::vector<std::uint8_t> pixels() const { return doc.page().pixels; }

  // A three-page DCX fax made by netpbm, pages of different sizes.
  QString dcx() {
    std::vector<ot::Bytes> pages;
    for (int i = 0; i < 3; ++i) {
      ot::write_pbm(dir / "p.pbm", ot::test_image(1728, 300 + 100 * i, unsigned(i + 1)));
      EXPECT_EQ(ot::run("ppmtopcx '" + (dir / "p.pbm").string() + "' > '" +
                        (dir / "p.pcx").string() + "' 2>/dev/null"),
                0);
      pages.push_back(ot::read_file(dir / "p.pcx"));
    }
    ot::write_file(dir / "fax.dcx", ot::dcx_file(pages));
    return q(dir / "fax.dcx");
  }
};

TEST_F(DocumentTest, PagesOfAMultiPageFax) {
  ASSERT_TRUE(doc.open(q(ot::fixture("tiff/multipage-1728-g4.tif"))));
  EXPECT_EQ(panes(),
            (QStringList{"CCITT Group 4 2D (T.6 2D)", "Page: 1  (Total = 3)",
                         "Size: 1728 x " + QString::number(doc.page().height), "Scaling: 1.00"}));
  EXPECT_FALSE(doc.canGoBack());
  EXPECT_TRUE(doc.canGoForward());
  doc.nextPage();
  doc.nextPage();
  EXPECT_EQ(panes()[1], "Page: 3  (Total = 3)");
  EXPECT_FALSE(doc.canGoForward());
  doc.nextPage();  // stays on the last page
  EXPECT_EQ(doc.currentPage(), 2);
  doc.firstPage();
  EXPECT_EQ(doc.currentPage(), 0);
  doc.lastPage();
  doc.previousPage();
  EXPECT_EQ(doc.currentPage(), 1);

  ui.page_number = 3;
  doc.goToPage();
  EXPECT_EQ(ui.page_hint, "(must be in [1 - 3])");
  EXPECT_EQ(doc.currentPage(), 2);
  ui.page_number.reset();  // Cancel
  doc.goToPage();
  EXPECT_EQ(doc.currentPage(), 2);
}

TEST_F(DocumentTest, ZoomStepsStopAtBothLimits) {
  ASSERT_TRUE(doc.open(q(ot::fixture("tiff/multipage-1728-g4.tif"))));
  doc.zoomIn();
  EXPECT_EQ(panes()[3], "Scaling: 1.25");
  for (int i = 0; i < 20; ++i) doc.zoomIn();
  EXPECT_EQ(doc.scaling(), 4.0f);
  EXPECT_FALSE(doc.canZoomIn());
  EXPECT_EQ(panes()[3], "Scaling: 4.00");
  for (int i = 0; i < 20; ++i) doc.zoomOut();
  EXPECT_EQ(doc.scaling(), 0.25f);
  EXPECT_FALSE(doc.canZoomOut());
  EXPECT_TRUE(doc.canZoomIn());
  doc.nextPage();  // turning a page keeps the zoom
  EXPECT_EQ(panes()[3], "Scaling: 0.25");
  doc.open(doc.path());  // opening resets it
  EXPECT_EQ(panes()[3], "Scaling: 1.00");
}

TEST_F(DocumentTest, FlipAndMirrorChangeOnlyTheLoadedPage) {
  ASSERT_TRUE(doc.open(q(ot::fixture("tiff/multipage-1728-g4.tif"))));
  const auto original = pixels();
  doc.flip();
  const auto flipped = pixels();
  EXPECT_NE(flipped, original);
  doc.flip();
  EXPECT_EQ(pixels(), original);
  doc.mirror();
  EXPECT_NE(pixels(), original);
  doc.flip();
  doc.nextPage();
  doc.previousPage();
  EXPECT_EQ(pixels(), original);
}

// A quarter turn keeps the page's true aspect (a 204 x 98 dpi page drawn
// sideways is its drawn size turned), half a turn is a flip and a mirror,
// and the turn holds for the pages after it until another file opens.
TEST_F(DocumentTest, RotationTurnsEveryPageShownUntilAnotherFile) {
  ASSERT_TRUE(doc.open(q(ot::fixture("tiff/multipage-1728-g3-2d.tif"))));
  const auto original = pixels();
  const QSize drawn = view.drawnSize();
  const PageBitmap before = doc.page().fields_only();
  doc.rotate(1);
  EXPECT_EQ(view.drawnSize(), drawn.transposed());
  EXPECT_EQ(doc.page().width, before.height);
  EXPECT_EQ(doc.page().xres, before.yres);
  EXPECT_EQ(panes()[2], QStringLiteral("Size: %1 x %2").arg(before.height).arg(before.width));
  doc.rotate(-1);
  EXPECT_EQ(pixels(), original);
  EXPECT_EQ(view.drawnSize(), drawn);
  doc.rotate(1);
  doc.rotate(1);
  doc.flip();
  doc.mirror();
  EXPECT_EQ(pixels(), original);

  doc.rotate(1);  // three quarter turns
  doc.nextPage();
  EXPECT_EQ(doc.quarterTurns(), 3);
  EXPECT_EQ(doc.page().height, 1728);
  doc.previousPage();
  doc.rotate(1);
  EXPECT_EQ(doc.quarterTurns(), 0);
  EXPECT_EQ(pixels(), original);  // read again, turned as shown, turned back

  doc.rotate(1);
  doc.open(doc.path());  // the same file read again keeps the turn
  EXPECT_EQ(doc.page().width, before.height);
  ASSERT_TRUE(doc.open(q(ot::fixture("tiff/multipage-1728-g4.tif"))));
  EXPECT_EQ(doc.quarterTurns(), 0);
  EXPECT_EQ(doc.page().width, 1728);
}

TEST_F(DocumentTest, FilesThatAreNoFax) {
  ASSERT_TRUE(doc.open(q(ot::fixture("tiff/multipage-1728-g4.tif"))));
  ot::write_file(dir / "notes.txt", {'n', 'o', 't', 'e', 's'});
  ASSERT_TRUE(doc.open(q(dir / "notes.txt")));
  EXPECT_EQ(panes(), (QStringList{"That's NOT a FAX file!", "Page", "Size", "Scaling"}));
  EXPECT_EQ(doc.statusTexts().vres_index, -1);
  EXPECT_EQ(doc.pageCount(), 0);
  EXPECT_EQ(ui.tips_shown, 0);

  ot::write_file(dir / "picture.bmp", {'B', 'M', 0, 0});
  ASSERT_TRUE(doc.open(q(dir / "picture.bmp")));
  EXPECT_EQ(ui.tips_shown, 1);
  EXPECT_EQ(panes()[0], "That's NOT a FAX file!");

  // A fax name over bytes that give no page.
  ot::write_file(dir / "broken.dcx", {1, 2, 3, 4, 5, 6, 7, 8});
  ASSERT_TRUE(doc.open(q(dir / "broken.dcx")));
  EXPECT_EQ(panes()[0], "That's NOT a FAX file!");

  // Unreadable: the open fails and the fax on view stays.
  ASSERT_TRUE(doc.open(q(ot::fixture("tiff/multipage-1728-g4.tif"))));
  QString error;
  EXPECT_FALSE(doc.open(q(dir / "missing.tif"), &error));
  EXPECT_TRUE(error.contains("missing.tif"));
  EXPECT_EQ(doc.pageCount(), 3);
  EXPECT_FALSE(doc.open(q(dir.path()), &error));
}

// Cancel drops what was being read and nothing else: the fax on view, its
// page, title and status stay as they were (the bare data read before, read
// again in the scratch files of its own, too).
TEST_F(DocumentTest, RawDataIsReadAsLongWorkAndCancelKeepsTheFaxOnView) {
  int titles = 0;
  QObject::connect(&doc, &COrvaneDoc::titleChanged, [&titles] { ++titles; });
  for (const char* before : {"sample.tif", "sample.g3"}) {
    SCOPED_TRACE(before);
    ui.cancel_long_work = false;
    ASSERT_TRUE(doc.open(sample(before)));
    doc.nextPage();
    const QStringList shown = panes();
    const auto page = pixels();
    const QString title = doc.title();
    const int runs = ui.long_work_runs, titles_before = titles;
    ui.cancel_long_work = true;
    QString error = "untouched";
    EXPECT_FALSE(doc.open(sample("sample.g3"), &error));
    EXPECT_EQ(ui.long_work_runs, runs + 1);
    EXPECT_TRUE(error.isEmpty());  // nothing to tell: the user cancelled
    EXPECT_EQ(panes(), shown);
    EXPECT_EQ(pixels(), page);
    EXPECT_EQ(doc.title(), title);
    EXPECT_EQ(titles, titles_before);
    EXPECT_EQ(doc.path(), sample(before));
    doc.previousPage();  // the record on view still reads its pages
    EXPECT_GT(doc.page().width, 0);
  }
  EXPECT_EQ(doc.format(), kFormatRawFax);
}

// Anything but a regular file is refused before it is opened: a FIFO would
// wait for a writer and freeze the window.
TEST_F(DocumentTest, OnlyRegularFilesAreOpened) {
  ASSERT_EQ(mkfifo((dir / "pipe.tif").c_str(), 0600), 0);
  struct Case {
    std::filesystem::path path;
    const char* says;
  } cases[] = {
      {dir / "pipe.tif", "is a FIFO (named pipe), not a file"},
      {dir.path(), "is a folder, not a file"},
      {"/dev/null", "is a device, not a file"},
      {dir / "missing.tif", "Cannot open"},
  };
  ASSERT_TRUE(doc.open(q(ot::fixture("tiff/multipage-1728-g4.tif"))));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.string());
    QString error;
    EXPECT_FALSE(doc.open(q(c.path), &error));
    EXPECT_TRUE(error.contains(c.says)) << error.toStdString();
    EXPECT_TRUE(error.contains(q(c.path))) << error.toStdString();
    EXPECT_EQ(doc.pageCount(), 3);
  }
}

// Under "That's NOT a FAX file!" the reason is told, in the core's words.
TEST_F(DocumentTest, AFileThatShowsNoPageSaysWhy) {
  ot::write_file(dir / "notes.txt", {'n', 'o', 't', 'e', 's'});
  ot::write_file(dir / "scan.tif", {'%', 'P', 'D', 'F', '-', '1', '.', '4', '\n'});
  ot::write_file(dir / "picture.bmp", {'B', 'M', 0, 0});
  ot::write_file(dir / "lzw.tif", one_page_tiff(5));
  ot::write_file(dir / "no-strips.tif", one_page_tiff(4, false));
  ot::write_file(dir / "fax.awd", {1, 2, 3});
  const struct {
    QString path;
    QString reason;
  } cases[] = {
      {q(dir / "notes.txt"), "not a fax file"},
      {q(dir / "scan.tif"), "is a PDF document, not a fax file"},
      {q(dir / "picture.bmp"), "a fax format this program does not read"},
      {q(dir / "lzw.tif"), "page 1 does not decode: Compression 5 (LZW) is not a fax coding"},
      {q(dir / "no-strips.tif"), "page 1 does not decode: StripOffsets missing"},
      {q(dir / "fax.awd"),
       "At Work files are read through the outside converter AWDVSTUB.EXE, which was not found "
       "on PATH"},
      {q(ot::fixture("tiff/multipage-1728-g4.tif")), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.toStdString());
    ASSERT_TRUE(doc.open(c.path));
    EXPECT_EQ(doc.refusalReason(), c.reason);
  }
}

// A page that does not load shows nothing of another page, however it is
// reached (Go to page, End, a turn after the worker read ahead): the view
// says why, the status panes say only what is known (the coding the file
// states, no size), its thumbnail is crossed out, and an export names it
// with its reason.
TEST_F(DocumentTest, PagesThatDoNotLoadSayWhyAndShowNothingElse) {
  ASSERT_EQ(ot::run("'" ORVANE_SOURCE_DIR
                    "/tests/app/screenshots/make-unreadable-pages' '" ORVANE_SOURCE_DIR
                    "/samples/sample.tif' '" +
                    dir.path().string() + "' >/dev/null 2>&1"),
            0);
  ot::write_file(dir / "wide.tif", one_page_tiff(4, true, 0xFFFFFFFF));
  QMainWindow window;
  auto* bar = new CPageThumbnails(doc, &window);
  window.addDockWidget(Qt::RightDockWidgetArea, bar);
  window.resize(600, 900);
  window.show();
  const QString verdict = "That's NOT a FAX file!";
  const QString lzw = "does not decode: Compression 5 (LZW) is not a fax coding";
  const QString too_large =
      "is larger than the largest page this program opens (65535 x 65535 pixels, 256 MiB)";
  using Turn = std::function<void()>;
  const Turn stay = [] {};
  const QString third = "page 3 does not decode: its directory cannot be read";
  const QString third_left_out =
      "Page 3 could not be read and was left out.\nPage 3 does not decode: its directory cannot "
      "be read.";
  const struct {
    const char* file;
    Turn turn;
    QString reason;
    QStringList panes;
    std::vector<bool> crossed_out;
    QString exported;
    int stated_width;  // in the properties: what the file states, not the page before
  } cases[] = {
      {"third-page-unreadable.tif",
       [&] { ui.page_number = 3, doc.goToPage(); },
       third,
       {verdict, "Page: 3  (Total = 3)", "Size", "Scaling"},
       {false, false, true},
       third_left_out,
       0},
      {"third-page-unreadable.tif",
       [&] { doc.lastPage(); },
       third,
       {verdict, "Page: 3  (Total = 3)", "Size", "Scaling"},
       {false, false, true},
       third_left_out,
       0},
      {"lzw-middle-page.tif",
       [&] { doc.nextPage(); },
       "page 2 " + lzw,
       {verdict, "Page: 2  (Total = 3)", "Size", "Scaling"},
       {false, true, false},
       "Page 2 could not be read and was left out.\nPage 2 " + lzw + ".",
       1728},
      {"lzw-scan.tif",
       stay,
       "page 1 " + lzw,
       {verdict, "Page: 1  (Total = 2)", "Size", "Scaling"},
       {true, true},
       "No page of \"lzw-scan.tif\" could be read.\nPage 1 " + lzw + ".",
       1728},
      {"wide.tif",
       stay,
       "page 1 " + too_large,
       {"CCITT Group 4 2D (T.6 2D)", "Page: 1  (Total = 1)", "Size", "Scaling"},
       {true},
       "No page of \"wide.tif\" could be read.\nPage 1 " + too_large + ".",
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ASSERT_TRUE(doc.open(q(dir / c.file)));
    // The worker has read the neighbours first, then every thumbnail.
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->thumbnailsShown() == doc.pageCount(); }, 5000));
    c.turn();
    EXPECT_FALSE(doc.pageShown());
    EXPECT_EQ(doc.refusalReason(), c.reason);
    EXPECT_EQ(panes(), c.panes);
    EXPECT_EQ(doc.statusTexts().vres_index, -1);
    EXPECT_TRUE(view.drawnPage().isNull());
    EXPECT_TRUE(pixels().empty());
    EXPECT_FALSE(doc.canZoomIn());
    ui.properties.reset();
    doc.pageProperties();
    ASSERT_TRUE(ui.properties);
    EXPECT_EQ(ui.properties->line_width, c.stated_width);
    QListWidget* list = bar->list();
    ASSERT_EQ(list->count(), int(c.crossed_out.size()));
    for (int i = 0; i < list->count(); ++i)
      EXPECT_EQ(list->item(i)->data(CPageThumbnails::kBrokenRole).toBool(), c.crossed_out[i]) << i;
    EXPECT_EQ(list->item(doc.currentPage())->toolTip(),
              c.reason.left(1).toUpper() + c.reason.mid(1));
    ui.messages.clear();
    doc.exportPdf(doc.path(), q(dir / "out.pdf"));
    EXPECT_EQ(ui.messages, QStringList{"Export as PDF: " + c.exported});
    // Back on a page that loads, it shows.
    if (doc.currentPage() == 0) continue;
    doc.firstPage();
    EXPECT_TRUE(doc.pageShown());
    EXPECT_FALSE(view.drawnPage().isNull());
    EXPECT_EQ(panes()[2], "Size: 1728 x 2200");
  }
}

// The export's closing message: the pages left out with the first one's
// reason, then each page written without the words OCR could not read.
TEST(ExportMessage, NamesPagesLeftOutAndPagesWithoutTheirWords) {
  ExportSummary both;
  both.left_out = {1};
  both.first_refusal = Refusal(limits::Limit::kNone, "its directory cannot be read");
  both.no_text_layer = {{0, "the page is wider than the OCR reads (32767 pixels)"},
                        {2, "the OCR data for eng is damaged"}};
  ExportSummary words_only;
  words_only.no_text_layer = {{3, "stopped"}};
  const struct {
    const ExportSummary* summary;
    QString text;
  } cases[] = {
      {&both,
       "Page 2 could not be read and was left out.\nPage 2 does not decode: its directory "
       "cannot be read.\nPage 1 has no text layer: the page is wider than the OCR reads "
       "(32767 pixels).\nPage 3 has no text layer: the OCR data for eng is damaged."},
      {&words_only, "Page 4 has no text layer: stopped."},
  };
  for (const auto& c : cases) EXPECT_EQ(left_out_text(*c.summary), c.text);
  EXPECT_TRUE(left_out_text(ExportSummary{}).isEmpty());
}

// A file that lists more pages than are read says so once, when it is
// opened (not again when it is read with other parameters), and in the
// status bar for as long as it is on view.
TEST_F(DocumentTest, AFileWithMorePagesThanAreReadSaysSo) {
  // 1,100 pages are read whole; past what a 16-bit count numbers, the rest
  // is named.
  ot::TiffBuilder some;
  for (int i = 0; i < 1100; ++i) some.add_directory({some.long_entry(256, 8)});
  ot::write_file(dir / "some.tif", some.bytes());
  ASSERT_TRUE(doc.open(q(dir / "some.tif")));
  EXPECT_EQ(doc.pageCount(), 1100);
  EXPECT_TRUE(ui.messages.isEmpty());
  EXPECT_TRUE(doc.statusTexts().note.isEmpty());

  ot::TiffBuilder many;
  for (int i = 0; i < 65600; ++i) many.add_directory({many.long_entry(256, 8)});
  ot::write_file(dir / "many.tif", many.bytes());
  ASSERT_TRUE(doc.open(q(dir / "many.tif")));
  ASSERT_EQ(doc.pageCount(), 65535);
  EXPECT_EQ(ui.messages, QStringList{"Open: \"many.tif\" lists more pages than this program reads: "
                                     "pages past 65535 were not read."});
  EXPECT_EQ(doc.statusTexts().note, "Pages past 65535 were not read");
  ui.bit_order = 1;
  doc.bitOrder();
  EXPECT_EQ(ui.messages.size(), 1);
  EXPECT_EQ(doc.statusTexts().note, "Pages past 65535 were not read");
  ASSERT_TRUE(doc.open(q(ot::fixture("tiff/multipage-1728-g4.tif"))));
  EXPECT_TRUE(doc.statusTexts().note.isEmpty());
}

TEST_F(DocumentTest, VerticalResolutionOfRawDataRecountsItsPages) {
  ASSERT_TRUE(doc.open(sample("sample.g3")));
  ASSERT_EQ(doc.pageCount(), 1);
  ASSERT_EQ(doc.page().yres, 200);
  // Standard resolution: the 2200 rows make two pages.
  ui.resolutions = std::pair{0, 0};
  doc.resolutions();
  EXPECT_EQ(ui.resolutions_shown, (std::pair{0, 1}));
  EXPECT_EQ(doc.pageCount(), 2);
  EXPECT_EQ(doc.statusTexts().vres_index, 0);
  doc.lastPage();
  EXPECT_EQ(doc.currentPage(), 1);
  // Back to fine from the toolbar's list: one page again, and the page on
  // view no longer exists, so the first is shown.
  doc.setVerticalResolutionIndex(1);
  EXPECT_EQ(doc.pageCount(), 1);
  EXPECT_EQ(doc.currentPage(), 0);
  EXPECT_EQ(panes()[1], "Page: 1  (Total = 1)");
}

TEST_F(DocumentTest, HorizontalResolutionOnlyRedraws) {
  ASSERT_TRUE(doc.open(q(ot::fixture("tiff/multipage-1728-g4.tif"))));
  doc.flip();
  const auto flipped = pixels();
  const int width_before = view.drawnSize().width();
  doc.resolutions();  // Cancel: only learns the page's own indexes
  ui.resolutions = std::pair{2, ui.resolutions_shown.second};
  doc.resolutions();
  EXPECT_EQ(doc.page().xres, 400);
  EXPECT_EQ(pixels(), flipped);  // nothing reloaded
  EXPECT_EQ(view.drawnSize().width(), 1728 * 100 / 400);
  EXPECT_NE(view.drawnSize().width(), width_before);
}

TEST_F(DocumentTest, BitOrderAndAdvancedReopenWithTheirValuesKept) {
  ASSERT_TRUE(doc.open(sample("sample.g3")));
  doc.zoomIn();
  ui.bit_order = 2;
  doc.bitOrder();
  EXPECT_EQ(doc.record().parameters().bit_order, 2);
  EXPECT_EQ(doc.scaling(), 1.0f);
  EXPECT_EQ(ui.long_work_runs, 2);
  EXPECT_EQ(panes()[0], "That's NOT a FAX file!");  // the data is MSB first
  ui.bit_order = 0;
  doc.bitOrder();
  EXPECT_EQ(doc.pageCount(), 1);

  ui.advanced = AdvancedValues{70000, 300, true, false, 40000, true};
  doc.advanced();
  EXPECT_EQ(ui.advanced_shown.threshold, 50);
  EXPECT_EQ(ui.advanced_shown.min_width, 1728);
  const DecodingParameters& p = doc.record().parameters();
  EXPECT_EQ(p.threshold, 70000 - 65536);  // stored at the parameter's width
  EXPECT_EQ(p.flag_number, 300 - 256);
  EXPECT_TRUE(p.raw_file);
  EXPECT_FALSE(p.nonstandard_widths);
  EXPECT_EQ(p.min_width, 40000 - 65536);
  EXPECT_TRUE(p.split_at_page_ends);
  EXPECT_FALSE(ui.advanced_shown.split_at_page_ends);  // off until asked for
  EXPECT_EQ(ui.long_work_runs, 4);

  ui.advanced.reset();  // Cancel keeps everything
  doc.advanced();
  EXPECT_EQ(doc.record().parameters().threshold, 70000 - 65536);
  ASSERT_TRUE(doc.open(sample("sample.g3")));  // a new open resets them
  EXPECT_EQ(doc.record().parameters().threshold, 50);
}

TEST_F(DocumentTest, PropertiesShowTheNormalisedPage) {
  ASSERT_TRUE(doc.open(sample("sample.tif")));
  ui.resolutions = std::pair{0, 1};  // 200 x 200 dpi
  doc.resolutions();
  doc.pageProperties();
  ASSERT_TRUE(ui.properties);
  const FaxProperties& p = *ui.properties;
  EXPECT_EQ(p.line_width, 1728);
  EXPECT_EQ(p.scan_lines, 2200);
  EXPECT_EQ(p.encode_mode, "CCITT Group 3 2D (T.4 2D)");
  EXPECT_EQ(p.bit_order, "Highest bit first");
  EXPECT_EQ(p.x_resolution, 200);
  EXPECT_DOUBLE_EQ(p.page_width, 8.64);
  EXPECT_DOUBLE_EQ(p.page_height, 11.0);
  EXPECT_EQ(p.size_unit, "inch");
  EXPECT_EQ(p.resolution_unit, "dots per inch");
}

TEST_F(DocumentTest, SaveStep) {
  const QString fax = dcx();
  ASSERT_TRUE(doc.open(fax));
  ASSERT_EQ(doc.pageCount(), 3);

  EXPECT_EQ(doc.save(q(dir / "nodot")), COrvaneDoc::SaveResult::kNothingWritten);
  EXPECT_EQ(doc.save(q(dir / "copy.DCX")), COrvaneDoc::SaveResult::kNothingWritten);
  EXPECT_EQ(doc.save(q(dir / "copy.png")), COrvaneDoc::SaveResult::kNothingWritten);
  EXPECT_EQ(ui.messages,
            (QStringList{"Converting Fail: Unknown file format,cannot convert!",
                         "No need to convert: The file is already that format, no converting "
                         "needed!",
                         "Converting Fail: \"copy.png\" was not written: Save As writes TIFF "
                         "files only, so the name must end in .tif (Export as PDF writes PDF "
                         "files)."}));
  EXPECT_FALSE(QFile::exists(q(dir / "copy.png")));
  EXPECT_EQ(doc.path(), fax);

  // Cancelled: the conversion ends but nothing is kept.
  ui.cancel_long_work = true;
  EXPECT_EQ(doc.save(q(dir / "cancelled.tif")), COrvaneDoc::SaveResult::kCancelled);
  EXPECT_FALSE(QFile::exists(q(dir / "cancelled.tif")));
  EXPECT_EQ(doc.path(), fax);
  ui.cancel_long_work = false;

  EXPECT_EQ(doc.save(q(dir / "fax.tif")), COrvaneDoc::SaveResult::kConverted);
  EXPECT_EQ(doc.path(), q(dir / "fax.tif"));
  EXPECT_EQ(doc.format(), kFormatTiff);
  EXPECT_EQ(doc.pageCount(), 3);

  ui.messages.clear();
  EXPECT_EQ(doc.save(q(dir / "again.TIF")), COrvaneDoc::SaveResult::kNothingWritten);
  EXPECT_EQ(ui.messages.size(), 1);
  EXPECT_TRUE(ui.messages[0].startsWith("No need to convert"));

  // A page that does not load is left out, and the message says which and why.
  const ot::Bytes pcx = ot::read_file(dir / "p.pcx");
  ot::Bytes colour = pcx;
  colour[3] = 8;   // bits per pixel
  colour[65] = 3;  // planes
  ot::write_file(dir / "gap.dcx", ot::dcx_file({pcx, colour, pcx}));
  ASSERT_TRUE(doc.open(q(dir / "gap.dcx")));
  ui.messages.clear();
  EXPECT_EQ(doc.save(q(dir / "gap.tif")), COrvaneDoc::SaveResult::kConverted);
  EXPECT_EQ(doc.pageCount(), 2);
  EXPECT_EQ(ui.messages.join("|").toStdString(),
            "Save As: Page 2 could not be read and was left out.\n"
            "Page 2 does not decode: a colour PCX page, 3 planes of 8 bits.");
}

TEST_F(DocumentTest, FailedConversionKeepsAnExistingTarget) {
  ot::write_file(dir / "notes.txt", {'x'});
  ot::write_file(dir / "keep.tif", {'o', 'l', 'd'});
  ASSERT_TRUE(doc.open(q(dir / "notes.txt")));
  EXPECT_EQ(doc.save(q(dir / "keep.tif")), COrvaneDoc::SaveResult::kFailed);
  EXPECT_EQ(ot::read_file(dir / "keep.tif"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(doc.path(), q(dir / "notes.txt"));
}

// Export as PDF: the fax is never written over, Cancel and failures leave
// an existing target as it was, and the page on view stays.
TEST_F(DocumentTest, ExportPdf) {
  using R = COrvaneDoc::ExportResult;
  const QString fax = dcx();
  ASSERT_TRUE(doc.open(fax));
  doc.nextPage();
  const std::vector<std::uint8_t> on_view = pixels();
  const std::vector<std::uint8_t> old{'o', 'l', 'd'};
  ot::write_file(dir / "out.pdf", old);
  ot::write_file(dir / "notes.txt", {'x'});

  EXPECT_EQ(doc.exportPdf(fax, fax), R::kRefused);
  ui.cancel_long_work = true;
  EXPECT_EQ(doc.exportPdf(fax, q(dir / "out.pdf")), R::kCancelled);
  ui.cancel_long_work = false;
  EXPECT_EQ(ot::read_file(dir / "out.pdf"), old);
  EXPECT_EQ(doc.exportPdf(q(dir / "notes.txt"), q(dir / "out.pdf")), R::kFailed);
  EXPECT_EQ(ot::read_file(dir / "out.pdf"), old);
  EXPECT_EQ(ui.messages.size(), 2);  // the refusal and the failure, not the cancel

  EXPECT_EQ(doc.exportPdf(fax, q(dir / "out.pdf")), R::kExported);
  const std::vector<std::uint8_t> pdf = ot::read_file(dir / "out.pdf");
  ASSERT_GT(pdf.size(), 8u);
  EXPECT_EQ(std::string(pdf.begin(), pdf.begin() + 8), "%PDF-1.4");
  const std::string text(pdf.begin(), pdf.end());
  EXPECT_NE(text.find("/Count 3"), std::string::npos);
  // No staging file stays beside the target.
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().rfind(".out.pdf", 0), std::string::npos);
  EXPECT_EQ(doc.path(), fax);
  EXPECT_EQ(doc.currentPage(), 1);
  EXPECT_EQ(pixels(), on_view);
  EXPECT_EQ(ui.messages.size(), 2);
}

}  // namespace
}  // namespace orvane::app
