#pragma once
// The picture of a fax file's first page that file managers show: at the
// page's true aspect, no larger than SIZE on its longer side, grey where
// black and white pixels share a picture pixel.
#include <filesystem>
#include <string>

#include "core/grey_page.h"

namespace orvane::thumbnailer {

struct Thumbnail {
  GreyImage image;
  std::string error;  // set when there is no image: why, for one line
};

// `longest` at least 1. Reads only regular files (a FIFO or device would
// block or never end).
Thumbnail make_thumbnail(const std::filesystem::path& input, int longest);

}  // namespace orvane::thumbnailer
