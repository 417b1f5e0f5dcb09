#pragma once
// "Set Bit Order": automatic, highest bit first or least bit first.
#include <QDialog>

class QButtonGroup;

namespace orvane::app {

class CSetBitOrderDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CSetBitOrderDlg(int bit_order, QWidget* parent = nullptr);

  // 0 auto, 1 highest bit first, 2 least bit first.
  int bitOrder() const;
  QButtonGroup* choices() const { return group_; }

 private:
  QButtonGroup* group_;
};

}  // namespace orvane::app
