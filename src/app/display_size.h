#pragma once
// The size a page is shown at: its size on paper, in hundredths of an inch,
// times the zoom factor, so that a 200 x 100 dpi fax keeps its true aspect.
#include "base/page_bitmap.h"

namespace orvane::app {

struct DisplaySize {
  int source_width = 100;   // page pixels across
  int source_height = 100;  // page rows
  int width = 100;          // hundredths of an inch times the zoom factor
  int height = 100;
};

// Works out the display size of `page` at `scaling`. Like the page's own
// resolution unit, this normalises the page to inches: pixel-unit pages get
// 200 x 100 dpi, centimetre pages their resolutions in dots per inch. The
// properties sheet and the resolution list then show those values.
DisplaySize display_size(PageBitmap& page, float scaling);

}  // namespace orvane::app
