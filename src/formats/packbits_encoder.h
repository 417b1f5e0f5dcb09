#pragma once
// TIFF PackBits encoding of a bitmap, row by row (a row never continues a
// literal or run of the row before it).
#include <cstddef>
#include <cstdint>
#include <span>

namespace orvane {

// Encodes `bitmap` in rows of `row_bytes` (the last piece may be shorter)
// into `out`. Returns the bytes written, or -1 when a row does not fit.
std::int64_t packbits_encode(std::span<const std::uint8_t> bitmap, std::size_t row_bytes,
                             std::span<std::uint8_t> out);

}  // namespace orvane
