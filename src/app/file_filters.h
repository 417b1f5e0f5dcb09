#pragma once
// The file types File Open offers, in the order offered; the first is
// selected at start.
#include <QStringList>
#include <span>

namespace orvane::app {

struct FileFilter {
  const char* description;
  const char* patterns;  // "*.a;*.b"
};

std::span<const FileFilter> open_file_filters();

// The same as Qt name filters: each description followed by its patterns in
// the form Qt reads ("(*.a *.b)"), which the dialog hides.
QStringList open_name_filters();

}  // namespace orvane::app
