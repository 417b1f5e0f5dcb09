#include "app/input_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <cstring>

namespace orvane::app {

namespace {

QString tr(const char* text) {
  return QCoreApplication::translate("orvane::app::input_check", text);
}

QString special_kind(mode_t mode) {
  if (S_ISDIR(mode)) return tr("is a folder, not a file");
  if (S_ISFIFO(mode)) return tr("is a FIFO (named pipe), not a file");
  if (S_ISSOCK(mode)) return tr("is a socket, not a file");
  if (S_ISCHR(mode) || S_ISBLK(mode)) return tr("is a device, not a file");
  return tr("is not a regular file");
}

}  // namespace

QString input_problem(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  struct stat st {};
  if (::stat(name.constData(), &st) != 0) {
    return tr("Cannot open \"%1\": %2.").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
  }
  if (!S_ISREG(st.st_mode)) return QStringLiteral("\"%1\" %2.").arg(path, special_kind(st.st_mode));
  // Non-blocking: a file swapped for a FIFO after the stat still cannot
  // make the open wait.
  const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return tr("Cannot open \"%1\": %2.").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
  }
  ::close(fd);
  return {};
}

}  // namespace orvane::app
