#pragma once
// Find Text: the find bar, the words of the pages read behind it, the
// places found, highlighted on the page on view, and F3 / Shift+F3 from one
// place to the next across the pages. Without OCR, or without the OCR
// language's data, the commands stay disabled and their prompt says why.
#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "app/find_highlights.h"
#include "app/find_words.h"

namespace orvane::app {

class CFindBar;
class CFindReader;
class CMainFrame;
class COrvaneDoc;

class CFindCommands : public QObject {
  Q_OBJECT
 public:
  // Puts the find bar (hidden) at the foot of `frame` and gives the frame
  // the handlers of the find commands, pages being read in `language`.
  // Owned by the frame.
  CFindCommands(CMainFrame& frame, COrvaneDoc& doc, const QString& language);
  ~CFindCommands() override;

  CFindBar& bar() { return *bar_; }
  // Why the pages cannot be read ("" when they can).
  const QString& problem() const { return problem_; }
  // The reader of the fax on view, once Find Text started it.
  const CFindReader* reader() const { return reader_.get(); }
  int pagesRead() const { return pages_read_; }
  const std::vector<FindHit>& hits() const { return hits_; }
  // The place gone to last, as an index into hits().
  std::optional<std::size_t> currentHit() const;

  void openBar();
  void next();
  void previous();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void startReading();
  void stopReading();
  // Another file, other parameters or other pages: the words go.
  void followDocument();
  void takePage(int page, const PageWords& words);
  void searchAgain();
  void goTo(std::size_t index);
  void showHighlights();
  void scrollToCurrent();
  void showStatus();
  // The page on view's boxes in its own pixels (flipped and mirrored as it
  // is); nothing when its words were read off a page of another size.
  std::vector<QRectF> onView(const std::vector<QRectF>& boxes) const;

  CMainFrame& frame_;
  COrvaneDoc& doc_;
  const QString language_;
  QString problem_;
  CFindBar* bar_;
  std::unique_ptr<CFindReader> reader_;
  QString source_;  // what the reader reads: path, parameters and page count
  QString failure_;
  FaxWords pages_;
  int pages_read_ = 0;
  std::vector<FindHit> hits_;
  std::optional<FindHit> current_;
  bool search_pending_ = false;
  int readers_made_ = 0;  // pages came in: one search after them all
};

}  // namespace orvane::app
