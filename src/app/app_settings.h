#pragma once
// The little the viewer keeps between runs: the recent-file list, the
// number of pages print preview showed last, and where the window and its
// bars were.
#include <QRect>
#include <QSettings>
#include <QStringList>
#include <memory>

namespace orvane::app {

class CAppSettings {
 public:
  static constexpr int kRecentFiles = 4;

  // The per-user store of the viewer.
  CAppSettings();
  // A store in an INI file (tests).
  explicit CAppSettings(const QString& ini_file);

  // Newest first; files that were removed since are kept, as they were.
  QStringList recentFiles() const;
  // Puts `path` at the top, dropping an older entry for the same file and
  // whatever falls beyond the fourth.
  void addRecentFile(const QString& path);
  void removeRecentFile(const QString& path);

  // The OCR language Find Text reads pages in ("eng" unless set).
  QString findLanguage() const;
  // Export as PDF's "Turn pages upright", as it was last left.
  bool turnPagesUpright() const;
  void setTurnPagesUpright(bool upright);

  int previewPages() const;
  void setPreviewPages(int pages);

  // The main window's place and its bars' layout (empty before the first
  // run that closed the window).
  QByteArray windowGeometry() const;
  QByteArray windowState() const;
  void setWindowLayout(const QByteArray& geometry, const QByteArray& state);

  // The window's place in plain numbers, for a start on a screen of
  // another scale, whose geometry Qt's own record refuses: the window's
  // normal rectangle, whether it was maximised, and the screen's available
  // rectangle, all in device-independent pixels. An empty rectangle before
  // the first run that closed the window.
  struct WindowPlace {
    QRect normal;
    bool maximized = false;
    QRect screen;
  };
  WindowPlace windowPlace() const;
  void setWindowPlace(const WindowPlace& place);

 private:
  void writeRecentFiles(const QStringList& files);

  std::unique_ptr<QSettings> store_;
};

}  // namespace orvane::app
