#include <cstdio>
#include <iostream>
#include <sstream>

#include "base/coding_mode.h"
#include "cli/commands.h"
#include "cli/open_fax.h"
#include "core/format_registry.h"

namespace orvane::cli {

namespace {

std::string json_string(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          // Page texts come from old files in unknown code pages: escape
          // every byte outside ASCII so the output is always valid JSON.
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += char(c);
        }
    }
  }
  return out + "\"";
}

struct PageFacts {
  int number;
  bool valid;
  PageBitmap fields;  // no pixels
  std::string text;
  limits::Limit limit;  // what kept an invalid page from loading
  std::string reason;   // and why, in the reader's words
};

// One page in memory at a time: each page's pixels go as soon as its facts
// are taken.
std::vector<PageFacts> collect_pages(FaxFile& fax) {
  std::vector<PageFacts> pages;
  for (std::uint32_t i = 0; i < fax.page_count(); ++i) {
    LoadedPage loaded = fax.read_page(i);
    loaded.page.release_pixels();
    pages.push_back({int(i) + 1, loaded.valid(), std::move(loaded.page), std::move(loaded.text),
                     loaded.limit, std::move(loaded.reason)});
  }
  return pages;
}

void print_json(std::int32_t format, const std::vector<PageFacts>& pages) {
  std::ostringstream o;
  o << "{\"format\": " << format
    << ", \"format_name\": " << json_string(std::string(format_name(format)))
    << ", \"pages\": " << pages.size() << ", \"page_list\": [";
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const PageFacts& p = pages[i];
    const PageBitmap& b = p.fields;
    o << (i ? ", " : "") << "{\"page\": " << p.number
      << ", \"valid\": " << (p.valid ? "true" : "false") << ", \"width\": " << b.width
      << ", \"height\": " << b.height << ", \"row_bytes\": " << b.row_bytes
      << ", \"coding\": " << int(b.coding)
      << ", \"coding_name\": " << json_string(std::string(coding_name(b.coding)))
      << ", \"bit_order\": " << int(b.bit_order) << ", \"xres\": " << b.xres
      << ", \"yres\": " << b.yres << ", \"unit\": " << int(b.unit)
      << ", \"text\": " << json_string(p.text) << "}";
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
                 const std::vector<PageFacts>& pages) {
  std::cout << printable(file.string()) << ": " << format_name(format);
  if (format < 0) {
    std::cout << "\n";
    return;
  }
  std::cout << ", " << pages.size() << (pages.size() == 1 ? " page" : " pages") << "\n";
  for (const PageFacts& p : pages) {
    const PageBitmap& b = p.fields;
    if (!p.valid) {
      std::cout << "  " << page_failure(p.limit, p.reason, p.number) << "\n";
      continue;
    }
    std::cout << "  page " << p.number << ": " << b.width << " x " << b.height << ", "
              << coding_name(b.coding) << ", " << bit_order_name(b.bit_order) << ", ";
    print_resolution(b);
    if (!p.text.empty()) std::cout << ", \"" << printable(p.text) << "\"";
    std::cout << "\n";
  }
}

}  // namespace

int run_info(const std::filesystem::path& file, bool json, const DecodingOptions& options) {
  if (const int rc = checked_input(file)) return rc;
  CommandFax cf(options.parameters());
  if (!cf.open(file)) return kExitUsage;
  const std::int32_t format = cf.format;
  std::vector<PageFacts> pages;
  // The page opening loaded is not needed: its facts come again with the
  // others, one page in memory at a time.
  cf.fax.page().release_pixels();
  if (cf.opened) pages = collect_pages(cf.fax);
  if (json) {
    print_json(format, pages);
  } else {
    print_table(file, format, pages);
  }
  if (const std::string note = cut_table_note(cf.fax, format); !note.empty()) report(file, note);
  if (const std::string note = doubtful_decoding_note(cf.fax); !note.empty()) report(file, note);
  for (const PageFacts& p : pages)
    if (p.valid) return kExitOk;
  if (format < 0) {
    report(file, not_read_reason(file, format));
    return kExitNoPage;
  }
  std::string reason = no_page_message(cf.fax, format);
  for (const PageFacts& p : pages) {
    if (p.limit == limits::Limit::kNone) continue;
    reason = "no page could be read: " + page_failure(p.limit, p.reason, p.number);
    break;
  }
  report(file, reason);
  return kExitNoPage;
}

}  // namespace orvane::cli
