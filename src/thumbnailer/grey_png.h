#pragma once
// Writes a grey image as an 8-bit greyscale PNG that appears whole or not
// at all (a file manager may read the name at any moment).
#include <filesystem>
#include <string>

#include "core/grey_page.h"

namespace orvane::thumbnailer {

// Returns an empty string, or what went wrong.
std::string write_grey_png(const GreyImage& image, const std::filesystem::path& output);

}  // namespace orvane::thumbnailer
