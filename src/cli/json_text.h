#pragma once
// A JSON string literal of any bytes: page texts come from old files in
// unknown code pages, so every byte outside printable ASCII is escaped and
// the output is always valid JSON.
#include <string>
#include <string_view>

namespace orvane::cli {

std::string json_text(std::string_view s);

}  // namespace orvane::cli
