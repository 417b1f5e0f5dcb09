#include "base/atomic_output.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <string>

#include "base/cleanup_list.h"

namespace orvane {

namespace {

// The process's umask, read without changing it (umask() would have to set
// it to find it, which races with other threads creating files).
mode_t current_umask() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "Umask:") {
      std::string value;
      status >> value;
      return mode_t(std::stoul(value, nullptr, 8));
    }
  }
  return 022;
}

// ".NAME.part-" in the target's folder: the hidden name a file has while it
// is written (or, for an unnamed file, for the moment between link and
// rename).
std::string part_prefix(const std::filesystem::path& dir, const std::filesystem::path& target) {
  // The hidden name is the target's, cut so that with the dot, ".part-" and
  // the longest ending added here (a process id and a serial number) it
  // still fits the longest name a folder takes: any name a user may give
  // the output can be written.
  constexpr std::size_t kNameMax = 255;
  constexpr std::size_t kAdded = 1 + 6 + 22;
  const std::string base = target.filename().string().substr(0, kNameMax - kAdded);
  // Appended piece by piece: GCC 12 at -O3 mistakes "." + string + "..." for
  // an overlapping copy (-Wrestrict, GCC bug 105329).
  std::string name = ".";
  name += base;
  name += ".part-";
  return (dir / name).string();
}

}  // namespace

AtomicOutput::AtomicOutput(const std::filesystem::path& target) : target_(target) {
  std::filesystem::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  if (!create_unnamed(dir)) create_named(dir);
}

bool AtomicOutput::create_unnamed(const std::filesystem::path& dir) {
  fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    error_ = std::error_code(errno, std::generic_category());
    return false;
  }
  temp_ = "/proc/self/fd/" + std::to_string(fd_);
  return true;
}

bool AtomicOutput::create_named(const std::filesystem::path& dir) {
  std::string templ = part_prefix(dir, target_) + "XXXXXX";
  const int fd = mkstemp(templ.data());
  if (fd < 0) {
    // The first attempt's reason is as good: both create in the same folder.
    if (!error_) error_ = std::error_code(errno, std::generic_category());
    return false;
  }
  ::close(fd);
  error_.clear();
  temp_ = templ;
  named_ = true;
  // Removed by whoever stops the process, if it is stopped before commit.
  cleanup::add(temp_);
  return true;
}

AtomicOutput::~AtomicOutput() {
  if (fd_ >= 0) ::close(fd_);  // an unnamed file not linked simply vanishes
  if (committed_ || !named_) return;
  std::error_code ec;
  std::filesystem::remove(temp_, ec);
  cleanup::forget(temp_);
}

void AtomicOutput::fail() {
  error_ = std::error_code(errno, std::generic_category());
}

// An unnamed file cannot be renamed over an existing target: it is linked
// under a fresh hidden name first, then renamed, which replaces the target
// in one step.
bool AtomicOutput::link_unnamed() {
  static std::atomic<unsigned> serial{0};
  std::filesystem::path dir = target_.parent_path();
  if (dir.empty()) dir = ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name =
        part_prefix(dir, target_) + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    if (::linkat(AT_FDCWD, temp_.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      temp_ = name;
      named_ = true;
      return true;
    }
    if (errno != EEXIST) break;
  }
  fail();
  return false;
}

bool AtomicOutput::commit() {
  if (temp_.empty() || committed_) return false;
  // An existing target keeps its permissions; a new one gets the usual ones.
  struct stat st {};
  const mode_t mode =
      ::stat(target_.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~current_umask());
  if (::chmod(temp_.c_str(), mode) != 0) {
    fail();
    return false;
  }
  // Not while an interrupted program removes its files: it would leave
  // behind the name given here.
  const bool named = cleanup::unless_stopping([&] {
    if (!named_ && !link_unnamed()) return false;
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
      fail();
      return false;
    }
    return true;
  });
  if (!named) {
    if (!error_) error_ = std::make_error_code(std::errc::interrupted);
    return false;
  }
  committed_ = true;
  cleanup::forget(temp_);
  return true;
}

}  // namespace orvane
