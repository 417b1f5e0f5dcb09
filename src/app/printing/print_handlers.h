#pragma once
// Print, Print Preview and Print Setup as commands of the main window.
namespace orvane::app {

class CMainFrame;
class COrvaneDoc;
class CPrintCommands;
struct PrintSource;

// What printing takes from the fax on view and the view's reversed display.
PrintSource print_source_of(const COrvaneDoc& doc, bool reversed);

void install_print_handlers(CMainFrame& frame, COrvaneDoc& doc, CPrintCommands& commands);

}  // namespace orvane::app
