#include "core/at_work.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/limits.h"
#include "base/result.h"

extern char** environ;

namespace orvane {

namespace {

std::atomic<double> default_limit{kConverterTimeoutDefault};

// The process groups of the converters running now (each led by its guard).
std::mutex groups_mutex;
std::vector<pid_t> groups;

void add_group(pid_t group) {
  std::lock_guard lock(groups_mutex);
  groups.push_back(group);
}

void remove_group(pid_t group) {
  std::lock_guard lock(groups_mutex);
  std::erase(groups, group);
}

// The converter on PATH, found here rather than by execvp in the child,
// which may only do what is safe after fork in a threaded program.
std::string find_on_path(const char* name, int& error) {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/bin:/bin";
  error = ENOENT;
  std::size_t from = 0;
  for (;;) {
    const std::size_t colon = folders.find(':', from);
    // An empty entry is the current folder.
    std::string candidate = folders.substr(from, colon - from);
    if (candidate.empty()) candidate.push_back('.');
    candidate += '/';
    candidate += name;
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      if (::access(candidate.c_str(), X_OK) == 0) return candidate;
      error = EACCES;
    }
    if (colon == std::string::npos) return {};
    from = colon + 1;
  }
}

// What the guard exits with when it could not start the converter.
constexpr int kGuardFailed = 125;

// The first process of the converter's group, between this program and the
// converter. The kernel tells it when this program ends (however it ends),
// and it then ends the whole group: the converter and whatever that
// started, which a signal to the converter alone would leave running. It
// exits with the converter's status once the converter ends. Runs after
// fork in a threaded program: system calls only, no allocation.
[[noreturn]] void run_guard(const char* program, char* const argv[], pid_t parent) {
  ::setpgid(0, 0);
  sigset_t watched;
  sigemptyset(&watched);
  for (const int s : {SIGCHLD, SIGTERM, SIGINT, SIGHUP}) sigaddset(&watched, s);
  ::sigprocmask(SIG_BLOCK, &watched, nullptr);
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  ::sigaction(SIGCHLD, &dfl, nullptr);
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != parent) ::_exit(kGuardFailed);  // ended before the request took hold
  const pid_t child = ::fork();
  if (child < 0) ::_exit(kGuardFailed);
  if (child == 0) {
    // The converter starts as programs expect: no signal blocked or
    // ignored (orvane-cli blocks SIGINT in its threads, ignores SIGXFSZ).
    for (const int s : {SIGPIPE, SIGXFSZ, SIGINT, SIGTERM, SIGHUP, SIGQUIT})
      ::sigaction(s, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(program, argv, environ);
    ::_exit(127);
  }
  for (;;) {
    const int signal = ::sigwaitinfo(&watched, nullptr);
    if (signal < 0) continue;  // EINTR
    if (signal == SIGCHLD) {
      int status = 0;
      if (::waitpid(child, &status, WNOHANG) != child) continue;
      ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    }
    ::kill(0, SIGKILL);  // the group, this guard last
    ::_exit(kGuardFailed);
  }
}

// Waits for the guard `group` to end, at most `seconds`; true when it did.
// It stays a zombie (not reaped), so that its number, which is the group's,
// cannot be taken by another process before the group is swept.
bool wait_for(pid_t group, double seconds) {
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + std::chrono::duration<double>(seconds);
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    siginfo_t info{};
    if (::waitid(P_PID, id_t(group), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == group)
      return true;
    if (Clock::now() >= until) return false;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(25));
  }
}

std::string seconds_text(double seconds) {
  std::ostringstream out;
  out << seconds;
  return out.str();
}

}  // namespace

void set_converter_time_limit(double seconds) {
  if (seconds > 0) default_limit = seconds;
}

double converter_time_limit() {
  if (const char* text = std::getenv(kConverterTimeoutVariable); text && *text) {
    char* end = nullptr;
    const double seconds = std::strtod(text, &end);
    // A day at most: beyond that a limit is no limit.
    if (end && *end == 0 && std::isfinite(seconds) && seconds > 0)
      return std::min(seconds, 86400.0);
  }
  return default_limit;
}

void end_converters() {
  std::lock_guard lock(groups_mutex);
  for (const pid_t group : groups) ::kill(-group, SIGKILL);
}

Status convert_at_work_file(const std::filesystem::path& source,
                            const std::filesystem::path& temp_tiff) {
  std::error_code ec;
  std::filesystem::remove(temp_tiff, ec);  // a missing file is no error

  const std::string name = kAtWorkConverter;
  int not_found = 0;
  std::string program = find_on_path(kAtWorkConverter, not_found);
  if (program.empty()) {
    return Refusal(limits::Limit::kFile,
                   not_found == ENOENT ? "At Work files are read through the outside converter " +
                                             name + ", which was not found on PATH"
                                       : "the outside converter " + name +
                                             " for At Work files could not be started: " +
                                             std::strerror(not_found));
  }
  std::string flag = "/c";
  std::string from = source.string();
  std::string to = temp_tiff.string();
  char* argv[] = {program.data(), flag.data(), from.data(), to.data(), nullptr};
  const double limit = converter_time_limit();

  const pid_t parent = ::getpid();
  const pid_t guard = ::fork();
  if (guard < 0) {
    return Refusal(limits::Limit::kFile,
                   "the outside converter " + name +
                       " for At Work files could not be started: " + std::strerror(errno));
  }
  if (guard == 0) run_guard(program.c_str(), argv, parent);
  ::setpgid(guard, guard);  // as the guard does itself: whichever runs first
  add_group(guard);
  const bool finished = wait_for(guard, limit);
  remove_group(guard);
  // Whatever the converter left running in its group goes with it.
  ::kill(-guard, SIGKILL);
  int status = 0;
  while (::waitpid(guard, &status, 0) < 0 && errno == EINTR) {
  }
  if (!finished) {
    std::filesystem::remove(temp_tiff, ec);  // half written, perhaps
    return Refusal(limits::Limit::kFile, "the outside converter " + name +
                                             " for At Work files did not finish in " +
                                             seconds_text(limit) + " s and was stopped (" +
                                             kConverterTimeoutVariable + " sets the limit)");
  }
  return {};  // the exit code is not looked at: a TIFF is either there or not
}

}  // namespace orvane
