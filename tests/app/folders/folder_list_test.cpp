// Folder lists for Previous/Next Image and the slide show: what is listed, in
// which order, and where each step goes.
#include "app/folders/folder_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "support/test_support.h"

namespace orvane::app {
namespace {

namespace fs = std::filesystem;

QString q(const fs::path& path) {
  return QString::fromStdString(path.string());
}

void touch(const fs::path& path) {
  std::ofstream(path) << "x";
}

// The order the file system enumerates the folder, read independently.
QStringList enumeration_order(const fs::path& folder) {
  QStringList order;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file()) order.append(q(entry.path()));
  return order;
}

TEST(FolderList, SlideShowStartsAfterTheFirstEntryAndWrapsRound) {
  test::TempDir dir;
  for (const char* name : {"b.tif", "c.tif", "a.tif"}) touch(dir / name);
  const QStringList order = enumeration_order(dir.path());
  ASSERT_EQ(order.size(), 3);

  FolderList list;
  EXPECT_FALSE(list.can_slide_show());
  list.note_file_opened();  // File Open of one of the files; nothing listed yet
  ASSERT_TRUE(list.can_slide_show());
  QStringList opened;
  for (int step = 0; step < 4; ++step) opened.append(list.slide_step(q(dir / "a.tif")).value());
  EXPECT_EQ(opened, (QStringList{order[1], order[2], order[0], order[1]}));
  EXPECT_EQ(list.folder(), q(dir.path()));
}

TEST(FolderList, ListsEveryFileAsSpelledAndNothingElse) {
  test::TempDir dir;
  touch(dir / "Fax One.TIF");
  touch(dir / "notes.txt");
  touch(dir / ".hidden.g3");
  fs::create_directory(dir / "Sub");
  touch(dir / "Sub" / "inner.tif");
  ASSERT_EQ(mkfifo((dir / "pipe.g3").c_str(), 0600), 0);  // would block if opened
  fs::create_symlink(dir / "Fax One.TIF", dir / "link.tif");
  fs::create_symlink(dir / "Sub", dir / "link-to-folder");

  FolderList list;
  list.list_folder(q(dir.path()));
  QStringList got = list.entries();
  got.sort();
  QStringList want{q(dir / ".hidden.g3"), q(dir / "Fax One.TIF"), q(dir / "link.tif"),
                   q(dir / "notes.txt")};
  want.sort();
  EXPECT_EQ(got, want);
  EXPECT_EQ(list.position(), 0);
}

TEST(FolderList, PreviousAndNextStopAtTheEnds) {
  test::TempDir dir;
  for (const char* name : {"1.g3", "2.g3", "3.g3"}) touch(dir / name);
  FolderList list;
  list.list_folder(q(dir.path()));
  const QStringList order = list.entries();

  EXPECT_FALSE(list.can_previous());
  EXPECT_TRUE(list.can_next());
  EXPECT_EQ(list.next({}), order[1]);
  EXPECT_EQ(list.next({}), order[2]);
  EXPECT_FALSE(list.can_next());
  EXPECT_EQ(list.next({}), order[2]);  // the command is disabled there; it would stay
  EXPECT_EQ(list.previous({}), order[1]);
  EXPECT_EQ(list.previous({}), order[0]);
  EXPECT_FALSE(list.can_previous());
  EXPECT_EQ(list.previous({}), order[0]);
}

TEST(FolderList, ListedFolderIsKeptWhateverFileIsOpen) {
  test::TempDir listed, other;
  touch(listed / "one.tif");
  touch(listed / "two.tif");
  touch(other / "elsewhere.tif");
  FolderList list;
  list.list_folder(q(listed.path()));
  list.note_file_opened();
  list.slide_step(q(other / "elsewhere.tif"));
  EXPECT_EQ(list.folder(), q(listed.path()));
  EXPECT_EQ(list.entries().size(), 2);
}

TEST(FolderList, NothingToStepThrough) {
  test::TempDir empty;
  struct Case {
    const char* name;
    bool list_empty_folder;
  };
  for (const Case& c :
       {Case{"nothing opened, nothing listed", false}, Case{"an empty folder listed", true}}) {
    SCOPED_TRACE(c.name);
    FolderList list;
    if (c.list_empty_folder) list.list_folder(q(empty.path()));
    EXPECT_FALSE(list.can_next());
    EXPECT_FALSE(list.can_previous());
    EXPECT_EQ(list.slide_step({}), std::nullopt);
    EXPECT_EQ(list.next({}), std::nullopt);
    EXPECT_EQ(list.previous({}), std::nullopt);
  }
}

TEST(FolderList, VanishedEntryIsStillSteppedTo) {
  // The open reports the missing file; the position has moved on regardless.
  test::TempDir dir;
  touch(dir / "stays.tif");
  touch(dir / "goes.tif");
  FolderList list;
  list.list_folder(q(dir.path()));
  const QStringList order = list.entries();
  fs::remove(order[1].toStdString());
  EXPECT_EQ(list.slide_step({}), order[1]);
  EXPECT_EQ(list.position(), 1);
  EXPECT_EQ(list.slide_step({}), order[0]);
}

}  // namespace
}  // namespace orvane::app
