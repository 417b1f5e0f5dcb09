#pragma once
// The progress window of long work: modal, with a Cancel that asks the work
// to stop and waits for it to end at its next step. The bar shows the
// work's progress as a percentage once the work reports one, and is busy
// until then (work that reports nothing keeps it busy).
#include <QProgressDialog>
#include <QTimer>
#include <atomic>

#include "base/work_control.h"

class QProgressBar;

namespace orvane::app {

// The window is modal to nothing: it keeps every other window of the program
// from input itself, so that the window system still hands the main
// window's close button to the main window (which cancels the work).
class CLongWorkDialog : public QProgressDialog {
  Q_OBJECT
 public:
  // Shown over `over` (may be null).
  CLongWorkDialog(const QString& label, QWidget* over);
  ~CLongWorkDialog() override;

  bool cancelRequested() const { return cancel_requested_; }
  void requestCancel();
  // Told of a Cancel (may be null: the work then runs to its end).
  void setStopTarget(WorkControl* control) { stop_target_ = control; }
  // For the work's WorkControl: called on the worker's thread, it only
  // stores the numbers; the window's timer shows them. Valid while the
  // window lives.
  WorkControl::Progress progressReceiver();

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void showProgress();

  QWidget* over_;
  bool cancel_requested_ = false;
  WorkControl* stop_target_ = nullptr;
  QProgressBar* bar_;
  QTimer poll_;
  // Thousandths of the work done, -1 while none was reported. One number,
  // so that the window never pairs a count with another step's total.
  std::atomic<int> permille_{-1};
  int shown_ = -1;
};

}  // namespace orvane::app
