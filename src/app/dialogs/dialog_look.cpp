#include "app/dialogs/dialog_look.h"

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QScreen>
#include <QSplitter>
#include <QTreeView>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstring>
#include <memory>

namespace orvane::app {

namespace {
// Close button, icon and frame of a usual title bar.
constexpr int kTitleBarExtra = 120;
// The X11 platform's window type for a toolbar (its list of types is taken
// from this window property when the window's flags are set).
constexpr int kXcbToolbarType = 0x8;
}  // namespace

void apply_fax_dialog_look(QWidget* widget) {
  widget->setStyleSheet(
      QStringLiteral("QLabel, QCheckBox { color: rgb(128, 128, 255); background: transparent; }"
                     "QLineEdit { color: rgb(32, 32, 255); }"));
}

int title_bar_width(const QString& title) {
  // Window managers draw titles bold and somewhat larger than the text of
  // the dialog.
  QFont font = QApplication::font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.1);
  return QFontMetrics(font).horizontalAdvance(title) + kTitleBarExtra;
}

namespace {

// The value of an X property of `window`, as bytes; empty when it is missing.
QByteArray x_property(xcb_connection_t* c, xcb_window_t window, const char* name, xcb_atom_t type) {
  const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, std::uint16_t(std::strlen(name)), name),
                            nullptr),
      &std::free);
  if (!atom || atom->atom == XCB_ATOM_NONE) return {};
  const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
      xcb_get_property_reply(c, xcb_get_property(c, 0, window, atom->atom, type, 0, 64), nullptr),
      &std::free);
  if (!reply || reply->type == XCB_ATOM_NONE) return {};
  return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                    xcb_get_property_value_length(reply.get()));
}

// Whether the running window manager names itself Openbox (through the
// check window the window-manager standard has it keep on the root).
bool openbox_manages_windows() {
  static const bool openbox = [] {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const QByteArray check = x_property(c, root, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW);
    if (check.size() != sizeof(xcb_window_t)) return false;
    xcb_window_t wm = 0;
    std::memcpy(&wm, check.constData(), sizeof wm);
    return x_property(c, wm, "_NET_WM_NAME", XCB_GET_PROPERTY_TYPE_ANY) == "Openbox";
  }();
  return openbox;
}

// Under openbox the dialog is announced as a toolbar first and a dialog
// second. Openbox draws Minimize and Maximize on every dialog and normal
// window whatever its Motif hints or size limits ask, and leaves them off
// toolbar and menu windows only. Other managers are left the plain dialog
// type: some neither focus a toolbar when it appears nor list it, and they
// go by the Motif hints for the buttons anyway. Called before the window is
// first mapped.
void announce_small_window(QWidget* dialog) {
  QWindow* window = dialog->windowHandle();
  if (!window || QGuiApplication::platformName() != QLatin1String("xcb") ||
      !openbox_manages_windows())
    return;
  window->setProperty("_q_xcb_wm_window_type", kXcbToolbarType);
  // The types are written when the flags change; the passing flag is
  // gone again before the window is mapped.
  const Qt::WindowFlags flags = window->flags();
  window->setFlags(flags ^ Qt::WindowContextHelpButtonHint);
  window->setFlags(flags);
}

// Fixes a dialog at the size its contents ask for once it is shown (its
// layout is complete then, the window not yet mapped): window managers that
// draw every button whatever the window asks still drop Maximize for a
// window that cannot grow.
class FixedOnShow : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      auto* dialog = static_cast<QWidget*>(watched);
      dialog->setFixedSize(dialog->size().expandedTo(dialog->minimumSizeHint()));
      announce_small_window(dialog);
      dialog->removeEventFilter(this);
    }
    return false;
  }
};

// Gives every message box, as it is first shown, the frame of the small
// dialogs: Qt's own boxes already leave Minimize and Maximize out of their
// hints.
class MessageBoxFrames : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      auto* box = qobject_cast<QMessageBox*>(watched);
      if (box && box->isWindow() && !box->property(kAnnounced).toBool()) {
        box->setProperty(kAnnounced, true);
        announce_small_window(box);
      }
    }
    return false;
  }

 private:
  static constexpr const char* kAnnounced = "orvane_small_window";
};

}  // namespace

void frame_message_boxes(QObject* owner) {
  QCoreApplication::instance()->installEventFilter(new MessageBoxFrames(owner));
}

void apply_dialog_frame(QDialog* dialog) {
  dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  dialog->setMinimumWidth(std::max(dialog->minimumWidth(), title_bar_width(dialog->windowTitle())));
  dialog->installEventFilter(new FixedOnShow(dialog));
}

void plain_warning(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, parent);
  // The parent's style sheet reaches its children: the box puts the
  // palette's own colours back.
  box.setStyleSheet(
      QStringLiteral("QLabel { color: palette(window-text); background: transparent; }"));
  box.exec();
}

void fit_file_dialog(QFileDialog& dialog, const QWidget* over) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  const QScreen* screen = over ? over->screen() : QGuiApplication::primaryScreen();
  const QSize room = screen ? screen->availableSize() : QSize(1024, 768);
  const QSize size(std::min(900, room.width() * 9 / 10), std::min(620, room.height() * 9 / 10));
  dialog.resize(size);
  // The places beside the files take a fifth; in the detailed view the
  // names take half of the rest, the size, type and date what they need.
  if (auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter")))
    splitter->setSizes({size.width() / 5, size.width() - size.width() / 5});
  if (auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    QHeaderView* header = tree->header();
    const QFontMetrics metrics(tree->font());
    const int files = size.width() - size.width() / 5;
    header->setStretchLastSection(true);
    header->resizeSection(0, files / 2);
    header->resizeSection(1, metrics.horizontalAdvance(QStringLiteral("1023.9 KiB")) + 24);
    header->resizeSection(2, metrics.horizontalAdvance(QStringLiteral("tif File")) + 48);
  }
}

}  // namespace orvane::app
