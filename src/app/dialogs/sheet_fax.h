#pragma once
// "Fax Properties": the page's fax info, resolution and size on three tabs.
#include <QDialog>

#include "app/doc_ui.h"

class QTabWidget;

namespace orvane::app {

class CSheetFax : public QDialog {
  Q_OBJECT
 public:
  explicit CSheetFax(const FaxProperties& properties, QWidget* parent = nullptr);
  QTabWidget* tabs() const { return tabs_; }

 private:
  QTabWidget* tabs_;
};

}  // namespace orvane::app
