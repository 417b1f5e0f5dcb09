#include "app/pdf_export_dialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QSettings>

#include "app/app_settings.h"
#include "app/dialogs/dialog_look.h"
#include "app/orvane_doc.h"
#include "core/page_ocr.h"

namespace orvane::app {

QString default_pdf_name(const QString& source) {
  const QFileInfo info(source);
  return info.absoluteDir().filePath(info.completeBaseName() + QStringLiteral(".pdf"));
}

void export_pdf_with_dialog(QWidget* parent, COrvaneDoc& doc, const QString& source,
                            CAppSettings* settings) {
  if (source.isEmpty()) return;
  QFileDialog dialog(parent, QObject::tr("Export as PDF"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({QObject::tr("PDF Files (*.pdf)")});
  dialog.setDefaultSuffix(QStringLiteral("pdf"));
  dialog.selectFile(default_pdf_name(source));
  // The dialog of Qt's own, which takes a widget of ours below its fields.
  fit_file_dialog(dialog, parent);
  auto* ocr = new QCheckBox(QObject::tr("Make text searchable (OCR)"), &dialog);
  ocr->setObjectName(QStringLiteral("ocrCheck"));
  if (!ocr_built_in()) {
    ocr->setEnabled(false);
    ocr->setToolTip(QObject::tr("This program was built without OCR."));
  }
  // Pages sent sideways or upside down are shown upright, their images
  // unchanged (the orientation is found by the same library).
  auto* upright = new QCheckBox(QObject::tr("Turn pages upright"), &dialog);
  upright->setObjectName(QStringLiteral("uprightCheck"));
  if (!ocr_built_in()) {
    upright->setEnabled(false);
    upright->setToolTip(QObject::tr("This program was built without OCR."));
  } else if (settings) {
    upright->setChecked(settings->turnPagesUpright());
  }
  auto* pdfa = new QCheckBox(QObject::tr("PDF/A for archiving"), &dialog);
  pdfa->setObjectName(QStringLiteral("pdfaCheck"));
  pdfa->setToolTip(QObject::tr("PDF/A-2b, with the sRGB profile of the package icc-profiles-free"));
  // Kept with the program's settings (which a program without an
  // organisation name, such as a test, does not keep).
  QSettings stored;
  const QString pdfa_key = QStringLiteral("Settings/PdfA");
  pdfa->setChecked(stored.value(pdfa_key, false).toBool());
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
    grid->addWidget(ocr, grid->rowCount(), 0, 1, -1);
    grid->addWidget(upright, grid->rowCount(), 0, 1, -1);
    grid->addWidget(pdfa, grid->rowCount(), 0, 1, -1);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  if (settings && upright->isEnabled()) settings->setTurnPagesUpright(upright->isChecked());
  stored.setValue(pdfa_key, pdfa->isChecked());
  doc.exportPdf(source, dialog.selectedFiles().first(), ocr->isChecked(), upright->isChecked(),
                pdfa->isChecked());
}

}  // namespace orvane::app
