#include "app/dialogs/input_page_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

#include "app/dialogs/dialog_look.h"

namespace orvane::app {

CInputPageDlg::CInputPageDlg(int number, int maximum, const QString& hint, QWidget* parent)
    : QDialog(parent),
      edit_(new QLineEdit(QString::number(number))),
      number_(number),
      maximum_(maximum) {
  setWindowTitle(QStringLiteral("Input page number"));
  apply_dialog_frame(this);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QStringLiteral("Page Number")));
  row->addWidget(edit_);
  auto* hint_label = new QLabel(hint);
  hint_label->setAlignment(Qt::AlignCenter);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(hint_label);
  layout->addWidget(buttons);
  edit_->selectAll();
  apply_fax_dialog_look(this);
}

QString CInputPageDlg::check(const QString& text, int maximum, int* number) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  if (!ok) return QStringLiteral("Please enter an integer.");
  if (value < 1 || value > maximum) {
    return QStringLiteral("Please enter an integer between %1 and %2.").arg(1).arg(maximum);
  }
  *number = value;
  return {};
}

void CInputPageDlg::accept() {
  const QString error = check(edit_->text(), maximum_, &number_);
  if (!error.isEmpty()) {
    plain_warning(this, QStringLiteral("Orvane"), error);
    edit_->setFocus();
    edit_->selectAll();
    return;
  }
  QDialog::accept();
}

}  // namespace orvane::app
