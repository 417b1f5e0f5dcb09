#include "app/printing/print_handlers.h"

#include "app/main_frame.h"
#include "app/orvane_doc.h"
#include "app/orvane_view.h"
#include "app/printing/print_commands.h"

namespace orvane::app {

PrintSource print_source_of(const COrvaneDoc& doc, bool reversed) {
  PrintSource source;
  source.path = doc.path();
  source.parameters = doc.record().parameters();
  source.scratch = doc.record().working_paths();
  source.scaling = doc.scaling();
  source.reversed = reversed;
  source.quarter_turns = doc.quarterTurns();
  return source;
}

void install_print_handlers(CMainFrame& frame, COrvaneDoc& doc, CPrintCommands& commands) {
  const auto source = [&frame, &doc] { return print_source_of(doc, frame.view()->reversed()); };
  frame.setHandler(kCmdFilePrint,
                   [&frame, &commands, source] { commands.print(&frame, source()); });
  frame.setHandler(kCmdFilePrintPreview,
                   [&frame, &commands, source] { commands.preview(&frame, source()); });
  frame.setHandler(kCmdFilePrintSetup, [&frame, &commands] { commands.setup(&frame); });
}

}  // namespace orvane::app
