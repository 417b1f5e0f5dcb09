#pragma once
// The progress window of long work: busy, modal, with a Cancel that asks
// the work to stop and waits for it to end at its next step.
#include <QProgressDialog>

#include "base/work_control.h"

namespace orvane::app {

class CLongWorkDialog : public QProgressDialog {
  Q_OBJECT
 public:
  CLongWorkDialog(const QString& label, QWidget* parent);

  bool cancelRequested() const { return cancel_requested_; }
  void requestCancel();
  // Told of a Cancel (may be null: the work then runs to its end).
  void setStopTarget(WorkControl* control) { stop_target_ = control; }

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  bool cancel_requested_ = false;
  WorkControl* stop_target_ = nullptr;
};

}  // namespace orvane::app
