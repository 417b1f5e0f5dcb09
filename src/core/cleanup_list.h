#pragma once
// The temporary files and folders this process has made and not yet
// removed, so that a program stopped by a signal can remove them before it
// ends (their owners' destructors never run then).
#include <filesystem>

namespace orvane::cleanup {

void add(const std::filesystem::path& path);
void forget(const std::filesystem::path& path);
// Removes every listed file or folder (folders with what they hold). Safe
// to call from any thread while other threads still work.
void remove_all_listed();

}  // namespace orvane::cleanup
