#include "app/printing/print_commands.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPaintEngine>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QScreen>
#include <QTimer>

#include "app/app_settings.h"
#include "app/pdf_export_dialog.h"

namespace orvane::app {
namespace {

// The preview dialog's own view actions (Qt names them).
constexpr const char* kOnePageAction = "singleModeAction";
constexpr const char* kTwoPagesAction = "facingModeAction";

void print_chosen_pages(QPrinter& printer, FaxPrintJob& job) {
  const auto [first, last] = CPrintCommands::chosen_pages(printer, job.page_count());
  // The preview draws through a recording engine of its own; its Print
  // button sends the pages again to the printer's real engine.
  const QPaintEngine* engine = printer.paintEngine();
  const bool preview = engine && engine->type() == QPaintEngine::Picture;
  job.print(printer, first, last,
            preview ? FaxPrintJob::Target::kPreview : FaxPrintJob::Target::kPaper);
}

}  // namespace

CPrintCommands::CPrintCommands(CAppSettings& settings, LongWork run_long, QObject* parent)
    : QObject(parent), settings_(settings), run_long_(std::move(run_long)) {}

std::pair<int, int> CPrintCommands::chosen_pages(const QPrinter& printer, int page_count) {
  if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0)
    return {printer.fromPage(), printer.toPage()};
  return {1, page_count};
}

bool CPrintCommands::prepare(const PrintSource& source) {
  auto work = [this, &source] { job_.prepare(source); };
  const QString label = tr("Reading %1 for printing...").arg(QFileInfo(source.path).fileName());
  if (run_long_) {
    if (!run_long_(label, work)) return false;
  } else {
    work();
  }
  printer_.setDocName(QFileInfo(source.path).fileName());
  // Every print and preview offers all pages again.
  printer_.setPrintRange(QPrinter::AllPages);
  printer_.setFromTo(0, 0);
  return job_.page_count() > 0;
}

void CPrintCommands::print(QWidget* parent, const PrintSource& source) {
  if (!prepare(source)) return;
  QPrintDialog dialog(&printer_, parent);
  dialog.setMinMax(1, job_.page_count());
  // Printing to a file offers NAME.pdf beside the fax on view (the dialog
  // would offer the home folder, or the file of an earlier print). Filled
  // once the dialog has set up its fields for showing.
  const QString pdf = default_pdf_name(source.path);
  QTimer::singleShot(0, &dialog, [&dialog, pdf] {
    if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("filename"))) name->setText(pdf);
  });
  if (dialog.exec() != QDialog::Accepted) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const auto [first, last] = chosen_pages(printer_, job_.page_count());
  const bool printed = job_.print(printer_, first, last);
  QApplication::restoreOverrideCursor();
  if (!printed) {
    QMessageBox::warning(parent, tr("Print"),
                         tr("The pages could not be sent to \"%1\".").arg(printer_.printerName()));
  }
}

void CPrintCommands::preview(QWidget* parent, const PrintSource& source) {
  if (!prepare(source)) return;
  QPrintPreviewDialog dialog(&printer_, parent);
  // The dialog's Print button sends the pages again, through its own print
  // dialog, with the range chosen there.
  connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
          [this](QPrinter* printer) { print_chosen_pages(*printer, job_); });
  show_preview_pages(dialog, settings_.previewPages());
  // Large enough to read a page.
  if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
    const QRect room = screen->availableGeometry();
    dialog.resize(room.width() * 4 / 5, room.height() * 9 / 10);
    dialog.move(room.center() - dialog.rect().center());
  }
  dialog.exec();
  if (const int pages = preview_pages_shown(dialog)) settings_.setPreviewPages(pages);
}

void CPrintCommands::setup(QWidget* parent) {
  QPageSetupDialog dialog(&printer_, parent);
  dialog.exec();
}

void CPrintCommands::show_preview_pages(QPrintPreviewDialog& dialog, int pages) {
  const char* name = pages == 1 ? kOnePageAction : pages == 2 ? kTwoPagesAction : nullptr;
  if (!name) return;
  if (auto* action = dialog.findChild<QAction*>(QLatin1String(name))) action->trigger();
}

int CPrintCommands::preview_pages_shown(const QPrintPreviewDialog& dialog) {
  const auto checked = [&dialog](const char* name) {
    const auto* action = dialog.findChild<QAction*>(QLatin1String(name));
    return action && action->isChecked();
  };
  if (checked(kOnePageAction)) return 1;
  if (checked(kTwoPagesAction)) return 2;
  return 0;  // the overview of all pages is neither
}

}  // namespace orvane::app
