#pragma once
// Writes a page as an image file: binary PBM (1 = black) or one-bit PNG.
#include <filesystem>
#include <optional>
#include <string>

#include "base/page_bitmap.h"

namespace orvane::cli {

enum class ImageKind { kPbm, kPng };

// The kind an output name asks for by its extension (".pbm" or ".png", any
// case); nothing for another name.
std::optional<ImageKind> image_kind(const std::filesystem::path& output);

// Writes `page` to `output` ("-" for standard output) through AtomicOutput,
// so a failure leaves no partial image. Returns an empty string, or what
// went wrong.
std::string write_page_image(const PageBitmap& page, const std::filesystem::path& output,
                             ImageKind kind);

}  // namespace orvane::cli
