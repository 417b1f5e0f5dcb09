#include "app/dialogs/set_advanced_dlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/dialogs/dialog_look.h"

namespace orvane::app {

namespace {

QLineEdit* digits_edit(int value, QObject* owner) {
  auto* edit = new QLineEdit(QString::number(value));
  edit->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), owner));
  return edit;
}

}  // namespace

CSetAdvancedDlg::CSetAdvancedDlg(const AdvancedValues& values, QWidget* parent)
    : QDialog(parent),
      threshold_(digits_edit(values.threshold, this)),
      flag_number_(digits_edit(values.flag_number, this)),
      raw_file_(new QCheckBox(QStringLiteral("Raw Fax File"))),
      nonstandard_(new QCheckBox(QStringLiteral("Support none-standard width "))),
      min_width_(digits_edit(values.min_width, this)),
      page_ends_(new QCheckBox(QStringLiteral("Split pages at end-of-page codes"))) {
  setWindowTitle(QStringLiteral("Set Advanced Parameters"));
  apply_dialog_frame(this);
  raw_file_->setChecked(values.raw_file);
  nonstandard_->setChecked(values.nonstandard_widths);
  page_ends_->setChecked(values.split_at_page_ends);

  auto* detection = new QGroupBox(QStringLiteral("Detection Control"));
  auto* detection_form = new QFormLayout(detection);
  detection_form->addRow(QStringLiteral("Threshold"), threshold_);
  detection_form->addRow(QStringLiteral("Flag Num"), flag_number_);
  detection_form->addRow(raw_file_);
  detection_form->addRow(page_ends_);

  auto* widths = new QGroupBox(QStringLiteral("More widths"));
  auto* widths_form = new QFormLayout(widths);
  widths_form->addRow(nonstandard_);
  widths_form->addRow(QStringLiteral("Min Width"), min_width_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(nonstandard_, &QCheckBox::clicked, this, &CSetAdvancedDlg::followNonstandard);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(detection);
  layout->addWidget(widths);
  layout->addWidget(buttons);
  followNonstandard();
}

void CSetAdvancedDlg::followNonstandard() {
  min_width_->setEnabled(nonstandard_->isChecked());
}

AdvancedValues CSetAdvancedDlg::values() const {
  AdvancedValues v;
  v.threshold = threshold_->text().toInt();
  v.flag_number = flag_number_->text().toInt();
  v.raw_file = raw_file_->isChecked();
  v.nonstandard_widths = nonstandard_->isChecked();
  v.min_width = min_width_->text().toInt();
  v.split_at_page_ends = page_ends_->isChecked();
  return v;
}

}  // namespace orvane::app
