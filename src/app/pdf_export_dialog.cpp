#include "app/pdf_export_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

#include "app/orvane_doc.h"

namespace orvane::app {

QString default_pdf_name(const QString& source) {
  const QFileInfo info(source);
  return info.absoluteDir().filePath(info.completeBaseName() + QStringLiteral(".pdf"));
}

void export_pdf_with_dialog(QWidget* parent, COrvaneDoc& doc, const QString& source) {
  if (source.isEmpty()) return;
  QFileDialog dialog(parent, QObject::tr("Export as PDF"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({QObject::tr("PDF Files (*.pdf)")});
  dialog.setDefaultSuffix(QStringLiteral("pdf"));
  dialog.selectFile(default_pdf_name(source));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  doc.exportPdf(source, dialog.selectedFiles().first());
}

}  // namespace orvane::app
