// Drives the viewer on a real X server (run it through scripts/screenshots,
// which starts xvfb and a window manager) and saves what the screen shows at
// each step.
// Usage: take_screenshots OUT_DIR SAMPLES_DIR LONG_RAW_FILE NOT_A_FAX_FILE WORK_DIR
//                         UNREADABLE_DIR
// UNREADABLE_DIR holds what make-unreadable-pages (beside this file) makes,
// and 1100-pages.tif.
#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <functional>

#include "app/command_ids.h"
#include "app/dialogs/input_page_dlg.h"
#include "app/find_commands.h"
#include "app/folders/folder_bar.h"
#include "app/main_frame.h"
#include "app/orvane_app.h"
#include "app/orvane_doc.h"
#include "app/orvane_view.h"
#include "app/page_thumbnails.h"

using namespace orvane::app;

namespace {

QString out_dir;

void shot(const QString& name) {
  QTest::qWait(400);  // let the window system draw
  const QString file = QDir(out_dir).filePath(name + ".png");
  QGuiApplication::primaryScreen()->grabWindow(0).save(file);
  std::printf("%s\n", qPrintable(file));
}

// Once `wait_ms` have passed and a modal window is up (waiting for one at
// most five seconds more), shoots `name` and closes that window if `close`.
// A read that ends sooner or later on a busy machine is still shot while
// its progress is up.
void when_modal(const QString& name, bool close, int wait_ms) {
  QTimer::singleShot(wait_ms, [name, close] {
    (void)QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }, 5000);
    shot(name);
    QWidget* modal = QApplication::activeModalWidget();
    if (close && modal) modal->close();
  });
}

// Shoots `name` while the modal window that `command` opens is up, then
// closes that window if `close` (a progress window is left to finish).
void shot_modal(const QString& name, const std::function<void()>& command, bool close = true,
                int wait_ms = 600) {
  when_modal(name, close, wait_ms);
  command();
}

// Opens menu `index` of the menu bar with `item` under the pointer.
void show_menu(CMainFrame& frame, int index, QAction* item, const QString& name) {
  QAction* title = frame.menuBar()->actions().at(index);
  QMenu* menu = title->menu();
  menu->popup(frame.menuBar()->mapToGlobal(frame.menuBar()->actionGeometry(title).bottomLeft()));
  QTest::qWait(200);
  if (item) menu->setActiveAction(item);
  shot(name);
  menu->close();
}

// Start-up with a long bare stream: the window is there at once, with the
// reading's progress over it; Cancel leaves the empty window.
void start_with_long_read(const QString& long_raw) {
  COrvaneApp app(std::make_unique<CAppSettings>(QDir(out_dir).filePath("start.ini")));
  when_modal("00-start-up-long-read", true, 300);
  app.start({long_raw});
  shot("00b-start-up-read-cancelled");
}

// The window left at a size of its own, with the folder bar on the right
// and the thumbnails shown, comes back so at the next start (run at
// QT_SCALE_FACTOR=2 too).
int layout_kept(const QString& ini, bool save) {
  if (save) {
    COrvaneApp app(std::make_unique<CAppSettings>(ini));
    app.start({});
    CMainFrame& frame = app.frame();
    frame.showNormal();
    frame.setGeometry(60, 60, 600, 400);
    if (auto* bar = frame.findChild<CFolderBar*>())
      frame.addDockWidget(Qt::RightDockWidgetArea, bar);
    frame.runCommand(kCmdViewThumbnails);
    QTest::qWait(400);
    std::printf("left: %dx%d maximised %d\n", frame.width(), frame.height(),
                int(frame.isMaximized()));
    frame.close();
  }
  COrvaneApp app(std::make_unique<CAppSettings>(ini));
  app.start({});
  QTest::qWait(400);
  CMainFrame& frame = app.frame();
  auto* bar = frame.findChild<CFolderBar*>();
  std::printf("again: %dx%d maximised %d, folder bar right %d, thumbnails %d\n", frame.width(),
              frame.height(), int(frame.isMaximized()),
              int(bar && frame.dockWidgetArea(bar) == Qt::RightDockWidgetArea),
              int(frame.thumbnails()->isVisible()));
  shot(QStringLiteral("30-layout-kept-at-scale-%1%2")
           .arg(qEnvironmentVariable("QT_SCALE_FACTOR", "1"), save ? "" : "-left-at-scale-1"));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  // --layout: leave the window and start again; --restore: start again
  // only (from a run at another scale).
  const QString mode = argc == 4 ? QString::fromLocal8Bit(argv[1]) : QString();
  if (mode == "--layout" || mode == "--restore") {
    out_dir = QString::fromLocal8Bit(argv[2]);
    return layout_kept(QString::fromLocal8Bit(argv[3]), mode == "--layout");
  }
  if (argc != 7) {
    std::fprintf(
        stderr, "usage: take_screenshots OUT_DIR SAMPLES_DIR LONG_RAW NOT_A_FAX WORK UNREADABLE\n");
    return 2;
  }
  out_dir = QString::fromLocal8Bit(argv[1]);
  const QDir samples(QString::fromLocal8Bit(argv[2]));
  const QString long_raw = QString::fromLocal8Bit(argv[3]);
  const QString not_fax = QString::fromLocal8Bit(argv[4]);
  const QDir work(QString::fromLocal8Bit(argv[5]));
  const QDir unreadable(QString::fromLocal8Bit(argv[6]));

  start_with_long_read(long_raw);

  // The faxes the rest works on, in a folder with a long name beside them.
  const QString fax = work.filePath("sample.tif");
  QFile::copy(samples.filePath("sample.tif"), fax);
  QFile::copy(samples.filePath("sample.g3"), work.filePath("sample.g3"));
  QFile::copy(samples.filePath("sample.tif"),
              work.filePath("a fax with a name much longer than the folder bar is wide.tif"));
  ::mkfifo(QFile::encodeName(work.filePath("pipe.tif")).constData(), 0600);

  COrvaneApp app(std::make_unique<CAppSettings>(QDir(out_dir).filePath("settings.ini")));
  if (!app.start({fax})) return 1;
  CMainFrame& frame = app.frame();
  auto* bar = frame.findChild<CFolderBar*>();

  shot("01-page-at-1.00-folder-bar-at-the-fax");
  for (int i = 0; i < 3; ++i) frame.runCommand(kCmdZoomOut);
  shot("02-page-at-0.25");
  for (int i = 0; i < 3; ++i) frame.runCommand(kCmdZoomIn);
  frame.runCommand(kCmdReversed);
  shot("03-page-reversed");
  frame.runCommand(kCmdReversed);
  frame.runCommand(kCmdPageNext);
  shot("04-second-page");
  // Find Text: the pages read behind the find bar, the places found
  // highlighted, the one gone to stronger.
  frame.runCommand(kCmdFindText);
  QTest::keyClicks(QApplication::focusWidget(), "invoice 4471");
  (void)QTest::qWaitFor(
      [&] { return frame.findChild<CFindCommands*>()->pagesRead() == app.doc().pageCount(); },
      60000);
  frame.runCommand(kCmdFindNext);
  shot("04a-find-text-highlighted");
  frame.runCommand(kCmdFindPrevious);
  shot("04b-find-text-previous-on-page-1");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  frame.runCommand(kCmdRotateRight);
  shot("04c-second-page-rotated-right");
  frame.runCommand(kCmdRotateLeft);
  // At 4.00, in the middle of the page: only the tiles in sight are drawn.
  for (int i = 0; i < 12; ++i) frame.runCommand(kCmdZoomIn);
  if (auto* view = frame.findChild<COrvaneView*>()) {
    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum() / 2);
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 2);
  }
  shot("04d-second-page-at-4.00-middle");
  for (int i = 0; i < 12; ++i) frame.runCommand(kCmdZoomOut);
  shot_modal("05-properties", [&] { frame.runCommand(kCmdPageProperties); });
  show_menu(frame, 0, frame.action(kCmdFileExportPdf), "05a-file-menu");
  shot_modal("05b-export-as-pdf", [&] { frame.runCommand(kCmdFileExportPdf); });

  // The folder bar: scrolled sideways to a long name; a right click on
  // another file opens its menu and leaves the fax on view.
  if (bar) {
    const QString other =
        work.filePath("a fax with a name much longer than the folder bar is wide.tif");
    QTreeView* tree = bar->tree();
    auto* model = qobject_cast<QFileSystemModel*>(tree->model());
    (void)QTest::qWaitFor([&] { return tree->visualRect(model->index(other)).isValid(); }, 3000);
    tree->scrollTo(model->index(other));
    const QRect at = tree->visualRect(model->index(other));
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, at.center());
    QTest::qWait(200);
    bar->popup_menu()->setActiveAction(bar->export_pdf_action());
    shot("05c-folder-bar-right-click-keeps-the-fax");
    bar->popup_menu()->close();
    tree->horizontalScrollBar()->setValue(tree->horizontalScrollBar()->maximum());
    shot("05d-folder-bar-scrolled-sideways");
    tree->horizontalScrollBar()->setValue(0);
    for (QAction* action : bar->popup_menu()->actions())
      if (action->text() == "Re&name") action->trigger();
    shot("05e-folder-bar-rename-shows-the-whole-name");
    if (QWidget* editor = QApplication::focusWidget()) QTest::keyClick(editor, Qt::Key_Escape);
  }

  // Additions: the Image, Page and View menus with their keys, fitting,
  // the thumbnails.
  show_menu(frame, 1, frame.action(kCmdFitWidth), "09-image-menu-fit-and-zoom-keys");
  show_menu(frame, 2, frame.action(kCmdPageLast), "09a-page-menu-home-end");
  show_menu(frame, 4, frame.action(kCmdViewThumbnails), "09b-view-menu-thumbnails");
  frame.runCommand(kCmdFitWidth);
  shot("10-fit-width");
  frame.runCommand(kCmdFitPage);
  shot("11-fit-page");
  frame.runCommand(kCmdViewThumbnails);
  QTest::qWait(800);
  shot("12-page-thumbnails");
  frame.runCommand(kCmdRotateRight);
  QTest::qWait(800);
  shot("12b-page-and-thumbnails-rotated");
  frame.runCommand(kCmdRotateLeft);
  if (CPageThumbnails* thumbnails = frame.thumbnails()) {
    QListWidget* list = thumbnails->list();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    shot("12a-thumbnail-clicked-page-1");
  }
  frame.runCommand(kCmdZoomIn);

  // A narrow window keeps its four fax panes.
  const QRect whole = frame.geometry();
  frame.showNormal();
  frame.setGeometry(40, 40, 700, 500);
  shot("13-status-bar-in-700-pixels");
  frame.setGeometry(whole);

  // Dialogs: a close button only, the whole title; a readable error box.
  shot_modal("14-advanced-dialog", [&] { frame.runCommand(kCmdAdvanced); });
  QTimer::singleShot(600, [] {
    auto* dialog = qobject_cast<CInputPageDlg*>(QApplication::activeModalWidget());
    if (!dialog) return;
    dialog->edit()->setText("9");
    QTimer::singleShot(600, [dialog] {
      shot("15-page-number-error");
      if (QWidget* box = QApplication::activeModalWidget(); box && box != dialog) box->close();
      QTimer::singleShot(200, [dialog] { dialog->reject(); });
    });
    dialog->accept();
  });
  frame.runCommand(kCmdPageNumber);

  // Save As offers NAME.tif beside the fax; a name with another ending
  // is told off. File Open starts in the fax's folder.
  app.openDocumentFile(work.filePath("sample.g3"));
  shot_modal("16-save-as-offers-name-tif", [&] { frame.runCommand(kCmdFileSaveAs); });
  shot_modal("17-save-as-other-ending", [&] { app.doc().save(work.filePath("copy.png")); });
  shot_modal("18-file-open-in-the-fax-folder", [&] { frame.runCommand(kCmdFileOpen); });

  // Print Preview, large and smooth; printing to a file offers NAME.pdf
  // beside the fax.
  app.openDocumentFile(fax);
  shot_modal("19a-print-to-file-name", [&] { frame.runCommand(kCmdFilePrint); });
  frame.runCommand(kCmdRotateRight);
  shot_modal(
      "19b-print-preview-rotated", [&] { frame.runCommand(kCmdFilePrintPreview); }, true, 2500);
  frame.runCommand(kCmdRotateLeft);
  shot_modal(
      "19-print-preview", [&] { frame.runCommand(kCmdFilePrintPreview); }, true, 2500);

  // Help Contents without a browser: a window of its own.
  frame.runCommand(kCmdHelpContents);
  QTest::qWait(600);
  shot("20-help-window");
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->windowTitle() == "Orvane Help") window->close();
  }

  // A rename in the folder bar: the title follows.
  if (bar) {
    auto* model = qobject_cast<QFileSystemModel*>(bar->tree()->model());
    model->setData(model->index(fax), "renamed.tif");
    shot("21-renamed-in-the-folder-bar");
  }

  // A FIFO is refused at once.
  shot_modal("22-fifo-refused", [&] { app.openDocumentFile(work.filePath("pipe.tif")); });

  // The long bare stream: progress over the fax on view; Cancel keeps it.
  shot_modal(
      "06-raw-progress", [&] { app.openDocumentFile(long_raw); }, true, 300);
  shot("06a-raw-cancelled-fax-kept");
  shot_modal(
      "06b-raw-progress", [&] { app.openDocumentFile(long_raw); }, false, 300);
  shot("07-raw-page");
  app.openDocumentFile(not_fax);
  shot("08-not-a-fax-with-reason");
  app.openDocumentFile(unreadable.filePath("lzw-scan.tif"));
  shot("08a-damaged-tiff-with-reason");

  // Pages that do not read say why where they would be, with nothing of
  // the page before; their thumbnails are crossed out.
  if (CPageThumbnails* thumbnails = frame.thumbnails(); thumbnails && !thumbnails->isVisible())
    frame.runCommand(kCmdViewThumbnails);
  app.openDocumentFile(unreadable.filePath("third-page-unreadable.tif"));
  frame.runCommand(kCmdPageLast);
  QTest::qWait(800);
  shot("08b-third-page-unreadable");
  app.openDocumentFile(unreadable.filePath("lzw-middle-page.tif"));
  frame.runCommand(kCmdPageNext);
  QTest::qWait(800);
  shot("08c-lzw-middle-page");
  frame.runCommand(kCmdPageFirst);
  QTest::qWait(800);
  shot("08d-thumbnails-with-a-broken-page");
  // A file of 1,100 pages opens whole: its last page is page 1,100.
  app.openDocumentFile(unreadable.filePath("1100-pages.tif"));
  QTest::qWait(800);
  frame.runCommand(kCmdPageLast);
  QTest::qWait(800);
  shot("08e-1100-pages-the-last-one");
  return 0;
}
