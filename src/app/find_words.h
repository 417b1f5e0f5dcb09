#pragma once
// The words of a fax's pages as Find Text searches them: each word's text
// and its box in the pixels of the page as it was read, in reading order,
// and the places where a search text stands among them.
#include <QRectF>
#include <QString>
#include <optional>
#include <vector>

#include "core/page_ocr.h"

namespace orvane::app {

struct FoundWord {
  QString text;
  QRectF box;  // page pixels, rows from the top
};

// One page's words. A page that did not load, or on which nothing was read,
// has none; it still counts as read.
struct PageWords {
  int width = 0;  // of the page as read: the boxes are in its pixels
  int height = 0;
  std::vector<FoundWord> words;
};

// Each page's words, or nothing for a page not read yet.
using FaxWords = std::vector<std::optional<PageWords>>;

// The words the OCR read on a `width` x `height` page, boxed: the line's
// height above its baseline and a quarter of it below (for descenders),
// kept on the page.
PageWords words_of_lines(const std::vector<OcrLine>& lines, int width, int height);

// A place the search text stands: `count` words from word `first` on
// `page`.
struct FindHit {
  int page = 0;
  int first = 0;
  int count = 1;
  friend bool operator==(const FindHit&, const FindHit&) = default;
};

// Where `text` stands in the pages read, page by page in reading order. The
// text is cut into terms at white space; a hit is as many consecutive words
// of a page as there are terms, each term inside its word, letter case
// ignored. Hits do not overlap: the next is looked for after the last word
// of one.
std::vector<FindHit> find_hits(const QString& text, const FaxWords& pages);

// The boxes of the words of `hit`.
std::vector<QRectF> hit_boxes(const FindHit& hit, const FaxWords& pages);

}  // namespace orvane::app
