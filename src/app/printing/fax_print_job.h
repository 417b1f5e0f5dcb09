#pragma once
// Prints a fax from a second opening of its file, page by page, so that the
// page on screen is never disturbed. Each page goes on paper at its true size
// times the zoom factor, from the top-left corner of the printable area, with
// nothing shrunk to fit.
#include <QImage>
#include <QString>

#include "app/printing/print_source.h"
#include "core/fax_file.h"

class QPainter;
class QPrinter;

namespace orvane::app {

class FaxPrintJob {
 public:
  // Opens the source's file into the print record with the display record's
  // decoding parameters; returns the number of pages it has (0 when no
  // reader accepts it). The record stays open until the next prepare().
  int prepare(const PrintSource& source);
  int page_count() const { return page_count_; }

  // Paper gets the page's own bits; a preview, which is scaled to the
  // screen afterwards, gets the page averaged to grey as the view draws it.
  enum class Target { kPaper, kPreview };

  // Prints pages `first` to `last` (from 1, clipped to the pages there are)
  // on `printer`, one sheet each. False when nothing could be printed.
  bool print(QPrinter& printer, int first, int last, Target target = Target::kPaper);

  // The print record: the page last printed is in its page bitmap.
  const FaxFile& record() const { return record_; }

  // The print record's scratch files: beside the display record's, named
  // apart, so that extracting bare fax data for the printer never rewrites
  // the rows the screen pages through.
  static WorkingPaths scratch_for_printing(const WorkingPaths& display);

 private:
  void print_page(QPainter& painter, int number, Target target);

  FaxFile record_;
  QString path_;
  std::int32_t format_ = 0;
  int page_count_ = 0;
  float scaling_ = 1.0f;
  bool reversed_ = false;
  int turns_ = 0;
};

}  // namespace orvane::app
