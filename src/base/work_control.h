#pragma once
// How a caller follows and stops long work (the analysis and extraction of a
// bare stream, a conversion) that runs on another thread: the worker reports
// progress through a callback and looks at the stop request between steps;
// the caller asks for a stop from any thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>

namespace orvane {

class WorkControl {
 public:
  // Called on the worker's thread with the work done and the whole (in
  // units of the work's choosing, bytes of coded data for a bare stream);
  // a caller that draws must hand the numbers to its own thread.
  using Progress = std::function<void(std::int64_t done, std::int64_t total)>;

  WorkControl() = default;
  explicit WorkControl(Progress progress) : progress_(std::move(progress)) {}
  WorkControl(const WorkControl&) = delete;
  WorkControl& operator=(const WorkControl&) = delete;

  // Safe from any thread, at any time; the worker ends at its next step.
  void request_stop() { stop_.store(true, std::memory_order_relaxed); }
  bool stop_requested() const { return stop_.load(std::memory_order_relaxed); }
  // For the next piece of work with the same control.
  void clear_stop() { stop_.store(false, std::memory_order_relaxed); }

  // Who follows the progress; set before the work starts and cleared
  // after it ended, never while it runs.
  void set_progress(Progress progress) { progress_ = std::move(progress); }

  void report(std::int64_t done, std::int64_t total) const {
    if (progress_) progress_(done, total);
  }

 private:
  std::atomic<bool> stop_{false};
  Progress progress_;
};

}  // namespace orvane
