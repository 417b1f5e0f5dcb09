#include "app/folders/folder_commands.h"

#include <QAction>
#include <QMessageBox>
#include <QPointer>

#include "app/folders/folder_bar.h"
#include "app/folders/slide_show.h"
#include "app/main_frame.h"
#include "app/orvane_doc.h"
#include "app/orvane_view.h"
#include "app/pdf_export_dialog.h"

namespace orvane::app {

CFolderCommands::CFolderCommands(CMainFrame& frame, COrvaneDoc& doc)
    : QObject(&frame),
      frame_(frame),
      doc_(doc),
      bar_(new CFolderBar(&frame)),
      show_(new SlideShow(this)) {
  bar_->dock_left(frame);
  connect(bar_, &CFolderBar::folder_selected, this, &CFolderCommands::list_folder);
  // Opened by a click or Enter, the page takes the keyboard (its keys turn
  // and scroll it); opened while browsing with the arrow keys, the tree
  // keeps it.
  connect(bar_, &CFolderBar::file_selected, this, [this](const QString& path, bool browsing) {
    open_from_list(path);
    if (!browsing) frame_.view()->setFocus(Qt::OtherFocusReason);
  });
  // The window hides its bars while it is destroyed: the action is asked
  // for now, not then.
  QPointer<QAction> toggle = frame.action(kCmdViewFolderBar);
  connect(bar_, &QDockWidget::visibilityChanged, this, [this, toggle] {
    if (toggle) toggle->setChecked(bar_->isVisibleTo(bar_->parentWidget()));
  });
  connect(bar_, &CFolderBar::export_pdf_requested, this, [this](const QString& path) {
    export_pdf_with_dialog(&frame_, doc_, path, &frame_.settings());
  });
  connect(show_, &SlideShow::step, this, &CFolderCommands::slide_step);
  connect(show_, &SlideShow::running_changed, this,
          [this](bool running) { frame_.action(kCmdSlideShow)->setChecked(running); });

  connect(bar_, &CFolderBar::renamed, this,
          [this](const QString& from, const QString& to) { doc_.followRename(from, to); });
  // The tree opens at the fax's folder, and follows the fax opened.
  connect(&doc_, &COrvaneDoc::titleChanged, this, [this] {
    if (!doc_.path().isEmpty() && doc_.path() != shown_in_tree_) {
      shown_in_tree_ = doc_.path();
      bar_->show_in_tree(doc_.path());
    }
  });
  frame.setHandler(kCmdPreviousImage, [this] { previous_image(); });
  frame.setHandler(kCmdNextImage, [this] { next_image(); });
  frame.setHandler(kCmdSlideShow, [this] { toggle_slide_show(); });
  frame.setHandler(kCmdViewFolderBar, [this] { toggle_folder_bar(); });
  frame.action(kCmdViewFolderBar)->setChecked(true);
  frame.action(kCmdSlideShow)->setChecked(false);
}

void CFolderCommands::list_folder(const QString& folder) {
  doc_.folders().list_folder(folder);
  after_list_change();
}

void CFolderCommands::open_from_list(const QString& path) {
  QString error;
  if (!doc_.openFromList(path, &error))
    QMessageBox::warning(&frame_, QStringLiteral("Orvane"), error);
  frame_.updateCommandStates();
}

void CFolderCommands::previous_image() {
  open_entry(doc_.folders().previous(doc_.path()));
}

void CFolderCommands::next_image() {
  open_entry(doc_.folders().next(doc_.path()));
}

void CFolderCommands::slide_step() {
  open_entry(doc_.folders().slide_step(doc_.path()));
}

// The list may have been read just now (from the folder of the open file).
void CFolderCommands::open_entry(const std::optional<QString>& path) {
  after_list_change();
  if (path) open_from_list(*path);
}

void CFolderCommands::after_list_change() {
  frame_.setFolderListSize(int(doc_.folders().entries().size()));
  frame_.updateCommandStates();
}

void CFolderCommands::toggle_slide_show() {
  // The interval chosen in Options counts from the next start.
  if (!show_->running()) show_->set_interval(frame_.slideShowIntervalMs());
  show_->toggle();
}

void CFolderCommands::toggle_folder_bar() {
  const bool show = !bar_->isVisibleTo(&frame_);
  bar_->keep_width();
  bar_->dock_left(frame_);
  bar_->setVisible(show);
  frame_.action(kCmdViewFolderBar)->setChecked(show);
}

}  // namespace orvane::app
