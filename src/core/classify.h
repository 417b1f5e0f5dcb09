#pragma once
// Decides which reader opens a file: by the end of its name (and, for
// ".g3f", its first bytes), with the file's own signature overruling a name
// that points to bare data or to a format whose signature the file lacks.
#include <cstdint>
#include <filesystem>

namespace orvane {

// A FaxFormat number, -1 (a fax format we do not open) or -2 (not a fax).
std::int32_t classify(const std::filesystem::path& path);

// The name rules alone, in their order: what the name says the file is.
std::int32_t classify_by_name(const std::filesystem::path& path);

}  // namespace orvane
