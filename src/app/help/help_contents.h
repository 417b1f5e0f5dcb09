#pragma once
// Help Contents: the HTML user guide shipped with the program.
#include <QString>

namespace orvane::app {

// The guide's index page for a program in `program_dir`: beside the program
// (a build tree) or in the installed data folder. Empty when neither exists.
QString help_file(const QString& program_dir);

// Shows the guide in the desktop's browser; without a guide, nothing happens.
void open_help_contents();

}  // namespace orvane::app
