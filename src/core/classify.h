#pragma once
// Decides from a file's name (and, for ".g3f", its first bytes) which reader
// opens it.
#include <cstdint>
#include <filesystem>

namespace orvane {

// A FaxFormat number, -1 (a fax format we do not open) or -2 (not a fax).
std::int32_t classify(const std::filesystem::path& path);

}  // namespace orvane
