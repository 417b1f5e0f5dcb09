#pragma once
// "Options": the slide show's interval.
#include <QDialog>

class QComboBox;

namespace orvane::app {

class COptionsDlg : public QDialog {
  Q_OBJECT
 public:
  explicit COptionsDlg(int interval_ms, QWidget* parent = nullptr);

  // The chosen interval in milliseconds.
  int intervalMs() const;
  QComboBox* intervals() const { return list_; }

  // An item's text as an interval: every "s" a blank, read as whole
  // seconds; a text that is no number reads as 0.
  static int interval_from_text(const QString& text);

 private:
  QComboBox* list_;
};

}  // namespace orvane::app
