#pragma once
// Long work (reading bare fax data, converting) on a worker thread behind a
// modal progress window, so that the main window keeps painting while the
// user can give no other command.
#include <QString>
#include <functional>

#include "base/work_control.h"

class QWidget;

namespace orvane::app {

// Runs `work` on a worker thread and waits for it in a modal progress
// window. The fax record that `work` uses belongs to that thread until it
// ends. Cancel asks `control` (when given) to stop, and the window waits for
// the work to end at its next step; the function then returns false and the
// caller drops the result. The window shows what `control` reports as a
// percentage (its progress callback is the window's while the work runs).
bool run_long_work(QWidget* parent, const QString& label, const std::function<void()>& work,
                   WorkControl* control = nullptr);

// When long work is running, asks it to stop as its Cancel does and returns
// true (the work's window goes once the work has ended); false when none
// runs. For the main window's close button, which stays usable meanwhile.
bool cancel_long_work();

}  // namespace orvane::app
