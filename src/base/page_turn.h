#pragma once
// A page turned by quarter turns, as a page scanned sideways or upside down
// is put upright, or as the viewer turns the page on view.
#include "base/page_bitmap.h"

namespace orvane {

// `page` turned clockwise by `quarter_turns` quarter turns (any integer;
// taken modulo 4): width and height, and the horizontal and vertical
// resolutions, swap for an odd count, so that the page keeps its true
// aspect. Every other field is the page's. Bits past the width of each row
// are white. A page without pixels, or one the allocator cannot give, comes
// back with its turned fields and no pixels.
PageBitmap turned(const PageBitmap& page, int quarter_turns);

}  // namespace orvane
