#include "app/orvane_doc.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <filesystem>

#include "base/coding_mode.h"
#include "codec/page_driver.h"
#include "core/classify.h"
#include "core/format_registry.h"
#include "core/pdf_export.h"

namespace orvane::app {

namespace {

// A file's extension as the document keeps it: from the last "." on, empty
// when there is none or when it is implausibly long.
QString extension_of(const QString& path) {
  const qsizetype dot = path.lastIndexOf(u'.');
  if (dot < 0 || path.size() - dot >= 50) return {};
  return path.mid(dot);
}

std::filesystem::path native(const QString& path) {
  return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Puts the finished file under the target's name (replacing it) with the
// permissions a newly created file has: the staging file was private.
bool take_over(QTemporaryFile& staging, const QString& target) {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  std::error_code ec;
  const std::filesystem::path from = native(staging.fileName());
  std::filesystem::permissions(from, std::filesystem::perms(0666 & ~mask), ec);
  std::filesystem::rename(from, native(target), ec);
  if (ec) return false;
  staging.setAutoRemove(false);
  return true;
}

// The same file under both names (also through a link); false when either
// does not exist.
bool same_file(const QString& a, const QString& b) {
  std::error_code ec;
  return std::filesystem::equivalent(native(a), native(b), ec) && !ec;
}

// The coding names of the status bar and the properties sheet; code 9 is
// reserved and shows nothing.
QString coding_text(unsigned coding) {
  if (coding == 9) return {};
  return QString::fromUtf8(coding_name(coding));
}

int horizontal_index(unsigned xres) {
  return xres < 300 ? 0 : xres < 400 ? 1 : 2;
}
int vertical_index(unsigned yres) {
  return yres < 200 ? 0 : yres < 300 ? 1 : yres < 400 ? 2 : 3;
}

QString size_unit(std::uint8_t unit) {
  switch (unit) {
    case 1: return QStringLiteral("pixel");
    case 2: return QStringLiteral("inch");
    case 3: return QStringLiteral("centimeter");
    default: return QStringLiteral("unknown");
  }
}

QString resolution_unit(std::uint8_t unit) {
  switch (unit) {
    case 1: return QStringLiteral("dots per pixel");
    case 2: return QStringLiteral("dots per inch");
    case 3: return QStringLiteral("dots per centimeter");
    default: return QStringLiteral("unknown");
  }
}

}  // namespace

COrvaneDoc::COrvaneDoc(const WorkingPaths& paths, CDocUi& ui, QObject* parent)
    : QObject(parent), ui_(ui) {
  fax_.set_working_paths(paths);
}

bool COrvaneDoc::open(const QString& path, QString* error) {
  QFile file(path);
  if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
    if (error) {
      *error = QFileInfo(path).isDir()
                   ? tr("\"%1\" is a folder, not a file.").arg(path)
                   : tr("Cannot open \"%1\": %2.").arg(path, file.errorString());
    }
    return false;
  }
  file.close();
  resetForFile(path);
  folders_.note_file_opened();
  full_path_title_ = false;
  fax_.set_parameters(DecodingParameters{});
  untitled_ = false;
  ever_opened_ = true;
  emit titleChanged();
  reopen();
  updateAllViews();
  return true;
}

void COrvaneDoc::resetForFile(const QString& path) {
  scaling_ = 1.0f;
  current_page_ = 0;
  path_ = path;
  extension_ = extension_of(path);
}

void COrvaneDoc::reopen() {
  ui_.beginWait();
  resetForFile(path_);
  format_ = classify(native(path_));
  if (format_ == kFormatUnsupported) {
    ui_.endWait();
    ui_.showTipsOfOpenFax();
    markPageEmpty();
    return;
  }
  if (format_ == kFormatNotFax) {
    markPageEmpty();
  } else {
    openRecord();
    current_page_ = 0;
  }
  ui_.endWait();
}

void COrvaneDoc::openRecord() {
  const std::filesystem::path file = native(path_);
  WorkControl control;
  auto work = [this, file, &control] {
    try {
      // A stop shows through runLong; a failure through the empty page.
      (void)fax_.open(file, format_, &control);
    } catch (...) {
      // Whatever the reader left in the page bitmap is shown.
    }
  };
  // Bare data is analysed and extracted whole, and At Work files go through
  // an outside converter: both can take seconds.
  if (!is_raw_format(format_) && format_ != kFormatAtWork) {
    work();
    return;
  }
  const QString label = tr("Reading %1...").arg(QFileInfo(path_).fileName());
  if (!ui_.runLong(label, work, &control)) {
    fax_.set_parameters(DecodingParameters(fax_.parameters()));
    markPageEmpty();
  }
}

void COrvaneDoc::markPageEmpty() {
  fax_.page().clear();
}

void COrvaneDoc::loadPage(int index) {
  try {
    fax_.load_page(format_, std::uint32_t(std::max(index, 0)));
  } catch (...) {
    // What the reader left is shown.
  }
  updateAllViews();
}

void COrvaneDoc::newDocument() {
  untitled_ = true;
  emit titleChanged();
}

bool COrvaneDoc::openFromList(const QString& path, QString* error) {
  if (!open(path, error)) return false;
  full_path_title_ = true;
  emit titleChanged();
  return true;
}

QString COrvaneDoc::title() const {
  if (untitled_) return tr("Untitled");
  return full_path_title_ ? path_ : QFileInfo(path_).fileName();
}

bool COrvaneDoc::canGoBack() const {
  return pageCount() > 0 && current_page_ > 0;
}
bool COrvaneDoc::canGoForward() const {
  return pageCount() > 0 && current_page_ < pageCount() - 1;
}
bool COrvaneDoc::canZoomIn() const {
  return scaling_ < kMaxScaling && page().width != 0 && page().height != 0;
}
bool COrvaneDoc::canZoomOut() const {
  return scaling_ > kMinScaling && page().width != 0 && page().height != 0;
}

void COrvaneDoc::goTo(int index) {
  current_page_ = index;
  loadPage(current_page_);
}

void COrvaneDoc::firstPage() {
  if (canGoBack()) goTo(0);
}
void COrvaneDoc::previousPage() {
  if (canGoBack()) goTo(current_page_ - 1);
}
void COrvaneDoc::nextPage() {
  if (canGoForward()) goTo(std::min(current_page_ + 1, pageCount() - 1));
}
void COrvaneDoc::lastPage() {
  if (canGoForward()) goTo(pageCount() - 1);
}

void COrvaneDoc::goToPage() {
  if (pageCount() <= 1) return;
  int number = current_page_ + 1;
  const QString hint = QStringLiteral("(must be in [1 - %1])").arg(pageCount());
  if (!ui_.askPageNumber(number, pageCount(), hint)) return;
  goTo(std::clamp(number - 1, 0, pageCount() - 1));
}

void COrvaneDoc::zoomIn() {
  if (!canZoomIn()) return;
  scaling_ = std::min(scaling_ + kScalingStep, kMaxScaling);
  updateAllViews();
}

void COrvaneDoc::zoomOut() {
  if (!canZoomOut()) return;
  scaling_ -= kScalingStep;
  if (scaling_ <= kMinScaling) scaling_ = kMinScaling;
  updateAllViews();
}

void COrvaneDoc::flip() {
  if (pageCount() == 0) return;
  codec::flip_vertically(fax_.page());
  updateAllViews();
}

void COrvaneDoc::mirror() {
  if (pageCount() == 0) return;
  codec::mirror(fax_.page());
  updateAllViews();
}

void COrvaneDoc::resolutions() {
  if (pageCount() == 0) return;
  PageBitmap& page = fax_.page();
  const int h = horizontal_index(page.xres);
  const int v = vertical_index(page.yres);
  int new_h = h;
  int new_v = v;
  if (!ui_.askResolutions(new_h, new_v)) return;
  if (page.width <= 0 || (new_h == h && new_v == v)) return;
  page.xres = std::uint16_t(new_h * 100 + 200);
  page.yres = std::uint16_t(new_v * 100 + 100);
  resolutionChanged(new_v != v);
}

void COrvaneDoc::setVerticalResolutionIndex(int index) {
  if (index < 0 || index > 3) return;
  fax_.page().yres = std::uint16_t(index * 100 + 100);
  resolutionChanged(true);
}

void COrvaneDoc::resolutionChanged(bool vertical_changed) {
  if (format_ != kFormatRawFax || !vertical_changed) {
    updateAllViews();
    return;
  }
  // Bare data is cut into pages by standard page lengths, which depend on
  // the vertical resolution.
  fax_.recount_raw_pages();
  if (current_page_ > pageCount() - 1) current_page_ = 0;
  loadPage(current_page_);
}

void COrvaneDoc::bitOrder() {
  if (path_.isEmpty()) return;
  int order = fax_.parameters().bit_order;
  if (!ui_.askBitOrder(order)) return;
  fax_.parameters().bit_order = std::uint8_t(order);
  reopen();
  updateAllViews();
}

void COrvaneDoc::advanced() {
  if (path_.isEmpty()) return;
  DecodingParameters& params = fax_.parameters();
  AdvancedValues values;
  values.threshold = params.threshold;
  values.flag_number = params.flag_number;
  values.raw_file = params.raw_file;
  values.nonstandard_widths = params.nonstandard_widths;
  values.min_width = params.min_width;
  values.split_at_page_ends = params.split_at_page_ends;
  if (!ui_.askAdvanced(values)) return;
  // Kept at the widths of the parameters, as typed: no range check.
  params.threshold = std::uint16_t(values.threshold);
  params.flag_number = std::uint8_t(values.flag_number);
  params.raw_file = values.raw_file;
  params.nonstandard_widths = values.nonstandard_widths;
  params.min_width = std::int16_t(values.min_width);
  params.split_at_page_ends = values.split_at_page_ends;
  reopen();
  updateAllViews();
}

void COrvaneDoc::pageProperties() {
  if (pageCount() == 0) return;
  const PageBitmap& page = fax_.page();
  FaxProperties p;
  p.line_width = page.width;
  p.scan_lines = page.height;
  p.encode_mode = coding_text(page.coding);
  p.bit_order = QString::fromUtf8(bit_order_name(page.bit_order == 1 ? 1 : 2));
  p.x_resolution = page.xres;
  p.y_resolution = page.yres;
  p.page_width = page.xres ? double(page.width) / page.xres : 0.0;
  p.page_height = page.yres ? double(page.height) / page.yres : 0.0;
  p.size_unit = size_unit(page.unit);
  p.resolution_unit = resolution_unit(page.unit);
  ui_.showProperties(p);
}

COrvaneDoc::SaveResult COrvaneDoc::save(const QString& target) {
  if (!target.contains(u'.')) {
    ui_.message(tr("Unknown file format,cannot convert!"), tr("Converting Fail"));
    return SaveResult::kNothingWritten;
  }
  const QString extension = target.mid(target.lastIndexOf(u'.'));
  if (extension.compare(extension_, Qt::CaseInsensitive) == 0) {
    ui_.message(tr("The file is already that format, no converting needed!"),
                tr("No need to convert"));
    return SaveResult::kNothingWritten;
  }
  if (extension.compare(QStringLiteral(".tif"), Qt::CaseInsensitive) != 0) {
    return SaveResult::kNothingWritten;
  }
  // The record writes atomically itself, so it writes to a hidden name of
  // ours beside the target, which is renamed over the target only when the
  // conversion finished and was not cancelled (a cancelled conversion ends
  // at its next page): an existing target is never touched otherwise.
  const QFileInfo info(target);
  QTemporaryFile staging(
      QStringLiteral("%1/.%2.part-XXXXXX").arg(info.absolutePath(), info.fileName()));
  if (!staging.open()) return SaveResult::kFailed;
  staging.close();
  ConvertResult result = ConvertResult::kNoFile;
  WorkControl control;
  const auto convert = [&] {
    try {
      result =
          fax_.convert(native(staging.fileName()), format_, FaxFile::TiffSource::kRefuse, &control);
    } catch (...) {
      result = ConvertResult::kNoFile;
    }
  };
  const bool finished =
      ui_.runLong(tr("Converting to %1...").arg(info.fileName()), convert, &control);
  if (finished && result == ConvertResult::kOk && take_over(staging, target)) {
    open(target);
    return SaveResult::kConverted;
  }
  // Conversion may have used the page bitmap: show the page on view again.
  if (pageCount() > 0) loadPage(current_page_);
  return finished ? SaveResult::kFailed : SaveResult::kCancelled;
}

COrvaneDoc::ExportResult COrvaneDoc::exportPdf(const QString& source, const QString& target) {
  const QString caption = tr("Export as PDF");
  const QFileInfo info(target);
  if (same_file(target, source) || (!path_.isEmpty() && same_file(target, path_))) {
    ui_.message(tr("\"%1\" is the fax being exported or the one on view and is not written "
                   "over; choose another name for the PDF.")
                    .arg(info.fileName()),
                caption);
    return ExportResult::kRefused;
  }
  // As in save(): the finished PDF is renamed over the target only when
  // the export ran to its end and was not cancelled.
  QTemporaryFile staging(
      QStringLiteral("%1/.%2.part-XXXXXX").arg(info.absolutePath(), info.fileName()));
  if (!staging.open()) {
    ui_.message(tr("Cannot write \"%1\": %2.").arg(target, staging.errorString()), caption);
    return ExportResult::kFailed;
  }
  staging.close();
  // The document's own file (also when the folder bar names it otherwise)
  // is read as it is shown, with the parameters the user set.
  const DecodingParameters params =
      !path_.isEmpty() && same_file(source, path_) ? fax_.parameters() : DecodingParameters{};
  const std::filesystem::path from = native(source), to = native(staging.fileName());
  WorkControl control;
  ConvertResult result = ConvertResult::kWriteFailed;
  ExportSummary summary;
  const bool finished = ui_.runLong(
      tr("Exporting to %1...").arg(info.fileName()),
      [&] {
        try {
          result = export_pdf_file(
              from, params, to,
              [&control](std::uint32_t done, std::uint32_t total) {
                control.report(done, total);
                return !control.stop_requested();
              },
              &summary, &control);
        } catch (...) {
          result = ConvertResult::kWriteFailed;
        }
      },
      &control);
  if (!finished || result == ConvertResult::kStopped) return ExportResult::kCancelled;
  QString why;
  if (result == ConvertResult::kNoFile) {
    why = tr("\"%1\" is not a fax file that can be read.").arg(QFileInfo(source).fileName());
  } else if (result == ConvertResult::kNoPages) {
    why = tr("No page of \"%1\" could be read.").arg(QFileInfo(source).fileName());
  } else if (result != ConvertResult::kOk) {
    why =
        tr("Cannot write \"%1\": %2.")
            .arg(target, summary.write_error ? QString::fromStdString(summary.write_error.message())
                                             : tr("the export failed"));
  } else if (!take_over(staging, target)) {
    why = tr("Cannot write \"%1\".").arg(target);
  }
  if (!why.isEmpty()) {
    ui_.message(why, caption);
    return ExportResult::kFailed;
  }
  if (summary.pages_skipped > 0) {
    ui_.message(
        summary.pages_skipped == 1
            ? tr("One page could not be read and was left out.")
            : tr("%1 pages could not be read and were left out.").arg(summary.pages_skipped),
        caption);
  }
  return ExportResult::kExported;
}

void COrvaneDoc::updateAllViews() {
  emit viewsNeedUpdate();
}

void COrvaneDoc::refreshStatus() {
  emit statusChanged();
}

StatusTexts COrvaneDoc::statusTexts() const {
  const PageBitmap& page = fax_.page();
  StatusTexts s;
  if (page.width < 1) {
    // Before the first file there is nothing to judge: the verdict waits
    // for a file that gives no page.
    s.panes = {ever_opened_ ? QStringLiteral("That's NOT a FAX file!") : QString(),
               QStringLiteral("Page"), QStringLiteral("Size"), QStringLiteral("Scaling")};
    return s;
  }
  s.panes[0] = coding_text(page.coding);
  s.panes[1] = QStringLiteral("Page: %1  (Total = %2)").arg(current_page_ + 1).arg(pageCount());
  s.panes[2] = QStringLiteral("Size: %1 x %2").arg(page.width).arg(page.height);
  s.panes[3] = QString::asprintf("Scaling: %1.2f", double(scaling_));
  s.vres_index = page.yres > 399 ? 3 : page.yres > 299 ? 2 : page.yres > 199 ? 1 : 0;
  return s;
}

}  // namespace orvane::app
