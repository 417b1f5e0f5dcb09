#pragma once
// The words of one fax's pages, read for Find Text on a thread of its own:
// from the word cache when the file was read before, else by OCR through a
// record of its own opened on the same file with the same decoding
// parameters (no lock is shared with the document, whose page on view
// stays its own). The page on view is read first, then the pages after it,
// then those before. Each page is handed over as soon as it is read, and
// the words read so far are kept in the cache now and then and at the end.
#include <QObject>
#include <QString>
#include <memory>
#include <thread>

#include "app/find_words.h"
#include "core/fax_file.h"

namespace orvane::app {

class CFindReader : public QObject {
  Q_OBJECT
 public:
  struct Source {
    QString path;
    DecodingParameters params;
    WorkingPaths scratch;  // the record's own scratch files (bare data, At Work)
    int page_count = 0;
    QString language;  // "eng"
    QString cache_folder;
  };

  // Starts reading at `page_on_view`.
  CFindReader(const Source& source, int page_on_view, QObject* parent = nullptr);
  // Asks the thread to stop and returns at once: nothing more comes from
  // it, and it ends on its own (the OCR stops inside the page it reads, but
  // not while it loads its data or finds the page's lines, which can take a
  // few tenths of a second on a busy machine).
  ~CFindReader() override;
  // Waits for the threads of the readers gone (before their scratch files
  // or the program go).
  static void waitForReadersGone();

  const Source& source() const;
  // The page now on view is read next, unless it was read already.
  void setPageOnView(int page);
  // Pages read by OCR (not taken from the cache) so far.
  int pagesRecognised() const;

 signals:
  // On the thread of this object, in the order read. `page` is from 0.
  void pageRead(int page, const orvane::app::PageWords& words);
  // The pages cannot be read at all (the OCR does not start, the file
  // cannot be opened again): why, in one line.
  void failed(const QString& why);

 private:
  struct Work;
  static void run(Work& work);

  std::shared_ptr<Work> work_;
  std::thread worker_;
};

}  // namespace orvane::app
