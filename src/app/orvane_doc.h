#pragma once
// The one document: the open fax, the page on view and its zoom factor, and
// every command that changes what is shown. It asks its view to update after
// each change; the view then asks it for the status texts.
#include <QObject>
#include <QString>
#include <array>
#include <memory>
#include <optional>

#include "app/doc_ui.h"
#include "app/folders/folder_list.h"
#include "app/page_ahead.h"
#include "core/fax_file.h"

namespace orvane::app {

// The four fax panes of the status bar and the resolution list's selection.
struct StatusTexts {
  std::array<QString, 4> panes;
  int vres_index = -1;  // -1: nothing selected
  // Said of the whole file, in the message pane at the bar's left ("Pages
  // past 65535 were not read"); empty when there is nothing to say.
  QString note;
};

// How the scaling factor is chosen: by the zoom steps, or to fit the page's
// width or the whole page into the window (then it follows the window's
// size until the next zoom step).
enum class FitMode { kNone, kWidth, kPage };

class COrvaneDoc : public QObject {
  Q_OBJECT
 public:
  static constexpr float kMinScaling = 0.25f;
  static constexpr float kMaxScaling = 4.0f;
  static constexpr float kScalingStep = 0.25f;

  COrvaneDoc(const WorkingPaths& paths, CDocUi& ui, QObject* parent = nullptr);
  ~COrvaneDoc() override;

  // Opens `path` as the document. False when the file cannot be read
  // (`error` says why) or the user cancelled its reading (`error` empty);
  // the fax on view, its title and its status then stay as they were.
  bool open(const QString& path, QString* error = nullptr);
  // Detection again with the parameters as they stand.
  void reopen();
  void loadPage(int index);
  // File New: an untitled document; the page on view stays.
  void newDocument();
  // Close: no fax on view, as before the first file (the folder list and
  // the recent files stay).
  void closeFile();

  void firstPage();
  void previousPage();
  void nextPage();
  void lastPage();
  void goToPage();
  void zoomIn();
  void zoomOut();
  // The scaling back to 1.00.
  void actualSize();
  void fitWidth();
  void fitPage();
  FitMode fitMode() const { return fit_; }
  // The view's answer to a fitting mode: the factor that fits the window
  // now (no update is asked for; the view is drawing).
  void setFittedScaling(float scaling) { scaling_ = scaling; }
  // The file `from` is now called `to`: when it is the fax on view, the
  // document and its title follow.
  void followRename(const QString& from, const QString& to);
  // Goes to page `index` (from 0), as the overview's click does.
  void goToIndex(int index);
  void flip();
  void mirror();
  // Turns the page on view by `quarter_turns` clockwise (negative: to the
  // left), and every page shown after it the same way until another file
  // is opened; printing follows. The page keeps its true aspect.
  void rotate(int quarter_turns);
  // Clockwise quarter turns of the pages shown, 0 to 3.
  int quarterTurns() const { return turns_; }
  void resolutions();
  void bitOrder();
  void advanced();
  void pageProperties();
  // The toolbar's resolution list picked item `index`.
  void setVerticalResolutionIndex(int index);

  enum class SaveResult {
    kNothingWritten,  // a message or an extension that is not converted
    kConverted,       // the TIFF was written and is now the document
    kFailed,          // nothing written, the document unchanged
    kCancelled,
  };
  // The save step of Save and Save As for `target`.
  SaveResult save(const QString& target);

  enum class ExportResult {
    kExported,  // the PDF is at the target
    kRefused,   // the target is the file exported or the open document
    kFailed,    // nothing written, an existing target unchanged (the user was told why)
    kCancelled,
  };
  // Writes the fax file `source` as a PDF at `target`, away from the user
  // interface behind the progress window. The file on view is read afresh
  // in a record of its own (with the document's decoding parameters when it
  // is the document), so the page on view is not disturbed. With `ocr` every
  // page's words are read into an invisible text layer (English), on every
  // core; the progress window counts pages and Cancel ends the export
  // between pages or within the page being read.
  ExportResult exportPdf(const QString& source, const QString& target, bool ocr = false,
                         bool upright = false, bool pdfa = false);

  // Asks the views to update (they then call refreshStatus()).
  void updateAllViews();
  // Works out the status texts and tells the window.
  void refreshStatus();
  StatusTexts statusTexts() const;

  // The record on view, the document's alone: reading ahead reads through
  // a record of its own.
  FaxFile& record() { return *fax_; }
  const FaxFile& record() const { return *fax_; }
  const PageBitmap& page() const { return fax_->page(); }
  int pageCount() const { return fax_->page_count(); }
  // The page on view was read and has pixels to show. When it was not, the
  // page bitmap holds no pixels, and its fields say nothing of this page.
  bool pageShown() const { return fax_->page_valid(); }
  // The page on view was flipped (top to bottom) or mirrored (left to
  // right) an odd number of times since it was read.
  bool pageFlipped() const { return flipped_; }
  bool pageMirrored() const { return mirrored_; }
  // Why the open file, or its page on view, shows nothing (empty while it
  // shows its page, or before the first file).
  const QString& refusalReason() const { return refusal_; }

  // The pages read ahead: the neighbours of the page on view and the
  // overview's thumbnails.
  CPageAhead& pageAhead() { return *ahead_; }
  // The images of the page just turned to, when it was read ahead; taken
  // once by the view.
  std::optional<CPageAhead::Ready> takePreparedPage();
  // The view has drawn the page on view at the present scaling on a screen
  // of `ratio`, `sight` of it in sight (device pixels): its neighbours are
  // read ahead for that.
  void keepNeighboursReady(qreal ratio, QRect sight);
  int currentPage() const { return current_page_; }
  float scaling() const { return scaling_; }
  int format() const { return format_; }
  const QString& path() const { return path_; }
  // The file name shown in the caption, or the untitled name.
  QString title() const;
  bool everOpened() const { return ever_opened_; }
  // File New made the document untitled (the page on view stays).
  bool untitled() const { return untitled_; }
  int folderPosition() const { return int(folders_.position()); }
  // The folder list that Previous/Next Image and the slide show step through.
  FolderList& folders() { return folders_; }
  const FolderList& folders() const { return folders_; }
  // Open from the folder list: like open(), but the caption shows the full
  // path (and the caller leaves the recent-file list alone).
  bool openFromList(const QString& path, QString* error = nullptr);

  // Every command's enabling facts in one place.
  bool canGoBack() const;
  bool canGoForward() const;
  bool canZoomIn() const;
  bool canZoomOut() const;

 signals:
  void viewsNeedUpdate();
  void statusChanged();
  void titleChanged();
  // Another file or other pages: the overview starts again.
  void pagesChanged();
  // The pages are shown turned another way.
  void turnChanged();

 private:
  void resetForFile(const QString& path);
  void markPageEmpty();
  // What is known of the page on view when it did not load: why, and what
  // the file states of it. Takes the record's lock.
  void notePageOnView();
  // Reads `path` with `params` into a new record and, unless the user
  // cancelled, makes it the document's. False when cancelled.
  bool readFile(const QString& path, const DecodingParameters& params);
  bool openRecord(FaxFile& record, const QString& path, int format, QString& failure);
  FaxProperties statedProperties() const;
  void followSource();
  void zoomTo(float scaling);
  void resolutionChanged(bool vertical_changed);
  void goTo(int index);
  // A page read for the view, turned as the pages are shown.
  void turnAsShown(LoadedPage& loaded) const;
  void turnPageOnView(int quarter_turns);

  // Two sets of scratch files, one for the record on view and one for the
  // record being read, so that a cancelled read leaves the fax on view.
  std::array<WorkingPaths, 2> scratch_;
  int scratch_in_use_ = 0;
  std::unique_ptr<FaxFile> fax_;
  CDocUi& ui_;
  CPageAhead* ahead_;
  std::optional<CPageAhead::Ready> prepared_;
  // The page on view was changed by hand (resolutions): pages read ahead
  // from the file would not carry that change.
  bool pages_as_read_ = true;
  // Bare data paginated again at this vertical resolution (0: as opened).
  std::uint16_t raw_yres_ = 0;
  FitMode fit_ = FitMode::kNone;
  bool flipped_ = false;
  bool mirrored_ = false;
  QString refusal_;
  // What the file states of the page on view, when that page did not load.
  std::optional<PageFacts> stated_;
  // Why opening the file failed, when the reading itself gave up (an
  // exception); empty otherwise.
  QString open_failure_;
  bool pages_cut_ = false;
  QString cut_told_;       // the file whose cut page list was told last
  bool tell_cut_ = false;  // to be told at the next update
  int current_page_ = 0;
  FolderList folders_;
  bool full_path_title_ = false;  // opened from the folder list
  int format_ = 0;
  float scaling_ = 1.0f;
  int turns_ = 0;
  QString path_;
  QString extension_;
  bool untitled_ = true;
  bool ever_opened_ = false;
};

}  // namespace orvane::app
