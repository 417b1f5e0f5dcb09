#pragma once
// Print, Print Preview and Print Setup: the printer the three share, the
// print dialog's page range, and the preview's one- or two-page view kept
// between runs.
#include <QObject>
#include <QPrinter>
#include <functional>
#include <utility>

#include "app/printing/fax_print_job.h"

class QPrintPreviewDialog;
class QWidget;

namespace orvane::app {

class CAppSettings;

class CPrintCommands : public QObject {
  Q_OBJECT

 public:
  // Runs slow work (opening bare fax data analyses and extracts it whole)
  // behind a progress window; false when the user cancelled.
  using LongWork = std::function<bool(const QString& label, const std::function<void()>& work)>;

  CPrintCommands(CAppSettings& settings, LongWork run_long, QObject* parent = nullptr);

  void print(QWidget* parent, const PrintSource& source);
  void preview(QWidget* parent, const PrintSource& source);
  void setup(QWidget* parent);

  QPrinter& printer() { return printer_; }
  const FaxPrintJob& job() const { return job_; }

  // The pages the printer was told to print, from 1: the range chosen in
  // the print dialog, else every page.
  static std::pair<int, int> chosen_pages(const QPrinter& printer, int page_count);
  // The preview's view by the stored page count: 1 one page, 2 two facing
  // pages, anything else the dialog's own choice; and back.
  static void show_preview_pages(QPrintPreviewDialog& dialog, int pages);
  static int preview_pages_shown(const QPrintPreviewDialog& dialog);

 private:
  bool prepare(const PrintSource& source);

  CAppSettings& settings_;
  LongWork run_long_;
  QPrinter printer_;
  FaxPrintJob job_;
};

}  // namespace orvane::app
