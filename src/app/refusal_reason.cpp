#include "app/refusal_reason.h"

#include <array>

#include "base/binary_file.h"
#include "base/limits.h"
#include "core/classify.h"
#include "core/fax_file.h"
#include "core/format_registry.h"

namespace orvane::app {

namespace {

std::string foreign_kind_of(const std::filesystem::path& path) {
  std::array<std::uint8_t, kSignatureBytes> head{};
  BinaryFile file;
  std::size_t got = 0;
  if (file.open(path)) got = file.read_at(0, head);
  return std::string(foreign_kind(std::span<const std::uint8_t>(head.data(), got)));
}

std::string page_reason(const FaxFile& fax) {
  const limits::Limit limit = fax.page_limit();
  if (limit == limits::Limit::kNone) return "no page could be read (not a fax, or damaged)";
  const std::string text = limits::describe(limit, fax.page_limit_detail());
  if (limit == limits::Limit::kWholeFile) return "is " + text;
  if (limits::is_size_limit(limit)) return "page 1 is " + text;
  return "page 1 does not decode: " + text;
}

}  // namespace

QString refusal_reason(const std::filesystem::path& path, std::int32_t format, const FaxFile& fax) {
  std::string reason;
  if (format == kFormatUnsupported) {
    reason = "a fax format this program does not read";
  } else if (format == kFormatNotFax) {
    const std::string kind = foreign_kind_of(path);
    reason = kind.empty() ? "not a fax file" : "is " + kind + ", not a fax file";
  } else if (fax.page().width < 1) {
    reason = page_reason(fax);
  }
  return QString::fromStdString(reason);
}

}  // namespace orvane::app
