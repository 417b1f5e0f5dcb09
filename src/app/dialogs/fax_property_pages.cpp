#include "app/dialogs/fax_property_pages.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "app/dialogs/dialog_look.h"

namespace orvane::app {

QString general_number(double value) {
  return QString::number(value, 'g', 6);
}

CFaxPropertyPage::CFaxPropertyPage(QWidget* parent) : QWidget(parent) {
  new QFormLayout(this);
  apply_fax_dialog_look(this);
}

void CFaxPropertyPage::addField(const QString& label, const QString& value) {
  auto* edit = new QLineEdit(value);
  edit->setReadOnly(true);
  edit->setMinimumWidth(240);
  edit->setObjectName(label);
  static_cast<QFormLayout*>(layout())->addRow(label, edit);
}

QString CFaxPropertyPage::field(const QString& label) const {
  const auto* edit = findChild<QLineEdit*>(label);
  return edit ? edit->text() : QString();
}

CPageFax::CPageFax(const FaxProperties& p, QWidget* parent) : CFaxPropertyPage(parent) {
  setWindowTitle(QStringLiteral("Fax info"));
  addField(QStringLiteral("Line width"), QString::number(p.line_width));
  addField(QStringLiteral("Scan lines"), QString::number(p.scan_lines));
  addField(QStringLiteral("Encode mode"), p.encode_mode);
  addField(QStringLiteral("Bit order"), p.bit_order);
  if (!p.reception.isEmpty()) addField(QStringLiteral("Reception"), p.reception);
}

CPageResolution::CPageResolution(const FaxProperties& p, QWidget* parent)
    : CFaxPropertyPage(parent) {
  setWindowTitle(QStringLiteral("Resolution"));
  addField(QStringLiteral("X resolution"), general_number(p.x_resolution));
  addField(QStringLiteral("Y resolution"), general_number(p.y_resolution));
  addField(QStringLiteral("Unit"), p.resolution_unit);
}

CPageSize::CPageSize(const FaxProperties& p, QWidget* parent) : CFaxPropertyPage(parent) {
  setWindowTitle(QStringLiteral("Page info"));
  addField(QStringLiteral("Page width"), general_number(p.page_width));
  addField(QStringLiteral("Page height"), general_number(p.page_height));
  addField(QStringLiteral("Unit"), p.size_unit);
}

}  // namespace orvane::app
