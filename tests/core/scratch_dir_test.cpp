#include "core/scratch_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "core/at_work.h"
#include "support/test_support.h"

namespace orvane {
namespace {

TEST(ScratchDir, EachOneIsPrivateAndGoneAfterwards) {
  std::filesystem::path kept;
  {
    ScratchDir a, b;
    ASSERT_TRUE(a.ok());
    ASSERT_TRUE(b.ok());
    EXPECT_NE(a.root(), b.root());
    struct stat st {};
    ASSERT_EQ(stat(a.root().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    const WorkingPaths p = a.paths();
    EXPECT_EQ(p.row_file.filename(), "orvtmp.tmp");
    EXPECT_EQ(p.page_index.filename(), "segtemp.tmp");
    EXPECT_EQ(p.temp_tiff.filename(), "tmptif");
    EXPECT_EQ(p.row_file.parent_path(), a.root());
    std::FILE* f = std::fopen(p.row_file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    kept = a.root();
  }
  EXPECT_FALSE(std::filesystem::exists(kept));
}

// Only this user's scratch folders of processes that are gone are removed:
// not those of running processes (this one, its parent), not other names,
// not files.
TEST(ScratchDir, OnlyFoldersOfEndedProcessesAreRemoved) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(0);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  const std::string gone = std::to_string(child), self = std::to_string(getpid()),
                    parent = std::to_string(getppid());
  struct Case {
    std::string name;
    bool folder, kept;
  } const cases[] = {
      {"orvane-" + gone + "-a1b2c3", true, false},     {"orvane-" + self + "-a1b2c3", true, true},
      {"orvane-" + parent + "-a1b2c3", true, true},    {"orvane-" + gone + "-file00", false, true},
      {"orvane-" + gone + "-toolongname", true, true}, {"other-" + gone + "-a1b2c3", true, true},
      {"orvane-x" + gone + "-a1b2c3", true, true},
  };
  test::TempDir base;
  for (const Case& c : cases) {
    if (c.folder) {
      std::filesystem::create_directories(base / c.name / "inner");
    } else {
      test::write_file(base / c.name, {1});
    }
  }
  remove_abandoned_scratch_dirs(base.path());
  for (const Case& c : cases) EXPECT_EQ(std::filesystem::exists(base / c.name), c.kept) << c.name;
}

TEST(AtWorkConverter, AMissingConverterRunsNothingAndRemovesTheOldTemporaryTiff) {
  ScratchDir dir;
  const auto temp = dir.paths().temp_tiff;
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  const char* old_path = std::getenv("PATH");
  const std::string saved = old_path ? old_path : "";
  setenv("PATH", dir.root().c_str(), 1);
  EXPECT_FALSE(convert_at_work_file("some.awd", temp));
  setenv("PATH", saved.c_str(), 1);
  EXPECT_FALSE(std::filesystem::exists(temp));
}

TEST(AtWorkConverter, ArgumentsReachTheConverterUnquotedAndUnsplit) {
  ScratchDir dir;
  // A stand-in converter that records its arguments, one per line.
  const auto script = dir.root() / kAtWorkConverter;
  {
    std::FILE* f = std::fopen(script.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$3.args\"\n");
    std::fclose(f);
  }
  std::filesystem::permissions(script, std::filesystem::perms(0700));
  const char* old_path = std::getenv("PATH");
  const std::string saved = old_path ? old_path : "";
  setenv("PATH", (dir.root().string() + ":" + saved).c_str(), 1);
  const auto source = dir.root() / "my fax; rm -rf x \"q\".awd";
  const auto temp = dir.paths().temp_tiff;
  EXPECT_TRUE(convert_at_work_file(source, temp));
  setenv("PATH", saved.c_str(), 1);
  std::FILE* f = std::fopen((temp.string() + ".args").c_str(), "r");
  ASSERT_NE(f, nullptr);
  char buf[1024] = {};
  const std::size_t n = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  EXPECT_EQ(std::string(buf, n), "/c\n" + source.string() + "\n" + temp.string() + "\n");
}

}  // namespace
}  // namespace orvane
