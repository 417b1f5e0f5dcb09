#pragma once
// Reading the words of a fax page (libtesseract when the program is built
// with it): each word's text and where it stands on the page, line by line,
// for the invisible text layer of a searchable PDF.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/page_bitmap.h"

namespace orvane {

// One word: its text (UTF-8) and its left and right edges in page pixels.
struct OcrWord {
  std::string text;
  double left = 0;
  double right = 0;
  int confidence = 0;  // 0 to 100
};

// One line of words: its baseline and height in page rows from the top.
struct OcrLine {
  double baseline = 0;
  double height = 0;
  std::vector<OcrWord> words;
};

// Words below this confidence are left out: what the reader is that unsure
// of is junk more often than a word.
inline constexpr int kOcrMinConfidence = 30;

// Whether this program was built with OCR.
bool ocr_built_in();

// Why `languages` ("eng", "eng+deu") cannot be read: one line that names
// the cause (a name that is no language, "osd", a TESSDATA_PREFIX folder
// without the data, data whose structure is damaged) or the Debian package
// holding a missing language; "" when each is installed. Without OCR built
// in it says so.
std::string ocr_language_problem(const std::string& languages);

// ocr_language_problem, and then whether the data loads: libtesseract
// is made to load it in a child process, since data damaged inside (its
// structure sound) makes the library end the process that loads it. About
// a tenth of a second; for a program to call once before it starts work,
// while it runs no other thread that could hold a lock.
std::string ocr_data_problem(const std::string& languages);

// Whether libtesseract's own messages reach standard error (by default
// they do not: each fault is told in one line of ours). The program's own
// messages from other threads while a page is read should go through a
// duplicate of standard error taken at start.
void show_ocr_messages(bool shown);

// The tallest image libtesseract reads, in rows; a taller page is read in
// overlapping bands.
inline constexpr int kOcrMaxImageRows = 32767;

// The Debian package that holds a language's data: tesseract-ocr-LANG,
// with underscores as dashes ("chi_sim" is in tesseract-ocr-chi-sim).
std::string ocr_language_package(const std::string& language);

// How many times a page's rows are repeated so that its pixels are square
// (2 for a 204 x 98 dpi page), from the page's resolutions as the view
// sizes it.
int ocr_row_repeat(const PageBitmap& page);

// One reader: holds the language data once and reads page after page. Not
// for two threads at once; one reader per worker thread.
class PageOcr {
 public:
  PageOcr();
  ~PageOcr();
  PageOcr(const PageOcr&) = delete;
  PageOcr& operator=(const PageOcr&) = delete;

  // Loads the language data; false when it cannot be (problem() says why).
  bool start(const std::string& languages);
  // Reads `page` into `lines` (page pixels, rows from the top), leaving out
  // words below kOcrMinConfidence. A page taller than libtesseract takes is
  // read in bands that overlap by more than a line of text; each line is
  // kept from the one band that holds its middle. False when it could not
  // be read (problem() says why) or `stop` (may be empty) said so while it
  // was read.
  bool read(const PageBitmap& page, std::vector<OcrLine>& lines,
            const std::function<bool()>& stop = {});
  // Why start() or read() last failed, in one line.
  const std::string& problem() const { return problem_; }

 private:
  struct Engine;
  bool read_band(const PageBitmap& page, std::int32_t from, std::int32_t to, int repeat,
                 const std::function<bool()>& stop, std::vector<OcrLine>& lines);
  std::unique_ptr<Engine> engine_;
  std::string problem_;
};

}  // namespace orvane
