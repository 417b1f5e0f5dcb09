#include "app/printing/fax_print_job.h"

#include <QFile>
#include <QPaintEngine>
#include <QPainter>
#include <QPrinter>
#include <algorithm>

#include "app/display_image.h"
#include "app/display_size.h"
#include "app/refusal_reason.h"
#include "base/page_turn.h"
#include "core/classify.h"

namespace orvane::app {

WorkingPaths FaxPrintJob::scratch_for_printing(const WorkingPaths& display) {
  const auto beside = [](const std::filesystem::path& path) {
    return path.parent_path() / ("print-" + path.filename().string());
  };
  return {beside(display.row_file), beside(display.page_index), beside(display.temp_tiff)};
}

int FaxPrintJob::prepare(const PrintSource& source) {
  path_ = source.path;
  scaling_ = source.scaling;
  reversed_ = source.reversed;
  turns_ = source.quarter_turns;
  record_.set_working_paths(scratch_for_printing(source.scratch));
  record_.set_parameters(source.parameters);
  const std::filesystem::path path(QFile::encodeName(source.path).toStdString());
  format_ = classify(path);
  // A format we do not read, or no fax at all, has no page to print.
  if (format_ >= 0) record_.open(path, format_);
  page_count_ = format_ >= 0 ? record_.page_count() : 0;
  return page_count_;
}

bool FaxPrintJob::print(QPrinter& printer, int first, int last, Target target) {
  first = std::max(first, 1);
  last = std::min(last, page_count_);
  if (first > last) return false;
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const bool backwards = printer.pageOrder() == QPrinter::LastPageFirst;
  for (int i = 0; i <= last - first; ++i) {
    if (i > 0 && !printer.newPage()) return false;
    print_page(painter, backwards ? last - i : first + i, target);
  }
  return painter.end();
}

void FaxPrintJob::print_page(QPainter& painter, int number, Target where) {
  // Read as a value: a reader that fails may leave the page before in the
  // bitmap it loads into.
  record_.take_page(read_page_or_reason(record_, number - 1));
  if (!record_.page_valid()) {
    // Not a bare sheet that passes for a blank page: the sheet says why it
    // holds no page.
    QString why = QString::fromStdString(
        record_.page_refusal().value_or(Refusal()).for_page(std::uint32_t(number)));
    why[0] = why[0].toUpper();
    painter.drawText(QRectF(painter.window()).adjusted(40, 40, -40, -40),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, why + u'.');
    return;
  }
  // Turned as on screen; a page there is no room to turn goes out as read.
  if (turns_ % 4 != 0) {
    PageBitmap upright = turned(record_.page(), turns_);
    if (upright.has_pixels()) record_.page() = std::move(upright);
  }
  PageBitmap& page = record_.page();
  QImage image = page_image(page);
  const DisplaySize size = display_size(page, scaling_);
  if (image.isNull()) return;
  // Reversed display: the bits inverted under the usual black-and-white
  // colour table, so that the page still goes out as a one-bit bitmap.
  if (reversed_) image.invertPixels();
  // The display size is in hundredths of an inch; the painter starts at the
  // top-left corner of the printable area, in device pixels.
  const QPaintDevice& device = *painter.device();
  const QRectF target(0, 0, size.width * device.logicalDpiX() / 100.0,
                      size.height * device.logicalDpiY() / 100.0);
  if (where == Target::kPreview) {
    // The preview shrinks its pages to the screen by dropping pixels; a
    // page averaged to grey at twice the view's size keeps every row.
    const QSize grey(std::max(1, size.width * 2), std::max(1, size.height * 2));
    if (grey.width() < image.width() || grey.height() < image.height())
      image = scaled_page(page, grey, 1.0, reversed_);
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, image);
}

}  // namespace orvane::app
