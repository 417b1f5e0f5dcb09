#include "app/app_settings.h"

#include <QFileInfo>

namespace orvane::app {

namespace {

const char kOrganisation[] = "Local AppWizard-Generated Applications";
const char kApplication[] = "Orvane";
const char kRecentSection[] = "Recent File List";
const char kSettingsSection[] = "Settings";
const char kWindowSection[] = "Window";

QString recent_key(int n) {
  return QStringLiteral("%1/File%2").arg(kRecentSection).arg(n);
}

}  // namespace

CAppSettings::CAppSettings()
    : store_(std::make_unique<QSettings>(QString::fromLatin1(kOrganisation),
                                         QString::fromLatin1(kApplication))) {}

CAppSettings::CAppSettings(const QString& ini_file)
    : store_(std::make_unique<QSettings>(ini_file, QSettings::IniFormat)) {}

QStringList CAppSettings::recentFiles() const {
  QStringList files;
  for (int n = 1; n <= kRecentFiles; ++n) {
    const QString path = store_->value(recent_key(n)).toString();
    if (!path.isEmpty()) files << path;
  }
  return files;
}

void CAppSettings::addRecentFile(const QString& path) {
  const QString full = QFileInfo(path).absoluteFilePath();
  QStringList files = recentFiles();
  files.removeAll(full);
  files.prepend(full);
  writeRecentFiles(files);
}

void CAppSettings::removeRecentFile(const QString& path) {
  QStringList files = recentFiles();
  files.removeAll(path);
  writeRecentFiles(files);
}

void CAppSettings::writeRecentFiles(const QStringList& files) {
  for (int n = 1; n <= kRecentFiles; ++n) {
    if (n <= files.size()) {
      store_->setValue(recent_key(n), files[n - 1]);
    } else {
      store_->remove(recent_key(n));
    }
  }
  store_->sync();
}

QString CAppSettings::findLanguage() const {
  return store_
      ->value(QStringLiteral("%1/FindLanguage").arg(kSettingsSection), QStringLiteral("eng"))
      .toString();
}

bool CAppSettings::turnPagesUpright() const {
  return store_->value(QStringLiteral("%1/TurnPagesUpright").arg(kSettingsSection), false).toBool();
}

void CAppSettings::setTurnPagesUpright(bool upright) {
  store_->setValue(QStringLiteral("%1/TurnPagesUpright").arg(kSettingsSection), upright);
  store_->sync();
}

int CAppSettings::previewPages() const {
  return store_->value(QStringLiteral("%1/PreviewPages").arg(kSettingsSection), 0).toInt();
}

void CAppSettings::setPreviewPages(int pages) {
  store_->setValue(QStringLiteral("%1/PreviewPages").arg(kSettingsSection), pages);
  store_->sync();
}

QByteArray CAppSettings::windowGeometry() const {
  return store_->value(QStringLiteral("%1/Geometry").arg(kWindowSection)).toByteArray();
}

QByteArray CAppSettings::windowState() const {
  return store_->value(QStringLiteral("%1/State").arg(kWindowSection)).toByteArray();
}

void CAppSettings::setWindowLayout(const QByteArray& geometry, const QByteArray& state) {
  store_->setValue(QStringLiteral("%1/Geometry").arg(kWindowSection), geometry);
  store_->setValue(QStringLiteral("%1/State").arg(kWindowSection), state);
  store_->sync();
}

CAppSettings::WindowPlace CAppSettings::windowPlace() const {
  const QString section = QString::fromLatin1(kWindowSection);
  WindowPlace place;
  place.normal = store_->value(section + QStringLiteral("/Normal")).toRect();
  place.maximized = store_->value(section + QStringLiteral("/Maximized"), false).toBool();
  place.screen = store_->value(section + QStringLiteral("/Screen")).toRect();
  return place;
}

void CAppSettings::setWindowPlace(const WindowPlace& place) {
  const QString section = QString::fromLatin1(kWindowSection);
  store_->setValue(section + QStringLiteral("/Normal"), place.normal);
  store_->setValue(section + QStringLiteral("/Maximized"), place.maximized);
  store_->setValue(section + QStringLiteral("/Screen"), place.screen);
  store_->sync();
}

}  // namespace orvane::app
