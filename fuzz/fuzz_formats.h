#pragma once
// The formats the format target reads files as, taken from the format
// registry: every row whose files a reader of ours opens. A row is named by
// its slug, the row's name in lower case with a dash for every run of other
// characters ("Quick Link II" is quick-link-ii), which names its run, its
// seeds and its dictionary in fuzz/ and scripts/fuzz.
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "core/format_registry.h"

namespace orvane::fuzz {

inline std::string format_slug(std::string_view name) {
  std::string slug;
  for (const char c : name) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      slug += char(std::tolower(static_cast<unsigned char>(c)));
    } else if (!slug.empty() && slug.back() != '-') {
      slug += '-';
    }
  }
  while (!slug.empty() && slug.back() == '-') slug.pop_back();
  return slug;
}

// At Work files are read by an outside converter, not by us: fuzzing them
// would only time that program's absence.
inline std::vector<const FormatRow*> fuzzed_formats() {
  std::vector<const FormatRow*> rows;
  for (const FormatRow& row : format_rows())
    if (row.make_reader && row.number != kFormatAtWork && row.endings.size() > 0)
      rows.push_back(&row);
  return rows;
}

// The fuzzed row named by `key` (its slug or its number), or null.
inline const FormatRow* find_fuzzed_format(std::string_view key) {
  for (const FormatRow* row : fuzzed_formats())
    if (format_slug(row->name) == key || std::to_string(row->number) == key) return row;
  return nullptr;
}

inline std::string_view family_slug(FormatFamily family) {
  switch (family) {
    case FormatFamily::kTiffLike: return "tiff-like";
    case FormatFamily::kBareData: return "bare-data";
    case FormatFamily::kContainer: return "container";
    case FormatFamily::kNone: break;
  }
  return "none";
}

}  // namespace orvane::fuzz
