#include "app/refusal_reason.h"

#include <algorithm>
#include <array>
#include <new>
#include <system_error>

#include "base/binary_file.h"
#include "core/classify.h"
#include "core/fax_file.h"
#include "core/format_registry.h"
#include "core/page_export.h"

namespace orvane::app {

namespace {

std::string foreign_kind_of(const std::filesystem::path& path) {
  std::array<std::uint8_t, kSignatureBytes> head{};
  BinaryFile file;
  std::size_t got = 0;
  if (file.open(path)) got = file.read_at(0, head);
  return std::string(foreign_kind(std::span<const std::uint8_t>(head.data(), got)));
}

// The record's own words for its missing page, in the shape the command
// line gives them.
std::string page_reason(const FaxFile& fax, int index) {
  const Refusal why = fax.page_refusal().value_or(Refusal());
  const std::string cause = why.cause();
  if (why.limit == limits::Limit::kWholeFile && !cause.empty()) return "is " + cause;
  if (why.limit == limits::Limit::kFile && !cause.empty()) return cause;
  // A file of one page (or none) that says no more: nothing of it reads.
  if (cause.empty() && fax.page_count() <= 1)
    return "no page could be read (not a fax, or damaged)";
  return why.for_page(std::uint32_t(index + 1));
}

}  // namespace

LoadedPage read_page_or_reason(FaxFile& record, int index) {
  try {
    return record.read_page(std::uint32_t(std::max(index, 0)));
  } catch (const std::exception& e) {
    LoadedPage failed;
    failed.refusal = Refusal(limits::Limit::kMemory, exception_reason(e));
    return failed;
  }
}

QString refusal_reason(const std::filesystem::path& path, std::int32_t format, const FaxFile& fax,
                       int index) {
  std::string reason;
  if (format == kFormatUnsupported) {
    reason = "a fax format this program does not read";
  } else if (format == kFormatNotFax) {
    const std::string kind = foreign_kind_of(path);
    reason = kind.empty() ? "not a fax file" : "is " + kind + ", not a fax file";
  } else if (!fax.page_valid()) {
    reason = page_reason(fax, index);
  }
  return QString::fromStdString(reason);
}

QString first_left_out_reason(const ExportSummary& summary) {
  if (summary.left_out.empty() || summary.first_refusal.cause().empty()) return {};
  QString why =
      QString::fromStdString(summary.first_refusal.for_page(summary.left_out.front() + 1));
  why[0] = why[0].toUpper();
  return why + u'.';
}

QString left_out_text(const ExportSummary& summary) {
  QString text;
  if (!summary.left_out.empty()) {
    text = QString::fromStdString(left_out_message(summary.left_out));
    text[0] = text[0].toUpper();
    text += u'.';
    if (const QString why = first_left_out_reason(summary); !why.isEmpty()) text += u'\n' + why;
  }
  // A page whose words could not be read is in the PDF, but cannot be
  // found by them: the user is told which, as the command line tells.
  for (const auto& [page, why] : summary.no_text_layer) {
    if (!text.isEmpty()) text += u'\n';
    text += QStringLiteral("Page %1 has no text layer: %2.")
                .arg(page + 1)
                .arg(QString::fromStdString(why));
  }
  return text;
}

std::string exception_reason(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "not enough memory";
  if (const auto* system = dynamic_cast<const std::system_error*>(&e))
    return system->code().message();
  return e.what();
}

}  // namespace orvane::app
