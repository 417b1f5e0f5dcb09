#include "base/atomic_output.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/mman.h>
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

// The file a chain of symbolic links ends at (which need not exist yet):
// the link itself is left as it is and its target replaced.
std::filesystem::path follow_links(std::filesystem::path path) {
  // As many links as the kernel follows before it gives up (ELOOP).
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::error_code ec;
    const std::filesystem::path to = std::filesystem::read_symlink(path, ec);
    if (ec) return path;
    path = to.is_absolute() ? to : path.parent_path() / to;
  }
  return path;
}

class RefusalCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "output"; }
  std::string message(int code) const override {
    switch (OutputRefusal(code)) {
      case OutputRefusal::kFolder: return "it is a folder, not a file";
      case OutputRefusal::kSocket: return "it is a socket, not a file";
      case OutputRefusal::kBlockDevice: return "it is a block device, which is not written to";
      default: return "it is neither a file, a character device nor a FIFO";
    }
  }
};

std::error_code refusal(OutputRefusal why) {
  return {int(why), output_refusal_category()};
}

}  // namespace

const std::error_category& output_refusal_category() {
  static const RefusalCategory category;
  return category;
}

AtomicOutput::AtomicOutput(const std::filesystem::path& target) : target_(target) {
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
      // Opened by its own name on commit: a link such as /dev/stdout may
      // lead to a pipe that has no name to follow.
      direct_ = true;
      create_in_memory();
      return;
    }
    if (S_ISDIR(st.st_mode)) {
      error_ = refusal(OutputRefusal::kFolder);
    } else if (S_ISSOCK(st.st_mode)) {
      error_ = refusal(OutputRefusal::kSocket);
    } else if (S_ISBLK(st.st_mode)) {
      error_ = refusal(OutputRefusal::kBlockDevice);
    } else if (!S_ISREG(st.st_mode)) {
      error_ = refusal(OutputRefusal::kOther);
    }
    if (error_) return;
  } else if (errno != ENOENT) {
    fail();  // a link loop, a folder that cannot be searched
    return;
  }
  // A regular file, or a name that does not exist yet (perhaps the target
  // of a dangling link).
  target_ = follow_links(target);
  std::filesystem::path dir = target_.parent_path();
  if (dir.empty()) dir = ".";
  if (!create_unnamed(dir)) create_named(dir);
}

AtomicOutput::AtomicOutput(StandardOutput) : target_("-"), direct_fd_(1), direct_(true) {
  create_in_memory();
}

bool AtomicOutput::create_in_memory() {
  fd_ = ::memfd_create("orvane-output", MFD_CLOEXEC);
  if (fd_ < 0) {
    fail();
    return false;
  }
  temp_ = "/proc/self/fd/" + std::to_string(fd_);
  return true;
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
  if (direct_fd_ > 2) ::close(direct_fd_);
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

// The output, whole, into the device, FIFO or standard output. Opened
// without O_CREAT: a device node that went away in the meantime is not
// made into a file; a FIFO's open waits for its reader, as a shell's
// redirection does.
bool AtomicOutput::copy_into_target() {
  if (direct_fd_ < 0) {
    do {
      direct_fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    } while (direct_fd_ < 0 && errno == EINTR);
    if (direct_fd_ < 0) {
      fail();
      return false;
    }
  }
  char buffer[64 * 1024];
  for (off_t at = 0;;) {
    const ssize_t got = ::pread(fd_, buffer, sizeof buffer, at);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      fail();
      return false;
    }
    if (got == 0) break;
    at += got;
    for (ssize_t put = 0; put < got;) {
      const ssize_t n = ::write(direct_fd_, buffer + put, std::size_t(got - put));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (n == 0) errno = EIO;
        fail();
        return false;
      }
      put += n;
    }
  }
  if (direct_fd_ > 2) {
    const int fd = direct_fd_;
    direct_fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) {
      fail();
      return false;
    }
  }
  return true;
}

bool AtomicOutput::commit() {
  if (temp_.empty() || committed_) return false;
  if (direct_) {
    if (!copy_into_target()) return false;
    committed_ = true;
    return true;
  }
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
