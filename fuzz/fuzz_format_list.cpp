// Lists the formats fuzz_format reads, one a line, for scripts/fuzz and
// fuzz/make-seeds: slug, format number, the name ending its files get, the
// slug of the first row sharing its reader (whose dictionary and seeds a row
// without its own takes), and its family.
#include <cstdio>

#include "fuzz_formats.h"

int main() {
  using namespace orvane;
  for (const FormatRow* row : fuzz::fuzzed_formats()) {
    const FormatRow* reader_row = find_format(reader_slot(row->number));
    std::printf("%s %d %.*s %s %.*s\n", fuzz::format_slug(row->name).c_str(), int(row->number),
                int(row->endings.begin()->size()), row->endings.begin()->data(),
                fuzz::format_slug(reader_row ? reader_row->name : row->name).c_str(),
                int(fuzz::family_slug(row->family).size()), fuzz::family_slug(row->family).data());
  }
  return 0;
}
