#pragma once
// Writes a page as an image file: binary PBM (1 = black) or one-bit PNG.
#include <filesystem>
#include <string>

#include "base/page_bitmap.h"

namespace orvane::cli {

// By the output's extension (".pbm" or ".png", any case). Written to a
// temporary file and renamed, so a failure leaves no partial image. Returns
// an empty string, or what went wrong.
std::string write_page_image(const PageBitmap& page, const std::filesystem::path& output);

bool is_image_name(const std::filesystem::path& output);

}  // namespace orvane::cli
