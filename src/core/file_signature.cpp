#include "core/file_signature.h"

#include <cstring>

#include "core/fax_format.h"

namespace orvane {

namespace {

struct Signature {
  std::string_view bytes;
  std::int32_t format;
};

// Each format's own magic: TIFF 6.0 section 2 for the byte order marks and
// 42; the containers' readers check the same bytes.
constexpr Signature kFaxSignatures[] = {
    {{"II*\0", 4}, kFormatTiff},
    {{"MM\0*", 4}, kFormatTiff},
    {{"\xB1\x68\xDE\x3A", 4}, kFormatDcx},
    {"APF10", kFormatApro},
    {"BIT  FAX", kFormatBitware},
    {{"QLIIFAX\0", 8}, kFormatQuickLink},
    {"QRN-FAX", kFormatQrnFax},
};

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

// The TIFF-based formats share the TIFF reader and so its header. At Work
// files are read by an outside converter and checked by nobody here.
std::int32_t signature_family(std::int32_t format) {
  if (format == kFormatAtWork) return format;
  return is_tiff_format(format) ? kFormatTiff : format;
}

}  // namespace

std::int32_t format_by_signature(std::span<const std::uint8_t> head) {
  for (const Signature& s : kFaxSignatures)
    if (starts_with(head, s.bytes)) return s.format;
  return -1;
}

bool is_signed_format(std::int32_t format) {
  const std::int32_t family = signature_family(format);
  for (const Signature& s : kFaxSignatures)
    if (s.format == family) return true;
  return false;
}

bool has_signature_of(std::int32_t format, std::span<const std::uint8_t> head) {
  const std::int32_t found = format_by_signature(head);
  return found >= 0 && found == signature_family(format);
}

std::string_view foreign_kind(std::span<const std::uint8_t> head) {
  for (const Foreign& f : kForeign)
    if (starts_with(head, f.bytes)) return f.kind;
  return is_bmp(head) ? "a BMP image" : std::string_view();
}

}  // namespace orvane
