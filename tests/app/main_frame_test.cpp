// The main window: its commands, their order, their enabling, the status
// bar, the recent-file list and start-up.
#include "app/main_frame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include "app/command_table.h"
#include "app/loading_window.h"
#include "app/orvane_app.h"
#include "app/orvane_doc.h"
#include "app/orvane_view.h"
#include "core/page_ocr.h"
#include "modal_closer.h"
#include "scripted_ui.h"
#include "support/test_support.h"

namespace orvane::app {
namespace {

namespace ot = orvane::test;

QString q(const std::filesystem::path& p) {
  return QString::fromStdString(p.string());
}
QString multipage() {
  return q(ot::fixture("tiff/multipage-1728-g4.tif"));
}

class FrameTest : public ::testing::Test {
 protected:
  ot::TempDir dir;
  test::ScriptedUi* ui = new test::ScriptedUi;
  COrvaneApp app{std::make_unique<CAppSettings>(q(dir / "settings.ini")),
                 std::unique_ptr<CDocUi>(ui)};
  CMainFrame& frame = app.frame();

  bool enabled(CommandId id) { return frame.action(id)->isEnabled(); }
  QStringList texts(const QList<QAction*>& actions) {
    QStringList list;
    for (QAction* a : actions) {
      if (a->isSeparator()) {
        list << "|";
      } else if (auto* w = frame.mainToolBar()->widgetForAction(a);
                 w && qobject_cast<QComboBox*>(w)) {
        list << "[list]";
      } else {
        list << a->text();
      }
    }
    return list;
  }
};

TEST_F(FrameTest, MenusAndToolbarInTheirOrder) {
  QStringList titles;
  for (QAction* a : frame.menuBar()->actions()) titles << a->text();
  EXPECT_EQ(titles, (QStringList{"&File", "&Image", "&Page", "&Settings", "&View", "&Help"}));
  const auto menu = [&](int i) { return texts(frame.menuBar()->actions()[i]->menu()->actions()); };
  EXPECT_EQ(menu(0),
            (QStringList{"&Open...", "Save &As...", "&Export as PDF...", "|", "&Print...",
                         "Print Pre&view", "P&rint Setup...", "|", "Recent File", "|", "E&xit"}));
  EXPECT_EQ(menu(1),
            (QStringList{"Zoom &In", "Zoom &Out", "Fit &Width", "Fit P&age", "F&lip", "&Mirror",
                         "|", "&Previous Image", "&Next Image", "&Slide Show"}));
  EXPECT_EQ(menu(2), (QStringList{"&Properties", "|", "Pre&vious Page", "&Next Page", "F&irst Page",
                                  "&Last Page", "|", "Pa&ge Number..."}));
  EXPECT_EQ(menu(3),
            (QStringList{"&Resolutions...", "&Bit order", "|", "&Advanced", "|", "&Options"}));
  EXPECT_EQ(menu(4), (QStringList{"&Toolbar", "&Status Bar", "Folder Toolbar", "|", "F&older Bar",
                                  "Page T&humbnails"}));
  EXPECT_EQ(menu(5), (QStringList{"&Contents", "|", "&About Orvane..."}));

  QStringList tips;
  for (QAction* a : frame.mainToolBar()->actions()) {
    tips << (a->isSeparator()                                                    ? "|"
             : qobject_cast<QComboBox*>(frame.mainToolBar()->widgetForAction(a)) ? "[list]"
                                                                                 : a->toolTip());
  }
  EXPECT_EQ(tips, (QStringList{"Open",
                               "|",
                               "Toggle FolderBar",
                               "Modify bit order to try again",
                               "Set advanced control parameters to try again",
                               "|",
                               "Zoom in",
                               "Zoom out",
                               "Flip fax image",
                               "Mirror fax image",
                               "show reversed image",
                               "|",
                               "Slide show fax images",
                               "View previous image",
                               "View next image",
                               "|",
                               "Previous page",
                               "Next page",
                               "First page",
                               "Last page",
                               "Go to page",
                               "Page properties",
                               "|",
                               "[list]",
                               "|",
                               "Print",
                               "About"}));
  for (QAction* a : frame.mainToolBar()->actions()) {
    if (!a->isSeparator() && !frame.mainToolBar()->widgetForAction(a)->inherits("QComboBox")) {
      EXPECT_FALSE(a->icon().isNull()) << a->toolTip().toStdString();
    }
  }
  QStringList items;
  for (int i = 0; i < frame.resolutionList()->count(); ++i) {
    items << frame.resolutionList()->itemText(i);
  }
  EXPECT_EQ(items, (QStringList{"Standard (3.85lines/mm)", "Fine (7.7lines/mm)",
                                "SFine (11.55lines/mm)", "High (15.4lines/mm)"}));
  EXPECT_EQ(frame.action(kCmdFileOpen)->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(frame.action(kCmdFileOpen)->statusTip(), "Open an existing fax document");
  EXPECT_EQ(frame.action(kCmdEditCopy)->shortcuts(),
            (QList<QKeySequence>{QKeySequence("Ctrl+C"), QKeySequence("Ctrl+Ins")}));
}

TEST_F(FrameTest, StatusBarWithoutAFax) {
  EXPECT_EQ(frame.messagePane()->text(), "Ready");
  EXPECT_EQ(frame.faxPane(0)->text(), "");  // no verdict before a file is opened
  EXPECT_EQ(frame.faxPane(1)->text(), "Page");
  EXPECT_EQ(frame.faxPane(2)->text(), "Size");
  EXPECT_EQ(frame.faxPane(3)->text(), "Scaling");
  EXPECT_EQ(frame.resolutionList()->currentIndex(), -1);
  // Panes at least as wide as their indicator plus their extra width.
  const QFontMetrics m(frame.statusBar()->font());
  EXPECT_GE(frame.faxPane(0)->minimumWidth(), m.horizontalAdvance("Coding") + 140);
  EXPECT_GE(frame.faxPane(3)->minimumWidth(), m.horizontalAdvance("Scaling") + 30);
}

TEST_F(FrameTest, EnablingRules) {
  const CommandId page_commands[] = {
      kCmdPageFirst,  kCmdPagePrevious,   kCmdPageNext,    kCmdPageLast,
      kCmdPageNumber, kCmdPageProperties, kCmdZoomIn,      kCmdZoomOut,
      kCmdFlip,       kCmdMirror,         kCmdResolutions, kCmdReversed,
      kCmdBitOrder,   kCmdAdvanced,       kCmdSlideShow,   kCmdFileExportPdf};
  for (CommandId id : page_commands) EXPECT_FALSE(enabled(id)) << id;
  EXPECT_TRUE(enabled(kCmdFileOpen));
  EXPECT_TRUE(enabled(kCmdOptions));

  ASSERT_TRUE(app.openDocumentFile(multipage()));
  struct Step {
    void (COrvaneDoc::*command)();
    bool first, previous, next, last;
  };
  const Step steps[] = {{nullptr, false, false, true, true},
                        {&COrvaneDoc::nextPage, true, true, true, true},
                        {&COrvaneDoc::nextPage, true, true, false, false},
                        {&COrvaneDoc::firstPage, false, false, true, true}};
  for (const Step& s : steps) {
    if (s.command) (app.doc().*s.command)();
    SCOPED_TRACE(app.doc().currentPage());
    EXPECT_EQ(enabled(kCmdPageFirst), s.first);
    EXPECT_EQ(enabled(kCmdPagePrevious), s.previous);
    EXPECT_EQ(enabled(kCmdPageNext), s.next);
    EXPECT_EQ(enabled(kCmdPageLast), s.last);
  }
  for (CommandId id :
       {kCmdPageNumber, kCmdPageProperties, kCmdFlip, kCmdMirror, kCmdResolutions, kCmdReversed,
        kCmdBitOrder, kCmdAdvanced, kCmdZoomIn, kCmdZoomOut, kCmdFileExportPdf}) {
    EXPECT_TRUE(enabled(id)) << id;
  }
  for (int i = 0; i < 3; ++i) frame.runCommand(kCmdZoomOut);
  EXPECT_FALSE(enabled(kCmdZoomOut));
  EXPECT_EQ(frame.faxPane(3)->text(), "Scaling: 0.25");

  // A file was opened: the slide show may run, but there is no folder list
  // to step through yet. The folder toolbar item is greyed for good.
  for (CommandId id : {kCmdFilePrint, kCmdFilePrintPreview, kCmdFilePrintSetup, kCmdSlideShow,
                       kCmdViewFolderBar, kCmdHelpContents}) {
    EXPECT_TRUE(enabled(id)) << id;
  }
  for (CommandId id : {kCmdPreviousImage, kCmdNextImage, kCmdViewFolderToolbar, kCmdEditCopy,
                       kCmdEditPaste, kCmdNextPane}) {
    EXPECT_FALSE(enabled(id)) << id;
  }

  // A one-page fax: no Page Number.
  ASSERT_TRUE(
      app.openDocumentFile(QString::fromStdString(ORVANE_SOURCE_DIR) + "/samples/sample.g3"));
  EXPECT_FALSE(enabled(kCmdPageNumber));
  EXPECT_EQ(frame.resolutionList()->currentIndex(), 1);
}

// File > Export as PDF through the real dialog: it offers the fax's name
// with .pdf in its folder, Save writes the PDF there, and the next export
// asks before replacing it (No leaves the file alone).
TEST_F(FrameTest, ExportAsPdfOffersANameAndAsksBeforeReplacing) {
  std::filesystem::copy_file(ot::fixture("tiff/multipage-1728-g4.tif"), dir / "fax.tif");
  ASSERT_TRUE(app.openDocumentFile(q(dir / "fax.tif")));
  QStringList offered, filters, questions;
  bool chosen = false;
  QString ocr_box, pdfa_box;
  bool ocr_usable = false, pdfa_usable = false;
  test::ModalCloser driver(
      [&](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
          questions << box->text();
          box->button(QMessageBox::No)->click();
        } else if (auto* d = qobject_cast<QFileDialog*>(w)) {
          if (chosen) {
            d->reject();  // back in the dialog after No
            return;
          }
          chosen = true;
          offered = d->selectedFiles();
          filters = d->nameFilters();
          if (auto* ocr = d->findChild<QCheckBox*>(QStringLiteral("ocrCheck"))) {
            ocr_box = ocr->text();
            ocr_usable = ocr->isEnabled() && !ocr->isChecked() && ocr->isVisibleTo(d);
          }
          if (auto* pdfa = d->findChild<QCheckBox*>(QStringLiteral("pdfaCheck"))) {
            pdfa_box = pdfa->text();
            pdfa_usable = pdfa->isEnabled() && !pdfa->isChecked() && pdfa->isVisibleTo(d);
          }
          // Save, outside this timer call so the dialog's question is seen.
          QTimer::singleShot(0, d, [d] { static_cast<QDialog*>(d)->accept(); });
        }
      },
      false);
  frame.runCommand(kCmdFileExportPdf);
  EXPECT_EQ(offered, QStringList{q(dir / "fax.pdf")});
  EXPECT_EQ(filters, QStringList{"PDF Files (*.pdf)"});
  // Off by default; usable only in a program built with OCR.
  EXPECT_EQ(ocr_box, "Make text searchable (OCR)");
  EXPECT_EQ(ocr_usable, ocr_built_in());
  EXPECT_EQ(pdfa_box, "PDF/A for archiving");
  EXPECT_TRUE(pdfa_usable);
  EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join("; ").toStdString();
  const std::vector<std::uint8_t> pdf = ot::read_file(dir / "fax.pdf");
  ASSERT_GT(pdf.size(), 5u);
  EXPECT_EQ(std::string(pdf.begin(), pdf.begin() + 5), "%PDF-");
  EXPECT_TRUE(questions.isEmpty());

  chosen = false;
  frame.runCommand(kCmdFileExportPdf);
  EXPECT_EQ(questions.size(), 1);
  EXPECT_EQ(ot::read_file(dir / "fax.pdf"), pdf);
  EXPECT_TRUE(ui->messages.isEmpty());
}

TEST_F(FrameTest, ResolutionListAndTitleFollowTheDocument) {
  ASSERT_TRUE(app.openDocumentFile(multipage()));
  EXPECT_EQ(frame.windowTitle(), "multipage-1728-g4.tif - Orvane");
  const int index = frame.resolutionList()->currentIndex();
  EXPECT_GE(index, 0);
  frame.resolutionList()->activated(3);
  EXPECT_EQ(app.doc().page().yres, 400);
  frame.runCommand(kCmdFileNew);
  EXPECT_EQ(frame.windowTitle(), "Untitled - Orvane");
  EXPECT_EQ(app.doc().pageCount(), 3);  // the page on view stays
}

TEST_F(FrameTest, RecentFilesKeepFourAndSurviveARestart) {
  std::vector<QString> files;
  for (int i = 0; i < 5; ++i) {
    files.push_back(q(dir / ("fax" + std::to_string(i) + ".tif")));
    ASSERT_TRUE(QFile::copy(multipage(), files.back()));
    ASSERT_TRUE(app.openDocumentFile(files.back()));
  }
  const QStringList expected{files[4], files[3], files[2], files[1]};
  EXPECT_EQ(app.settings().recentFiles(), expected);
  CAppSettings reread(q(dir / "settings.ini"));
  EXPECT_EQ(reread.recentFiles(), expected);
  app.openDocumentFile(files[2]);
  EXPECT_EQ(app.settings().recentFiles(), (QStringList{files[2], files[4], files[3], files[1]}));
}

TEST_F(FrameTest, StartUp) {
  {
    test::ModalCloser closer;
    EXPECT_FALSE(app.start({q(dir / "missing.tif")}, false));
    ASSERT_EQ(closer.titles.size(), 1);
  }
  EXPECT_TRUE(app.start({multipage()}, false));
  EXPECT_EQ(app.doc().pageCount(), 3);
  EXPECT_TRUE(app.start({}, false));
  EXPECT_EQ(frame.windowTitle(), "Untitled - Orvane");
}

// The keys beside the menus: the page and zoom commands by keyboard, as the
// menus show them.
TEST_F(FrameTest, KeysTurnPagesAndZoom) {
  frame.show();
  frame.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
  ASSERT_TRUE(app.openDocumentFile(multipage()));
  frame.view()->setFocus();
  const struct {
    QKeySequence keys;
    int page;
    const char* scaling;
  } cases[] = {
      {QKeySequence(Qt::Key_End), 2, "Scaling: 1.00"},
      {QKeySequence(Qt::Key_Home), 0, "Scaling: 1.00"},
      {QKeySequence(Qt::CTRL | Qt::Key_Plus), 0, "Scaling: 1.25"},
      {QKeySequence(Qt::CTRL | Qt::Key_Minus), 0, "Scaling: 1.00"},
      {QKeySequence(Qt::CTRL | Qt::Key_Minus), 0, "Scaling: 0.75"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys.toString().toStdString());
    QTest::keySequence(frame.view(), c.keys);
    EXPECT_EQ(app.doc().currentPage(), c.page);
    EXPECT_EQ(frame.faxPane(3)->text(), c.scaling);
  }
  EXPECT_TRUE(frame.action(kCmdPageLast)->shortcut().matches(QKeySequence("End")));
}

// Every fax pane shows its longest text whole and keeps its width as texts
// change; in a 700-pixel window all four stay in sight.
TEST_F(FrameTest, StatusPanesKeepTheirTexts) {
  frame.resize(1400, 600);
  frame.show();
  ASSERT_TRUE(app.openDocumentFile(multipage()));
  const QFontMetrics m(frame.faxPane(0)->font());
  EXPECT_GE(frame.faxPane(0)->sizeHint().width(),
            m.horizontalAdvance("CCITT Modified Huffman (byte aligned)"));
  QTest::qWait(50);
  const int width = frame.faxPane(1)->width();
  app.doc().zoomIn();
  app.doc().nextPage();
  QTest::qWait(50);
  EXPECT_EQ(frame.faxPane(1)->width(), width);

  frame.resize(700, 500);
  QTest::qWait(50);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    QLabel* pane = frame.faxPane(i);
    EXPECT_TRUE(pane->isVisible());
    EXPECT_GE(pane->width(), pane->minimumWidth());
    EXPECT_LE(pane->mapTo(&frame, QPoint(pane->width(), 0)).x(), frame.width());
  }
}

// The window's place and its bars come back at the next start.
TEST_F(FrameTest, WindowLayoutIsKeptBetweenRuns) {
  frame.setGeometry(60, 70, 820, 640);
  frame.show();
  frame.runCommand(kCmdViewThumbnails);
  ASSERT_TRUE(frame.action(kCmdViewThumbnails)->isChecked());
  frame.close();
  {
    COrvaneApp again{std::make_unique<CAppSettings>(q(dir / "settings.ini")),
                     std::make_unique<test::ScriptedUi>()};
    ASSERT_TRUE(again.frame().restoreLayout());
    again.frame().show();
    EXPECT_EQ(again.frame().size(), QSize(820, 640));
    EXPECT_TRUE(again.frame().action(kCmdViewThumbnails)->isChecked());
  }
  COrvaneApp fresh{std::make_unique<CAppSettings>(q(dir / "fresh.ini")),
                   std::make_unique<test::ScriptedUi>()};
  EXPECT_FALSE(fresh.frame().restoreLayout());
}

TEST(LoadingWindow, GoesWithinASecondOfStartUp) {
  QPointer<CLoadingWindow> window = new CLoadingWindow;
  window->show();
  EXPECT_EQ(window->windowTitle(), "Orvane is Loading");
  QTest::qWait(300);
  EXPECT_TRUE(window);  // start-up not done yet
  window->startupDone();
  EXPECT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 1500));
}

TEST(CommandTable, EveryIdOnceAndEveryLaidOutCommandInTheTable) {
  std::set<int> ids;
  for (const CommandEntry& c : command_table()) EXPECT_TRUE(ids.insert(c.id).second) << c.id;
  for (const MenuSpec& m : menu_layout()) {
    for (CommandId id : m.items) EXPECT_TRUE(id == kCmdNone || find_command(id)) << id;
  }
  for (CommandId id : toolbar_layout()) {
    EXPECT_TRUE(id == kCmdNone || id == kCmdResolutionList || find_command(id)) << id;
  }
}

}  // namespace
}  // namespace orvane::app
