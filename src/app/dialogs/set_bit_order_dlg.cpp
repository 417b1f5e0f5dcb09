#include "app/dialogs/set_bit_order_dlg.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/dialogs/dialog_look.h"

namespace orvane::app {

CSetBitOrderDlg::CSetBitOrderDlg(int bit_order, QWidget* parent)
    : QDialog(parent), group_(new QButtonGroup(this)) {
  setWindowTitle(QStringLiteral("Set Bit Order"));
  apply_dialog_frame(this);
  auto* box = new QGroupBox(QStringLiteral("Set Bit Order"));
  auto* box_layout = new QVBoxLayout(box);
  const QString texts[] = {QStringLiteral("Auto bit order"), QStringLiteral("Highest bit first"),
                           QStringLiteral("Least bit first")};
  for (int i = 0; i < 3; ++i) {
    auto* radio = new QRadioButton(texts[i]);
    group_->addButton(radio, i);
    box_layout->addWidget(radio);
  }
  if (QAbstractButton* start = group_->button(bit_order)) start->setChecked(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box);
  layout->addWidget(buttons);
}

int CSetBitOrderDlg::bitOrder() const {
  return std::max(0, group_->checkedId());
}

}  // namespace orvane::app
