// Drives the viewer on a real X server (run it through scripts/screenshots,
// which starts xvfb) and saves what the screen shows at each step.
// Usage: take_screenshots OUT_DIR SAMPLES_DIR LONG_RAW_FILE NOT_A_FAX_FILE
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <functional>

#include "app/command_ids.h"
#include "app/folders/folder_bar.h"
#include "app/main_frame.h"
#include "app/orvane_app.h"
#include "app/orvane_doc.h"

using namespace orvane::app;

namespace {

QString out_dir;

void shot(const QString& name) {
  QTest::qWait(400);  // let the window system draw
  const QString file = QDir(out_dir).filePath(name + ".png");
  QGuiApplication::primaryScreen()->grabWindow(0).save(file);
  std::printf("%s\n", qPrintable(file));
}

// Shoots `name` while the modal window that `command` opens is up, then
// closes that window if `close` (a progress window is left to finish).
void shot_modal(const QString& name, const std::function<void()>& command, bool close = true) {
  QTimer::singleShot(600, [name, close] {
    shot(name);
    QWidget* modal = QApplication::activeModalWidget();
    if (close && modal) modal->close();
  });
  command();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  if (argc != 5) {
    std::fprintf(stderr, "usage: take_screenshots OUT_DIR SAMPLES_DIR LONG_RAW NOT_A_FAX\n");
    return 2;
  }
  out_dir = QString::fromLocal8Bit(argv[1]);
  const QDir samples(QString::fromLocal8Bit(argv[2]));
  const QString long_raw = QString::fromLocal8Bit(argv[3]);
  const QString not_fax = QString::fromLocal8Bit(argv[4]);

  COrvaneApp app(std::make_unique<CAppSettings>(QDir(out_dir).filePath("settings.ini")));
  if (!app.start({samples.filePath("sample.tif")})) return 1;
  CMainFrame& frame = app.frame();
  // xvfb has no window manager to maximise the window.
  frame.setGeometry(QGuiApplication::primaryScreen()->geometry());

  shot("01-page-at-1.00");
  for (int i = 0; i < 3; ++i) frame.runCommand(kCmdZoomOut);
  shot("02-page-at-0.25");
  for (int i = 0; i < 3; ++i) frame.runCommand(kCmdZoomIn);
  frame.runCommand(kCmdReversed);
  shot("03-page-reversed");
  frame.runCommand(kCmdReversed);
  frame.runCommand(kCmdPageNext);
  shot("04-second-page");
  shot_modal("05-properties", [&] { frame.runCommand(kCmdPageProperties); });
  // The File menu with Export as PDF under the pointer, its prompt in the
  // status bar, and the dialog it opens.
  QAction* file_title = frame.menuBar()->actions().first();
  QMenu* file_menu = file_title->menu();
  file_menu->popup(
      frame.menuBar()->mapToGlobal(frame.menuBar()->actionGeometry(file_title).bottomLeft()));
  QTest::qWait(200);
  file_menu->setActiveAction(frame.action(kCmdFileExportPdf));
  shot("05a-file-menu");
  file_menu->close();
  shot_modal("05b-export-as-pdf", [&] { frame.runCommand(kCmdFileExportPdf); });
  // The folder bar's pop-up menu on the fax, with Export as PDF.
  if (auto* bar = frame.findChild<CFolderBar*>()) {
    const QString fax = samples.absoluteFilePath("sample.tif");
    bar->choose(fax);
    QTest::qWait(600);  // the tree reads the folders
    bar->choose(fax);
    QTreeView* tree = bar->tree();
    const QRect at = tree->visualRect(tree->currentIndex());
    bar->popup_menu()->popup(tree->viewport()->mapToGlobal(at.center()));
    QTest::qWait(200);
    bar->popup_menu()->setActiveAction(bar->export_pdf_action());
    shot("05c-folder-bar-menu");
    bar->popup_menu()->close();
  }
  shot_modal(
      "06-raw-progress", [&] { app.openDocumentFile(long_raw); }, false);
  shot("07-raw-page");
  app.openDocumentFile(not_fax);
  shot("08-not-a-fax");
  return 0;
}
