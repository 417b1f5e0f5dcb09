#include "core/classify.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string>

#include "base/binary_file.h"
#include "core/format_registry.h"

namespace orvane {

namespace {

struct Foreign {
  std::string_view bytes;
  std::string_view kind;
};

constexpr Foreign kForeign[] = {
    {"%PDF-", "a PDF document"},       {"\x89PNG\r\n\x1A\n", "a PNG image"},
    {"\xFF\xD8\xFF", "a JPEG image"},  {"GIF87a", "a GIF image"},
    {"GIF89a", "a GIF image"},         {{"PK\x03\x04", 4}, "a ZIP archive"},
    {"%!PS", "a PostScript document"},
};

bool starts_with(std::span<const std::uint8_t> head, std::string_view magic) {
  return head.size() >= magic.size() && std::memcmp(head.data(), magic.data(), magic.size()) == 0;
}

// "BM" alone is too common a pair of bytes in fax data: a bitmap file also
// has one of the known info-header sizes at offset 14.
bool is_bmp(std::span<const std::uint8_t> head) {
  if (!starts_with(head, "BM") || head.size() < 16) return false;
  const unsigned size = head[14] | unsigned(head[15]) << 8;
  return size == 12 || size == 40 || size == 56 || size == 108 || size == 124;
}

bool ends_with(std::string_view name, std::string_view ending) {
  return name.size() >= ending.size() && name.substr(name.size() - ending.size()) == ending;
}

}  // namespace

std::int32_t format_by_signature(std::span<const std::uint8_t> head) {
  for (const FormatRow& row : format_rows())
    if (matches_signature(row, head)) return row.number;
  return -1;
}

bool is_signed_format(std::int32_t format) {
  const FormatRow* row = find_format(format);
  return row && has_signature(*row);
}

bool has_signature_of(std::int32_t format, std::span<const std::uint8_t> head) {
  const FormatRow* row = find_format(format);
  return row && matches_signature(*row, head);
}

std::string_view foreign_kind(std::span<const std::uint8_t> head) {
  for (const Foreign& f : kForeign)
    if (starts_with(head, f.bytes)) return f.kind;
  return is_bmp(head) ? "a BMP image" : std::string_view();
}

std::int32_t classify_by_name(const std::filesystem::path& path) {
  std::string name = path.string();
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  for (const FormatRow& row : format_rows()) {
    for (std::string_view ending : row.endings) {
      if (!ends_with(name, ending)) continue;
      return row.name_probe ? row.name_probe(path) : row.number;
    }
  }
  return kFormatRawFax;
}

std::int32_t classify(const std::filesystem::path& path) {
  const std::int32_t by_name = classify_by_name(path);
  // Only a name that leads to bare data or to a signed format is second-
  // guessed: -1, -2 and the unsigned formats (WinFax) keep their verdict.
  if (by_name == kFormatNotFax || by_name == kFormatUnsupported) return by_name;
  if (!is_raw_format(by_name) && !is_signed_format(by_name)) return by_name;
  std::array<std::uint8_t, kSignatureBytes> head{};
  BinaryFile file;
  if (!file.open(path)) return by_name;
  const std::span<const std::uint8_t> got(head.data(), file.read_at(0, head));
  if (!is_raw_format(by_name) && has_signature_of(by_name, got)) return by_name;
  // A TIFF mailed without its name ending, efax's NAME.001, a DCX named
  // .tif: the signature names the reader that can open the file.
  const std::int32_t by_signature = format_by_signature(got);
  if (by_signature >= 0) return by_signature;
  if (!foreign_kind(got).empty()) return kFormatNotFax;
  return by_name;
}

}  // namespace orvane
