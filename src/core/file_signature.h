#pragma once
// What a file's first bytes say it is: one of the fax formats that carry a
// signature, or a common kind of file that is no fax at all.
#include <cstdint>
#include <span>
#include <string_view>

namespace orvane {

// Bytes of a file's start that the checks below look at.
inline constexpr std::size_t kSignatureBytes = 16;

// The fax format whose signature `head` begins with (TIFF, DCX, Apro,
// Bitware, Quick Link II, QRN-FAX), or -1 when it begins with none.
std::int32_t format_by_signature(std::span<const std::uint8_t> head);

// True when `format` has a signature and `head` carries it (every
// TIFF-based format counts a TIFF header as its signature).
bool has_signature_of(std::int32_t format, std::span<const std::uint8_t> head);
// True for the formats format_by_signature can name.
bool is_signed_format(std::int32_t format);

// "a PDF document", "a PNG image", ... for a file that is plainly something
// other than a fax; empty when `head` is no such file.
std::string_view foreign_kind(std::span<const std::uint8_t> head);

}  // namespace orvane
