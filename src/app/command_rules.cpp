#include "app/command_rules.h"

namespace orvane::app {

bool command_enabled(CommandId id, const CommandState& s) {
  const bool has_pages = s.page_count > 0;
  const bool has_pixels = s.page_width != 0 && s.page_height != 0;
  switch (id) {
    case kCmdPageFirst:
    case kCmdPagePrevious: return has_pages && s.current_page > 0;
    case kCmdPageNext:
    case kCmdPageLast: return has_pages && s.current_page < s.page_count - 1;
    case kCmdPageNumber: return s.page_count > 1;
    case kCmdFindText:
    case kCmdFindNext:
    case kCmdFindPrevious: return has_pages;
    case kCmdZoomIn: return s.scaling < 4.0f && has_pixels;
    case kCmdZoomOut: return s.scaling > 0.25f && has_pixels;
    case kCmdFitWidth:
    case kCmdFitPage: return has_pixels;
    case kCmdZoomActual: return has_pixels && s.scaling != 1.0f;
    case kCmdRotateLeft:
    case kCmdRotateRight: return has_pixels;
    case kCmdFileClose: return s.has_path;
    case kCmdFlip:
    case kCmdMirror:
    case kCmdResolutions:
    case kCmdPageProperties:
    case kCmdReversed: return has_pages;
    // The export reads every page afresh and names those it leaves out, so
    // a page on view that did not load does not stop it.
    case kCmdFileExportPdf:
    // Save As converts the fax file itself: a file that is not a fax (no
    // pages) has nothing to convert.
    case kCmdFileSaveAs: return s.has_path && has_pages;
    case kCmdBitOrder:
    case kCmdAdvanced: return s.has_path;
    case kCmdPreviousImage: return s.folder_position > 0;
    case kCmdNextImage: return s.folder_position < s.folder_list_size - 1;
    case kCmdSlideShow: return s.folder_position >= 0;
    case kCmdViewFolderToolbar: return false;
    default: return true;
  }
}

}  // namespace orvane::app
