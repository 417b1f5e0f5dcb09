#pragma once
// The temporary files and folders this process has made and not yet
// removed, so that a program stopped by a signal can remove them before it
// ends (their owners' destructors never run then).
#include <filesystem>
#include <functional>

namespace orvane::cleanup {

void add(const std::filesystem::path& path);
void forget(const std::filesystem::path& path);
// Removes every listed file or folder (folders with what they hold), and
// from then on refuses every step given to unless_stopping(). Safe to call
// from any thread while other threads still work.
void remove_all_listed();
// Runs `step` (putting an output under its name) unless the process is
// being stopped; false when it was not run. A step never runs while the
// listed files are being removed, so an interrupted program cannot leave a
// file it has just named.
bool unless_stopping(const std::function<bool()>& step);

}  // namespace orvane::cleanup
