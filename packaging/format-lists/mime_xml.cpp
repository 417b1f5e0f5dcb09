#include "mime_xml.h"

#include <cstdio>

#include "desktop_types.h"

namespace orvane::lists {

namespace {

// A magic string as shared-mime-info reads it: C escapes inside an XML
// attribute.
std::string magic_value(std::string_view bytes) {
  std::string out;
  char buf[5];
  for (unsigned char c : bytes) {
    const bool plain = c >= 0x20 && c < 0x7F && c != '\\' && c != '"' && c != '&' && c != '<' &&
                       c != '>' && c != '\'';
    if (plain) {
      out += char(c);
    } else {
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    }
  }
  return out;
}

std::string magic_block(const std::initializer_list<std::string_view>& values, int priority) {
  std::string out = "    <magic priority=\"" + std::to_string(priority) + "\">\n";
  for (std::string_view v : values)
    out += "      <match type=\"string\" value=\"" + magic_value(v) + "\" offset=\"0\"/>\n";
  return out + "    </magic>\n";
}

// A signature that an earlier row carries too names that row's files (a
// TIFF header is TIFF's, whatever the TIFF-like format): only the first
// row's type gets it as magic.
bool owns_magic(const FormatRow& row) {
  for (const FormatRow& other : format_rows()) {
    if (&other == &row) return true;
    for (std::string_view a : other.magic)
      for (std::string_view b : row.magic)
        if (a == b) return false;
  }
  return true;
}

std::string type_entry(const FormatRow& row, const FileType& file_type) {
  const DesktopType type = desktop_type(file_type.mime_type);
  std::string out = "  <mime-type type=\"" + std::string(file_type.mime_type) + "\">\n";
  out += "    <comment>" + type_comment(row, type) + "</comment>\n";
  if (!type.acronym.empty()) {
    out += "    <acronym>" + std::string(type.acronym) + "</acronym>\n";
    out += "    <expanded-acronym>" + std::string(type.expanded_acronym) + "</expanded-acronym>\n";
  }
  if (!type.sub_class_of.empty())
    out += "    <sub-class-of type=\"" + std::string(type.sub_class_of) + "\"/>\n";
  out += "    <generic-icon name=\"image-x-generic\"/>\n";
  if (row.magic.size() > 0 && owns_magic(row)) out += magic_block(row.magic, 50);
  // Bytes that only hint at the format weigh below the usual magic.
  if (row.hint_magic.size() > 0) out += magic_block(row.hint_magic, 30);
  for (std::string_view ending : file_type_endings(row, file_type)) {
    out += "    <glob pattern=\"*." + std::string(ending) + "\"";
    if (contested_ending(ending)) out += " weight=\"40\"";
    out += "/>\n";
  }
  return out + "  </mime-type>\n";
}

}  // namespace

std::string mime_xml() {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!-- Made from the format registry at build time. -->\n"
      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
  for (const FormatRow& row : format_rows())
    for (const FileType& file_type : row.file_types)
      if (!desktop_type(file_type.mime_type).system_type) out += type_entry(row, file_type);
  return out + "</mime-info>\n";
}

}  // namespace orvane::lists
