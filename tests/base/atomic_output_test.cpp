#include "base/atomic_output.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>

#include "support/test_support.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

std::size_t entries(const fs::path& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
  return n;
}

void write_text(const fs::path& path, const char* text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs(text, f);
  std::fclose(f);
}

TEST(AtomicOutput, NothingHasANameUntilTheOutputIsComplete) {
  test::TempDir dir;
  test::write_file(dir / "out.tif", {'o', 'l', 'd'});
  ::chmod((dir / "out.tif").c_str(), 0640);
  {
    AtomicOutput abandoned(dir / "out.tif");
    ASSERT_TRUE(abandoned.ok());
    write_text(abandoned.temp_path(), "partial");
    // Unnamed while written (tmpfs and the usual Linux file systems have
    // O_TMPFILE): a process killed now leaves nothing in the folder.
    EXPECT_EQ(entries(dir.path()), 1u);
  }
  EXPECT_EQ(test::read_file(dir / "out.tif"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(entries(dir.path()), 1u);

  AtomicOutput out(dir / "out.tif");
  write_text(out.temp_path(), "new");
  ASSERT_TRUE(out.commit());
  EXPECT_EQ(test::read_file(dir / "out.tif"), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
  EXPECT_EQ(entries(dir.path()), 1u);
  struct stat st {};
  ASSERT_EQ(::stat((dir / "out.tif").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u) << "the replaced file's permissions are kept";

  AtomicOutput nowhere(dir / "no" / "such" / "x.tif");
  EXPECT_FALSE(nowhere.ok());
  EXPECT_EQ(nowhere.error(), std::errc::no_such_file_or_directory);
}

}  // namespace
}  // namespace orvane
