#pragma once
// Why a file shows no page, in the core's words, for the line under
// "That's NOT a FAX file!".
#include <QString>
#include <cstdint>
#include <filesystem>

namespace orvane {
class FaxFile;
}

namespace orvane::app {

// Empty when `fax` (opened from `path` as `format`) has a valid page;
// else what kept it from showing one: "is a PDF document, not a fax file",
// "a fax format this program does not read", "page 1 does not decode:
// Compression 5 (LZW) is not a fax coding" and the like.
QString refusal_reason(const std::filesystem::path& path, std::int32_t format, const FaxFile& fax);

}  // namespace orvane::app
