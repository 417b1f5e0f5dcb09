#include "app/dialogs/dialog_look.h"

#include <QWidget>

namespace orvane::app {

void apply_fax_dialog_look(QWidget* widget) {
  widget->setStyleSheet(
      QStringLiteral("QLabel, QCheckBox { color: rgb(128, 128, 255); background: transparent; }"
                     "QLineEdit { color: rgb(32, 32, 255); }"));
}

}  // namespace orvane::app
