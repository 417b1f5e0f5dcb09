#pragma once
// "Set Advanced Parameters": how bare fax data is detected.
#include <QDialog>

#include "app/doc_ui.h"

class QCheckBox;
class QLineEdit;

namespace orvane::app {

class CSetAdvancedDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CSetAdvancedDlg(const AdvancedValues& values, QWidget* parent = nullptr);

  AdvancedValues values() const;
  QLineEdit* thresholdEdit() const { return threshold_; }
  QLineEdit* flagNumberEdit() const { return flag_number_; }
  QLineEdit* minWidthEdit() const { return min_width_; }
  QCheckBox* rawFileBox() const { return raw_file_; }
  QCheckBox* nonstandardBox() const { return nonstandard_; }
  QCheckBox* pageEndsBox() const { return page_ends_; }

 private:
  // "Min Width" means something only while other widths are accepted.
  void followNonstandard();

  QLineEdit* threshold_;
  QLineEdit* flag_number_;
  QCheckBox* raw_file_;
  QCheckBox* nonstandard_;
  QLineEdit* min_width_;
  QCheckBox* page_ends_;
};

}  // namespace orvane::app
