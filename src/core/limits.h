#pragma once
// Hard limits on what a file may make us allocate or hold. Every size that
// comes from a file field is checked against these before any work is done.
#include <cstddef>
#include <cstdint>

namespace orvane::limits {

// Largest page side in pixels (either direction).
inline constexpr std::int64_t kMaxPageSide = 65535;
// Largest decoded page in bytes (rows x row bytes).
inline constexpr std::int64_t kMaxPageBytes = 256LL * 1024 * 1024;
// Largest file we read into memory whole (raw streams, coded pages).
inline constexpr std::int64_t kMaxFileBytes = 1024LL * 1024 * 1024;
// Page tables of every reader hold at most this many positions.
inline constexpr std::size_t kMaxPages = 1024;

}  // namespace orvane::limits
