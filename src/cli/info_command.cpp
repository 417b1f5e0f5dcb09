#include <algorithm>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "base/coding_mode.h"
#include "cli/commands.h"
#include "cli/json_text.h"
#include "cli/open_fax.h"
#include "core/format_registry.h"

namespace orvane::cli {

namespace {

struct PageLine {
  int number;
  bool valid;
  PageBitmap fields;  // no pixels
  std::string text;
  Refusal refusal;        // what kept an invalid page from loading
  std::string reception;  // how the page arrived, when the file says
};

// The fields of a page as its file states them.
void stated_fields(const orvane::PageFacts& stated, PageBitmap& fields) {
  fields.width = std::int32_t(std::min<std::uint32_t>(stated.width, limits::kMaxPageSide));
  fields.height = std::int32_t(std::min<std::uint32_t>(stated.height, limits::kMaxPageSide));
  fields.row_bytes = row_bytes_for(fields.width);
  fields.xres = stated.xres;
  fields.yres = stated.yres;
  fields.unit = stated.unit;
  fields.coding = stated.coding;
  fields.bit_order = stated.bit_order;
}

// Whether what the file states of a page is all a line needs: its refusal,
// or a size a page may have and its coding. Other pages (no row count
// stored, a coding found by trial) are decoded to learn the rest.
bool enough_stated(const orvane::PageFacts& stated) {
  if (stated.refusal) return true;
  return stated.coding != kCodingUnknown &&
         checked_page_size(stated.width, stated.height, (std::int64_t(stated.width) + 7) / 8) > 0;
}

// One page in memory at a time: each page's pixels go as soon as its facts
// are taken. Unless `check`, a page whose file states enough of it is not
// decoded: it counts as valid as long as its fields do not refuse it.
std::vector<PageLine> collect_pages(FaxFile& fax, bool check) {
  std::vector<PageLine> pages;
  for (std::uint32_t i = 0; i < fax.page_count(); ++i) {
    orvane::PageFacts stated;
    const bool has_facts = fax.page_facts(i, stated);
    std::string reception = has_facts ? reception_words(stated.reception) : "";
    if (!check && has_facts && enough_stated(stated)) {
      PageLine line{
          int(i) + 1,          !stated.refusal, {}, {}, stated.refusal.value_or(Refusal()),
          std::move(reception)};
      stated_fields(stated, line.fields);
      if (line.valid) line.text = fax.stated_text(i);
      pages.push_back(std::move(line));
      continue;
    }
    LoadedPage loaded = fax.read_page(i);
    loaded.page.release_pixels();
    // A page that did not load has no size of its own; what its file
    // states of it is still worth telling.
    if (!loaded.valid() && has_facts) stated_fields(stated, loaded.page);
    pages.push_back({int(i) + 1, loaded.valid(), std::move(loaded.page), std::move(loaded.text),
                     loaded.refusal.value_or(Refusal()), std::move(reception)});
  }
  return pages;
}

void print_json(std::int32_t format, bool checked, const std::vector<PageLine>& pages) {
  std::ostringstream o;
  o << "{\"format\": " << format << ", \"format_name\": " << json_text(format_name(format))
    << ", \"pages\": " << pages.size() << ", \"checked\": " << (checked ? "true" : "false")
    << ", \"page_list\": [";
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const PageLine& p = pages[i];
    const PageBitmap& b = p.fields;
    o << (i ? ", " : "") << "{\"page\": " << p.number
      << ", \"valid\": " << (p.valid ? "true" : "false") << ", \"width\": " << b.width
      << ", \"height\": " << b.height << ", \"row_bytes\": " << b.row_bytes
      << ", \"coding\": " << int(b.coding)
      << ", \"coding_name\": " << json_text(coding_name(b.coding))
      << ", \"bit_order\": " << int(b.bit_order) << ", \"xres\": " << b.xres
      << ", \"yres\": " << b.yres << ", \"unit\": " << int(b.unit)
      << ", \"text\": " << json_text(p.text);
    if (!p.reception.empty()) o << ", \"reception\": " << json_text(p.reception);
    // What a user would be told of a page that did not load.
    if (!p.valid) o << ", \"reason\": " << json_text(p.refusal.for_page(std::uint32_t(p.number)));
    o << "}";
  }
  o << "]}\n";
  std::cout << o.str();
}

const char* unit_name(int unit) {
  switch (unit) {
    case 1: return "pixel";
    case 2: return "dpi";
    case 3: return "dpcm";
    default: return "?";
  }
}

void print_resolution(const PageBitmap& b) {
  if (b.xres == 0 && b.yres == 0) {
    std::cout << "resolution not stated";
    return;
  }
  std::cout << b.xres << " x " << b.yres << " " << unit_name(b.unit);
}

void print_table(const std::filesystem::path& file, std::int32_t format,
                 const std::vector<PageLine>& pages) {
  std::cout << printable(file.string()) << ": " << format_name(format);
  if (format < 0) {
    std::cout << "\n";
    return;
  }
  std::cout << ", " << pages.size() << (pages.size() == 1 ? " page" : " pages") << "\n";
  for (const PageLine& p : pages) {
    const PageBitmap& b = p.fields;
    if (!p.valid) {
      std::cout << "  " << p.refusal.for_page(std::uint32_t(p.number)) << "\n";
      continue;
    }
    std::cout << "  page " << p.number << ": " << b.width << " x " << b.height << ", "
              << coding_name(b.coding) << ", " << bit_order_name(b.bit_order) << ", ";
    print_resolution(b);
    if (!p.text.empty()) std::cout << ", \"" << printable(p.text) << "\"";
    if (!p.reception.empty()) std::cout << ", " << p.reception;
    std::cout << "\n";
  }
}

}  // namespace

int run_info(const std::filesystem::path& file, bool json, bool check,
             const DecodingOptions& options) {
  if (const int rc = checked_input(file)) return rc;
  CommandFax cf(options.parameters());
  // Every page's facts are taken below, the first page's too: opening does
  // not decode it first.
  if (!cf.open(file, FaxFile::FirstPage::kSkip)) return kExitUsage;
  const std::int32_t format = cf.format;
  std::vector<PageLine> pages;
  if (cf.opened) pages = collect_pages(cf.fax, check);
  if (json) {
    print_json(format, check, pages);
  } else {
    print_table(file, format, pages);
  }
  if (const std::string note = cut_table_note(cf.fax, format); !note.empty()) report(file, note);
  if (const std::string note = doubtful_decoding_note(cf.fax); !note.empty()) report(file, note);
  for (const PageLine& p : pages)
    if (p.valid) return kExitOk;
  if (format < 0) {
    report(file, not_read_reason(file, format));
    return kExitNoPage;
  }
  std::string reason = no_page_message(cf.fax, format);
  for (const PageLine& p : pages) {
    if (p.valid || p.refusal.cause().empty()) continue;
    reason = "no page could be read: " + p.refusal.for_page(std::uint32_t(p.number));
    break;
  }
  report(file, reason);
  return kExitNoPage;
}

}  // namespace orvane::cli
