#include "app/long_work_dialog.h"

#include <QCloseEvent>
#include <QPushButton>

namespace orvane::app {

CLongWorkDialog::CLongWorkDialog(const QString& label, QWidget* parent)
    : QProgressDialog(label, tr("Cancel"), 0, 0, parent) {
  setWindowTitle(QStringLiteral("Orvane"));
  setWindowModality(Qt::ApplicationModal);
  setAutoClose(false);
  setAutoReset(false);
  setMinimumDuration(0);
  setMinimumWidth(360);
  // Cancel only marks the work to be dropped; the window stays until the
  // work has ended and the fax record is free again.
  disconnect(this, &QProgressDialog::canceled, this, &QProgressDialog::cancel);
  connect(this, &QProgressDialog::canceled, this, &CLongWorkDialog::requestCancel);
}

void CLongWorkDialog::requestCancel() {
  if (cancel_requested_) return;
  cancel_requested_ = true;
  if (stop_) stop_->store(true);
  setLabelText(tr("Cancelling: finishing the step in progress..."));
  for (QPushButton* button : findChildren<QPushButton*>()) button->setEnabled(false);
}

void CLongWorkDialog::reject() {
  requestCancel();
}

void CLongWorkDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
  requestCancel();
}

}  // namespace orvane::app
