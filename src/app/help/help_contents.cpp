#include "app/help/help_contents.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace orvane::app {

QString help_file(const QString& program_dir) {
  const QDir dir(program_dir);
  for (const QString& relative :
       {QStringLiteral("help/index.html"), QStringLiteral("../share/orvane/help/index.html")}) {
    const QFileInfo candidate(dir.filePath(relative));
    if (candidate.isFile()) return candidate.canonicalFilePath();
  }
  return {};
}

void open_help_contents() {
  const QString file = help_file(QCoreApplication::applicationDirPath());
  if (!file.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

}  // namespace orvane::app
