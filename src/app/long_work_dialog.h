#pragma once
// The progress window of long work: busy, modal, with a Cancel that is
// noted rather than obeyed at once (the work cannot be interrupted).
#include <QProgressDialog>
#include <atomic>

namespace orvane::app {

class CLongWorkDialog : public QProgressDialog {
  Q_OBJECT
 public:
  CLongWorkDialog(const QString& label, QWidget* parent);

  bool cancelRequested() const { return cancel_requested_; }
  void requestCancel();
  // Set when Cancel is requested, for work that can stop between steps.
  void setStopFlag(std::atomic<bool>* stop) { stop_ = stop; }

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  bool cancel_requested_ = false;
  std::atomic<bool>* stop_ = nullptr;
};

}  // namespace orvane::app
