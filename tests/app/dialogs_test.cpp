// The dialogs take their values from the caller and give them back on OK.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <vector>

#include "app/dialog_doc_ui.h"
#include "app/dialogs/dialog_look.h"
#include "app/dialogs/fax_property_pages.h"
#include "app/dialogs/input_page_dlg.h"
#include "app/dialogs/options_dlg.h"
#include "app/dialogs/set_advanced_dlg.h"
#include "app/dialogs/set_bit_order_dlg.h"
#include "app/dialogs/set_resolution_dlg.h"
#include "app/dialogs/sheet_fax.h"
#include "modal_closer.h"

namespace orvane::app {
namespace {

TEST(InputPageNumber, AcceptsOnlyAPageOfTheFax) {
  struct Case {
    const char* text;
    QString error;
    int number;
  };
  const QString range = "Please enter an integer between 1 and 3.";
  const Case cases[] = {{"0", range, -1},
                        {"4", range, -1},
                        {"3", "", 3},
                        {" 1 ", "", 1},
                        {"-2", range, -1},
                        {"two", "Please enter an integer.", -1},
                        {"", "Please enter an integer.", -1}};
  for (const Case& c : cases) {
    int number = -1;
    EXPECT_EQ(CInputPageDlg::check(c.text, 3, &number), c.error) << c.text;
    EXPECT_EQ(number, c.number) << c.text;
  }

  // A refused number keeps the dialog open behind the message, which is
  // drawn in the desktop's colours, not the dialog's light blue.
  CInputPageDlg dialog(2, 3, "(must be in [1 - 3])");
  dialog.show();
  dialog.edit()->setText("4");
  int darkest = 255;  // of the message's text as drawn
  test::ModalCloser closer([&](QWidget* box) {
    for (QLabel* label : box->findChildren<QLabel*>()) {
      if (!label->text().contains("integer")) continue;
      QImage shot(label->size(), QImage::Format_RGB32);
      label->render(&shot);
      for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) darkest = std::min(darkest, qGray(shot.pixel(x, y)));
      }
    }
  });
  dialog.accept();
  EXPECT_EQ(closer.titles, QStringList{"Orvane"});
  EXPECT_LT(darkest, 100);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  dialog.edit()->setText("3");
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.number(), 3);
}

// Small dialogs have a close button only, and room for their whole title.
TEST(SmallDialogs, CloseButtonOnlyAndWideEnoughForTheTitle) {
  AdvancedValues values;
  CSetAdvancedDlg advanced(values);
  CInputPageDlg page(1, 3, "(must be in [1 - 3])");
  COptionsDlg options(2000);
  CSetBitOrderDlg bit_order(0);
  CSetResolutionDlg resolutions(0, 1);
  for (QDialog* dialog :
       std::initializer_list<QDialog*>{&advanced, &page, &options, &bit_order, &resolutions}) {
    SCOPED_TRACE(dialog->windowTitle().toStdString());
    dialog->show();
    const Qt::WindowFlags flags = dialog->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_GE(dialog->width(), title_bar_width(dialog->windowTitle()));
    dialog->hide();
  }
  EXPECT_GT(title_bar_width("Set Advanced Parameters"), title_bar_width("Options"));
}

TEST(SetResolutions, ListsAndStartingItems) {
  CSetResolutionDlg dialog(1, 2);
  EXPECT_EQ(dialog.windowTitle(), "Set resolutions");
  EXPECT_EQ(dialog.horizontalList()->currentText(), "Fine (R12)");
  EXPECT_EQ(dialog.verticalList()->currentText(), "SFine (11.55lines/mm) ");
  EXPECT_EQ(dialog.verticalList()->itemText(1), "Fine (7.7lines/mm) ");
  EXPECT_EQ(dialog.verticalList()->count(), 4);
  dialog.verticalList()->setCurrentIndex(3);
  EXPECT_EQ(dialog.verticalIndex(), 3);
  EXPECT_EQ(dialog.horizontalIndex(), 1);
}

TEST(SetBitOrder, StartsFromTheCallersChoice) {
  for (int order : {0, 1, 2}) {
    CSetBitOrderDlg dialog(order);
    EXPECT_EQ(dialog.bitOrder(), order);
  }
  CSetBitOrderDlg dialog(0);
  dialog.choices()->button(2)->click();
  EXPECT_EQ(dialog.bitOrder(), 2);
  EXPECT_EQ(dialog.choices()->button(1)->text(), "Highest bit first");
}

TEST(SetAdvancedParameters, MinWidthFollowsTheNonStandardBox) {
  CSetAdvancedDlg dialog(AdvancedValues{40, 4, false, false, 1500});
  dialog.show();
  EXPECT_FALSE(dialog.minWidthEdit()->isEnabled());
  QTest::mouseClick(dialog.nonstandardBox(), Qt::LeftButton);
  EXPECT_TRUE(dialog.minWidthEdit()->isEnabled());
  QTest::mouseClick(dialog.nonstandardBox(), Qt::LeftButton);
  EXPECT_FALSE(dialog.minWidthEdit()->isEnabled());

  // Digits only.
  dialog.thresholdEdit()->clear();
  QTest::keyClicks(dialog.thresholdEdit(), "7a-5");
  EXPECT_EQ(dialog.thresholdEdit()->text(), "75");
  dialog.rawFileBox()->setChecked(true);
  EXPECT_EQ(dialog.pageEndsBox()->text(), "Split pages at end-of-page codes");
  EXPECT_FALSE(dialog.pageEndsBox()->isChecked());
  dialog.pageEndsBox()->setChecked(true);
  const AdvancedValues v = dialog.values();
  EXPECT_EQ(v.threshold, 75);
  EXPECT_EQ(v.flag_number, 4);
  EXPECT_TRUE(v.raw_file);
  EXPECT_FALSE(v.nonstandard_widths);
  EXPECT_EQ(v.min_width, 1500);
  EXPECT_TRUE(v.split_at_page_ends);
}

TEST(Options, IntervalInWholeSeconds) {
  COptionsDlg dialog(2000);
  EXPECT_EQ(dialog.intervals()->currentText(), "2 s");
  EXPECT_EQ(dialog.intervals()->count(), 10);
  dialog.intervals()->setCurrentIndex(dialog.intervals()->findText("15 s"));
  EXPECT_EQ(dialog.intervalMs(), 15000);
  EXPECT_EQ(COptionsDlg::interval_from_text(""), 0);
}

TEST(FaxProperties, ThreePagesOfReadOnlyFields) {
  FaxProperties p;
  p.line_width = 1728;
  p.scan_lines = 2200;
  p.encode_mode = "CCITT Group 3 1D (T.4 1D)";
  p.bit_order = "Least bit first";
  p.x_resolution = 200;
  p.y_resolution = 200;
  p.resolution_unit = "dots per inch";
  p.page_width = 1728.0 / 200;
  p.page_height = 2200.0 / 200;
  p.size_unit = "inch";
  CSheetFax sheet(p);
  EXPECT_EQ(sheet.windowTitle(), "Fax Properties");
  ASSERT_EQ(sheet.tabs()->count(), 3);
  EXPECT_EQ(sheet.tabs()->tabText(0), "Fax info");
  EXPECT_EQ(sheet.tabs()->tabText(1), "Resolution");
  EXPECT_EQ(sheet.tabs()->tabText(2), "Page info");
  auto* info = static_cast<CFaxPropertyPage*>(sheet.tabs()->widget(0));
  auto* size = static_cast<CFaxPropertyPage*>(sheet.tabs()->widget(2));
  EXPECT_EQ(info->field("Line width"), "1728");
  EXPECT_EQ(info->field("Scan lines"), "2200");
  EXPECT_EQ(size->field("Page width"), "8.64");
  EXPECT_EQ(size->field("Page height"), "11");
  EXPECT_EQ(size->field("Unit"), "inch");
  for (QLineEdit* edit : sheet.findChildren<QLineEdit*>()) EXPECT_TRUE(edit->isReadOnly());
  EXPECT_EQ(general_number(1728.0 / 204), "8.47059");
}

TEST(DialogDocUi, CancelLeavesTheCallersValues) {
  CDialogDocUi ui;
  test::ModalCloser closer;  // rejects every dialog
  int number = 2;
  EXPECT_FALSE(ui.askPageNumber(number, 5, "(must be in [1 - 5])"));
  EXPECT_EQ(number, 2);
  int h = 1, v = 2;
  EXPECT_FALSE(ui.askResolutions(h, v));
  EXPECT_EQ(std::pair(h, v), std::pair(1, 2));
  ui.showTipsOfOpenFax();
  EXPECT_EQ(closer.titles,
            (QStringList{"Input page number", "Set resolutions", "Tips of Open Fax"}));
}

TEST(DialogDocUi, LongWorkRunsAwayFromTheWindowThreadBehindAProgressWindow) {
  CDialogDocUi ui;
  Qt::HANDLE worker = nullptr;
  int ticks = 0;
  {
    test::ModalCloser watcher([&](QWidget*) { ++ticks; }, false);
    EXPECT_TRUE(ui.runLong("Reading", [&] {
      worker = QThread::currentThreadId();
      QThread::msleep(300);
    }));
    EXPECT_EQ(watcher.titles, QStringList{"Orvane"});
  }
  EXPECT_NE(worker, QThread::currentThreadId());
  EXPECT_GT(ticks, 3);  // the window thread kept running meanwhile

  // Cancel: the work still ends (nothing can stop it midway), its result
  // is then dropped.
  bool ended = false;
  test::ModalCloser closer;
  EXPECT_FALSE(ui.runLong("Reading", [&] {
    QThread::msleep(300);
    ended = true;
  }));
  EXPECT_TRUE(ended);

  // Work that watches the stop flag ends as soon as Cancel is pressed.
  WorkControl control;
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(ui.runLong(
      "Exporting",
      [&] {
        while (!control.stop_requested() && clock.elapsed() < 20000) QThread::msleep(5);
      },
      &control));
  EXPECT_TRUE(control.stop_requested());
  EXPECT_LT(clock.elapsed(), 10000);
}

TEST(DialogDocUi, TheProgressWindowShowsWhatTheWorkReportsAsAPercentage) {
  CDialogDocUi ui;
  WorkControl control;
  std::vector<std::pair<int, int>> seen;  // the bar's maximum and value
  QString text;
  test::ModalCloser watcher(
      [&](QWidget* window) {
        const auto* bar = window->findChild<QProgressBar*>();
        if (!bar) return;
        seen.emplace_back(bar->maximum(), bar->value());
        if (bar->maximum() > 0) text = bar->text();
      },
      false);
  EXPECT_TRUE(ui.runLong(
      "Converting",
      [&] {
        QThread::msleep(300);  // nothing reported yet: busy
        for (int i = 1; i <= 3; ++i) {
          control.report(i, 6);
          QThread::msleep(300);
        }
      },
      &control));
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), std::pair(0, 0));
  EXPECT_NE(std::find(seen.begin(), seen.end(), std::pair(1000, 500)), seen.end());
  for (const auto& [maximum, value] : seen) EXPECT_LE(value, 500);
  EXPECT_EQ(text, "50%");
}

}  // namespace
}  // namespace orvane::app
