#include "app/long_work_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QWindow>
#include <algorithm>

#include "app/dialogs/dialog_look.h"

namespace orvane::app {

namespace {
// Often enough to look smooth, seldom enough to cost nothing.
constexpr int kPollMs = 100;
}  // namespace

CLongWorkDialog::CLongWorkDialog(const QString& label, QWidget* over)
    : QProgressDialog(label, tr("Cancel"), 0, 0, nullptr),
      over_(over),
      bar_(new QProgressBar(this)) {
  setWindowTitle(QStringLiteral("Orvane"));
  apply_dialog_frame(this);
  // Modal to no other window (it has no parent) and above them all while
  // it is up; the filter below keeps their input away.
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setWindowModality(Qt::WindowModal);
  qApp->installEventFilter(this);
  setAutoClose(false);
  setAutoReset(false);
  setMinimumDuration(0);
  setMinimumWidth(360);
  // The bar is driven directly: QProgressDialog::setValue() runs the event
  // loop of a modal window, which the timer below must not re-enter.
  bar_->setRange(0, 0);
  bar_->setValue(0);
  setBar(bar_);
  // Cancel only marks the work to be dropped; the window stays until the
  // work has ended and the fax record is free again.
  disconnect(this, &QProgressDialog::canceled, this, &QProgressDialog::cancel);
  connect(this, &QProgressDialog::canceled, this, &CLongWorkDialog::requestCancel);
  connect(&poll_, &QTimer::timeout, this, &CLongWorkDialog::showProgress);
  poll_.start(kPollMs);
}

CLongWorkDialog::~CLongWorkDialog() {
  qApp->removeEventFilter(this);
}

void CLongWorkDialog::showEvent(QShowEvent* event) {
  QProgressDialog::showEvent(event);
  if (over_ && over_->isVisible())
    move(over_->window()->frameGeometry().center() - rect().center());
}

// What a person does with the other windows (keys, shortcuts, the mouse,
// drops) does not reach them while the work runs; painting, resizing and
// closing do.
bool CLongWorkDialog::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TabletPress: {
      if (auto* widget = qobject_cast<QWidget*>(watched)) return widget->window() != this;
      if (auto* window = qobject_cast<QWindow*>(watched)) return window != windowHandle();
      return event->type() == QEvent::Shortcut;  // to an action of another window
    }
    default: return false;
  }
}

WorkControl::Progress CLongWorkDialog::progressReceiver() {
  return [this](std::int64_t done, std::int64_t total) {
    if (total <= 0) return;
    const double part = std::clamp(double(done) / double(total), 0.0, 1.0);
    permille_.store(int(part * 1000.0), std::memory_order_relaxed);
  };
}

void CLongWorkDialog::showProgress() {
  const int permille = permille_.load(std::memory_order_relaxed);
  if (permille < 0 || permille == shown_) return;
  if (shown_ < 0) bar_->setRange(0, 1000);
  shown_ = permille;
  bar_->setValue(permille);
}

void CLongWorkDialog::requestCancel() {
  if (cancel_requested_) return;
  cancel_requested_ = true;
  if (stop_target_) stop_target_->request_stop();
  setLabelText(tr("Cancelling: finishing the step in progress..."));
  for (QPushButton* button : findChildren<QPushButton*>()) button->setEnabled(false);
}

void CLongWorkDialog::reject() {
  requestCancel();
}

void CLongWorkDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
  requestCancel();
}

}  // namespace orvane::app
