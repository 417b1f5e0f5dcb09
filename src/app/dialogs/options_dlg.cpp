#include "app/dialogs/options_dlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include "app/dialogs/dialog_look.h"

namespace orvane::app {

COptionsDlg::COptionsDlg(int interval_ms, QWidget* parent) : QDialog(parent), list_(new QComboBox) {
  setWindowTitle(QStringLiteral("Options"));
  apply_dialog_frame(this);
  for (int seconds : {1, 2, 3, 4, 5, 10, 15, 20, 25, 30}) {
    list_->addItem(QStringLiteral("%1 s").arg(seconds));
  }
  list_->setCurrentIndex(list_->findText(QStringLiteral("%1 s").arg(interval_ms / 1000)));
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Slide show interval"), list_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

int COptionsDlg::interval_from_text(const QString& text) {
  QString digits = text;
  digits.replace(u's', u' ');
  return digits.trimmed().toInt() * 1000;
}

int COptionsDlg::intervalMs() const {
  return interval_from_text(list_->currentText());
}

}  // namespace orvane::app
