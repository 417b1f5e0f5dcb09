#include "template_fill.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <vector>

#include "desktop_types.h"

namespace orvane::lists {

namespace {

bool has_types(const FormatRow& row) {
  return row.file_types.size() > 0;
}

template <class Keep>
std::string mime_types(Keep keep) {
  std::vector<std::string_view> seen;
  std::string out;
  for (const FormatRow& row : format_rows())
    for (const FileType& t : row.file_types)
      if (keep(t) && std::find(seen.begin(), seen.end(), t.mime_type) == seen.end()) {
        seen.push_back(t.mime_type);
        out += std::string(t.mime_type) + ";";
      }
  return out;
}

std::vector<std::string_view> row_endings(const FormatRow& row) {
  std::vector<std::string_view> out;
  for (const FileType& t : row.file_types)
    for (std::string_view e : file_type_endings(row, t)) out.push_back(e);
  return out;
}

std::string all_endings() {
  std::string out;
  for (const FormatRow& row : format_rows())
    for (std::string_view e : row_endings(row)) {
      // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict)
      // on a literal + std::string.
      if (!out.empty()) out += '|';
      out += e;
    }
  return out;
}

std::string dotted_endings(const FormatRow& row) {
  std::string out;
  for (std::string_view e : row_endings(row)) {
    out += out.empty() ? "." : ", .";
    out += e;
  }
  return out;
}

// Text for roff: hyphens as "\-" so that a type copied from the page works.
std::string roff(std::string_view text) {
  std::string out;
  for (char c : text) out += c == '-' ? std::string("\\-") : std::string(1, c);
  return out;
}

// A signature that an earlier row carries too (a TIFF header) names that
// earlier row's files, not this one's.
bool signature_names_row(const FormatRow& row) {
  if (row.magic.size() == 0) return row.signature != nullptr;
  for (const FormatRow& other : format_rows()) {
    if (&other == &row) return true;
    for (std::string_view a : other.magic)
      if (std::find(row.magic.begin(), row.magic.end(), a) != row.magic.end()) return false;
  }
  return true;
}

std::string man_formats() {
  std::string out;
  for (const FormatRow& row : format_rows()) {
    if (!has_types(row)) continue;
    out += ".TP\n.B " + roff(row.name) + "\n";
    std::string line;
    for (const FileType& t : row.file_types) {
      std::string names;
      for (std::string_view e : file_type_endings(row, t))
        names += (names.empty() ? "." : ", .") + std::string(e);
      line += (line.empty() ? "" : "; ") + names + " (" + std::string(t.mime_type) + ")";
    }
    if (row.family == FormatFamily::kBareData) line += "; also every name no other format claims";
    if (signature_names_row(row)) line += "; known by its signature whatever the name";
    out += "\\&" + roff(line) + ".\n";
  }
  return out;
}

struct Marker {
  std::string name;
  std::string argument;
};

// The marker starting at text[at] ('@'), or nothing; `end` is past its
// closing '@'.
bool read_marker(std::string_view text, std::size_t at, Marker& marker, std::size_t& end) {
  std::size_t i = at + 1;
  while (i < text.size() && (std::isupper(static_cast<unsigned char>(text[i])) || text[i] == '_'))
    ++i;
  if (i == at + 1) return false;
  marker.name = std::string(text.substr(at + 1, i - at - 1));
  marker.argument.clear();
  if (i < text.size() && text[i] == ' ') {
    const std::size_t from = ++i;
    while (i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '-'))
      ++i;
    marker.argument = std::string(text.substr(from, i - from));
  }
  if (i >= text.size() || text[i] != '@') return false;
  end = i + 1;
  return true;
}

class Filler {
 public:
  bool expand(const Marker& m, std::string& out, std::string& error) {
    if (m.name == "ENDINGS") return endings(m.argument, out, error);
    if (m.name == "FAX_MIME_TYPES") {
      out = mime_types([](const FileType&) { return true; });
    } else if (m.name == "THUMBNAIL_MIME_TYPES") {
      out = mime_types(
          [](const FileType& t) { return !desktop_type(t.mime_type).thumbnailed_elsewhere; });
    } else if (m.name == "FAX_ENDINGS") {
      out = all_endings();
    } else if (m.name == "MAN_FORMATS") {
      out = man_formats();
    } else {
      error = "unknown marker @" + m.name + "@";
      return false;
    }
    return true;
  }

  // Every format with file types named exactly once, once any is named.
  bool check_complete(std::string& error) const {
    if (named_.empty()) return true;
    for (const FormatRow& row : format_rows()) {
      if (!has_types(row)) continue;
      const auto it = named_.find(row.number);
      const int times = it == named_.end() ? 0 : it->second;
      if (times != 1) {
        error = "format " + std::to_string(row.number) + " (" + std::string(row.name) +
                ") is named " + std::to_string(times) + " times by @ENDINGS N@";
        return false;
      }
    }
    return true;
  }

 private:
  bool endings(const std::string& argument, std::string& out, std::string& error) {
    std::int32_t number = 0;
    const auto [end, ec] =
        std::from_chars(argument.data(), argument.data() + argument.size(), number);
    const FormatRow* row = find_format(number);
    if (ec != std::errc() || end != argument.data() + argument.size() || !row || !has_types(*row)) {
      error = "@ENDINGS " + argument + "@ names no format with name endings";
      return false;
    }
    ++named_[number];
    out = dotted_endings(*row);
    return true;
  }

  std::map<std::int32_t, int> named_;
};

}  // namespace

bool fill_template(std::string_view text, std::string& out, std::string& error) {
  Filler filler;
  out.clear();
  std::size_t line_start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    Marker marker;
    std::size_t end = 0;
    if (text[i] != '@' || !read_marker(text, i, marker, end)) {
      if (text[i] == '\n') line_start = out.size() + 1;
      out += text[i++];
      continue;
    }
    std::string expansion;
    if (!filler.expand(marker, expansion, error)) return false;
    if (marker.name == "MAN_FORMATS") {
      // A block: it replaces its whole line (a roff comment in the source).
      out.resize(std::min(line_start, out.size()));
      out += expansion;
      const std::size_t newline = text.find('\n', end);
      i = newline == std::string_view::npos ? text.size() : newline + 1;
      line_start = out.size();
      continue;
    }
    out += expansion;
    i = end;
  }
  return filler.check_complete(error);
}

}  // namespace orvane::lists
