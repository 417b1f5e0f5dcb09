#pragma once
// The dockable "Folders & Files" bar: a tree of the file system with a small
// toolbar and a pop-up menu. Choosing a folder asks for it to be listed for
// Previous/Next Image and the slide show; choosing a file asks to open it.
#include <QDockWidget>
#include <QTimer>
#include <optional>

#include "app/folders/folder_history.h"

class QAction;
class QFileSystemModel;
class QMainWindow;
class QMenu;
class QTreeView;

namespace orvane::app {

class CFolderBar : public QDockWidget {
  Q_OBJECT

 public:
  static constexpr int kDefaultWidth = 180;

  explicit CFolderBar(QWidget* parent = nullptr);

  // Docks the bar on the left of `frame` at the width it had when last
  // shown (its default width at first), wherever it was before.
  void dock_left(QMainWindow& frame);
  // Remembers the width for the next dock_left(); called before hiding.
  void keep_width();
  int kept_width() const { return width_; }

  // Brings `path` into sight in the tree and selects it without choosing
  // it (nothing is listed or opened).
  void show_in_tree(const QString& path);

  // A file reached by the arrow keys opens once the selection rested this
  // long (or at once with Enter), so that passing over files does not read
  // each of them.
  static constexpr int kKeyboardRestMs = 300;

  // Shows `folder` in the tree and chooses it, as a click would.
  void choose(const QString& path);
  // The path of the chosen entry; empty when nothing is chosen.
  QString chosen_path() const;

  QTreeView* tree() const { return tree_; }
  QAction* back_action() const { return back_; }
  QAction* forward_action() const { return forward_; }
  QAction* refresh_action() const { return refresh_; }
  QAction* up_action() const { return up_; }
  QAction* properties_action() const { return properties_; }
  QAction* delete_action() const { return delete_; }
  QAction* export_pdf_action() const { return export_pdf_; }
  QMenu* popup_menu() const { return popup_; }

  // Asks before moving `path` to the trash; false when the user said no or
  // the move failed (then after saying why).
  bool delete_with_confirmation(const QString& path);

 signals:
  void folder_selected(const QString& folder);
  // `browsing`: reached by the arrow keys and opened as the selection
  // rested; the keyboard stays with the tree to go on browsing.
  void file_selected(const QString& file, bool browsing = false);
  void export_pdf_requested(const QString& file);
  // An entry was renamed in the tree (full paths).
  void renamed(const QString& from, const QString& to);

 private:
  QAction* make_action(const char* theme_icon, int fallback_icon, const QString& text,
                       void (CFolderBar::*slot)());
  void build_actions();
  void build_popup_menu();
  void attach_model();
  void reveal(const QString& path);
  void show_name_start(const QModelIndex& index);
  void on_selection_changed();
  void open_pending_file();
  bool eventFilter(QObject* watched, QEvent* event) override;
  void choose_quietly(const QModelIndex& index);
  void update_actions();
  QString present_folder() const;

  void go_back();
  void go_forward();
  void replay(const std::optional<QString>& folder);
  void refresh();
  void go_up();
  void open_chosen();
  void rename_chosen();
  void export_chosen();
  void delete_chosen();
  void show_properties();

  QFileSystemModel* model_ = nullptr;
  QTreeView* tree_ = nullptr;
  QMenu* popup_ = nullptr;
  QAction* back_ = nullptr;
  QAction* forward_ = nullptr;
  QAction* refresh_ = nullptr;
  QAction* up_ = nullptr;
  QAction* properties_ = nullptr;
  QAction* delete_ = nullptr;
  QAction* open_ = nullptr;
  QAction* rename_ = nullptr;
  QAction* export_pdf_ = nullptr;
  FolderHistory history_;
  bool replaying_history_ = false;
  QString last_chosen_;       // the entry the signals last told about
  QString revealing_;         // kept in sight while the tree sorts, until the user acts
  bool quiet_ = false;        // choosing for the pop-up menu: nothing is opened
  bool by_keyboard_ = false;  // the selection moves under a key press
  QString pending_file_;      // reached by keyboard, opened when the selection rests
  QTimer rest_timer_;
  int width_ = kDefaultWidth;
};

}  // namespace orvane::app
