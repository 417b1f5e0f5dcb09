#include "cli/interrupt.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "base/cleanup_list.h"
#include "core/at_work.h"

namespace orvane::cli {

namespace {

sigset_t interrupt_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace

void handle_interrupts() {
  // Blocked here, the signals stay blocked in every thread started later;
  // only the waiting thread receives them, outside signal-handler context,
  // so it may take locks and remove folders.
  const sigset_t set = interrupt_signals();
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
  // stderr as it is now: while a page's words are read it may lead to
  // /dev/null for a moment (the OCR library's messages are kept off it).
  const int terminal = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
  std::thread([set, terminal] {
    int signal = 0;
    if (sigwait(&set, &signal) != 0) return;
    end_converters();
    cleanup::remove_all_listed();
    static const char kLine[] = "\norvane-cli: interrupted; nothing left behind\n";
    (void)!::write(terminal >= 0 ? terminal : 2, kLine, sizeof kLine - 1);
    _exit(128 + signal);
  }).detach();
}

}  // namespace orvane::cli
