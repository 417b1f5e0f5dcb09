#pragma once
// The look the fax dialogs share: labels and check boxes in a light blue on
// a transparent ground, edit fields in a deeper blue; and the frame every
// small dialog shares.
#include <QString>

class QDialog;
class QFileDialog;
class QObject;
class QWidget;

namespace orvane::app {

void apply_fax_dialog_look(QWidget* widget);

// A title bar with only a close button (nothing to minimise or maximise in
// a small dialog), also under window managers that go by the window type
// alone, and the dialog at least as wide as its title needs. Called once
// the title is set.
void apply_dialog_frame(QDialog* dialog);

// From now on until `owner` goes, every message box of the application is
// shown with the title bar of apply_dialog_frame (its size is its own).
void frame_message_boxes(QObject* owner);

// The width a title bar needs for `title`: the text in the title font and
// room for the close button and the frame.
int title_bar_width(const QString& title);

// A warning over `parent` in the desktop's plain colours, whatever look
// `parent` has.
void plain_warning(QWidget* parent, const QString& caption, const QString& text);

// Every file dialog of the program (Open, Save As, Export) alike: the
// program's own dialog, one size (big enough for long names and many files,
// within the screen of `over`) and columns wide enough to read.
void fit_file_dialog(QFileDialog& dialog, const QWidget* over);

}  // namespace orvane::app
