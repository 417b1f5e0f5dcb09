#pragma once
// What the document asks of the user interface: its dialogs, its messages
// and the progress window of long work. The window gives the real dialogs;
// tests give scripted answers.
#include <QString>
#include <functional>

#include "base/work_control.h"

namespace orvane::app {

struct AdvancedValues {
  int threshold = 50;
  int flag_number = 3;
  bool raw_file = false;
  bool nonstandard_widths = true;
  int min_width = 1728;
  bool split_at_page_ends = false;
};

// What the "Fax Properties" sheet shows, already worked out.
struct FaxProperties {
  int line_width = 0;
  int scan_lines = 0;
  QString encode_mode;
  QString bit_order;
  double x_resolution = 0;
  double y_resolution = 0;
  QString resolution_unit;  // "dots per inch", ...
  double page_width = 0;
  double page_height = 0;
  QString size_unit;  // "inch", ...
  QString reception;  // "received clean", ...; empty when the file does not say
};

class CDocUi {
 public:
  virtual ~CDocUi() = default;
  // Each returns true on OK and then has written the new values back.
  virtual bool askPageNumber(int& number, int maximum, const QString& hint) = 0;
  virtual bool askResolutions(int& horizontal_index, int& vertical_index) = 0;
  virtual bool askBitOrder(int& bit_order) = 0;
  virtual bool askAdvanced(AdvancedValues& values) = 0;
  virtual void showProperties(const FaxProperties& properties) = 0;
  virtual void showTipsOfOpenFax() = 0;
  virtual void message(const QString& text, const QString& caption) = 0;
  // Runs `work` away from the user-interface thread behind a modal progress
  // window labelled `label`; the window keeps painting meanwhile and shows
  // what `control` reports as a percentage. False when the user cancelled:
  // `control` was asked to stop, `work` has run to its end or to that stop,
  // and its result is to be dropped.
  virtual bool runLong(const QString& label, const std::function<void()>& work,
                       WorkControl* control = nullptr) = 0;
  // The wait cursor around short work on this thread.
  virtual void beginWait() {}
  virtual void endWait() {}
};

}  // namespace orvane::app
