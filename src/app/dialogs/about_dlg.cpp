#include "app/dialogs/about_dlg.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "app/dialogs/dialog_look.h"

namespace orvane::app {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Orvane"));
  apply_dialog_frame(this);
  auto* icon = new QLabel;
  icon->setPixmap(QPixmap(QStringLiteral(":/icons/orvane.png")));
  auto* text = new QLabel(QStringLiteral("Orvane Version " ORVANE_ABOUT_VERSION));
  text->setStyleSheet(QStringLiteral("color: rgb(0, 0, 255); background: transparent;"));
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(icon);
  layout->addWidget(text, 1);
  layout->setContentsMargins(20, 20, 30, 20);
  layout->setSpacing(16);
}

// The background image tiled from the top-left corner, row by row.
void CAboutDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawTiledPixmap(rect(), QPixmap(QStringLiteral(":/images/about-background.png")));
}

void CAboutDlg::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) accept();
}

void CAboutDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace orvane::app
