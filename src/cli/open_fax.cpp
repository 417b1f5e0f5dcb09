#include "cli/open_fax.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "core/classify.h"
#include "core/fax_format.h"

namespace orvane::cli {

void report(const std::filesystem::path& file, const std::string& message) {
  std::cerr << "orvane-cli: " << file.string() << ": " << message << "\n";
}

bool readable(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    report(path, "is a folder, not a file");
    return false;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    report(path, std::strerror(errno));
    return false;
  }
  std::fclose(f);
  return true;
}

bool CommandFax::open(const std::filesystem::path& path) {
  if (!scratch.ok()) {
    report(path, "cannot create a scratch folder in the temporary folder");
    return false;
  }
  format = classify(path);
  opened = false;
  if (format == kFormatNotFax || format == kFormatUnsupported) return true;
  opened = fax.open(path, format) == 0;
  return true;
}

std::string page_failure(limits::Limit limit, int page) {
  const std::string which = "page " + std::to_string(page);
  const std::string text = limits::describe(limit);
  return text.empty() ? which + " does not decode" : which + " is " + text;
}

std::string no_page_reason(const FaxFile& fax, const std::string& otherwise) {
  switch (fax.page_limit()) {
    case limits::Limit::kNone: return otherwise;
    case limits::Limit::kWholeFile: return "is " + limits::describe(fax.page_limit());
    default: return "no page could be read: " + page_failure(fax.page_limit(), 1);
  }
}

}  // namespace orvane::cli
