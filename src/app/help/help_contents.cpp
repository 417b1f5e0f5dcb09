#include "app/help/help_contents.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

// The installed data folder as seen from the installed program's folder; the
// build sets it from the install directories (bin and share by default).
#ifndef ORVANE_DATA_FROM_BIN
#define ORVANE_DATA_FROM_BIN "../share/orvane"
#endif

namespace orvane::app {

QString data_path(const QString& program_dir, const QString& relative) {
  const QDir dir(program_dir);
  for (const QString& candidate : {relative, QStringLiteral(ORVANE_DATA_FROM_BIN "/") + relative}) {
    const QFileInfo info(dir.filePath(candidate));
    if (info.exists()) return info.canonicalFilePath();
  }
  return {};
}

QString help_file(const QString& program_dir) {
  const QString file = data_path(program_dir, QStringLiteral("help/index.html"));
  return QFileInfo(file).isFile() ? file : QString();
}

QString samples_folder() {
  const QString dir = data_path(QCoreApplication::applicationDirPath(), QStringLiteral("samples"));
  return QFileInfo(dir).isDir() ? dir : QString();
}

void open_help_contents() {
  const QString file = help_file(QCoreApplication::applicationDirPath());
  if (!file.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

}  // namespace orvane::app
