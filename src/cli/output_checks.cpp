#include "cli/output_checks.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

namespace orvane::cli {

bool same_file(const std::filesystem::path& a, const std::filesystem::path& b) {
  struct stat sa {
  }, sb{};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string output_problem(const std::filesystem::path& output,
                           const std::vector<std::filesystem::path>& inputs) {
  std::error_code ec;
  if (std::filesystem::is_directory(output, ec)) return "is a folder, not a file name to write to";
  for (const auto& input : inputs)
    if (same_file(output, input))
      return "is the input file " + input.string() + "; it would be overwritten (nothing written)";
  return {};
}

bool is_stream_output(const std::filesystem::path& output) {
  struct stat st {};
  return ::stat(output.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode));
}

std::string lower_extension(const std::filesystem::path& path) {
  std::string e = path.extension().string();
  std::transform(e.begin(), e.end(), e.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return e;
}

}  // namespace orvane::cli
