#include "app/find_word_cache.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <cmath>
#include <cstdio>

#include "base/atomic_output.h"
#include "base/limits.h"

namespace orvane::app {

namespace {

constexpr const char* kFormat = "orvane-words 1";
// A word file of a long fax is a few megabytes; a larger one is no file of
// ours.
constexpr qint64 kMaxCacheBytes = 64 << 20;
constexpr qsizetype kMaxWordLength = 256;

QString cache_file(const QString& folder, const QByteArray& digest) {
  return folder + u'/' + QString::fromLatin1(digest) + QStringLiteral(".json");
}

// A whole number of pixels in [0, limit]; nothing for anything else.
std::optional<double> coordinate(const QJsonValue& v, double limit) {
  if (!v.isDouble()) return std::nullopt;
  const double d = v.toDouble();
  if (!std::isfinite(d) || d < 0 || d > limit) return std::nullopt;
  return d;
}

// One page as kept, checked: its size on the page's limits, each word a
// text and a box inside the page.
std::optional<PageWords> page_of(const QJsonValue& value) {
  if (!value.isObject()) return std::nullopt;
  const QJsonObject o = value.toObject();
  const double side = double(limits::kMaxPageSide);
  const auto w = coordinate(o.value(QLatin1String("w")), side);
  const auto h = coordinate(o.value(QLatin1String("h")), side);
  if (!w || !h || !o.value(QLatin1String("words")).isArray()) return std::nullopt;
  PageWords page;
  page.width = int(*w);
  page.height = int(*h);
  for (const QJsonValue& entry : o.value(QLatin1String("words")).toArray()) {
    const QJsonArray a = entry.toArray();
    if (a.size() != 5 || !a[0].isString()) return std::nullopt;
    const QString text = a[0].toString();
    const auto l = coordinate(a[1], *w), t = coordinate(a[2], *h);
    const auto r = coordinate(a[3], *w), b = coordinate(a[4], *h);
    if (text.isEmpty() || text.size() > kMaxWordLength || !l || !t || !r || !b || *r <= *l ||
        *b <= *t)
      return std::nullopt;
    page.words.push_back({text, QRectF(QPointF(*l, *t), QPointF(*r, *b))});
  }
  return page;
}

QJsonValue value_of(const std::optional<PageWords>& page) {
  if (!page) return QJsonValue();
  QJsonArray words;
  for (const FoundWord& word : page->words) {
    const QRect box = word.box.toAlignedRect() & QRect(0, 0, page->width, page->height);
    // What the reading back would refuse is not kept: the page would be
    // read again on every search.
    if (box.isEmpty() || word.text.isEmpty() || word.text.size() > kMaxWordLength) continue;
    words.append(QJsonArray{word.text, box.left(), box.top(), box.right() + 1, box.bottom() + 1});
  }
  return QJsonObject{{QStringLiteral("w"), page->width},
                     {QStringLiteral("h"), page->height},
                     {QStringLiteral("words"), words}};
}

}  // namespace

QString word_cache_folder() {
  return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/words");
}

QByteArray file_digest(const QString& path, const std::function<bool()>& stop) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QCryptographicHash hash(QCryptographicHash::Sha256);
  QByteArray block(1 << 20, Qt::Uninitialized);
  for (;;) {
    if (stop && stop()) return {};
    const qint64 got = file.read(block.data(), block.size());
    if (got < 0) return {};
    if (got == 0) break;
    hash.addData(QByteArrayView(block.constData(), got));
  }
  return hash.result().toHex();
}

QString parameters_text(const DecodingParameters& p) {
  return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
      .arg(p.threshold)
      .arg(p.flag_number)
      .arg(p.bit_order)
      .arg(p.vres_override)
      .arg(int(p.nonstandard_widths))
      .arg(p.min_width)
      .arg(int(p.raw_file))
      .arg(int(p.split_at_page_ends));
}

std::optional<FaxWords> read_word_cache(const QString& folder, const WordCacheKey& key) {
  QFile file(cache_file(folder, key.digest));
  if (key.digest.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxCacheBytes)
    return std::nullopt;
  const QJsonObject o = QJsonDocument::fromJson(file.read(kMaxCacheBytes)).object();
  const QJsonArray kept = o.value(QLatin1String("pages")).toArray();
  if (o.value(QLatin1String("format")).toString() != QLatin1String(kFormat) ||
      o.value(QLatin1String("language")).toString() != key.language ||
      o.value(QLatin1String("parameters")).toString() != key.parameters ||
      kept.size() != key.page_count)
    return std::nullopt;
  FaxWords pages(std::size_t(key.page_count));
  for (qsizetype i = 0; i < kept.size(); ++i) {
    if (kept[i].isNull()) continue;
    std::optional<PageWords> page = page_of(kept[i]);
    if (!page) return std::nullopt;  // damaged: read again
    pages[std::size_t(i)] = std::move(page);
  }
  return pages;
}

bool write_word_cache(const QString& folder, const WordCacheKey& key, const FaxWords& pages) {
  if (key.digest.isEmpty() || !QDir().mkpath(folder)) return false;
  QJsonArray kept;
  for (const std::optional<PageWords>& page : pages) kept.append(value_of(page));
  const QJsonObject o{{QStringLiteral("format"), QLatin1String(kFormat)},
                      {QStringLiteral("language"), key.language},
                      {QStringLiteral("parameters"), key.parameters},
                      {QStringLiteral("pages"), kept}};
  const QByteArray bytes = QJsonDocument(o).toJson(QJsonDocument::Compact);
  AtomicOutput out(QFile::encodeName(cache_file(folder, key.digest)).toStdString());
  if (!out.ok()) return false;
  std::FILE* f = std::fopen(out.temp_path().c_str(), "wb");
  if (!f) return false;
  const bool written =
      std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), f) == std::size_t(bytes.size());
  if (std::fclose(f) != 0 || !written) return false;
  return out.commit();
}

}  // namespace orvane::app
