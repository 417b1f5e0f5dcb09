// The folder commands in the running window: the folder bar's choices, the
// image commands' enabling, the slide show's order and the bar's docking.
#include "app/folders/folder_commands.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDockWidget>
#include <QFile>
#include <QFileSystemModel>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>
#include <filesystem>

#include "app/folders/folder_bar.h"
#include "app/folders/slide_show.h"
#include "app/main_frame.h"
#include "app/orvane_app.h"
#include "app/orvane_doc.h"
#include "app/orvane_view.h"
#include "support/test_support.h"

namespace orvane::app {
namespace {

namespace fs = std::filesystem;

QString q(const fs::path& path) {
  return QString::fromStdString(path.string());
}

class FolderCommandsTest : public ::testing::Test {
 protected:
  FolderCommandsTest()
      : app_(std::make_unique<CAppSettings>(q(dir_ / "settings.ini"))),
        commands_(*app_.frame().findChild<CFolderCommands*>()) {
    fs::create_directory(dir_ / "faxes");
    for (const char* name : {"b.tif", "c.tif", "a.tif"})
      fs::copy_file(test::fixture("tiff/multipage-1728-g4.tif"), dir_ / "faxes" / name);
    fs::create_directory(dir_ / "faxes" / "sub");
  }

  bool enabled(CommandId id) { return app_.frame().action(id)->isEnabled(); }

  test::TempDir dir_;
  COrvaneApp app_;
  CFolderCommands& commands_;
};

TEST_F(FolderCommandsTest, SlideShowAfterFileOpenStepsThroughTheOpenFilesFolder) {
  ASSERT_TRUE(app_.start({}, false));
  EXPECT_FALSE(enabled(kCmdSlideShow));
  ASSERT_TRUE(app_.openDocumentFile(q(dir_ / "faxes" / "a.tif")));
  EXPECT_TRUE(enabled(kCmdSlideShow));
  EXPECT_FALSE(enabled(kCmdNextImage));  // nothing listed yet

  app_.frame().runCommand(kCmdSlideShow);
  EXPECT_TRUE(commands_.slide_show().running());
  EXPECT_TRUE(app_.frame().action(kCmdSlideShow)->isChecked());
  QStringList opened;
  for (int step = 0; step < 4; ++step) {
    commands_.slide_step();
    opened.append(app_.doc().path());
  }
  const QStringList order = app_.doc().folders().entries();
  ASSERT_EQ(order.size(), 3);  // the subfolder is not in it
  EXPECT_EQ(opened, (QStringList{order[1], order[2], order[0], order[1]}));
  EXPECT_EQ(app_.frame().windowTitle(), order[1] + " - Orvane");  // the full path
  EXPECT_EQ(app_.settings().recentFiles(), QStringList{q(dir_ / "faxes" / "a.tif")});

  app_.frame().runCommand(kCmdSlideShow);
  EXPECT_FALSE(commands_.slide_show().running());
  EXPECT_FALSE(app_.frame().action(kCmdSlideShow)->isChecked());
}

TEST_F(FolderCommandsTest, FolderBarChoicesListAndOpen) {
  ASSERT_TRUE(app_.start({}, false));
  commands_.folder_bar().choose(q(dir_ / "faxes"));
  const QStringList order = app_.doc().folders().entries();
  ASSERT_EQ(order.size(), 3);
  EXPECT_EQ(app_.doc().folders().folder(), q(dir_ / "faxes"));

  commands_.folder_bar().choose(order[0]);  // a file: opened
  EXPECT_EQ(app_.doc().path(), order[0]);
  EXPECT_FALSE(enabled(kCmdPreviousImage));
  EXPECT_TRUE(enabled(kCmdNextImage));
  app_.frame().runCommand(kCmdNextImage);
  app_.frame().runCommand(kCmdNextImage);
  EXPECT_EQ(app_.doc().path(), order[2]);
  EXPECT_FALSE(enabled(kCmdNextImage));
  EXPECT_TRUE(enabled(kCmdPreviousImage));
  app_.frame().runCommand(kCmdPreviousImage);
  EXPECT_EQ(app_.doc().path(), order[1]);
}

TEST_F(FolderCommandsTest, FolderBarCommandHidesAndShowsItDockedLeft) {
  ASSERT_TRUE(app_.start({}, false));
  CMainFrame& frame = app_.frame();
  CFolderBar& bar = commands_.folder_bar();
  EXPECT_EQ(frame.dockWidgetArea(&bar), Qt::LeftDockWidgetArea);
  EXPECT_TRUE(frame.action(kCmdViewFolderBar)->isChecked());

  frame.addDockWidget(Qt::RightDockWidgetArea, &bar);
  frame.runCommand(kCmdViewFolderBar);
  EXPECT_FALSE(bar.isVisibleTo(&frame));
  EXPECT_FALSE(frame.action(kCmdViewFolderBar)->isChecked());
  frame.runCommand(kCmdViewFolderBar);
  EXPECT_TRUE(bar.isVisibleTo(&frame));
  EXPECT_TRUE(frame.action(kCmdViewFolderBar)->isChecked());
  EXPECT_EQ(frame.dockWidgetArea(&bar), Qt::LeftDockWidgetArea);
}

// The bar keeps the width the user gave it when hidden and shown again.
TEST_F(FolderCommandsTest, FolderBarKeepsItsWidth) {
  CMainFrame& frame = app_.frame();
  frame.resize(1000, 700);
  frame.show();
  CFolderBar& bar = commands_.folder_bar();
  frame.resizeDocks({&bar}, {320}, Qt::Horizontal);
  QTest::qWait(20);
  const int width = bar.width();
  ASSERT_GT(width, CFolderBar::kDefaultWidth + 50);
  frame.runCommand(kCmdViewFolderBar);
  frame.runCommand(kCmdViewFolderBar);
  QTest::qWait(20);
  EXPECT_NEAR(bar.width(), width, 2);
}

// The bar shows the fax's folder; a right click chooses a file for the
// pop-up menu without opening it; a rename of the open fax renames the
// document and its title.
TEST_F(FolderCommandsTest, FolderBarFollowsTheFax) {
  CMainFrame& frame = app_.frame();
  frame.resize(1000, 700);
  frame.show();
  CFolderBar& bar = commands_.folder_bar();
  QTreeView* tree = bar.tree();
  const QString fax = q(dir_ / "faxes" / "b.tif");
  ASSERT_TRUE(app_.openDocumentFile(fax));
  auto* model = qobject_cast<QFileSystemModel*>(tree->model());
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return tree->isExpanded(model->index(q(dir_ / "faxes"))); }, 3000));

  // The fax is selected in its folder, the names in sight from their first
  // letter; the keyboard stays with the page.
  EXPECT_EQ(bar.chosen_path(), fax);
  EXPECT_EQ(tree->horizontalScrollBar()->value(), 0);
  EXPECT_FALSE(tree->hasFocus());

  // A right click on another file: chosen, not opened.
  const QModelIndex other = model->index(q(dir_ / "faxes" / "c.tif"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return tree->visualRect(other).isValid(); }, 3000));
  tree->scrollTo(other);
  QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, tree->visualRect(other).center());
  bar.popup_menu()->close();
  EXPECT_EQ(bar.chosen_path(), q(dir_ / "faxes" / "c.tif"));
  EXPECT_EQ(app_.doc().path(), fax);

  // Renamed in the tree: the title follows.
  ASSERT_TRUE(model->setData(model->index(fax), "renamed.tif"));
  EXPECT_EQ(app_.doc().path(), q(dir_ / "faxes" / "renamed.tif"));
  EXPECT_EQ(frame.windowTitle(), "renamed.tif - Orvane");
  app_.doc().nextPage();  // pages still read from the renamed file
  EXPECT_EQ(app_.doc().currentPage(), 1);
}

// The arrow keys pass over files without reading each: a file opens once the
// selection rested, and the tree keeps the keyboard; Enter and a click open
// at once and give the keyboard to the page.
TEST_F(FolderCommandsTest, KeyboardBrowsingOpensWhenTheSelectionRests) {
  CMainFrame& frame = app_.frame();
  frame.resize(1000, 700);
  frame.show();
  frame.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
  QTreeView* tree = commands_.folder_bar().tree();
  auto* model = qobject_cast<QFileSystemModel*>(tree->model());
  const auto file = [this](const char* name) { return q(dir_ / "faxes" / name); };
  ASSERT_TRUE(app_.openDocumentFile(file("a.tif")));
  // Listed and sorted (folders first), as the arrow keys meet them.
  const QModelIndex folder = model->index(q(dir_ / "faxes"));
  const auto names = [&] {
    QStringList list;
    for (int row = 0; row < model->rowCount(folder); ++row)
      list << model->index(row, 0, folder).data().toString();
    return list;
  };
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return names() == QStringList{"sub", "a.tif", "b.tif", "c.tif"};
      },
      5000))
      << names().join(", ").toStdString();
  tree->setFocus();
  tree->setCurrentIndex(model->index(file("a.tif")));

  QTest::keyClick(tree, Qt::Key_Down);
  QTest::keyClick(tree, Qt::Key_Down);
  EXPECT_EQ(commands_.folder_bar().chosen_path(), file("c.tif"));
  EXPECT_EQ(app_.doc().path(), file("a.tif"));  // passed over, nothing read yet
  QTest::qWait(CFolderBar::kKeyboardRestMs / 2);
  EXPECT_EQ(app_.doc().path(), file("a.tif"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return app_.doc().path() == file("c.tif"); }, 3000));
  EXPECT_TRUE(tree->hasFocus());

  QTest::keyClick(tree, Qt::Key_Up);
  QTest::keyClick(tree, Qt::Key_Return);
  EXPECT_EQ(app_.doc().path(), file("b.tif"));
  EXPECT_TRUE(frame.view()->hasFocus());

  const QModelIndex a = model->index(file("a.tif"));
  tree->scrollTo(a);
  // On the name's first letters: the column reaches past the bar's edge.
  const QRect name = tree->visualRect(a);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                    QPoint(name.left() + 8, name.center().y()));
  EXPECT_EQ(app_.doc().path(), file("a.tif"));
  EXPECT_TRUE(frame.view()->hasFocus());
  QTest::qWait(CFolderBar::kKeyboardRestMs + 100);  // nothing left pending
  EXPECT_EQ(app_.doc().path(), file("a.tif"));
}

}  // namespace
}  // namespace orvane::app
