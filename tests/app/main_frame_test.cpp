// The main window: its commands, their order, their enabling, the status
// bar, the recent-file list and start-up.
#include "app/main_frame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <QWheelEvent>

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
            (QStringList{"&Open...", "Save &As...", "&Export as PDF...", "&Close", "|", "&Print...",
                         "Print Pre&view", "P&rint Setup...", "|", "Recent File", "|", "E&xit"}));
  EXPECT_EQ(menu(1),
            (QStringList{"Zoom &In", "Zoom &Out", "Act&ual Size", "Fit &Width", "Fit P&age",
                         "F&lip", "&Mirror", "Rotate &Left", "Rotate &Right", "Re&versed Image",
                         "|", "&Previous Image", "&Next Image", "&Slide Show"}));
  EXPECT_EQ(menu(2), (QStringList{"&Properties", "|", "Pre&vious Page", "&Next Page", "F&irst Page",
                                  "&Last Page", "|", "Pa&ge Number...", "&Find Text..."}));
  EXPECT_EQ(menu(3),
            (QStringList{"&Resolutions...", "&Bit order", "|", "&Advanced", "|", "&Options"}));
  EXPECT_EQ(menu(4), (QStringList{"&Toolbar", "&Status Bar", "Folder Toolbar", "|", "F&older Bar",
                                  "Page T&humbnails", "F&ull Screen"}));
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
  // Every button has a picture, and a name for screen readers.
  for (QAction* a : frame.mainToolBar()->actions()) {
    QWidget* button = frame.mainToolBar()->widgetForAction(a);
    if (!a->isSeparator() && !button->inherits("QComboBox")) {
      EXPECT_FALSE(a->icon().isNull()) << a->toolTip().toStdString();
      EXPECT_FALSE(button->accessibleName().isEmpty()) << a->toolTip().toStdString();
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
  // Quit beside Exit, where the menu shows it.
  EXPECT_EQ(frame.action(kCmdAppExit)->shortcut(), QKeySequence("Ctrl+Q"));
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
      kCmdPageFirst,      kCmdPagePrevious, kCmdPageNext,  kCmdPageLast,   kCmdPageNumber,
      kCmdPageProperties, kCmdZoomIn,       kCmdZoomOut,   kCmdFlip,       kCmdMirror,
      kCmdResolutions,    kCmdReversed,     kCmdBitOrder,  kCmdAdvanced,   kCmdSlideShow,
      kCmdFileExportPdf,  kCmdFileSaveAs,   kCmdFileClose, kCmdRotateLeft, kCmdRotateRight,
      kCmdZoomActual};
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
        kCmdBitOrder, kCmdAdvanced, kCmdZoomIn, kCmdZoomOut, kCmdFileExportPdf, kCmdFileSaveAs,
        kCmdFileClose, kCmdRotateLeft, kCmdRotateRight}) {
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

  // A file that is not a fax: nothing to convert or export, but it can be
  // closed.
  ot::write_file(dir / "notes.txt", {'h', 'i', '\n'});
  ASSERT_TRUE(app.openDocumentFile(q(dir / "notes.txt")));
  EXPECT_FALSE(enabled(kCmdFileSaveAs));
  EXPECT_FALSE(enabled(kCmdFileExportPdf));
  EXPECT_TRUE(enabled(kCmdFileClose));
}

// File > Export as PDF through the real dialog: it offers the fax's name
// with .pdf in its folder, Save writes the PDF there, and the next export
// asks before replacing it (No leaves the file alone).
TEST_F(FrameTest, ExportAsPdfOffersANameAndAsksBeforeReplacing) {
  std::filesystem::copy_file(ot::fixture("tiff/multipage-1728-g4.tif"), dir / "fax.tif");
  ASSERT_TRUE(app.openDocumentFile(q(dir / "fax.tif")));
  QStringList offered, filters, questions;
  bool chosen = false;
  QString ocr_box, upright_box, pdfa_box;
  bool ocr_usable = false, upright_usable = false, upright_kept = false, pdfa_usable = false;
  test::ModalCloser driver(
      [&](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
          questions << box->text();
          box->button(QMessageBox::No)->click();
        } else if (auto* d = qobject_cast<QFileDialog*>(w)) {
          if (chosen) {
            if (auto* upright = d->findChild<QCheckBox*>(QStringLiteral("uprightCheck")))
              upright_kept = upright->isChecked();
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
          // Turned on here, and kept for the next export.
          if (auto* upright = d->findChild<QCheckBox*>(QStringLiteral("uprightCheck"))) {
            upright_box = upright->text();
            upright_usable =
                upright->isEnabled() && !upright->isChecked() && upright->isVisibleTo(d);
            upright->setChecked(upright->isEnabled());
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
  EXPECT_EQ(upright_box, "Turn pages upright");
  EXPECT_EQ(upright_usable, ocr_built_in());
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
  EXPECT_EQ(upright_kept, ocr_built_in());
  EXPECT_EQ(app.settings().turnPagesUpright(), ocr_built_in());
}

// Open, Save As and Export come up alike, names readable in the detailed
// view; printing to a file offers the fax's name with .pdf in its folder.
TEST_F(FrameTest, FileDialogsAlikeAndPrintToFileOffersThePdfName) {
  std::filesystem::copy_file(ot::fixture("tiff/multipage-1728-g4.tif"), dir / "fax.tif");
  ASSERT_TRUE(app.openDocumentFile(q(dir / "fax.tif")));
  QList<QSize> sizes;
  QList<int> name_columns;
  QString print_name;
  {
    test::ModalCloser closer([&](QWidget* w) {
      if (auto* d = qobject_cast<QFileDialog*>(w)) {
        sizes << d->size();
        if (auto* tree = d->findChild<QTreeView*>(QStringLiteral("treeView")))
          name_columns << tree->header()->sectionSize(0);
      } else if (auto* name = w->findChild<QLineEdit*>(QStringLiteral("filename"))) {
        print_name = name->text();
      }
    });
    for (CommandId id : {kCmdFileOpen, kCmdFileSaveAs, kCmdFileExportPdf, kCmdFilePrint})
      frame.runCommand(id);
  }
  ASSERT_EQ(sizes.size(), 3);
  EXPECT_EQ(sizes[1], sizes[0]);
  EXPECT_EQ(sizes[2], sizes[0]);
  ASSERT_EQ(name_columns.size(), 3);
  for (int width : name_columns) EXPECT_GE(width, sizes[0].width() / 3);
  EXPECT_EQ(print_name, q(dir / "fax.pdf"));
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
      {QKeySequence(Qt::CTRL | Qt::Key_0), 0, "Scaling: 1.00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys.toString().toStdString());
    QTest::keySequence(frame.view(), c.keys);
    EXPECT_EQ(app.doc().currentPage(), c.page);
    EXPECT_EQ(frame.faxPane(3)->text(), c.scaling);
  }
  EXPECT_TRUE(frame.action(kCmdPageLast)->shortcut().matches(QKeySequence("End")));
}

// Space reads on screen by screen into the next page, Shift+Space back into
// the one before; the wheel goes on past a page's end as Page Down does;
// the arrows sideways scroll a page wider than the window.
TEST_F(FrameTest, SpaceAndWheelReadOnAcrossPages) {
  frame.resize(700, 500);
  frame.show();
  frame.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
  ASSERT_TRUE(app.openDocumentFile(QString::fromStdString(ORVANE_SOURCE_DIR) +
                                   "/samples/sample.tif"));  // two tall pages
  COrvaneView* view = frame.view();
  view->setFocus();
  QScrollBar* v = view->verticalScrollBar();
  ASSERT_GT(v->maximum(), 0);
  int screens = 0;
  while (app.doc().currentPage() == 0 && screens < 20) {
    const int before = v->value();
    QTest::keyClick(view, Qt::Key_Space);
    if (app.doc().currentPage() == 0) {
      EXPECT_GT(v->value(), before);
      EXPECT_LT(v->value() - before, view->viewport()->height());  // the last lines stay
    }
    ++screens;
  }
  EXPECT_EQ(app.doc().currentPage(), 1);
  EXPECT_GT(screens, 2);
  EXPECT_EQ(v->value(), 0);
  QTest::keyClick(view, Qt::Key_Down);
  EXPECT_GT(v->value(), 0);
  QTest::keyClick(view, Qt::Key_Space, Qt::ShiftModifier);
  QTest::keyClick(view, Qt::Key_Space, Qt::ShiftModifier);
  EXPECT_EQ(app.doc().currentPage(), 0);
  EXPECT_EQ(v->value(), v->maximum());

  const auto wheel = [&](int delta) {
    QWheelEvent event(QPointF(50, 50), view->viewport()->mapToGlobal(QPointF(50, 50)), {},
                      {0, delta}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &event);
  };
  wheel(-120);  // at the end of the page
  EXPECT_EQ(app.doc().currentPage(), 1);
  EXPECT_EQ(v->value(), 0);
  wheel(-120);  // within the page: it scrolls
  EXPECT_EQ(app.doc().currentPage(), 1);
  EXPECT_GT(v->value(), 0);
  v->setValue(0);
  wheel(120);
  EXPECT_EQ(app.doc().currentPage(), 0);

  // The whole page in the window's width: the arrows sideways turn it.
  QScrollBar* h = view->horizontalScrollBar();
  frame.runCommand(kCmdFitWidth);
  ASSERT_EQ(h->maximum(), 0);
  QTest::keyClick(view, Qt::Key_Right);
  EXPECT_EQ(app.doc().currentPage(), 1);
  QTest::keyClick(view, Qt::Key_Left);
  EXPECT_EQ(app.doc().currentPage(), 0);
  for (int i = 0; i < 16 && h->maximum() == 0; ++i) frame.runCommand(kCmdZoomIn);
  ASSERT_GT(h->maximum(), 0);
  QTest::keyClick(view, Qt::Key_Right);
  EXPECT_EQ(app.doc().currentPage(), 0);
  EXPECT_GT(h->value(), 0);
}

// Close leaves the window as before the first file; F11 fills the screen
// and gives the window back.
TEST_F(FrameTest, CloseAndFullScreen) {
  frame.show();
  frame.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
  ASSERT_TRUE(app.openDocumentFile(multipage()));
  QTest::keySequence(&frame, QKeySequence("Ctrl+W"));
  EXPECT_TRUE(app.doc().path().isEmpty());
  EXPECT_EQ(app.doc().pageCount(), 0);
  EXPECT_EQ(frame.windowTitle(), "Untitled - Orvane");
  EXPECT_EQ(frame.faxPane(0)->text(), "");
  EXPECT_EQ(frame.faxPane(1)->text(), "Page");
  for (CommandId id : {kCmdFileClose, kCmdFileSaveAs, kCmdPageNext, kCmdZoomIn})
    EXPECT_FALSE(enabled(id)) << id;
  ASSERT_TRUE(app.openDocumentFile(multipage()));  // and opens again
  EXPECT_EQ(app.doc().pageCount(), 3);

  frame.runCommand(kCmdViewFullScreen);
  EXPECT_TRUE(frame.isFullScreen());
  EXPECT_TRUE(frame.action(kCmdViewFullScreen)->isChecked());
  frame.runCommand(kCmdViewFullScreen);
  EXPECT_FALSE(frame.isFullScreen());
  EXPECT_FALSE(frame.action(kCmdViewFullScreen)->isChecked());
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
  // Saved on a screen of another scale (a record Qt refuses): the window
  // takes the same share of this screen, not maximised, its bars as left.
  {
    CAppSettings settings(q(dir / "settings.ini"));
    const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect twice(room.topLeft() * 2, room.size() * 2);
    settings.setWindowLayout("saved elsewhere", settings.windowState());
    settings.setWindowPlace(
        {QRect(twice.topLeft() + QPoint(200, 100), twice.size() * 7 / 8), false, twice});
    COrvaneApp again{std::make_unique<CAppSettings>(q(dir / "settings.ini")),
                     std::make_unique<test::ScriptedUi>()};
    ASSERT_TRUE(again.frame().restoreLayout());
    again.frame().show();
    EXPECT_FALSE(again.frame().isMaximized());
    EXPECT_EQ(again.frame().geometry(),
              QRect(room.topLeft() + QPoint(100, 50), room.size() * 7 / 8));
    EXPECT_TRUE(again.frame().action(kCmdViewThumbnails)->isChecked());
  }
  COrvaneApp fresh{std::make_unique<CAppSettings>(q(dir / "fresh.ini")),
                   std::make_unique<test::ScriptedUi>()};
  EXPECT_FALSE(fresh.frame().restoreLayout());
}

// The main window's close button while a long bare stream is read: the
// reading is cancelled (the fax on view is not the worker's any more) and
// the window closes; keys meant for the window meanwhile reach nothing.
TEST(FrameClosing, CloseDuringALongReadCancelsItAndCloses) {
  ot::TempDir dir;
  const std::vector<std::uint8_t> stream = ot::read_file(ORVANE_SOURCE_DIR "/samples/sample.g3");
  std::vector<std::uint8_t> long_stream;
  for (int i = 0; i < 400; ++i) long_stream.insert(long_stream.end(), stream.begin(), stream.end());
  ot::write_file(dir / "long.g3", long_stream);
  COrvaneApp app{std::make_unique<CAppSettings>(q(dir / "settings.ini"))};  // the real windows
  CMainFrame& frame = app.frame();
  frame.show();
  int keys = 0;
  struct KeyCount : QObject {
    int& keys;
    explicit KeyCount(int& k) : keys(k) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::KeyPress) ++keys;
      return false;
    }
  } count(keys);
  frame.view()->installEventFilter(&count);
  bool closed_while_reading = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* progress = QApplication::activeModalWidget();
    if (!progress || closed_while_reading) return;
    closed_while_reading = true;
    QTest::keyClick(frame.view(), Qt::Key_End);
    frame.close();
    EXPECT_TRUE(frame.isVisible());  // until the reading has ended
  });
  poll.start(20);
  EXPECT_FALSE(app.openDocumentFile(q(dir / "long.g3")));  // cancelled
  EXPECT_TRUE(closed_while_reading);
  EXPECT_EQ(keys, 0);
  EXPECT_TRUE(app.doc().path().isEmpty());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !frame.isVisible(); }, 3000));
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
