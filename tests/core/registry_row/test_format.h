#pragma once
// A format that exists only in this test build: "ORVTEST1", the width and
// height as little-endian u16, then the rows (1 = white, as the page holds
// them). Its row is appended to the registry by the build of this test.
#include <memory>
#include <span>

#include "base/format_reader.h"

namespace orvane::test_format {

inline constexpr std::int32_t kNumber = 40;

bool signature(std::span<const std::uint8_t> head);
std::unique_ptr<FormatReader> make_reader();

}  // namespace orvane::test_format

#define ORVANE_EXTRA_FORMAT_ROWS     \
  {orvane::test_format::kNumber,     \
   "Orvane test format",             \
   {"otf"},                          \
   orvane::test_format::signature,   \
   orvane::test_format::make_reader, \
   orvane::FormatFamily::kContainer},
