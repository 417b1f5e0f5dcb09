#include "app/folders/file_info_dialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

#include "app/dialogs/dialog_look.h"
#include "core/classify.h"
#include "core/format_registry.h"

namespace orvane::app {
namespace {

QString kind_of(const QFileInfo& info) {
  if (info.isDir()) return QStringLiteral("Folder");
  if (!info.isFile()) return QStringLiteral("Special file");
  // Classification looks at the name (and the first bytes of a ".g3f" file
  // only), so this is cheap; whether the file really decodes is found out
  // when it is opened.
  const std::int32_t format = classify(info.filesystemAbsoluteFilePath());
  const QString name =
      QString::fromUtf8(format_name(format).data(), qsizetype(format_name(format).size()));
  if (format < 0) return QStringLiteral("File (%1)").arg(name);
  return QStringLiteral("Fax file (%1)").arg(name);
}

QString access_of(const QFileInfo& info) {
  if (!info.isReadable()) return QStringLiteral("Not readable");
  return info.isWritable() ? QStringLiteral("Read and write") : QStringLiteral("Read only");
}

}  // namespace

QList<QPair<QString, QString>> CFileInfoDialog::describe(const QFileInfo& info) {
  QList<QPair<QString, QString>> rows;
  rows.append({QStringLiteral("Name"), info.fileName()});
  rows.append({QStringLiteral("Folder"), info.absolutePath()});
  rows.append({QStringLiteral("Type"), kind_of(info)});
  if (info.isFile()) {
    rows.append({QStringLiteral("Size"),
                 QStringLiteral("%1 bytes").arg(QLocale::c().toString(info.size()))});
  }
  rows.append({QStringLiteral("Modified"),
               QLocale::c().toString(info.lastModified(), QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
  rows.append({QStringLiteral("Access"), access_of(info)});
  return rows;
}

CFileInfoDialog::CFileInfoDialog(const QFileInfo& info, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Properties"));
  apply_dialog_frame(this);
  auto* form = new QFormLayout;
  for (const auto& [label, value] : describe(info)) {
    auto* text = new QLabel(value);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(label + QLatin1Char(':'), text);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

}  // namespace orvane::app
