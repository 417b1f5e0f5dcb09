// format-lists: writes the lists of fax formats that users see (the MIME
// types, the desktop and thumbnailer entries' types, the completion's name
// endings, the manual pages' and the guide's tables) from the format
// registry at build time.
//   format-lists mime OUT.xml
//   format-lists fill TEMPLATE OUT
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "mime_xml.h"
#include "template_fill.h"

namespace {

bool write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (out) return true;
  std::cerr << "format-lists: " << path << ": cannot be written\n";
  return false;
}

int fill(const std::string& template_path, const std::string& out_path) {
  std::ifstream in(template_path, std::ios::binary);
  std::ostringstream text;
  if (in.is_open()) text << in.rdbuf();
  if (!in.is_open() || in.bad()) {
    std::cerr << "format-lists: " << template_path << ": cannot be read\n";
    return 1;
  }
  std::string filled, error;
  if (!orvane::lists::fill_template(text.str(), filled, error)) {
    std::cerr << "format-lists: " << template_path << ": " << error << "\n";
    return 1;
  }
  return write(out_path, filled) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "mime" && argc == 3) return write(argv[2], orvane::lists::mime_xml()) ? 0 : 1;
  if (command == "fill" && argc == 4) return fill(argv[2], argv[3]);
  std::cerr << "usage: format-lists mime OUT.xml | format-lists fill TEMPLATE OUT\n";
  return 2;
}
