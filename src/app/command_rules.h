#pragma once
// When each command may be given: every enabling rule in one function.
#include "app/command_ids.h"

namespace orvane::app {

// The facts the rules look at, taken from the document and the window.
struct CommandState {
  int page_count = 0;
  int current_page = 0;
  float scaling = 1.0f;
  int page_width = 0;
  int page_height = 0;
  bool has_path = false;     // a file was opened into the document
  int folder_position = -1;  // in the folder's file list; -1 before any open
  int folder_list_size = 0;
};

// True when `id` may be given now. A command must also have a handler in
// the window to be enabled; that is the window's business.
bool command_enabled(CommandId id, const CommandState& s);

}  // namespace orvane::app
