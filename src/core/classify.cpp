#include "core/classify.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "base/binary_file.h"
#include "core/fax_format.h"
#include "core/file_signature.h"

namespace orvane {

namespace {

// ".g3f" is used both for TIFF files and for bare fax data; the first bytes
// tell them apart.
std::int32_t probe_g3f(const std::filesystem::path& path) {
  BinaryFile file;
  if (!file.open(path)) return kFormatRawFax;
  std::array<std::uint8_t, 18> head{};  // bytes past the end count as 0
  file.read_at(0, head);
  if (head[2] == 0x2A && head[3] == 0) return kFormatZetafax;
  if (std::memcmp(head.data() + 1, "PC Research, Inc", 16) == 0) return kFormatUnsupported;
  return kFormatRawFax;
}

struct NameRule {
  std::initializer_list<std::string_view> endings;  // lower case
  std::int32_t result;
};

// Tried in order; the first whose ending matches decides. The rules look at
// the end of the whole name, so a name without a dot that ends in such
// letters is classified the same way.
const NameRule kRules[] = {
    {{"tif", "tiff"}, kFormatTiff},
    {{"fmf"}, kFormatFaxWizard},
    {{"fxd", "fxm", "fxr", "fxs"}, kFormatWinFax},
    {{"awd"}, kFormatAtWork},
    {{"apf"}, kFormatApro},
    {{"bfx"}, kFormatBitware},
    {{"bmp"}, kFormatUnsupported},
    {{"dcx"}, kFormatDcx},
    {{"cal", "cals", "ras", "cg4", "img", "gp4", "mil", "oda", "ig4"}, kFormatUnsupported},
    {{"qfx"}, kFormatQuickLink},
    {{"g3f"}, kFormatRawFax},  // decided by probe_g3f
    {{"g3n"}, kFormatZetafax},
    {{"ds", ".ds", "ed"}, kFormatUnsupported},
    {{"qrn"}, kFormatQrnFax},
    {{"sys", "dll", "bat", "lnk", "txt", ".db", "zip", "rar"}, kFormatNotFax},
};

bool ends_with(std::string_view name, std::string_view ending) {
  return name.size() >= ending.size() && name.substr(name.size() - ending.size()) == ending;
}

}  // namespace

std::int32_t classify_by_name(const std::filesystem::path& path) {
  std::string name = path.string();
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  for (const NameRule& rule : kRules) {
    for (std::string_view ending : rule.endings) {
      if (!ends_with(name, ending)) continue;
      return ending == "g3f" ? probe_g3f(path) : rule.result;
    }
  }
  return kFormatRawFax;
}

std::int32_t classify(const std::filesystem::path& path) {
  const std::int32_t by_name = classify_by_name(path);
  // Only a name that leads to bare data or to a signed format is second-
  // guessed: -1, -2 and the unsigned formats (WinFax) keep their verdict.
  if (by_name == kFormatNotFax || by_name == kFormatUnsupported) return by_name;
  if (by_name != kFormatRawFax && !is_signed_format(by_name)) return by_name;
  std::array<std::uint8_t, kSignatureBytes> head{};
  BinaryFile file;
  if (!file.open(path)) return by_name;
  const std::span<const std::uint8_t> got(head.data(), file.read_at(0, head));
  if (by_name != kFormatRawFax && has_signature_of(by_name, got)) return by_name;
  // A TIFF mailed without its name ending, efax's NAME.001, a DCX named
  // .tif: the signature names the reader that can open the file.
  const std::int32_t by_signature = format_by_signature(got);
  if (by_signature >= 0) return by_signature;
  if (!foreign_kind(got).empty()) return kFormatNotFax;
  return by_name;
}

}  // namespace orvane
