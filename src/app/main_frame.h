#pragma once
// The main window: menus, toolbar with its resolution list, status bar and
// the page view. Every command comes from the command table; what a command
// does is a handler given to the window, and one function applies every
// enabling rule after each change.
#include <QMainWindow>
#include <array>
#include <functional>
#include <map>

#include "app/command_ids.h"
#include "app/command_rules.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QToolBar;

namespace orvane::app {

class CAppSettings;
class COrvaneDoc;
class COrvaneView;
class CPageThumbnails;
class CStatusPane;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kDefaultSlideShowMs = 2000;

  CMainFrame(COrvaneDoc& doc, CAppSettings& settings, QWidget* parent = nullptr);
  CAppSettings& settings() { return settings_; }

  // Gives command `id` what it does; a command without one stays disabled.
  void setHandler(CommandId id, std::function<void()> handler);
  // Runs command `id` as if chosen from the menu (nothing when disabled).
  void runCommand(CommandId id);
  // Applies every enabling and check rule to every command.
  void updateCommandStates();
  CommandState commandState() const;

  QAction* action(CommandId id) const;
  COrvaneView* view() const { return view_; }
  QToolBar* mainToolBar() const { return toolbar_; }
  QComboBox* resolutionList() const { return resolution_list_; }
  QLabel* messagePane() const { return message_; }
  // Fax pane 0 to 3: coding, page, size, scaling.
  QLabel* faxPane(int index) const;
  CPageThumbnails* thumbnails() const { return thumbnails_; }
  // Puts the window where it was left, with its bars as they were; false
  // (nothing changed) when nothing was kept.
  bool restoreLayout();
  // Keeps the window's place and its bars' layout for the next run.
  void saveLayout();
  QMenu* recentFilesMenuOwner() const { return file_menu_; }
  int slideShowIntervalMs() const { return slide_show_ms_; }
  void setFolderListSize(int size) { folder_list_size_ = size; }

 signals:
  void recentFileChosen(const QString& path);
  void fileDropped(const QString& path);

 private:
  void createActions();
  void createMenus();
  void createToolBar();
  void createStatusBar();
  void createThumbnails();
  void connectDocument();
  void fillRecentFiles();
  void showStatus();
  void updateTitle();
  void options();
  void toggleThumbnails();
  void toggleFullScreen();
  bool restorePlace();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  COrvaneDoc& doc_;
  CAppSettings& settings_;
  COrvaneView* view_;
  QToolBar* toolbar_ = nullptr;
  QComboBox* resolution_list_ = nullptr;
  QMenu* file_menu_ = nullptr;
  QList<QAction*> recent_actions_;
  QLabel* message_ = nullptr;
  std::array<CStatusPane*, 4> fax_panes_{};
  CPageThumbnails* thumbnails_ = nullptr;
  std::map<CommandId, QAction*> actions_;
  std::map<CommandId, std::function<void()>> handlers_;
  int slide_show_ms_ = kDefaultSlideShowMs;
  int folder_list_size_ = 0;
  bool was_maximized_ = false;
};

}  // namespace orvane::app
