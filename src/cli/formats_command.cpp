// orvane-cli formats: the format registry's rows, for people and for the
// build, which makes every list of formats shown to users from the JSON.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/json_text.h"
#include "cli/open_fax.h"
#include "core/format_registry.h"

namespace orvane::cli {

namespace {

template <class List, class Show>
std::string joined(const List& items, std::string_view separator, Show show) {
  std::string out;
  for (const auto& item : items) {
    if (!out.empty()) out += separator;
    out += show(item);
  }
  return out;
}

std::string hex(std::string_view bytes) {
  std::string out;
  char buf[3];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02x", c);
    out += buf;
  }
  return out;
}

// Magic as a person reads it: mostly text (TIFF's "II*\x00") as text with
// the other bytes as \xHH, mostly binary (DCX's) as \xHH throughout.
std::string readable(std::string_view bytes) {
  auto printable = [](unsigned char c) { return c >= 0x20 && c < 0x7F && c != '\\'; };
  const auto text = std::count_if(bytes.begin(), bytes.end(), printable);
  const bool mostly_text = std::size_t(text) * 2 > bytes.size();
  std::string out;
  char buf[5];
  for (unsigned char c : bytes) {
    if (mostly_text && printable(c)) {
      out += char(c);
    } else {
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

std::string json_row(const FormatRow& row) {
  auto as_string = [](std::string_view s) { return json_text(s); };
  auto as_hex = [](std::string_view m) { return json_text(hex(m)); };
  // The endings and signatures every other list shows: "endings" as the
  // table and the desktop's types give them, "signature" every byte string
  // the desktop matches (the hints last, and again on their own).
  std::string out = "{\"number\": " + std::to_string(row.number) +
                    ", \"name\": " + json_text(row.name) +
                    ", \"opens\": " + (row.make_reader ? "true" : "false") + ", \"endings\": [" +
                    joined(shown_endings(row), ", ", as_string) + "]" + ", \"classified_by\": [" +
                    joined(row.endings, ", ", as_string) + "]";
  std::vector<std::string_view> signatures(row.magic.begin(), row.magic.end());
  signatures.insert(signatures.end(), row.hint_magic.begin(), row.hint_magic.end());
  out += ", \"signature\": [" + joined(signatures, ", ", as_hex) + "]";
  out += ", \"hint_signature\": [" + joined(row.hint_magic, ", ", as_hex) + "]";
  out += ", \"mime_types\": [" +
         joined(row.file_types, ", ",
                [&](const FileType& t) {
                  return "{\"type\": " + json_text(t.mime_type) + ", \"endings\": [" +
                         joined(file_type_endings(row, t), ", ", as_string) + "]}";
                }) +
         "]}";
  return out;
}

void print_json() {
  std::cout << "{\"formats\": [\n"
            << joined(format_rows(), ",\n", [](const FormatRow& r) { return "  " + json_row(r); })
            << "\n]}\n";
}

std::string padded(std::string s, std::size_t width) {
  s.resize(std::max(s.size() + 1, width), ' ');
  return s;
}

void print_line(const std::string& number, const std::string& name, const std::string& endings,
                const std::string& signature, const std::string& type) {
  std::cout << padded(number, 7) << padded(name, 23) << padded(endings, 25) << padded(signature, 19)
            << type << '\n';
}

// One line per MIME type (a row without one gets a single line): number,
// name, the endings users know it by, signature, type.
void print_table() {
  print_line("NUMBER", "NAME", "ENDINGS", "SIGNATURE", "MIME TYPE");
  // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on "." + string.
  auto dotted = [](std::string_view e) {
    std::string out(1, '.');
    out += e;
    return out;
  };
  for (const FormatRow& row : format_rows()) {
    std::string magic = row.magic.size() > 0        ? joined(row.magic, " or ", readable)
                        : row.signature             ? std::string("(checked by its reader)")
                        : row.hint_magic.size() > 0 ? std::string()
                                                    : std::string("-");
    if (row.hint_magic.size() > 0) {
      if (!magic.empty()) magic += " or ";
      magic += joined(row.hint_magic, " or ", readable) + " (a hint)";
    }
    std::vector<std::pair<std::string, std::string>> lines;
    for (const FileType& t : row.file_types)
      lines.emplace_back(joined(file_type_endings(row, t), " ", dotted), std::string(t.mime_type));
    // Verdict rows match the ends of names, not only extensions ("ed" is
    // the end of "received").
    auto name_end = [](std::string_view e) {
      std::string out(1, '*');
      out += e;
      return out;
    };
    if (lines.empty()) lines.emplace_back(joined(row.endings, " ", name_end), "-");
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i == 0)
        print_line(std::to_string(row.number), std::string(row.name), lines[i].first, magic,
                   lines[i].second);
      else
        print_line("", "", lines[i].first, "", lines[i].second);
    }
  }
}

}  // namespace

int run_formats(bool json) {
  if (json) {
    print_json();
  } else {
    print_table();
  }
  return std::cout.good() ? kExitOk : kExitNoPage;
}

}  // namespace orvane::cli
