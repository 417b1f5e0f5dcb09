// orvane: the fax viewer. Usage: orvane [FILE]
#include <QApplication>
#include <csignal>

#include "app/orvane_app.h"

int main(int argc, char** argv) {
  // Past a file-size limit (ulimit -f) a save fails with EFBIG and is
  // reported and cleaned up, rather than the viewer being killed with the
  // user's other work in it.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication qapp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Orvane"));
  QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
  orvane::app::COrvaneApp app;
  if (!app.start(QApplication::arguments().mid(1))) return 1;
  return QApplication::exec();
}
