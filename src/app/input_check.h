#pragma once
// Whether a path can be opened as a fax at all, decided without opening it:
// opening a FIFO waits for a writer and would freeze the window.
#include <QString>

namespace orvane::app {

// Empty for a regular file that can be read; else one line naming the file
// and what is wrong ("is a FIFO (named pipe), not a file", "is a folder, not
// a file", the system's reason it cannot be read).
QString input_problem(const QString& path);

}  // namespace orvane::app
