#pragma once
// "Input page number": the page to go to, checked against the page count.
#include <QDialog>

class QLineEdit;

namespace orvane::app {

class CInputPageDlg : public QDialog {
  Q_OBJECT
 public:
  CInputPageDlg(int number, int maximum, const QString& hint, QWidget* parent = nullptr);

  int number() const { return number_; }
  QLineEdit* edit() const { return edit_; }

  // Empty when `text` is a whole number from 1 to `maximum` (then stored in
  // `number`), else the message that refuses it.
  static QString check(const QString& text, int maximum, int* number);

 public slots:
  void accept() override;

 private:
  QLineEdit* edit_;
  int number_;
  int maximum_;
};

}  // namespace orvane::app
