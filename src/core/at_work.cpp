#include "core/at_work.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "base/limits.h"
#include "base/result.h"

extern char** environ;

namespace orvane {

Status convert_at_work_file(const std::filesystem::path& source,
                            const std::filesystem::path& temp_tiff) {
  std::error_code ec;
  std::filesystem::remove(temp_tiff, ec);  // a missing file is no error

  std::string program = kAtWorkConverter;
  std::string flag = "/c";
  std::string from = source.string();
  std::string to = temp_tiff.string();
  char* argv[] = {program.data(), flag.data(), from.data(), to.data(), nullptr};
  // The converter starts with no signal blocked, whatever this program
  // blocks in its own threads (orvane-cli takes SIGINT in one thread).
  posix_spawnattr_t attr;
  if (posix_spawnattr_init(&attr) != 0)
    return Refusal(limits::Limit::kFile, "the outside converter could not be started");
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, program.c_str(), nullptr, &attr, argv, environ);
  posix_spawnattr_destroy(&attr);
  if (spawned != 0) {
    const std::string name = kAtWorkConverter;
    return Refusal(limits::Limit::kFile,
                   spawned == ENOENT
                       ? "At Work files are read through the outside converter " + name +
                             ", which was not found on PATH"
                       : "the outside converter " + name +
                             " for At Work files could not be started: " + std::strerror(spawned));
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR)
      return Refusal(limits::Limit::kFile, "the outside converter " +
                                               std::string(kAtWorkConverter) +
                                               " could not be waited for: " + std::strerror(errno));
  }
  return {};  // the exit code is not looked at: a TIFF is either there or not
}

}  // namespace orvane
