#pragma once
// The look the fax dialogs share: labels and check boxes in a light blue on
// a transparent ground, edit fields in a deeper blue.
class QWidget;

namespace orvane::app {

void apply_fax_dialog_look(QWidget* widget);

}  // namespace orvane::app
