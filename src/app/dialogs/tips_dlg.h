#pragma once
// "Tips of Open Fax": the notice for a fax format this program does not
// read. No buttons; closed with its close box or Escape.
#include <QDialog>

namespace orvane::app {

class CTipsDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CTipsDlg(QWidget* parent = nullptr);
};

}  // namespace orvane::app
