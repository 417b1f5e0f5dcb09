#pragma once
// Closes the modal windows a command opens (message boxes, dialogs), so that
// the real dialogs can be driven without a person.
#include <QApplication>
#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace orvane::app::test {

class ModalCloser {
 public:
  // `act` sees each modal window before it is closed (to read or fill it).
  // With `close` false the windows are only seen, not closed.
  explicit ModalCloser(std::function<void(QWidget*)> act = {}, bool close = true)
      : act_(std::move(act)) {
    QObject::connect(&timer_, &QTimer::timeout, [this, close] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal) return;
      if (titles.isEmpty() || titles.last() != modal->windowTitle() || close) {
        titles << modal->windowTitle();
      }
      if (act_) act_(modal);
      if (!close || QApplication::activeModalWidget() != modal) return;
      if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->reject();
      } else {
        modal->close();
      }
    });
    timer_.start(20);
  }

  QStringList titles;  // of every modal window seen, in order

 private:
  std::function<void(QWidget*)> act_;
  QTimer timer_;
};

}  // namespace orvane::app::test
