#include "core/fax_metadata.h"

#include <sys/stat.h>

#include "formats/pdf_text_layer.h"

namespace orvane {

std::string text_from_tiff(const std::string& ascii) {
  bool sound = true;
  for (const char32_t c : utf8_characters(ascii)) sound = sound && c != 0xFFFD;
  if (sound) return ascii;
  std::string out;
  for (const char c : ascii) {
    const auto b = std::uint8_t(c);
    if (b < 0x80) {
      out += c;
    } else {
      out += char(0xC0 | (b >> 6));
      out += char(0x80 | (b & 0x3F));
    }
  }
  return out;
}

FaxMetadata fax_metadata(FaxFile& fax, const std::filesystem::path& source) {
  FaxMetadata m;
  m.title = source.filename().string();
  PageFacts facts;
  if (fax.page_count() > 0 && fax.page_facts(0, facts)) {
    m.description = text_from_tiff(facts.description);
    m.created = parse_tiff_date(facts.date_time);
  }
  struct stat st {};
  if (!m.created && !source.empty() && ::stat(source.c_str(), &st) == 0)
    m.created = local_document_date(st.st_mtime);
  return m;
}

}  // namespace orvane
