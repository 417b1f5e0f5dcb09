#include "app/dialogs/set_resolution_dlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include "app/dialogs/dialog_look.h"

namespace orvane::app {

CSetResolutionDlg::CSetResolutionDlg(int horizontal_index, int vertical_index, QWidget* parent)
    : QDialog(parent), horizontal_(new QComboBox), vertical_(new QComboBox) {
  setWindowTitle(QStringLiteral("Set resolutions"));
  apply_dialog_frame(this);
  horizontal_->addItems({QStringLiteral("Standard (R8)"), QStringLiteral("Fine (R12)"),
                         QStringLiteral("High (R16)")});
  // The trailing blanks of two items are as the fax world has always shown them.
  vertical_->addItems(
      {QStringLiteral("Standard (3.85lines/mm)"), QStringLiteral("Fine (7.7lines/mm) "),
       QStringLiteral("SFine (11.55lines/mm) "), QStringLiteral("High (15.4lines/mm)")});
  horizontal_->setCurrentIndex(horizontal_index);
  vertical_->setCurrentIndex(vertical_index);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Horizontal"), horizontal_);
  form->addRow(QStringLiteral("Vertical"), vertical_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

int CSetResolutionDlg::horizontalIndex() const {
  return horizontal_->currentIndex();
}
int CSetResolutionDlg::verticalIndex() const {
  return vertical_->currentIndex();
}

}  // namespace orvane::app
