#pragma once
// The file types File Open offers, in the order offered; the first is
// selected at start. The name endings come from the format registry; the
// entries' texts and order are the dialog's own.
#include <QStringList>
#include <string>
#include <vector>

namespace orvane::app {

struct FileFilter {
  std::string description;
  std::string patterns;  // "*.a;*.b"
};

const std::vector<FileFilter>& open_file_filters();

// The same as Qt name filters: each description followed by its patterns in
// the form Qt reads ("(*.a *.b)"), which the dialog hides.
QStringList open_name_filters();

}  // namespace orvane::app
