#pragma once
// The small window shown while the program starts. It looks once a second
// whether start-up is done and then closes and deletes itself.
#include <QBasicTimer>
#include <QWidget>

namespace orvane::app {

class CLoadingWindow : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kTickMs = 1000;

  CLoadingWindow();
  // Start-up is done: the window goes at its next tick.
  void startupDone() { done_ = true; }

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  QBasicTimer timer_;
  bool done_ = false;
};

}  // namespace orvane::app
