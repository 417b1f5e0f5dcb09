#pragma once
// The user guide in a window of the program's own, for a desktop that has
// no web browser to show it in: the guide's pages with their links, Back
// and Forward.
#include <QDialog>

class QTextBrowser;

namespace orvane::app {

class CHelpWindow : public QDialog {
  Q_OBJECT
 public:
  // Shows the guide's page `file`.
  explicit CHelpWindow(const QString& file, QWidget* parent = nullptr);

  QTextBrowser* browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

}  // namespace orvane::app
