#include "app/long_work.h"

#include <QThread>
#include <memory>

#include "app/long_work_dialog.h"

namespace orvane::app {

bool run_long_work(QWidget* parent, const QString& label, const std::function<void()>& work,
                   WorkControl* control) {
  CLongWorkDialog dialog(label, parent);
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
  if (control) control->set_progress({});
  return !dialog.cancelRequested();
}

}  // namespace orvane::app
