#include "core/scratch_dir.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>

#include "base/cleanup_list.h"

namespace orvane {

namespace {

constexpr std::string_view kPrefix = "orvane-";

// The process that made a scratch folder named "orvane-PID-XXXXXX", or 0
// when the name is not of that form.
pid_t owner_pid(const std::string& name) {
  if (name.rfind(kPrefix, 0) != 0) return 0;
  const std::size_t dash = name.find('-', kPrefix.size());
  if (dash == std::string::npos || dash == kPrefix.size() || name.size() - dash != 7) return 0;
  pid_t pid = 0;
  for (std::size_t i = kPrefix.size(); i < dash; ++i) {
    if (name[i] < '0' || name[i] > '9' || pid > 99999999) return 0;
    pid = pid * 10 + (name[i] - '0');
  }
  return pid;
}

}  // namespace

void remove_abandoned_scratch_dirs(const std::filesystem::path& base) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
    const pid_t pid = owner_pid(entry.path().filename().string());
    if (pid <= 0 || pid == ::getpid()) continue;
    // Only our own real folders, of processes that no longer exist.
    struct stat st {};
    if (::lstat(entry.path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
      continue;
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
    std::error_code ignored;
    std::filesystem::remove_all(entry.path(), ignored);
  }
}

ScratchDir::ScratchDir() {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  // Folders left by killed runs are swept once per process.
  static std::once_flag swept;
  std::call_once(swept, [&] { remove_abandoned_scratch_dirs(base); });
  std::string templ =
      (base / (std::string(kPrefix) + std::to_string(::getpid()) + "-XXXXXX")).string();
  if (mkdtemp(templ.data())) root_ = templ;  // mkdtemp makes it 0700
  if (!root_.empty()) cleanup::add(root_);
}

ScratchDir::~ScratchDir() {
  if (root_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
  cleanup::forget(root_);
}

WorkingPaths ScratchDir::paths() const {
  return {root_ / "orvtmp.tmp", root_ / "segtemp.tmp", root_ / "tmptif"};
}

}  // namespace orvane
