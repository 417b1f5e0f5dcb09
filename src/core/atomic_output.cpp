#include "core/atomic_output.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

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

}  // namespace

AtomicOutput::AtomicOutput(const std::filesystem::path& target) : target_(target) {
  std::filesystem::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  // Appended piece by piece: GCC 12 at -O3 mistakes "." + string + "..." for
  // an overlapping copy (-Wrestrict, GCC bug 105329).
  std::string name = ".";
  name += target.filename().string();
  name += ".part-XXXXXX";
  std::string templ = (dir / name).string();
  const int fd = mkstemp(templ.data());
  if (fd < 0) return;
  ::close(fd);
  temp_ = templ;
}

AtomicOutput::~AtomicOutput() {
  if (committed_ || temp_.empty()) return;
  std::error_code ec;
  std::filesystem::remove(temp_, ec);
}

bool AtomicOutput::commit() {
  if (temp_.empty() || committed_) return false;
  // An existing target keeps its permissions; a new one gets the usual ones.
  struct stat st {};
  const mode_t mode =
      ::stat(target_.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~current_umask());
  if (::chmod(temp_.c_str(), mode) != 0) return false;
  std::error_code ec;
  std::filesystem::rename(temp_, target_, ec);
  if (ec) return false;
  committed_ = true;
  return true;
}

}  // namespace orvane
