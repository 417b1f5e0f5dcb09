#include "base/cleanup_list.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace orvane::cleanup {

namespace {

std::mutex g_mutex;
bool g_stopping = false;

std::vector<std::filesystem::path>& listed() {
  static std::vector<std::filesystem::path> paths;
  return paths;
}

}  // namespace

void add(const std::filesystem::path& path) {
  std::lock_guard lock(g_mutex);
  listed().push_back(path);
}

void forget(const std::filesystem::path& path) {
  std::lock_guard lock(g_mutex);
  auto& paths = listed();
  paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
}

void remove_all_listed() {
  std::lock_guard lock(g_mutex);
  g_stopping = true;
  for (const auto& path : listed()) {
    // Another thread may be creating a file in a scratch folder at this
    // moment; a second pass removes what the first one raced with.
    for (int pass = 0; pass < 3; ++pass) {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
      if (!std::filesystem::exists(path, ec)) break;
    }
  }
  listed().clear();
}

bool unless_stopping(const std::function<bool()>& step) {
  std::lock_guard lock(g_mutex);
  if (g_stopping) return false;
  return step();
}

}  // namespace orvane::cleanup
