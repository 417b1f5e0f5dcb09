// The "Folders & Files" bar: what choosing an entry asks for, its history,
// Export as PDF, and Delete's question and trash.
#include "app/folders/folder_bar.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <filesystem>
#include <fstream>

#include "support/test_support.h"

namespace orvane::app {
namespace {

namespace fs = std::filesystem;

QString q(const fs::path& path) {
  return QString::fromStdString(path.string());
}

class FolderBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "outer" / "inner");
    std::ofstream(dir_ / "outer" / "fax.tif") << "II*";
    QObject::connect(&bar_, &CFolderBar::folder_selected,
                     [this](const QString& path) { folders_.append(path); });
    QObject::connect(&bar_, &CFolderBar::file_selected,
                     [this](const QString& path) { files_.append(path); });
  }

  test::TempDir dir_;
  CFolderBar bar_;
  QStringList folders_;
  QStringList files_;
};

TEST_F(FolderBarTest, DocksOnlyLeftOrRightUnderItsTitle) {
  EXPECT_EQ(bar_.windowTitle(), "Folders & Files");
  EXPECT_EQ(bar_.allowedAreas(), Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
  QMainWindow frame;
  frame.addDockWidget(Qt::RightDockWidgetArea, &bar_);
  bar_.dock_left(frame);
  EXPECT_EQ(frame.dockWidgetArea(&bar_), Qt::LeftDockWidgetArea);
  frame.removeDockWidget(&bar_);
  bar_.setParent(nullptr);  // the fixture owns the bar, not the frame
  QStringList popup;
  for (QAction* action : bar_.popup_menu()->actions()) popup.append(action->text());
  EXPECT_EQ(popup,
            (QStringList{"&Open", "&Export as PDF...", "Re&name", "&Delete", "&Properties"}));
}

TEST_F(FolderBarTest, ChoosingAFolderListsItAndAFileOpensIt) {
  QSignalSpy exports(&bar_, &CFolderBar::export_pdf_requested);
  bar_.choose(q(dir_ / "outer"));
  EXPECT_FALSE(bar_.export_pdf_action()->isEnabled());  // a folder is no fax to export
  bar_.choose(q(dir_ / "outer" / "fax.tif"));
  EXPECT_EQ(folders_, QStringList{q(dir_ / "outer")});
  EXPECT_EQ(files_, QStringList{q(dir_ / "outer" / "fax.tif")});
  ASSERT_TRUE(bar_.export_pdf_action()->isEnabled());
  bar_.export_pdf_action()->trigger();
  ASSERT_EQ(exports.size(), 1);
  EXPECT_EQ(exports[0][0].toString(), q(dir_ / "outer" / "fax.tif"));
}

TEST_F(FolderBarTest, BackForwardAndUpRevisitFolders) {
  const QString outer = q(dir_ / "outer"), inner = q(dir_ / "outer" / "inner");
  EXPECT_FALSE(bar_.back_action()->isEnabled());
  bar_.choose(outer);
  bar_.choose(inner);
  ASSERT_TRUE(bar_.back_action()->isEnabled());
  bar_.back_action()->trigger();
  EXPECT_EQ(bar_.chosen_path(), outer);
  ASSERT_TRUE(bar_.forward_action()->isEnabled());
  bar_.forward_action()->trigger();
  EXPECT_EQ(bar_.chosen_path(), inner);
  EXPECT_FALSE(bar_.forward_action()->isEnabled());
  bar_.up_action()->trigger();
  EXPECT_EQ(bar_.chosen_path(), outer);
  bar_.refresh_action()->trigger();  // a fresh tree keeps the choice and lists it again
  EXPECT_EQ(bar_.chosen_path(), outer);
  EXPECT_EQ(folders_, (QStringList{outer, inner, outer, inner, outer, outer}));
}

// Rename in a bar narrower than the name: the editor holds the whole long
// name in sight, and renames the file.
TEST_F(FolderBarTest, RenameEditorShowsTheWholeName) {
  const fs::path fax = dir_ / "outer" / "a-rather-long-fax-name-from-the-night-shift.tif";
  std::ofstream(fax) << "II*";
  bar_.resize(460, 400);
  bar_.show();
  bar_.choose(q(fax));
  QTest::qWait(50);
  for (QAction* action : bar_.popup_menu()->actions())
    if (action->text() == "Re&name") action->trigger();
  auto* editor = bar_.window()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), QString::fromStdString(fax.filename().string()));
  const QRect inside = editor->window()->rect();
  EXPECT_TRUE(inside.contains(editor->geometry())) << editor->geometry().x();
  EXPECT_GT(editor->width(), editor->fontMetrics().horizontalAdvance(editor->text()));
  // The name typed goes to the file as ever.
  editor->setText("short.tif");
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(dir_ / "outer" / "short.tif"); }, 2000));
  EXPECT_FALSE(fs::exists(fax));
}

// Answers the question Delete asks as soon as it is on screen.
void answer_next_question(QMessageBox::StandardButton answer) {
  QTimer::singleShot(0, [answer] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    box->button(answer)->click();
  });
}

TEST_F(FolderBarTest, DeleteAsksFirstThenMovesToTheTrash) {
  // A trash of the test's own, on the same file system as the file.
  const QByteArray old_data_home = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString((dir_ / "data").string()));
  const fs::path fax = dir_ / "outer" / "fax.tif";

  answer_next_question(QMessageBox::No);
  EXPECT_FALSE(bar_.delete_with_confirmation(q(fax)));
  EXPECT_TRUE(fs::exists(fax));

  answer_next_question(QMessageBox::Yes);
  EXPECT_TRUE(bar_.delete_with_confirmation(q(fax)));
  EXPECT_FALSE(fs::exists(fax));
  EXPECT_TRUE(fs::exists(dir_ / "data" / "Trash" / "files" / "fax.tif"));
  qputenv("XDG_DATA_HOME", old_data_home);
}

}  // namespace
}  // namespace orvane::app
