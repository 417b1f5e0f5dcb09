#include "app/help/help_contents.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "app/help/help_window.h"

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

// xdg-open starts whatever the desktop names for HTML, and succeeds even
// when that is nothing: ask which program that is.
bool desktop_shows_web_pages() {
  if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()) return false;
  QProcess query;
  query.start(QStringLiteral("xdg-mime"),
              {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
  if (!query.waitForFinished(3000)) {
    query.kill();
    query.waitForFinished(1000);
    return false;
  }
  return query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
}

void open_help_contents(QWidget* parent) {
  const QString file = help_file(QCoreApplication::applicationDirPath());
  if (file.isEmpty()) return;
  if (desktop_shows_web_pages() && QDesktopServices::openUrl(QUrl::fromLocalFile(file))) return;
  auto* window = new CHelpWindow(file, parent);
  window->show();
}

}  // namespace orvane::app
