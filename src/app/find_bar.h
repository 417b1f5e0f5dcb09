#pragma once
// The find bar at the foot of the window: the text to find, Previous and
// Next, what was found so far and a close button; Return goes to the next
// place, Shift+Return to the previous one, Escape closes the bar.
#include <QToolBar>

class QLabel;
class QLineEdit;

namespace orvane::app {

class CFindBar : public QToolBar {
  Q_OBJECT
 public:
  explicit CFindBar(QWidget* parent = nullptr);

  QLineEdit* edit() const { return edit_; }
  QString text() const;
  QLabel* status() const { return status_; }
  void setStatus(const QString& text);
  // Shows the bar with its text selected, ready to be typed over.
  void open();
  // Hides the bar and says so.
  void closeBar();

 signals:
  void textChanged(const QString& text);
  void nextRequested();
  void previousRequested();
  void closed();

 private:
  QLineEdit* edit_;
  QLabel* status_;
};

}  // namespace orvane::app
