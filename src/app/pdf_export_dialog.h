#pragma once
// File > Export as PDF and the folder bar's Export as PDF: where to write,
// then the export behind the progress window.
#include <QString>

class QWidget;

namespace orvane::app {

class CAppSettings;
class COrvaneDoc;

// The name offered for the PDF of `source`: its name without the last
// extension, with ".pdf", in its folder.
QString default_pdf_name(const QString& source);

// Asks where to write the PDF of `source` (the dialog asks before replacing
// a file), whether to make its text searchable (OCR; the check box is
// off and disabled in a program built without it), whether to turn its
// pages upright (kept in `settings`, which may be null, for the next
// export) and whether to write PDF/A (kept in the program's settings), and
// exports it through `doc`, which tells the user of a failure.
void export_pdf_with_dialog(QWidget* parent, COrvaneDoc& doc, const QString& source,
                            CAppSettings* settings = nullptr);

}  // namespace orvane::app
