#pragma once
// Work on the pages of one file spread over a few threads, its results
// taken back in page order: make(i) prepares page i on the caller's thread
// (which alone uses the fax file record), work(job, worker) runs on a
// worker thread, take(i, result) gets the results on the caller's thread,
// i = 0, 1, 2 ... At most `window` pages are made and not yet taken, so
// memory stays bounded whatever the page count.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace orvane {

// make(i) -> std::optional<Job> (none: stop), work(Job&, unsigned worker)
// -> Result, take(i, Result&) -> bool (false: stop). With `workers` 0 the
// caller's thread does everything, one page at a time, and work() gets
// worker 0; otherwise workers 0 .. workers - 1 run it. `stopping` is set
// when the work is to stop, for a work() that can end early. Returns false
// when make() or take() asked for a stop. An exception thrown by work()
// reaches the caller from take's turn of that page.
template <typename Job, typename Result, typename Make, typename Work, typename Take>
bool run_in_order(unsigned workers, std::uint32_t count, std::size_t window,
                  std::atomic<bool>& stopping, Make&& make, Work&& work, Take&& take) {
  if (workers == 0) {
    for (std::uint32_t i = 0; i < count; ++i) {
      std::optional<Job> job = make(i);
      Result result;
      if (!job || (result = work(*job, 0u), !take(i, result))) {
        stopping = true;
        return false;
      }
    }
    return true;
  }
  window = std::max<std::size_t>(window, 1);
  struct Slot {
    std::optional<Result> result;
    std::exception_ptr error;
  };
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::pair<std::uint32_t, Job>> queue;
  std::vector<Slot> slots(window);  // page i in slots[i % window]
  bool closed = false;

  auto worker = [&](unsigned index) {
    for (;;) {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return closed || !queue.empty(); });
      if (closed) return;
      auto [page, job] = std::move(queue.front());
      queue.pop_front();
      lock.unlock();
      Slot done;
      try {
        done.result.emplace(work(job, index));
      } catch (...) {
        done.error = std::current_exception();
      }
      lock.lock();
      slots[page % window] = std::move(done);
      changed.notify_all();
    }
  };
  std::vector<std::thread> threads;
  const auto finish = [&] {
    {
      std::lock_guard lock(mutex);
      closed = true;
    }
    changed.notify_all();
    for (std::thread& t : threads) t.join();
  };
  try {
    for (unsigned w = 0; w < workers; ++w) threads.emplace_back(worker, w);
  } catch (...) {
    stopping = true;
    finish();
    throw;
  }

  std::uint32_t made = 0, taken = 0;
  bool ok = true;
  try {
    while (ok && taken < count) {
      std::unique_lock lock(mutex);
      Slot& next = slots[taken % window];
      if (next.result || next.error) {
        Slot done = std::move(next);
        next = Slot{};
        lock.unlock();
        if (done.error) std::rethrow_exception(done.error);
        ok = take(taken, *done.result);
        ++taken;
        continue;
      }
      if (made < count && made - taken < window) {
        lock.unlock();
        std::optional<Job> job = make(made);
        if (!job) {
          ok = false;
          break;
        }
        lock.lock();
        queue.emplace_back(made, std::move(*job));
        ++made;
        changed.notify_all();
        continue;
      }
      changed.wait(lock, [&] { return next.result || next.error; });
    }
  } catch (...) {
    stopping = true;
    finish();
    throw;
  }
  if (!ok) stopping = true;
  finish();
  return ok;
}

}  // namespace orvane
