#pragma once
// A one-bit page reduced to grey for small pictures of it (thumbnails): the
// size the page takes at its true aspect, and area averaging, where each
// grey pixel is the white share of the page area it covers. A reduction
// loses no row or column (a thin rule shows as grey instead of vanishing),
// and the work grows with the page and picture sizes, not their product.
#include <cstdint>
#include <vector>

#include "base/page_bitmap.h"

namespace orvane {

struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // rows top first, 0 black to 255 white
};

struct GreySize {
  int width = 0;
  int height = 0;
};

// The largest size within `longest` x `longest` that keeps the page's true
// aspect (from its resolutions; pages without a unit count as 200 x 100
// dpi, as the viewer shows them) and has no more pixels across or down than
// the page has at its finer resolution. Never below 1 x 1; 0 x 0 for a page
// without pixels or a `longest` below 1.
GreySize true_aspect_size(const PageFields& page, int longest);

// The page averaged down (or up) to `size`; an empty image for a page
// without pixels or an empty size. Padding bits past the width count for
// nothing.
GreyImage area_average(const PageBitmap& page, GreySize size);

// A rectangle of pixels of a picture: columns [x, x + width), rows
// [y, y + height).
struct GreyRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The part `part` of area_average(page, size), pixel for pixel the same,
// reading only the page rows under it: a viewer draws what is in sight of
// a page enlarged many times over without the whole picture. `part` is
// clipped to the picture; an empty image when nothing of it is left.
GreyImage area_average_part(const PageBitmap& page, GreySize size, GreyRect part);

}  // namespace orvane
