#pragma once
// Previous Image, Next Image, the slide show and the folder bar, tied to the
// main window's commands and to the document's folder list.
#include <QObject>
#include <QString>
#include <optional>

namespace orvane::app {

class CFolderBar;
class CMainFrame;
class COrvaneDoc;
class SlideShow;

class CFolderCommands : public QObject {
  Q_OBJECT

 public:
  // Creates the folder bar docked on the left of `frame` and gives the frame
  // the handlers of the folder commands. Owned by the frame.
  CFolderCommands(CMainFrame& frame, COrvaneDoc& doc);

  CFolderBar& folder_bar() { return *bar_; }
  SlideShow& slide_show() { return *show_; }

  void list_folder(const QString& folder);
  void open_from_list(const QString& path);
  void previous_image();
  void next_image();
  void slide_step();
  void toggle_slide_show();
  void toggle_folder_bar();

 private:
  void open_entry(const std::optional<QString>& path);
  void after_list_change();

  CMainFrame& frame_;
  COrvaneDoc& doc_;
  CFolderBar* bar_;
  SlideShow* show_;
  QString shown_in_tree_;
};

}  // namespace orvane::app
