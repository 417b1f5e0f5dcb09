// orvane: the fax viewer. Usage: orvane [FILE]
#include <QApplication>

#include "app/orvane_app.h"

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Orvane"));
  QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
  orvane::app::COrvaneApp app;
  if (!app.start(QApplication::arguments().mid(1))) return 1;
  return QApplication::exec();
}
