#pragma once
// Long work (reading bare fax data, converting) on a worker thread behind a
// modal progress window, so that the main window keeps painting while the
// user can give no other command.
#include <QString>
#include <atomic>
#include <functional>

class QWidget;

namespace orvane::app {

// Runs `work` on a worker thread and waits for it in a modal progress
// window. The fax record that `work` uses belongs to that thread until it
// ends. Cancel cannot stop the core midway: the window says so and waits
// for the step to end; the function then returns false and the caller drops
// the result.
// With `stop` given, Cancel also sets it, for work that looks at it between
// steps and ends early.
bool run_long_work(QWidget* parent, const QString& label, const std::function<void()>& work,
                   std::atomic<bool>* stop = nullptr);

}  // namespace orvane::app
