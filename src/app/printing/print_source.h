#pragma once
// What printing takes from the document and the view: the file, how it was
// decoded, and how it is shown.
#include <QString>

#include "core/fax_file.h"

namespace orvane::app {

struct PrintSource {
  QString path;                   // the fax on view
  DecodingParameters parameters;  // the display record's, raw file flag included
  WorkingPaths scratch;           // the display record's scratch files
  float scaling = 1.0f;           // the zoom factor on screen
  bool reversed = false;          // black and white swapped on screen
  int quarter_turns = 0;          // clockwise, as the pages are shown
};

}  // namespace orvane::app
