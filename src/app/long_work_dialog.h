#pragma once
// The progress window of long work: busy, modal, with a Cancel that is
// noted rather than obeyed at once (the work cannot be interrupted).
#include <QProgressDialog>

namespace orvane::app {

class CLongWorkDialog : public QProgressDialog {
  Q_OBJECT
 public:
  CLongWorkDialog(const QString& label, QWidget* parent);

  bool cancelRequested() const { return cancel_requested_; }
  void requestCancel();

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  bool cancel_requested_ = false;
};

}  // namespace orvane::app
