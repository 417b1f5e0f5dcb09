#pragma once
// The slide show's timer: one step per interval while it runs.
#include <QObject>
#include <QTimer>

namespace orvane::app {

class SlideShow : public QObject {
  Q_OBJECT

 public:
  static constexpr int kDefaultIntervalMs = 2000;
  static constexpr int kMinimumIntervalMs = 100;

  explicit SlideShow(QObject* parent = nullptr);

  // Kept for the next start: a running show keeps its pace.
  void set_interval(int milliseconds) { interval_ = milliseconds; }
  int interval() const { return interval_; }
  // The pace of the running show (the interval it was started with).
  int active_interval() const { return timer_.interval(); }
  bool running() const { return timer_.isActive(); }

  // The Slide Show command: starts a stopped show, stops a running one.
  void toggle();
  void start();
  void stop();

 signals:
  // Open the next file. A step that shows a modal dialog gets no further
  // steps until it returns, although the timer keeps firing meanwhile.
  void step();
  void running_changed(bool running);

 private:
  void on_tick();

  QTimer timer_;
  int interval_ = kDefaultIntervalMs;
  bool in_step_ = false;
};

}  // namespace orvane::app
