#pragma once
// Every command of the main window in one table: where it stands, its text
// with mnemonic, shortcut, status-bar prompt, tooltip and toolbar image.
#include <span>

#include "app/command_ids.h"

namespace orvane::app {

struct CommandEntry {
  CommandId id;
  const char* text;      // menu text with mnemonic and "\t" shortcut; "" when on no menu
  const char* prompt;    // shown in the first status pane
  const char* tooltip;   // "" when on no toolbar
  const char* keys;      // shortcuts, "; " between several; "" for none
  const char* icon;      // freedesktop icon name; "" for none
  const char* fallback;  // bundled image when the theme has no such icon
  bool checkable;
};

struct MenuSpec {
  const char* title;
  std::span<const CommandId> items;  // kCmdNone: a separator
};

std::span<const CommandEntry> command_table();
// The row of `id`; nullptr for an id with no row.
const CommandEntry* find_command(CommandId id);
// The menus, left to right, with their items top to bottom.
std::span<const MenuSpec> menu_layout();
// The main toolbar, left to right (kCmdNone: a gap).
std::span<const CommandId> toolbar_layout();

// The indicator texts of the four fax panes of the status bar and the
// pixels added to each text's width, in order.
struct PaneSpec {
  const char* indicator;
  int extra_width;
};
std::span<const PaneSpec> fax_panes();

// The vertical resolutions the toolbar's list offers (index x 100 + 100 dpi).
std::span<const char* const> vertical_resolution_items();

}  // namespace orvane::app
