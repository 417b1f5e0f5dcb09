#include "app/long_work.h"

#include <QThread>
#include <memory>
#include <utility>

#include "app/long_work_dialog.h"

namespace orvane::app {

namespace {
// The window of the long work running now (work is started only from the
// window thread, one at a time).
CLongWorkDialog* running = nullptr;
}  // namespace

bool cancel_long_work() {
  if (!running) return false;
  running->requestCancel();
  return true;
}

bool run_long_work(QWidget* parent, const QString& label, const std::function<void()>& work,
                   WorkControl* control) {
  CLongWorkDialog dialog(label, parent);
  CLongWorkDialog* const outer = std::exchange(running, &dialog);
  dialog.setStopTarget(control);
  // The window follows the work's progress until the work has ended.
  if (control) control->set_progress(dialog.progressReceiver());
  std::unique_ptr<QThread> thread(QThread::create(work));
  // Queued to this thread: seen by the dialog's loop even when the work
  // ends before the loop starts.
  QObject::connect(thread.get(), &QThread::finished, &dialog,
                   [&dialog] { dialog.done(QDialog::Accepted); });
  thread->start();
  dialog.exec();
  thread->wait();
  running = outer;
  if (control) control->set_progress({});
  return !dialog.cancelRequested();
}

}  // namespace orvane::app
