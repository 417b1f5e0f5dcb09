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

// The page with each row repeated ocr_row_repeat times and its vertical
// resolution raised to match: the same page at square pixels, for a page
// that is to be turned a quarter (whose rows would otherwise become
// columns, which the reader does not repeat). No pixels when there is not
// the memory.
PageBitmap square_pixels(const PageBitmap& page);

// Orientation found with less confidence than this is not acted on: the
// page stays as it came. Measured with the orientation data of
// tesseract-ocr-osd 4.00 (libtesseract 5.3) on letters, a short note, a table
// of figures, blank, nearly blank and halftone pages, each upright, upside
// down and turned either way, at 204 x 196 and 204 x 98 dpi: full pages of
// text in a real typeface were found right at 10.2 to 23.6 (sideways pages at
// 98 dpi lowest, 10.2 to 11.3; ten lines of Helvetica 13.8 to 22.4); the one
// wrong answer (a table of figures in the crude built-in font of netpbm,
// turned sideways, taken for the other side) came at 9.4; a note of two lines was found right but
// at only 2 to 4; blank, nearly blank and halftone pages give no answer at all. A wrong turn spoils
// a page that the user can read as sent, so the bar stands above the wrong answer, and a note of
// two lines stays as it is.
inline constexpr double kOrientationMinConfidence = 10;

// Why pages cannot be turned upright, in one line: the orientation data
// (Debian package tesseract-ocr-osd) is missing or damaged, or the
// library or the program lacks what it takes; "" when they can. With
// `load` it loads the data in a child process, as ocr_data_problem does, and
// is called as that is; without it the data's structure is checked only.
std::string orientation_problem(bool load = true);

// Finds how a page is turned (libtesseract's orientation detection with the
// osd data). Not for two threads at once; one per worker thread.
class PageOrientation {
 public:
  PageOrientation();
  ~PageOrientation();
  PageOrientation(const PageOrientation&) = delete;
  PageOrientation& operator=(const PageOrientation&) = delete;

  // Loads the orientation data; false when it cannot be (problem() says why).
  bool start();
  // The quarter turns clockwise that put `page` upright (0 to 3), found on
  // the page as the OCR reads it (square pixels); 0 when it stands upright,
  // or the detection finds no answer above kOrientationMinConfidence.
  // `confidence` (may be null) gets the detection's confidence (0 when it
  // found none).
  int upright_turns(const PageBitmap& page, double* confidence = nullptr);
  const std::string& problem() const { return problem_; }

 private:
  struct Engine;
  std::unique_ptr<Engine> engine_;
  std::string problem_;
};

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
