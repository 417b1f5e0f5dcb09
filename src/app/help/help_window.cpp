#include "app/help/help_window.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace orvane::app {

CHelpWindow::CHelpWindow(const QString& file, QWidget* parent)
    : QDialog(parent), browser_(new QTextBrowser) {
  setWindowTitle(QStringLiteral("Orvane Help"));
  setWindowFlags(Qt::Window);
  setAttribute(Qt::WA_DeleteOnClose);
  browser_->setOpenExternalLinks(true);
  browser_->setSource(QUrl::fromLocalFile(file));

  auto* back = new QPushButton(QStringLiteral("&Back"));
  auto* forward = new QPushButton(QStringLiteral("&Forward"));
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close);
  connect(close, &QDialogButtonBox::rejected, this, &QDialog::close);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(back);
  buttons->addWidget(forward);
  buttons->addStretch();
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser_);
  layout->addLayout(buttons);
  resize(760, 640);
}

}  // namespace orvane::app
