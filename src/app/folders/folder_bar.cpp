#include "app/folders/folder_bar.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <functional>
#include <utility>

#include "app/folders/file_info_dialog.h"

namespace orvane::app {

namespace {

// The tree tells whether its selection moves under a key press, and gives
// Enter to the bar first.
class FolderTree : public QTreeView {
 public:
  bool under_key = false;
  std::function<bool()> on_enter;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && on_enter &&
        on_enter()) {
      event->accept();
      return;
    }
    under_key = true;
    QTreeView::keyPressEvent(event);
    under_key = false;
  }
};

// The rename editor shows the whole name: it stands on the bar's window,
// not in the tree (whose narrow window would cut the name), as wide as the
// name from where the name starts, within the window.
class NameDelegate : public QStyledItemDelegate {
 public:
  explicit NameDelegate(QTreeView* tree) : QStyledItemDelegate(tree), tree_(tree) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    return QStyledItemDelegate::createEditor(parent->window(), option, index);
  }

  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const override {
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    const auto* line = qobject_cast<QLineEdit*>(editor);
    QWidget* area = editor->parentWidget();
    if (!line || !area) return;
    const int needed = line->fontMetrics().horizontalAdvance(index.data(Qt::EditRole).toString()) +
                       line->fontMetrics().averageCharWidth() * 3;
    // Placed for the tree's window: moved onto the bar's.
    QRect r = editor->geometry().translated(tree_->viewport()->mapTo(area, QPoint(0, 0)));
    r.setWidth(std::max(r.width(), needed));
    if (r.right() >= area->width()) r.moveRight(area->width() - 1);
    if (r.left() < 0) r.setLeft(0);
    editor->setGeometry(r);
    editor->raise();
  }

 private:
  QTreeView* tree_;
};

}  // namespace

CFolderBar::CFolderBar(QWidget* parent) : QDockWidget(QStringLiteral("Folders & Files"), parent) {
  setObjectName(QStringLiteral("FolderBar"));
  setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);

  auto* tree = new FolderTree;
  tree_ = tree;
  tree->on_enter = [this] {
    const QString path = chosen_path();
    if (path.isEmpty() || !QFileInfo(path).isFile()) return false;
    rest_timer_.stop();
    pending_file_.clear();
    emit file_selected(path);
    return true;
  };
  tree_->setItemDelegate(new NameDelegate(tree_));
  rest_timer_.setSingleShot(true);
  rest_timer_.setInterval(kKeyboardRestMs);
  connect(&rest_timer_, &QTimer::timeout, this, &CFolderBar::open_pending_file);
  tree_->setHeaderHidden(true);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);  // Rename starts editing
  tree_->setDragDropMode(QAbstractItemView::NoDragDrop);
  tree_->setContextMenuPolicy(Qt::CustomContextMenu);
  tree_->setSortingEnabled(true);
  tree_->sortByColumn(0, Qt::AscendingOrder);
  // Long names scroll sideways instead of ending in "...".
  tree_->setTextElideMode(Qt::ElideNone);
  tree_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  tree_->header()->setStretchLastSection(false);
  // A right click chooses the entry for the pop-up menu only.
  tree_->viewport()->installEventFilter(this);

  build_actions();
  build_popup_menu();
  attach_model();
  connect(
      tree_, &QTreeView::expanded, tree_, [this] { tree_->resizeColumnToContents(0); },
      Qt::QueuedConnection);
  connect(
      tree_, &QTreeView::collapsed, tree_, [this] { tree_->resizeColumnToContents(0); },
      Qt::QueuedConnection);
  connect(tree_->verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
          [this] { revealing_.clear(); });
  connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (tree_->indexAt(at).isValid()) popup_->popup(tree_->viewport()->mapToGlobal(at));
  });

  auto* toolbar = new QToolBar;
  toolbar->setIconSize(QSize(16, 16));
  toolbar->addActions({back_, forward_, refresh_, up_, properties_, delete_});

  auto* content = new QWidget;
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(toolbar);
  layout->addWidget(tree_);
  setWidget(content);

  reveal(QDir::homePath());
  update_actions();
}

void CFolderBar::dock_left(QMainWindow& frame) {
  setFloating(false);
  frame.addDockWidget(Qt::LeftDockWidgetArea, this);
  frame.resizeDocks({this}, {width_}, Qt::Horizontal);
}

void CFolderBar::keep_width() {
  if (isVisible() && !isFloating() && width() > 0) width_ = width();
}

void CFolderBar::show_in_tree(const QString& path) {
  const QModelIndex index = model_->index(path);
  if (!index.isValid()) return;
  if (chosen_path() != path) choose_quietly(index);
  reveal(path);
}

bool CFolderBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tree_->viewport() &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::RightButton) {
      const QModelIndex index = tree_->indexAt(mouse->position().toPoint());
      if (index.isValid()) choose_quietly(index);
      return true;  // the tree would choose it loudly
    }
  }
  return QDockWidget::eventFilter(watched, event);
}

void CFolderBar::choose_quietly(const QModelIndex& index) {
  quiet_ = true;
  tree_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  quiet_ = false;
}

QAction* CFolderBar::make_action(const char* theme_icon, int fallback_icon, const QString& text,
                                 void (CFolderBar::*slot)()) {
  const QIcon fallback = style()->standardIcon(QStyle::StandardPixmap(fallback_icon));
  auto* action =
      new QAction(QIcon::fromTheme(QString::fromLatin1(theme_icon), fallback), text, this);
  action->setToolTip(QString(text).remove(QLatin1Char('&')));
  connect(action, &QAction::triggered, this, slot);
  return action;
}

void CFolderBar::build_actions() {
  back_ = make_action("go-previous", QStyle::SP_ArrowBack, QStringLiteral("Back"),
                      &CFolderBar::go_back);
  forward_ = make_action("go-next", QStyle::SP_ArrowForward, QStringLiteral("Forward"),
                         &CFolderBar::go_forward);
  refresh_ = make_action("view-refresh", QStyle::SP_BrowserReload, QStringLiteral("Refresh"),
                         &CFolderBar::refresh);
  up_ =
      make_action("go-up", QStyle::SP_FileDialogToParent, QStringLiteral("Up"), &CFolderBar::go_up);
  properties_ = make_action("document-properties", QStyle::SP_FileDialogInfoView,
                            QStringLiteral("&Properties"), &CFolderBar::show_properties);
  delete_ = make_action("edit-delete", QStyle::SP_TrashIcon, QStringLiteral("&Delete"),
                        &CFolderBar::delete_chosen);
  open_ = make_action("document-open", QStyle::SP_DialogOpenButton, QStringLiteral("&Open"),
                      &CFolderBar::open_chosen);
  export_pdf_ = make_action("document-export", QStyle::SP_FileIcon,
                            QStringLiteral("&Export as PDF..."), &CFolderBar::export_chosen);
  export_pdf_->setStatusTip(QStringLiteral("Export the fax file to a PDF file"));
  rename_ = make_action("edit-rename", QStyle::SP_FileIcon, QStringLiteral("Re&name"),
                        &CFolderBar::rename_chosen);
}

void CFolderBar::build_popup_menu() {
  popup_ = new QMenu(this);
  popup_->addActions({open_, export_pdf_, rename_, delete_, properties_});
}

void CFolderBar::attach_model() {
  auto* old_model = model_;
  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setReadOnly(false);  // for Rename; drag and drop stays off in the tree
  model_->setRootPath(QDir::rootPath());
  tree_->setModel(model_);
  for (int column = 1; column < model_->columnCount(); ++column) tree_->hideColumn(column);
  // The name column as wide as its widest name in sight, so that the tree
  // scrolls sideways (a hidden header does not resize by itself).
  const auto fit_names = [this] { tree_->resizeColumnToContents(0); };
  connect(model_, &QFileSystemModel::directoryLoaded, tree_, fit_names, Qt::QueuedConnection);
  connect(model_, &QAbstractItemModel::layoutChanged, tree_, fit_names, Qt::QueuedConnection);

  connect(tree_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &CFolderBar::on_selection_changed);
  connect(model_, &QFileSystemModel::fileRenamed, this,
          [this](const QString& folder, const QString& from, const QString& to) {
            const QDir dir(folder);
            emit renamed(dir.filePath(from), dir.filePath(to));
          });
  connect(model_, &QAbstractItemModel::layoutChanged, this, [this] {
    if (revealing_.isEmpty()) return;
    tree_->scrollTo(model_->index(revealing_), QAbstractItemView::PositionAtCenter);
    show_name_start(model_->index(revealing_));
  });
  delete old_model;
}

void CFolderBar::reveal(const QString& path) {
  const QModelIndex index = model_->index(path);
  for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) tree_->expand(up);
  tree_->scrollTo(index);
  show_name_start(index);
  // The model reads folders in the background and sorts them when read, which
  // moves the entry; it is scrolled to again until the user takes over.
  revealing_ = path;
}

// The tree scrolls sideways as far as it needs to show the entry whole,
// which leaves the names with their first letters out of sight: it stays at
// its left edge unless the entry starts past most of the bar's width.
void CFolderBar::show_name_start(const QModelIndex& index) {
  QScrollBar* sideways = tree_->horizontalScrollBar();
  const QRect rect = tree_->visualRect(index);
  const int start = rect.isValid() ? rect.left() + sideways->value() : 0;
  const int room = tree_->viewport()->width();
  sideways->setValue(start < room * 2 / 3 ? 0 : start - tree_->indentation());
}

void CFolderBar::choose(const QString& path) {
  const QModelIndex index = model_->index(path);
  if (!index.isValid()) return;
  tree_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  reveal(path);
}

QString CFolderBar::chosen_path() const {
  const QModelIndexList chosen = tree_->selectionModel()->selectedIndexes();
  return chosen.isEmpty() ? QString() : model_->filePath(chosen.first());
}

QString CFolderBar::present_folder() const {
  const QString path = chosen_path();
  if (path.isEmpty()) return {};
  const QFileInfo info(path);
  return info.isDir() ? info.absoluteFilePath() : info.absolutePath();
}

// Selection, not the current index, is followed: the tree makes an entry
// current without selecting it when it gets the focus, and that must not
// list a folder nobody chose.
void CFolderBar::on_selection_changed() {
  revealing_.clear();
  update_actions();
  const QString path = chosen_path();
  // The model sorts a folder again once its file details are in, and the
  // selection model may then report the moved entry as selected anew: that
  // is no new choice and must not list the folder again (the position would
  // restart) or reopen the file.
  if (path == last_chosen_) return;
  last_chosen_ = path;
  rest_timer_.stop();
  pending_file_.clear();
  if (path.isEmpty() || quiet_) return;
  if (QFileInfo(path).isDir()) {
    if (!replaying_history_) history_.visit(path);
    update_actions();
    emit folder_selected(path);
  } else if (static_cast<FolderTree*>(tree_)->under_key) {
    pending_file_ = path;
    rest_timer_.start();
  } else {
    emit file_selected(path);
  }
}

void CFolderBar::open_pending_file() {
  const QString path = std::exchange(pending_file_, QString());
  if (!path.isEmpty() && path == chosen_path()) emit file_selected(path, true);
}

void CFolderBar::update_actions() {
  const bool chosen = !chosen_path().isEmpty();
  back_->setEnabled(history_.can_go_back());
  forward_->setEnabled(history_.can_go_forward());
  const QString folder = present_folder();
  up_->setEnabled(!folder.isEmpty() && !QDir(folder).isRoot());
  for (QAction* action : {properties_, delete_, open_, rename_}) action->setEnabled(chosen);
  export_pdf_->setEnabled(chosen && QFileInfo(chosen_path()).isFile());
}

void CFolderBar::go_back() {
  replay(history_.back());
}

void CFolderBar::go_forward() {
  replay(history_.forward());
}

// Back and Forward choose a folder of the history without adding to it.
void CFolderBar::replay(const std::optional<QString>& folder) {
  if (folder) {
    replaying_history_ = true;
    choose(*folder);
    replaying_history_ = false;
  }
  update_actions();
}

void CFolderBar::refresh() {
  // The model watches the folders it has shown, but not every file system
  // reports changes; a fresh model reads everything again.
  const QString chosen = chosen_path();
  last_chosen_.clear();
  attach_model();
  if (!chosen.isEmpty()) choose(chosen);
  update_actions();
}

void CFolderBar::go_up() {
  const QString folder = present_folder();
  if (folder.isEmpty()) return;
  QDir parent(folder);
  if (parent.cdUp()) choose(parent.absolutePath());
}

void CFolderBar::open_chosen() {
  const QString path = chosen_path();
  if (path.isEmpty()) return;
  if (QFileInfo(path).isDir()) {
    tree_->expand(model_->index(path));
    emit folder_selected(path);
  } else {
    emit file_selected(path);
  }
}

void CFolderBar::rename_chosen() {
  const QModelIndexList chosen = tree_->selectionModel()->selectedIndexes();
  if (!chosen.isEmpty()) tree_->edit(chosen.first());
}

void CFolderBar::export_chosen() {
  const QString path = chosen_path();
  if (QFileInfo(path).isFile()) emit export_pdf_requested(path);
}

void CFolderBar::delete_chosen() {
  const QString path = chosen_path();
  if (!path.isEmpty()) delete_with_confirmation(path);
}

bool CFolderBar::delete_with_confirmation(const QString& path) {
  const QFileInfo info(path);
  const QString question = QStringLiteral("Move \"%1\" to the trash?").arg(info.fileName());
  if (QMessageBox::question(this, QStringLiteral("Delete"), question) != QMessageBox::Yes)
    return false;
  // Qt gives up on the home trash when its parent folder is missing and then
  // moves the file into the working folder; make sure the trash can be made.
  QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
  if (QFile::moveToTrash(path)) return true;
  QMessageBox::warning(this, QStringLiteral("Delete"),
                       QStringLiteral("\"%1\" could not be moved to the trash.").arg(path));
  return false;
}

void CFolderBar::show_properties() {
  const QString path = chosen_path();
  if (path.isEmpty()) return;
  CFileInfoDialog dialog(QFileInfo(path), this);
  dialog.exec();
}

}  // namespace orvane::app
