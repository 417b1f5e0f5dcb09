#include "base/atomic_output.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

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

// What each kind of name is made into: the node a name stands for is never
// replaced by a file unless it is one (a device node or a FIFO that became
// a file would break whatever used it; as root, /dev/null).
TEST(AtomicOutput, OnlyAFileOrANewNameIsReplaced) {
  test::TempDir dir;
  const auto type_of = [](const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
  };
  struct Case {
    const char* what;
    std::function<bool(const fs::path&)> make;  // false: cannot be made here (skipped)
    bool written;
    const char* reason;  // when refused
  };
  const auto mknod_null = [](const fs::path& p) {
    // The null device's numbers, at a name of our own: writes vanish.
    return ::mknod(p.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
  };
  const Case cases[] = {
      {"new", [](const fs::path&) { return true; }, true, nullptr},
      {"file",
       [](const fs::path& p) {
         test::write_file(p, {'x'});
         return true;
       },
       true, nullptr},
      {"character device", mknod_null, true, nullptr},
      {"fifo", [](const fs::path& p) { return ::mkfifo(p.c_str(), 0600) == 0; }, true, nullptr},
      {"folder", [](const fs::path& p) { return fs::create_directory(p); }, false,
       "it is a folder, not a file"},
      {"socket",
       [](const fs::path& p) {
         const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un addr{};
         addr.sun_family = AF_UNIX;
         std::strncpy(addr.sun_path, p.c_str(), sizeof addr.sun_path - 1);
         const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
         ::close(fd);
         return bound;
       },
       false, "it is a socket, not a file"},
      {"block device",
       [](const fs::path& p) { return ::mknod(p.c_str(), S_IFBLK | 0600, makedev(7, 200)) == 0; },
       false, "it is a block device, which is not written to"},
  };
  for (const Case& c : cases) {
    for (const bool through_link : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (through_link ? " through a link" : ""));
      const fs::path node = dir / (std::string(c.what) + (through_link ? "-l" : ""));
      if (!c.make(node)) continue;
      const auto before = type_of(node);
      fs::path name = node;
      if (through_link) {
        name = dir / (std::string(c.what) + "-link");
        fs::create_symlink(node.filename(), name);  // relative, as links often are
      }
      std::vector<std::uint8_t> got;
      std::thread reader;
      if (before == S_IFIFO) reader = std::thread([&] { got = test::read_file(node); });
      AtomicOutput out(name);
      if (!c.written) {
        EXPECT_FALSE(out.ok());
        EXPECT_EQ(out.error().message(), c.reason);
      } else {
        ASSERT_TRUE(out.ok());
        write_text(out.temp_path(), "new");
        EXPECT_TRUE(out.commit()) << out.error().message();
      }
      if (reader.joinable()) reader.join();
      // The node is what it was (a new name became a file), a link is still a link.
      EXPECT_EQ(type_of(node), before ? before : S_IFREG);
      if (through_link) {
        EXPECT_EQ(type_of(name), S_IFLNK);
      }
      if (before == S_IFIFO || type_of(node) == S_IFREG) {
        if (before != S_IFIFO) got = test::read_file(node);
        EXPECT_EQ(got, (std::vector<std::uint8_t>{'n', 'e', 'w'}));
      }
    }
  }
  // Nothing else was left in the folder: no temporary file, no stray output.
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos) << e.path();
}

}  // namespace
}  // namespace orvane
