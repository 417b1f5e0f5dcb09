#pragma once
// Decides which reader opens a file: by the end of its name (and, for an
// ending several formats share, its first bytes), with the file's own
// signature overruling a name that points to bare data or to a format whose
// signature the file lacks. The rules come from the format registry.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

namespace orvane {

// A FaxFormat number, -1 (a fax format we do not open) or -2 (not a fax).
std::int32_t classify(const std::filesystem::path& path);

// The name rules alone: what the name says the file is.
std::int32_t classify_by_name(const std::filesystem::path& path);

// The format whose signature `head` begins with, or -1 when it begins with
// none.
std::int32_t format_by_signature(std::span<const std::uint8_t> head);
// True when `format` has a signature and `head` carries it (every
// TIFF-like format counts a TIFF header as its signature).
bool has_signature_of(std::int32_t format, std::span<const std::uint8_t> head);
// True for the formats that have a signature.
bool is_signed_format(std::int32_t format);

// "a PDF document", "a PNG image", ... for a file that is plainly something
// other than a fax; empty when `head` is no such file.
std::string_view foreign_kind(std::span<const std::uint8_t> head);

}  // namespace orvane
