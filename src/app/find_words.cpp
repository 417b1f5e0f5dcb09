#include "app/find_words.h"

#include <QStringList>
#include <algorithm>

namespace orvane::app {

PageWords words_of_lines(const std::vector<OcrLine>& lines, int width, int height) {
  PageWords out;
  out.width = width;
  out.height = height;
  const QRectF page(0, 0, width, height);
  for (const OcrLine& line : lines) {
    const double top = line.baseline - line.height;
    const double bottom = line.baseline + line.height / 4;
    for (const OcrWord& word : line.words) {
      const QRectF box = QRectF(QPointF(word.left, top), QPointF(word.right, bottom)) & page;
      if (box.isEmpty()) continue;
      out.words.push_back({QString::fromStdString(word.text), box});
    }
  }
  return out;
}

std::vector<FindHit> find_hits(const QString& text, const FaxWords& pages) {
  // Any white space cuts terms.
  const QStringList terms = text.simplified().split(u' ', Qt::SkipEmptyParts);
  std::vector<FindHit> hits;
  if (terms.isEmpty()) return hits;
  const auto n = std::size_t(terms.size());
  for (std::size_t p = 0; p < pages.size(); ++p) {
    if (!pages[p]) continue;
    const std::vector<FoundWord>& words = pages[p]->words;
    for (std::size_t i = 0; i + n <= words.size();) {
      bool match = true;
      for (std::size_t k = 0; k < n && match; ++k)
        match = words[i + k].text.contains(terms[qsizetype(k)], Qt::CaseInsensitive);
      if (!match) {
        ++i;
        continue;
      }
      hits.push_back({int(p), int(i), int(n)});
      i += n;
    }
  }
  return hits;
}

std::vector<QRectF> hit_boxes(const FindHit& hit, const FaxWords& pages) {
  std::vector<QRectF> boxes;
  if (hit.page < 0 || std::size_t(hit.page) >= pages.size() || !pages[std::size_t(hit.page)])
    return boxes;
  const std::vector<FoundWord>& words = pages[std::size_t(hit.page)]->words;
  for (int i = std::max(0, hit.first); i < hit.first + hit.count && std::size_t(i) < words.size();
       ++i)
    boxes.push_back(words[std::size_t(i)].box);
  return boxes;
}

}  // namespace orvane::app
