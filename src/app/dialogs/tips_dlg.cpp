#include "app/dialogs/tips_dlg.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/dialogs/dialog_look.h"

namespace orvane::app {

CTipsDlg::CTipsDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Tips of Open Fax"));
  apply_dialog_frame(this);
  auto* layout = new QVBoxLayout(this);
  for (const QString& text :
       {QStringLiteral("This fax format is NOT supported by Orvane, but supported by Orvane Pro"),
        QStringLiteral("Try Orvane Pro please")}) {
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
  }
  layout->setContentsMargins(24, 18, 24, 18);
}

}  // namespace orvane::app
