#include "core/page_export.h"

namespace orvane {

std::string left_out_message(const std::vector<std::uint32_t>& left_out) {
  if (left_out.empty()) return {};
  // Runs of neighbouring pages as "9-12", so that a file whose second half
  // is lost still gives one short line.
  std::vector<std::string> runs;
  for (std::size_t i = 0; i < left_out.size();) {
    std::size_t j = i;
    while (j + 1 < left_out.size() && left_out[j + 1] == left_out[j] + 1) ++j;
    const std::string first = std::to_string(std::uint64_t(left_out[i]) + 1);
    runs.push_back(j == i ? first : first + "-" + std::to_string(std::uint64_t(left_out[j]) + 1));
    i = j + 1;
  }
  std::string list;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    if (i > 0) list += i + 1 == runs.size() ? " and " : ", ";
    list += runs[i];
  }
  const bool one = left_out.size() == 1;
  return (one ? "page " : "pages ") + list +
         (one ? " could not be read and was left out" : " could not be read and were left out");
}

}  // namespace orvane
