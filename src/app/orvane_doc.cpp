#include "app/orvane_doc.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <thread>

#include "app/input_check.h"
#include "app/refusal_reason.h"
#include "base/coding_mode.h"
#include "base/page_turn.h"
#include "codec/page_driver.h"
#include "core/classify.h"
#include "core/format_registry.h"
#include "core/page_ocr.h"
#include "core/pdf_export.h"
#include "core/tiff_export.h"

namespace orvane::app {

namespace {

// The hidden name a conversion or export is written under beside its
// target: the target's name, cut so that the hidden name (and the core's
// own temporary name made from it) still fits the longest name a folder
// takes, whatever name the user chose.
QString stagingTemplate(const QFileInfo& target) {
  QString base = target.fileName();
  while (base.toUtf8().size() > 200) base.chop(1);
  return QStringLiteral("%1/.%2.part-XXXXXX").arg(target.absolutePath(), base);
}

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

// The other sets of scratch files sit beside the first, their names
// starting with `prefix`.
WorkingPaths paths_beside(const WorkingPaths& paths, const std::string& prefix) {
  const auto beside = [&prefix](const std::filesystem::path& path) {
    return path.parent_path() / (prefix + path.filename().string());
  };
  return {beside(paths.row_file), beside(paths.page_index), beside(paths.temp_tiff)};
}

}  // namespace

COrvaneDoc::COrvaneDoc(const WorkingPaths& paths, CDocUi& ui, QObject* parent)
    : QObject(parent),
      scratch_{paths, paths_beside(paths, "next-")},
      fax_(std::make_unique<FaxFile>()),
      ui_(ui),
      ahead_(new CPageAhead(paths_beside(paths, "ahead-"), this)) {
  fax_->set_working_paths(paths);
}

COrvaneDoc::~COrvaneDoc() {
  // Reading ahead ends before the scratch folder goes.
  ahead_->stop();
}

bool COrvaneDoc::open(const QString& path, QString* error) {
  const QString problem = input_problem(path);
  if (error) *error = problem;
  if (!problem.isEmpty() || !readFile(path, DecodingParameters{})) return false;
  folders_.note_file_opened();
  full_path_title_ = false;
  untitled_ = false;
  ever_opened_ = true;
  emit titleChanged();
  updateAllViews();
  return true;
}

void COrvaneDoc::resetForFile(const QString& path) {
  // Read again with other parameters, the file keeps its turn.
  if (path != path_) turns_ = 0;
  scaling_ = 1.0f;
  fit_ = FitMode::kNone;
  current_page_ = 0;
  path_ = path;
  extension_ = extension_of(path);
}

void COrvaneDoc::reopen() {
  readFile(path_, fax_->parameters());
}

bool COrvaneDoc::readFile(const QString& path, const DecodingParameters& params) {
  ui_.beginWait();
  const int format = classify(native(path));
  const int scratch = 1 - scratch_in_use_;
  const auto fresh_record = [&] {
    auto record = std::make_unique<FaxFile>();
    record->set_working_paths(scratch_[std::size_t(scratch)]);
    record->set_parameters(params);
    return record;
  };
  auto record = fresh_record();
  QString failure;
  if (format >= 0 && !openRecord(*record, path, format, failure)) {
    ui_.endWait();
    return false;
  }
  // A reading that gave up half way leaves nothing of it to trust.
  if (!failure.isEmpty()) record = fresh_record();
  ui_.endWait();
  ahead_->setSource({});
  fax_ = std::move(record);
  flipped_ = mirrored_ = false;
  scratch_in_use_ = scratch;
  format_ = format;
  resetForFile(path);
  if (fax_->page_valid()) turnPageOnView(turns_);
  raw_yres_ = 0;
  pages_as_read_ = true;
  prepared_.reset();
  if (format == kFormatUnsupported) ui_.showTipsOfOpenFax();
  if (format < 0) markPageEmpty();
  open_failure_ = failure.isEmpty() ? QString() : tr("cannot be read: %1").arg(failure);
  notePageOnView();
  // Told once for each file, not again when it is read with other
  // parameters.
  pages_cut_ = format >= 0 && failure.isEmpty() && fax_->pages_cut(format);
  tell_cut_ = pages_cut_ && cut_told_ != path;
  cut_told_ = pages_cut_ ? path : QString();
  followSource();
  return true;
}

// False when the user cancelled the reading. `failure` says why the reading
// gave up, when it did.
bool COrvaneDoc::openRecord(FaxFile& record, const QString& path, int format, QString& failure) {
  const std::filesystem::path file = native(path);
  WorkControl control;
  std::string thrown;
  auto work = [&record, file, format, &control, &thrown] {
    // A file that gives no page says why through the record; only what the
    // system or an allocation throws is caught here, on the thread it ran on.
    try {
      (void)record.open(file, format, &control);
    } catch (const std::exception& e) {
      thrown = exception_reason(e);
    }
  };
  // Bare data is analysed and extracted whole, and At Work files go through
  // an outside converter: both can take seconds.
  bool finished = true;
  if (!is_raw_format(format) && format != kFormatAtWork) {
    work();
  } else {
    finished = ui_.runLong(tr("Reading %1...").arg(QFileInfo(path).fileName()), work, &control);
  }
  failure = QString::fromStdString(thrown);
  return finished;
}

void COrvaneDoc::notePageOnView() {
  stated_.reset();
  if (!open_failure_.isEmpty()) {
    refusal_ = open_failure_;
    return;
  }
  refusal_ = refusal_reason(native(path_), format_, *fax_, current_page_);
  if (fax_->page_valid() || format_ < 0) return;
  PageFacts facts;
  if (fax_->page_facts(std::uint32_t(current_page_), facts)) stated_ = facts;
}

// The reader ahead follows the record on view.
void COrvaneDoc::followSource() {
  CPageAhead::Source source;
  if (format_ >= 0 && pageCount() > 0 && !path_.isEmpty()) {
    source = {native(path_), format_, fax_->parameters(), pageCount()};
    // Bare data paginated again by hand: the reader ahead's record cuts
    // its pages at the same resolution.
    if (raw_yres_ > 0) source.params.vres_override = raw_yres_;
  }
  ahead_->setSource(source);
  emit pagesChanged();
}

void COrvaneDoc::markPageEmpty() {
  fax_->page().clear();
}

std::optional<CPageAhead::Ready> COrvaneDoc::takePreparedPage() {
  std::optional<CPageAhead::Ready> ready = std::move(prepared_);
  prepared_.reset();
  return ready;
}

void COrvaneDoc::keepNeighboursReady(qreal ratio, QRect sight) {
  if (pages_as_read_ && pageCount() > 1) ahead_->follow(current_page_, scaling_, ratio, sight);
}

// A page that does not load leaves no pixels behind: the view never shows
// the page before under this page's number.
void COrvaneDoc::loadPage(int index) {
  LoadedPage loaded = read_page_or_reason(*fax_, index);
  turnAsShown(loaded);
  fax_->take_page(std::move(loaded));
  flipped_ = mirrored_ = false;
  notePageOnView();
  updateAllViews();
}

void COrvaneDoc::newDocument() {
  untitled_ = true;
  emit titleChanged();
}

void COrvaneDoc::closeFile() {
  ahead_->setSource({});
  auto record = std::make_unique<FaxFile>();
  record->set_working_paths(scratch_[std::size_t(scratch_in_use_)]);
  fax_ = std::move(record);
  format_ = 0;
  resetForFile(QString());
  pages_as_read_ = true;
  prepared_.reset();
  refusal_.clear();
  open_failure_.clear();
  stated_.reset();
  pages_cut_ = false;
  tell_cut_ = false;
  full_path_title_ = false;
  untitled_ = true;
  followSource();
  emit titleChanged();
  updateAllViews();
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
  return scaling_ < kMaxScaling && pageShown() && page().width != 0 && page().height != 0;
}
bool COrvaneDoc::canZoomOut() const {
  return scaling_ > kMinScaling && pageShown() && page().width != 0 && page().height != 0;
}

// A page read ahead is taken over as it is; any other is read now.
void COrvaneDoc::goTo(int index) {
  current_page_ = index;
  std::optional<CPageAhead::Ready> ready;
  if (pages_as_read_) ready = ahead_->take(index);
  if (!ready) {
    loadPage(current_page_);
    return;
  }
  if (turns_ != 0) {
    // Read ahead as the file has it: turned here, and drawn anew.
    turnAsShown(ready->loaded);
    ready->tiles.clear();
  }
  fax_->take_page(std::move(ready->loaded));
  flipped_ = mirrored_ = false;
  notePageOnView();
  prepared_ = std::move(ready);
  updateAllViews();
  prepared_.reset();
}

void COrvaneDoc::followRename(const QString& from, const QString& to) {
  if (path_.isEmpty() || QFileInfo(from).absoluteFilePath() != QFileInfo(path_).absoluteFilePath())
    return;
  path_ = full_path_title_ ? QFileInfo(to).absoluteFilePath() : to;
  extension_ = extension_of(path_);
  followSource();
  emit titleChanged();
}

void COrvaneDoc::goToIndex(int index) {
  if (index >= 0 && index < pageCount() && index != current_page_) goTo(index);
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

// From a fitted factor the steps go on from the step next to it.
void COrvaneDoc::zoomIn() {
  if (!canZoomIn()) return;
  const float steps = std::floor(scaling_ / kScalingStep + 1e-3f);
  zoomTo(std::min((steps + 1) * kScalingStep, kMaxScaling));
}

void COrvaneDoc::zoomOut() {
  if (!canZoomOut()) return;
  const float steps = std::ceil(scaling_ / kScalingStep - 1e-3f);
  zoomTo(std::max((steps - 1) * kScalingStep, kMinScaling));
}

void COrvaneDoc::zoomTo(float scaling) {
  fit_ = FitMode::kNone;
  scaling_ = scaling;
  updateAllViews();
}

void COrvaneDoc::actualSize() {
  if (pageShown() && page().width != 0 && page().height != 0) zoomTo(1.0f);
}

void COrvaneDoc::fitWidth() {
  if (!pageShown() || page().width == 0 || page().height == 0) return;
  fit_ = FitMode::kWidth;
  updateAllViews();
}

void COrvaneDoc::fitPage() {
  if (!pageShown() || page().width == 0 || page().height == 0) return;
  fit_ = FitMode::kPage;
  updateAllViews();
}

void COrvaneDoc::flip() {
  if (pageCount() == 0 || !pageShown()) return;
  codec::flip_vertically(fax_->page());
  flipped_ = !flipped_;
  updateAllViews();
}

void COrvaneDoc::mirror() {
  if (pageCount() == 0 || !pageShown()) return;
  codec::mirror(fax_->page());
  mirrored_ = !mirrored_;
  updateAllViews();
}

void COrvaneDoc::rotate(int quarter_turns) {
  if (pageCount() == 0 || !pageShown()) return;
  turnPageOnView(quarter_turns);
  turns_ = ((turns_ + quarter_turns) % 4 + 4) % 4;
  emit turnChanged();
  updateAllViews();
}

void COrvaneDoc::turnPageOnView(int quarter_turns) {
  if (quarter_turns % 4 == 0) return;
  PageBitmap page = turned(fax_->page(), quarter_turns);
  // No room for the turned page: it stays as it was.
  if (page.has_pixels()) fax_->page() = std::move(page);
}

void COrvaneDoc::turnAsShown(LoadedPage& loaded) const {
  if (turns_ == 0 || !loaded.valid()) return;
  PageBitmap page = turned(loaded.page, turns_);
  if (page.has_pixels()) loaded.page = std::move(page);
}

void COrvaneDoc::resolutions() {
  // A page that did not load has no resolutions to change.
  if (pageCount() == 0 || !pageShown()) return;
  PageBitmap& page = fax_->page();
  const int h = horizontal_index(page.xres);
  const int v = vertical_index(page.yres);
  int new_h = h;
  int new_v = v;
  if (!ui_.askResolutions(new_h, new_v)) return;
  if (page.width <= 0 || (new_h == h && new_v == v)) return;
  page.xres = std::uint16_t(new_h * 100 + 200);
  page.yres = std::uint16_t(new_v * 100 + 100);
  pages_as_read_ = false;
  resolutionChanged(new_v != v);
}

void COrvaneDoc::setVerticalResolutionIndex(int index) {
  // Only bare data, whose pages are cut by it, takes a resolution for a
  // page that did not load.
  if (index < 0 || index > 3 || (!pageShown() && format_ != kFormatRawFax)) return;
  fax_->page().yres = std::uint16_t(index * 100 + 100);
  pages_as_read_ = false;
  resolutionChanged(true);
}

void COrvaneDoc::resolutionChanged(bool vertical_changed) {
  if (format_ != kFormatRawFax || !vertical_changed) {
    updateAllViews();
    return;
  }
  // Bare data is cut into pages by standard page lengths, which depend on
  // the vertical resolution.
  fax_->recount_raw_pages();
  raw_yres_ = fax_->page().yres;
  if (current_page_ > pageCount() - 1) current_page_ = 0;
  // Every page of bare data takes the new resolution: reading ahead goes
  // on with it.
  pages_as_read_ = true;
  followSource();
  loadPage(current_page_);
}

void COrvaneDoc::bitOrder() {
  if (path_.isEmpty()) return;
  int order = fax_->parameters().bit_order;
  if (!ui_.askBitOrder(order)) return;
  DecodingParameters params = fax_->parameters();
  params.bit_order = std::uint8_t(order);
  if (readFile(path_, params)) updateAllViews();
}

void COrvaneDoc::advanced() {
  if (path_.isEmpty()) return;
  DecodingParameters params = fax_->parameters();
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
  if (readFile(path_, params)) updateAllViews();
}

namespace {

// The properties sheet's size, coding and resolution fields, whether they
// come from a page read or from what the file states of one.
FaxProperties properties_of(int width, int height, std::uint8_t coding, std::uint16_t xres,
                            std::uint16_t yres, std::uint8_t unit) {
  FaxProperties p;
  p.line_width = width;
  p.scan_lines = height;
  p.encode_mode = coding_text(coding);
  p.x_resolution = xres;
  p.y_resolution = yres;
  p.page_width = xres ? double(width) / xres : 0.0;
  p.page_height = yres ? double(height) / yres : 0.0;
  p.size_unit = size_unit(unit);
  p.resolution_unit = resolution_unit(unit);
  return p;
}

}  // namespace

void COrvaneDoc::pageProperties() {
  if (pageCount() == 0) return;
  if (!pageShown()) {
    ui_.showProperties(statedProperties());
    return;
  }
  const PageBitmap& page = fax_->page();
  FaxProperties p =
      properties_of(page.width, page.height, page.coding, page.xres, page.yres, page.unit);
  p.bit_order = QString::fromUtf8(bit_order_name(page.bit_order == 1 ? 1 : 2));
  if (PageFacts facts; fax_->page_facts(std::uint32_t(current_page_), facts))
    p.reception = QString::fromStdString(reception_words(facts.reception));
  ui_.showProperties(p);
}

// What the file states of a page that did not load; nothing where it
// states nothing (a side it states beyond any page read is not repeated).
FaxProperties COrvaneDoc::statedProperties() const {
  FaxProperties p;
  if (!stated_) return p;
  const PageFacts& f = *stated_;
  const auto side = [](std::uint32_t v) { return v <= limits::kMaxPageSide ? int(v) : 0; };
  p = properties_of(side(f.width), side(f.height), f.coding, f.xres, f.yres, f.unit);
  if (f.bit_order != 0) p.bit_order = QString::fromUtf8(bit_order_name(f.bit_order));
  return p;
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
    // Only TIFF is written here; a silent nothing looked like a save.
    ui_.message(tr("\"%1\" was not written: Save As writes TIFF files only, so the name must "
                   "end in .tif (Export as PDF writes PDF files).")
                    .arg(QFileInfo(target).fileName()),
                tr("Converting Fail"));
    return SaveResult::kNothingWritten;
  }
  // The record writes atomically itself, so it writes to a hidden name of
  // ours beside the target, which is renamed over the target only when the
  // conversion finished and was not cancelled (a cancelled conversion ends
  // at its next page): an existing target is never touched otherwise.
  const QFileInfo info(target);
  QTemporaryFile staging(stagingTemplate(info));
  if (!staging.open()) return SaveResult::kFailed;
  staging.close();
  ConvertResult result = ConvertResult::kNoFile;
  WorkControl control;
  ExportSummary summary;
  std::string thrown;
  const auto convert = [&] {
    try {
      result = export_tiff(*fax_, format_, native(staging.fileName()), TiffPages::kKeepCoded,
                           progress_of(&control), &summary, native(path_));
    } catch (const std::exception& e) {
      result = ConvertResult::kNoFile;
      thrown = exception_reason(e);
    }
  };
  const bool finished =
      ui_.runLong(tr("Converting to %1...").arg(info.fileName()), convert, &control);
  if (finished && result == ConvertResult::kOk && take_over(staging, target)) {
    open(target);
    if (const QString left_out = left_out_text(summary); !left_out.isEmpty())
      ui_.message(left_out, tr("Save As"));
    return SaveResult::kConverted;
  }
  // Conversion may have used the page bitmap: show the page on view again.
  if (pageCount() > 0) loadPage(current_page_);
  if (finished && !thrown.empty()) {
    ui_.message(
        tr("\"%1\" was not written: %2.").arg(info.fileName(), QString::fromStdString(thrown)),
        tr("Converting Fail"));
  }
  return finished ? SaveResult::kFailed : SaveResult::kCancelled;
}

COrvaneDoc::ExportResult COrvaneDoc::exportPdf(const QString& source, const QString& target,
                                               bool ocr, bool upright, bool pdfa) {
  const QString caption = tr("Export as PDF");
  const QFileInfo info(target);
  PdfExportOptions options;
  options.ocr = ocr;
  options.upright = upright;
  options.pdfa = pdfa;
  options.jobs = std::max(1u, std::thread::hardware_concurrency());
  if (ocr) {
    if (const std::string problem = ocr_language_problem(options.ocr_languages); !problem.empty()) {
      ui_.message(tr("Cannot make the text searchable: %1.").arg(QString::fromStdString(problem)),
                  caption);
      return ExportResult::kFailed;
    }
  }
  // Checked without loading the data in a child process: the window runs
  // threads of its own.
  if (const std::string problem = upright ? orientation_problem(false) : std::string();
      !problem.empty()) {
    ui_.message(tr("Cannot turn the pages upright: %1.").arg(QString::fromStdString(problem)),
                caption);
    return ExportResult::kFailed;
  }
  if (pdfa) {
    std::vector<std::uint8_t> profile;
    if (std::string problem; !read_srgb_profile(options.srgb_profile, profile, problem)) {
      ui_.message(tr("Cannot write PDF/A: %1.").arg(QString::fromStdString(problem)), caption);
      return ExportResult::kFailed;
    }
  }
  if (same_file(target, source) || (!path_.isEmpty() && same_file(target, path_))) {
    ui_.message(tr("\"%1\" is the fax being exported or the one on view and is not written "
                   "over; choose another name for the PDF.")
                    .arg(info.fileName()),
                caption);
    return ExportResult::kRefused;
  }
  // As in save(): the finished PDF is renamed over the target only when
  // the export ran to its end and was not cancelled.
  QTemporaryFile staging(stagingTemplate(info));
  if (!staging.open()) {
    ui_.message(tr("Cannot write \"%1\": %2.").arg(target, staging.errorString()), caption);
    return ExportResult::kFailed;
  }
  staging.close();
  // The document's own file (also when the folder bar names it otherwise)
  // is read as it is shown, with the parameters the user set.
  const DecodingParameters params =
      !path_.isEmpty() && same_file(source, path_) ? fax_->parameters() : DecodingParameters{};
  const std::filesystem::path from = native(source), to = native(staging.fileName());
  WorkControl control;
  options.control = &control;
  ConvertResult result = ConvertResult::kWriteFailed;
  ExportSummary summary;
  std::string thrown;
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
              &summary, &control, options);
        } catch (const std::exception& e) {
          result = ConvertResult::kWriteFailed;
          thrown = exception_reason(e);
        }
      },
      &control);
  if (!finished || result == ConvertResult::kStopped) return ExportResult::kCancelled;
  QString why;
  if (result == ConvertResult::kNoFile) {
    why = tr("\"%1\" is not a fax file that can be read.").arg(QFileInfo(source).fileName());
  } else if (result == ConvertResult::kNoPages) {
    why = tr("No page of \"%1\" could be read.").arg(QFileInfo(source).fileName());
    if (const QString first = first_left_out_reason(summary); !first.isEmpty())
      why += u'\n' + first;
  } else if (!thrown.empty()) {
    why = tr("\"%1\" was not written: %2.").arg(target, QString::fromStdString(thrown));
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
  if (const QString left_out = left_out_text(summary); !left_out.isEmpty())
    ui_.message(left_out, caption);
  return ExportResult::kExported;
}

void COrvaneDoc::updateAllViews() {
  emit viewsNeedUpdate();
  // Told once the file is on view, so the message stands over it.
  if (tell_cut_) {
    tell_cut_ = false;
    ui_.message(tr("\"%1\" lists more pages than this program reads: pages past %2 were not read.")
                    .arg(QFileInfo(path_).fileName())
                    .arg(pageCount()),
                tr("Open"));
  }
}

void COrvaneDoc::refreshStatus() {
  emit statusChanged();
}

StatusTexts COrvaneDoc::statusTexts() const {
  const PageBitmap& page = fax_->page();
  StatusTexts s;
  if (pages_cut_) s.note = tr("Pages past %1 were not read").arg(pageCount());
  const QString verdict = QStringLiteral("That's NOT a FAX file!");
  if (!pageShown()) {
    // Before the first file, or after Close, there is nothing to judge: the
    // verdict waits for a file that gives no page.
    s.panes = {path_.isEmpty() ? QString() : verdict, QStringLiteral("Page"),
               QStringLiteral("Size"), QStringLiteral("Scaling")};
    // A page that did not load has no size; its coding is known only when
    // the file states it.
    if (format_ >= 0 && pageCount() > 0) {
      if (stated_ && stated_->coding != kCodingUnknown) s.panes[0] = coding_text(stated_->coding);
      s.panes[1] = QStringLiteral("Page: %1  (Total = %2)").arg(current_page_ + 1).arg(pageCount());
    }
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
