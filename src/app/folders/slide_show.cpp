#include "app/folders/slide_show.h"

#include <algorithm>

namespace orvane::app {

SlideShow::SlideShow(QObject* parent) : QObject(parent) {
  connect(&timer_, &QTimer::timeout, this, &SlideShow::on_tick);
}

void SlideShow::toggle() {
  if (running())
    stop();
  else
    start();
}

void SlideShow::start() {
  // A zero interval (an empty Options choice) would step on every pass of
  // the event loop and starve painting.
  timer_.start(std::max(interval_, kMinimumIntervalMs));
  emit running_changed(true);
}

void SlideShow::stop() {
  timer_.stop();
  emit running_changed(false);
}

void SlideShow::on_tick() {
  // Ticks that arrive while a step's modal dialog runs its own event loop
  // are dropped, so closing the dialog does not release a burst of steps.
  if (in_step_) return;
  in_step_ = true;
  emit step();
  in_step_ = false;
}

}  // namespace orvane::app
