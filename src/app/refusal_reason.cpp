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

// The record's own words for its missing first page, in the shape the
// command line gives them.
std::string page_reason(const FaxFile& fax) {
  const std::optional<Refusal>& why = fax.page_refusal();
  if (!why || why->cause().empty()) return "no page could be read (not a fax, or damaged)";
  if (why->limit == limits::Limit::kWholeFile) return "is " + why->cause();
  if (why->limit == limits::Limit::kFile) return why->cause();
  return why->for_page(1);
}

}  // namespace

QString refusal_reason(const std::filesystem::path& path, std::int32_t format, const FaxFile& fax) {
  std::string reason;
  if (format == kFormatUnsupported) {
    reason = "a fax format this program does not read";
  } else if (format == kFormatNotFax) {
    const std::string kind = foreign_kind_of(path);
    reason = kind.empty() ? "not a fax file" : "is " + kind + ", not a fax file";
  } else if (!fax.page_valid()) {
    reason = page_reason(fax);
  }
  return QString::fromStdString(reason);
}

}  // namespace orvane::app
