// Print preview: the pages it shows and the one- or two-page view it keeps
// for the next run.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTimer>
#include <filesystem>

#include "app/app_settings.h"
#include "app/printing/print_commands.h"
#include "support/test_support.h"

namespace orvane::app {
namespace {

namespace fs = std::filesystem;

TEST(PrintPreview, ShowsEveryPageAndRemembersOneOrTwoPages) {
  test::TempDir dir;
  CAppSettings settings(QString::fromStdString((dir / "settings.ini").string()));
  CPrintCommands commands(settings, nullptr);
  PrintSource source;
  source.path = QString::fromStdString(test::fixture("tiff/multipage-1728-g4.tif").string());
  source.scratch = {dir / "orvtmp.tmp", dir / "segtemp.tmp", dir / "tmptif"};

  struct Case {
    int stored, expected_stored;
    const char* action;  // the view the user picks in the dialog, if any
  };
  for (const Case& c : {Case{2, 2, nullptr}, Case{2, 1, "singleModeAction"},
                        Case{1, 2, "facingModeAction"}, Case{1, 1, "overviewModeAction"}}) {
    SCOPED_TRACE(c.action ? c.action : "no change");
    settings.setPreviewPages(c.stored);
    int shown_at_start = -1, pages_in_preview = -1;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      shown_at_start = CPrintCommands::preview_pages_shown(*dialog);
      pages_in_preview = dialog->findChild<QPrintPreviewWidget*>()->pageCount();
      if (c.action) dialog->findChild<QAction*>(c.action)->trigger();
      dialog->reject();
    });
    commands.preview(nullptr, source);
    EXPECT_EQ(shown_at_start, c.stored);
    EXPECT_EQ(pages_in_preview, commands.job().page_count());
    EXPECT_EQ(settings.previewPages(), c.expected_stored);
  }
  EXPECT_GT(commands.job().page_count(), 1);
}

}  // namespace
}  // namespace orvane::app
