#pragma once
// "Set resolutions": horizontal and vertical resolution as list indexes.
#include <QDialog>

class QComboBox;

namespace orvane::app {

class CSetResolutionDlg : public QDialog {
  Q_OBJECT
 public:
  CSetResolutionDlg(int horizontal_index, int vertical_index, QWidget* parent = nullptr);

  int horizontalIndex() const;
  int verticalIndex() const;
  QComboBox* horizontalList() const { return horizontal_; }
  QComboBox* verticalList() const { return vertical_; }

 private:
  QComboBox* horizontal_;
  QComboBox* vertical_;
};

}  // namespace orvane::app
