#pragma once
// Help Contents: the HTML user guide shipped with the program, and the other
// data files (the sample faxes) found the same way.
#include <QString>

class QWidget;

namespace orvane::app {

// The data file or folder `relative` ("help/index.html", "samples") for a
// program in `program_dir`: beside the program (a build tree) or in the
// installed data folder (PREFIX/share/orvane for PREFIX/bin). Empty when
// neither exists.
QString data_path(const QString& program_dir, const QString& relative);

// The guide's index page for a program in `program_dir`. Empty when missing.
QString help_file(const QString& program_dir);

// The folder of the bundled sample faxes for the running program, or empty.
QString samples_folder();

// True when the desktop has a program that shows web pages.
bool desktop_shows_web_pages();

// Shows the guide in the desktop's browser, or in a window of our own over
// `parent` when there is no browser; without a guide, nothing happens.
void open_help_contents(QWidget* parent);

}  // namespace orvane::app
