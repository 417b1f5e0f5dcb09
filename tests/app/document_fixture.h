#pragma once
// A document with its view as the window holds them (scratch files of its
// own, dialogs answered by a script), and the names of the files the tests
// open.
#include <QSize>
#include <QString>
#include <filesystem>

#include "app/orvane_doc.h"
#include "app/orvane_view.h"
#include "core/scratch_dir.h"
#include "scripted_ui.h"
#include "support/test_support.h"

namespace orvane::app::test {

inline QString q(const std::filesystem::path& p) {
  return QString::fromStdString(p.string());
}

inline QString sample(const char* name) {
  return QString::fromStdString(ORVANE_SOURCE_DIR) + "/samples/" + name;
}

inline QString fixture(const char* name) {
  return q(orvane::test::fixture(name));
}

struct DocumentAndView {
  ScratchDir scratch;
  ScriptedUi ui;
  COrvaneDoc doc{scratch.paths(), ui};
  COrvaneView view{doc};  // normalises each page to inches, as on screen

  // Shown at `size`: a hidden view hears of a new size only when shown.
  void show(QSize size) {
    view.resize(size);
    view.show();
  }
};

}  // namespace orvane::app::test
