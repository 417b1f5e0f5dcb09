#pragma once
// What every fuzz target shares: one private scratch folder per fuzzing
// process (so that targets running side by side never share files) and
// writing the input into it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "core/scratch_dir.h"

namespace orvane::fuzz {

// The process's scratch folder, removed when the process exits normally.
inline const ScratchDir& scratch() {
  static const ScratchDir dir;
  if (!dir.ok()) {
    std::fprintf(stderr, "fuzz: no scratch folder\n");
    std::abort();
  }
  return dir;
}

// Writes `size` bytes to `path`, replacing what was there.
inline void write_file(const std::filesystem::path& path, const std::uint8_t* data,
                       std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

// A broken invariant is a finding: report it as a crash.
#define FUZZ_CHECK(cond)                                                            \
  do {                                                                              \
    if (!(cond)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)

}  // namespace orvane::fuzz
