#include "app/file_filters.h"

#include <algorithm>
#include <iterator>

#include "core/format_registry.h"

namespace orvane::app {

namespace {

struct Entry {
  const char* label;
  std::int32_t format;
};

// One entry per format, in this order; a format that reads files and is
// missing here follows under its registry name. Bare fax data has no entry
// of its own: any name may hold it, which "Other fax files" covers.
constexpr Entry kEntries[] = {
    {"Apro fax", kFormatApro},
    {"Tiff fax", kFormatTiff},
    {"WinFax fax", kFormatWinFax},
    {"FaxWizard fax", kFormatFaxWizard},
    {"Bitware fax", kFormatBitware},
    {"Dcx fax", kFormatDcx},
    {"Quick Link II fax", kFormatQuickLink},
    {"Ms at work fax", kFormatAtWork},
    {"Zetafax", kFormatZetafax},
};

// "Known fax types" lists the endings of these formats in this order, then
// those of every other format.
constexpr std::int32_t kKnownOrder[] = {
    kFormatTiff,    kFormatFaxWizard, kFormatWinFax, kFormatDcx,     kFormatQuickLink,
    kFormatBitware, kFormatAtWork,    kFormatApro,   kFormatZetafax, kFormatRawFax};

std::vector<std::string> endings_of(const FormatRow& row) {
  std::vector<std::string> out;
  for (const FileType& type : row.file_types)
    for (std::string_view e : file_type_endings(row, type)) out.push_back("*." + std::string(e));
  return out;
}

std::string joined(const std::vector<std::string>& items, const char* separator) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : separator) + item;
  return out;
}

// The formats in the order `preferred` gives, then the others with names
// to list, in registry order.
template <class Number>
std::vector<const FormatRow*> in_order(const Number& preferred) {
  std::vector<const FormatRow*> rows;
  for (std::int32_t format : preferred)
    if (const FormatRow* row = find_format(format)) rows.push_back(row);
  for (const FormatRow& row : format_rows())
    if (row.file_types.size() > 0 && std::find(rows.begin(), rows.end(), &row) == rows.end())
      rows.push_back(&row);
  return rows;
}

std::vector<FileFilter> make_filters() {
  std::vector<std::string> known;
  for (const FormatRow* row : in_order(kKnownOrder)) {
    const std::vector<std::string> endings = endings_of(*row);
    known.insert(known.end(), endings.begin(), endings.end());
  }
  std::vector<FileFilter> filters{{"Known fax types", joined(known, ";")}};

  std::vector<std::int32_t> order;
  std::transform(std::begin(kEntries), std::end(kEntries), std::back_inserter(order),
                 [](const Entry& e) { return e.format; });
  for (const FormatRow* row : in_order(order)) {
    if (row->family == FormatFamily::kBareData) continue;
    const auto entry = std::find_if(std::begin(kEntries), std::end(kEntries),
                                    [&](const Entry& e) { return e.format == row->number; });
    const std::string label =
        entry != std::end(kEntries) ? entry->label : std::string(row->name) + " fax";
    const std::vector<std::string> endings = endings_of(*row);
    filters.push_back({label + "(" + joined(endings, ",") + ")", joined(endings, ";")});
  }
  filters.push_back({"Other fax files(*.*)", "*.*"});
  return filters;
}

}  // namespace

const std::vector<FileFilter>& open_file_filters() {
  static const std::vector<FileFilter> filters = make_filters();
  return filters;
}

QStringList open_name_filters() {
  QStringList filters;
  for (const FileFilter& f : open_file_filters()) {
    QString patterns = QString::fromStdString(f.patterns);
    // "*.*" means every file, also those without a dot in their name.
    patterns =
        patterns == QStringLiteral("*.*") ? QStringLiteral("*") : patterns.replace(u';', u' ');
    filters << QStringLiteral("%1 (%2)").arg(QString::fromStdString(f.description), patterns);
  }
  return filters;
}

}  // namespace orvane::app
