#pragma once
// The folder bar's Properties: what the file system and the name tell about
// one file or folder.
#include <QDialog>
#include <QFileInfo>

namespace orvane::app {

class CFileInfoDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CFileInfoDialog(const QFileInfo& info, QWidget* parent = nullptr);

  // The rows shown, label and value, in order (also what the tests read).
  static QList<QPair<QString, QString>> describe(const QFileInfo& info);
};

}  // namespace orvane::app
