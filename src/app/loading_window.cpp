#include "app/loading_window.h"

#include <QLabel>
#include <QTimerEvent>
#include <QVBoxLayout>

namespace orvane::app {

CLoadingWindow::CLoadingWindow() : QWidget(nullptr, Qt::Dialog) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Orvane is Loading"));
  auto* text = new QLabel(QStringLiteral("Please wait while orvane is loading..."));
  text->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->setContentsMargins(40, 24, 40, 24);
  timer_.start(kTickMs, this);
}

void CLoadingWindow::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_.timerId() || !done_) return;
  timer_.stop();
  close();
}

}  // namespace orvane::app
