#include "app/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "app/app_settings.h"
#include "app/command_table.h"
#include "app/dialogs/options_dlg.h"
#include "app/long_work.h"
#include "app/orvane_doc.h"
#include "app/orvane_view.h"
#include "app/page_keys.h"
#include "app/page_thumbnails.h"
#include "app/status_pane.h"
#include "base/coding_mode.h"

namespace orvane::app {

namespace {

constexpr int kResolutionListWidth = 180;

QList<QKeySequence> shortcuts_of(const char* keys) {
  QList<QKeySequence> list;
  for (const QString& key :
       QString::fromLatin1(keys).split(QStringLiteral("; "), Qt::SkipEmptyParts)) {
    list << QKeySequence(key, QKeySequence::PortableText);
  }
  return list;
}

QIcon icon_of(const CommandEntry& entry) {
  const QIcon fallback = *entry.fallback ? QIcon(QString::fromLatin1(entry.fallback)) : QIcon();
  if (!*entry.icon) return fallback;
  return QIcon::fromTheme(QString::fromLatin1(entry.icon), fallback);
}

}  // namespace

CMainFrame::CMainFrame(COrvaneDoc& doc, CAppSettings& settings, QWidget* parent)
    : QMainWindow(parent), doc_(doc), settings_(settings), view_(new COrvaneView(doc)) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    setGeometry(50, 50, std::max(200, area.width() - 100), std::max(200, area.height() - 100));
  }
  setCentralWidget(view_);
  new CPageKeys(*view_, doc_);
  createActions();
  createMenus();
  createToolBar();
  createStatusBar();
  createThumbnails();
  connectDocument();
  updateTitle();
  showStatus();
  updateCommandStates();
}

void CMainFrame::createActions() {
  for (const CommandEntry& entry : command_table()) {
    const QString text = QString::fromUtf8(entry.text);
    // The menu text carries its shortcut after a tab; Qt shows the
    // action's shortcut there itself.
    auto* a = new QAction(icon_of(entry), text.section(u'\t', 0, 0), this);
    a->setStatusTip(QString::fromUtf8(entry.prompt));
    a->setToolTip(QString::fromUtf8(entry.tooltip));
    a->setShortcuts(shortcuts_of(entry.keys));
    a->setCheckable(entry.checkable);
    a->setData(int(entry.id));
    addAction(a);  // shortcuts work with no menu item too
    const CommandId id = entry.id;
    connect(a, &QAction::triggered, this, [this, id] { runCommand(id); });
    actions_[id] = a;
  }

  setHandler(kCmdPageFirst, [this] { doc_.firstPage(); });
  setHandler(kCmdPagePrevious, [this] { doc_.previousPage(); });
  setHandler(kCmdPageNext, [this] { doc_.nextPage(); });
  setHandler(kCmdPageLast, [this] { doc_.lastPage(); });
  setHandler(kCmdPageNumber, [this] { doc_.goToPage(); });
  setHandler(kCmdPageProperties, [this] { doc_.pageProperties(); });
  setHandler(kCmdZoomIn, [this] { doc_.zoomIn(); });
  setHandler(kCmdZoomOut, [this] { doc_.zoomOut(); });
  setHandler(kCmdZoomActual, [this] { doc_.actualSize(); });
  setHandler(kCmdFitWidth, [this] { doc_.fitWidth(); });
  setHandler(kCmdFitPage, [this] { doc_.fitPage(); });
  setHandler(kCmdViewThumbnails, [this] { toggleThumbnails(); });
  setHandler(kCmdFlip, [this] { doc_.flip(); });
  setHandler(kCmdMirror, [this] { doc_.mirror(); });
  setHandler(kCmdRotateLeft, [this] { doc_.rotate(-1); });
  setHandler(kCmdRotateRight, [this] { doc_.rotate(1); });
  setHandler(kCmdResolutions, [this] { doc_.resolutions(); });
  setHandler(kCmdBitOrder, [this] { doc_.bitOrder(); });
  setHandler(kCmdAdvanced, [this] { doc_.advanced(); });
  setHandler(kCmdReversed, [this] { view_->toggleReversed(); });
  setHandler(kCmdOptions, [this] { options(); });
  setHandler(kCmdAppExit, [this] { close(); });
  setHandler(kCmdFileClose, [this] { doc_.closeFile(); });
  setHandler(kCmdViewFullScreen, [this] { toggleFullScreen(); });
  setHandler(kCmdViewToolbar, [this] { toolbar_->setVisible(!toolbar_->isVisible()); });
  setHandler(kCmdViewStatusBar, [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
}

void CMainFrame::createMenus() {
  for (const MenuSpec& menu_spec : menu_layout()) {
    QMenu* menu = menuBar()->addMenu(QString::fromUtf8(menu_spec.title));
    for (CommandId id : menu_spec.items) {
      if (id == kCmdNone) {
        menu->addSeparator();
      } else {
        menu->addAction(action(id));
      }
    }
    if (menu_spec.items.data() == menu_layout().front().items.data()) file_menu_ = menu;
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);
  }
  connect(file_menu_, &QMenu::aboutToShow, this, &CMainFrame::fillRecentFiles);
  fillRecentFiles();
}

// The recent files stand where the placeholder stands: "&1 name" and so on,
// or the greyed placeholder while the list is empty.
void CMainFrame::fillRecentFiles() {
  for (QAction* a : recent_actions_) {
    file_menu_->removeAction(a);
    a->deleteLater();
  }
  recent_actions_.clear();
  QAction* placeholder = action(kCmdFileMru);
  const QStringList files = settings_.recentFiles();
  placeholder->setVisible(files.isEmpty());
  for (int i = 0; i < files.size(); ++i) {
    auto* a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(files[i]).fileName()),
                          file_menu_);
    a->setStatusTip(placeholder->statusTip());
    a->setToolTip(files[i]);
    const QString path = files[i];
    connect(a, &QAction::triggered, this, [this, path] { emit recentFileChosen(path); });
    file_menu_->insertAction(placeholder, a);
    recent_actions_ << a;
  }
}

void CMainFrame::createToolBar() {
  toolbar_ = addToolBar(QStringLiteral("Standard"));
  toolbar_->setObjectName(QStringLiteral("MainToolBar"));
  toolbar_->setIconSize(QSize(16, 16));
  toolbar_->setAllowedAreas(Qt::AllToolBarAreas);
  for (CommandId id : toolbar_layout()) {
    if (id == kCmdNone) {
      toolbar_->addSeparator();
    } else if (id == kCmdResolutionList) {
      resolution_list_ = new QComboBox;
      resolution_list_->setObjectName(QStringLiteral("VResolution"));
      resolution_list_->setFixedWidth(kResolutionListWidth);
      for (const char* item : vertical_resolution_items()) {
        resolution_list_->addItem(QString::fromLatin1(item));
      }
      resolution_list_->setCurrentIndex(-1);
      connect(resolution_list_, &QComboBox::activated, this, [this](int index) {
        doc_.setVerticalResolutionIndex(index);
        updateCommandStates();
      });
      toolbar_->addWidget(resolution_list_);
    } else {
      toolbar_->addAction(action(id));
      // Screen readers name a button by its command, not by its picture.
      if (QWidget* button = toolbar_->widgetForAction(action(id)))
        button->setAccessibleName(action(id)->text().remove(u'&'));
    }
  }
  addToolBar(Qt::TopToolBarArea, toolbar_);
}

namespace {

// The widest texts each fax pane shows.
QStringList longest_texts(std::size_t pane) {
  switch (pane) {
    case 0: {
      QStringList codings{QStringLiteral("That's NOT a FAX file!")};
      for (unsigned code = 0; code < 9; ++code) codings << QString::fromUtf8(coding_name(code));
      return codings;
    }
    case 1: return {QStringLiteral("Page: 1024  (Total = 1024)")};
    case 2: return {QStringLiteral("Size: 65535 x 65535")};
    default: return {QStringLiteral("Scaling: 4.00")};
  }
}

QString usual_text(std::size_t pane) {
  switch (pane) {
    case 1: return QStringLiteral("Page: 10  (Total = 10)");
    case 2: return QStringLiteral("Size: 1728 x 2200");
    default: return QStringLiteral("Scaling: 1.00");
  }
}

}  // namespace

void CMainFrame::createStatusBar() {
  QStatusBar* bar = statusBar();
  message_ = new QLabel(QStringLiteral("Ready"));
  // A long prompt must not push the fax panes out of a narrow window.
  message_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  message_->setMinimumWidth(1);
  bar->addWidget(message_, 1);
  const QFontMetrics metrics(bar->font());
  std::size_t i = 0;
  for (const PaneSpec& pane : fax_panes()) {
    const QString indicator = QString::fromLatin1(pane.indicator);
    // A narrow window squeezes the coding pane first: the others keep room
    // for a usual fax's text.
    int minimum = metrics.horizontalAdvance(indicator) + pane.extra_width;
    if (i > 0) {
      const int usual =
          metrics.horizontalAdvance(usual_text(i)) + 4 * metrics.horizontalAdvance(u' ');
      minimum = std::max(minimum, usual);
    }
    auto* label = new CStatusPane(indicator, longest_texts(i), minimum);
    bar->addPermanentWidget(label);
    fax_panes_[i++] = label;
  }
  // The lock-key indicators keep their place; the lock states themselves
  // are not something a portable program can read, so they stay greyed.
  for (const char* key : {"CAP", "NUM", "SCRL"}) {
    auto* label = new QLabel(QString::fromLatin1(key));
    label->setEnabled(false);
    bar->addPermanentWidget(label);
  }
}

void CMainFrame::createThumbnails() {
  thumbnails_ = new CPageThumbnails(doc_, this);
  addDockWidget(Qt::RightDockWidgetArea, thumbnails_);
  thumbnails_->hide();
  // Asked for now: the window hides its bars while it is destroyed.
  QPointer<QAction> toggle = action(kCmdViewThumbnails);
  connect(thumbnails_, &QDockWidget::visibilityChanged, this, [bar = thumbnails_, toggle] {
    if (toggle) toggle->setChecked(bar->isVisibleTo(bar->parentWidget()));
  });
}

void CMainFrame::toggleThumbnails() {
  thumbnails_->setVisible(!thumbnails_->isVisibleTo(this));
  action(kCmdViewThumbnails)->setChecked(thumbnails_->isVisibleTo(this));
}

QLabel* CMainFrame::faxPane(int index) const {
  return fax_panes_.at(std::size_t(index));
}

bool CMainFrame::restoreLayout() {
  const QByteArray geometry = settings_.windowGeometry();
  if (geometry.isEmpty()) return false;
  // Qt's record refuses a screen of another width than it was made on (as
  // at another scale factor); the plain numbers then place the window, at
  // the same share of the screen.
  if (!restoreGeometry(geometry) && !restorePlace()) return false;
  restoreState(settings_.windowState());
  action(kCmdViewThumbnails)->setChecked(thumbnails_->isVisibleTo(this));
  return true;
}

bool CMainFrame::restorePlace() {
  const CAppSettings::WindowPlace place = settings_.windowPlace();
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen || !place.normal.isValid() || !place.screen.isValid()) return false;
  const QRect room = screen->availableGeometry();
  const double sx = double(room.width()) / place.screen.width();
  const double sy = double(room.height()) / place.screen.height();
  const QRect scaled(room.left() + int((place.normal.left() - place.screen.left()) * sx),
                     room.top() + int((place.normal.top() - place.screen.top()) * sy),
                     int(place.normal.width() * sx), int(place.normal.height() * sy));
  setGeometry(scaled & room);
  if (place.maximized) setWindowState(windowState() | Qt::WindowMaximized);
  return true;
}

void CMainFrame::saveLayout() {
  settings_.setWindowLayout(saveGeometry(), saveState());
  const QScreen* shown_on = screen();
  settings_.setWindowPlace({normalGeometry(), isMaximized() || (isFullScreen() && was_maximized_),
                            shown_on ? shown_on->availableGeometry() : QRect()});
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // Closed while a file is read or written: the work is cancelled, and the
  // window closes once it has ended (its record is the worker's until then).
  if (cancel_long_work()) {
    event->ignore();
    QTimer::singleShot(50, this, &QWidget::close);
    return;
  }
  saveLayout();
  QMainWindow::closeEvent(event);
}

void CMainFrame::connectDocument() {
  connect(&doc_, &COrvaneDoc::statusChanged, this, [this] {
    showStatus();
    updateCommandStates();
  });
  connect(&doc_, &COrvaneDoc::titleChanged, this, &CMainFrame::updateTitle);
  connect(view_, &COrvaneView::fileDropped, this, &CMainFrame::fileDropped);
}

void CMainFrame::showStatus() {
  const StatusTexts status = doc_.statusTexts();
  for (std::size_t i = 0; i < fax_panes_.size(); ++i) fax_panes_[i]->setPaneText(status.panes[i]);
  // A file or page that shows nothing says why, in the first pane's tooltip
  // too.
  if (!doc_.refusalReason().isEmpty() && !doc_.pageShown())
    fax_panes_[0]->setToolTip(doc_.refusalReason());
  message_->setText(status.note.isEmpty() ? QStringLiteral("Ready") : status.note);
  const QSignalBlocker quiet(resolution_list_);
  resolution_list_->setCurrentIndex(status.vres_index);
}

void CMainFrame::updateTitle() {
  setWindowTitle(QStringLiteral("%1 - Orvane").arg(doc_.title()));
}

void CMainFrame::setHandler(CommandId id, std::function<void()> handler) {
  handlers_[id] = std::move(handler);
  if (!actions_.empty()) updateCommandStates();
}

void CMainFrame::runCommand(CommandId id) {
  QAction* a = action(id);
  const auto it = handlers_.find(id);
  if (!a || !a->isEnabled() || it == handlers_.end()) return;
  it->second();
  updateCommandStates();
}

CommandState CMainFrame::commandState() const {
  CommandState s;
  s.page_count = doc_.pageCount();
  s.current_page = doc_.currentPage();
  s.scaling = doc_.scaling();
  // A page that did not load has no size, whatever its fields hold.
  s.page_width = doc_.pageShown() ? doc_.page().width : 0;
  s.page_height = doc_.pageShown() ? doc_.page().height : 0;
  s.has_path = !doc_.path().isEmpty();
  s.folder_position = doc_.folderPosition();
  s.folder_list_size = folder_list_size_;
  return s;
}

void CMainFrame::updateCommandStates() {
  const CommandState state = commandState();
  for (const auto& [id, a] : actions_) {
    a->setEnabled(handlers_.count(id) != 0 && command_enabled(id, state));
  }
  action(kCmdViewToolbar)->setChecked(toolbar_ && toolbar_->isVisibleTo(this));
  action(kCmdViewStatusBar)->setChecked(statusBar()->isVisibleTo(this));
  action(kCmdReversed)->setChecked(view_->reversed());
  action(kCmdFitWidth)->setChecked(doc_.fitMode() == FitMode::kWidth);
  action(kCmdFitPage)->setChecked(doc_.fitMode() == FitMode::kPage);
  action(kCmdViewFullScreen)->setChecked(isFullScreen());
  // The placeholder of an empty recent-file list is shown greyed.
  action(kCmdFileMru)->setEnabled(false);
}

QAction* CMainFrame::action(CommandId id) const {
  const auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

// Full screen and back to the window as it was (maximised or not).
void CMainFrame::toggleFullScreen() {
  if (isFullScreen()) {
    if (was_maximized_) {
      showMaximized();
    } else {
      showNormal();
    }
  } else {
    was_maximized_ = isMaximized();
    showFullScreen();
  }
  action(kCmdViewFullScreen)->setChecked(isFullScreen());
}

void CMainFrame::options() {
  COptionsDlg dialog(slide_show_ms_, this);
  if (dialog.exec() == QDialog::Accepted) slide_show_ms_ = dialog.intervalMs();
}

}  // namespace orvane::app
