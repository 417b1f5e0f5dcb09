#include "app/find_bar.h"

#include <QAction>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>

namespace orvane::app {

namespace {

// Return, Shift+Return and Escape in the text field (Escape also where
// the window's shortcuts do not reach it).
class FieldKeys : public QObject {
 public:
  explicit FieldKeys(CFindBar* bar) : QObject(bar), bar_(bar) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) {
      bar_->closeBar();
      return true;
    }
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    if (key->modifiers() & Qt::ShiftModifier) {
      emit bar_->previousRequested();
    } else {
      emit bar_->nextRequested();
    }
    return true;
  }

 private:
  CFindBar* bar_;
};

}  // namespace

CFindBar::CFindBar(QWidget* parent)
    : QToolBar(QStringLiteral("Find"), parent), edit_(new QLineEdit), status_(new QLabel) {
  setObjectName(QStringLiteral("FindBar"));
  setMovable(false);
  setFloatable(false);
  setIconSize(QSize(16, 16));
  // Shown by Find Text only; not a bar of the View menu's.
  toggleViewAction()->setVisible(false);
  addWidget(new QLabel(tr("Find:")));
  edit_->setObjectName(QStringLiteral("findText"));
  edit_->setPlaceholderText(tr("Words in the fax"));
  edit_->setClearButtonEnabled(true);
  edit_->setMaximumWidth(320);
  edit_->installEventFilter(new FieldKeys(this));
  addWidget(edit_);
  QAction* previous = addAction(QIcon::fromTheme(QStringLiteral("go-up")), tr("Previous"));
  previous->setToolTip(tr("Previous place (Shift+F3)"));
  previous->setObjectName(QStringLiteral("findPrevious"));
  QAction* next = addAction(QIcon::fromTheme(QStringLiteral("go-down")), tr("Next"));
  next->setToolTip(tr("Next place (F3)"));
  next->setObjectName(QStringLiteral("findNext"));
  status_->setObjectName(QStringLiteral("findStatus"));
  status_->setContentsMargins(8, 0, 8, 0);
  addWidget(status_);
  auto* spacer = new QWidget;
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  addWidget(spacer);
  QAction* close = addAction(QIcon::fromTheme(QStringLiteral("window-close")), tr("Close"));
  close->setToolTip(tr("Close the find bar (Escape)"));
  close->setObjectName(QStringLiteral("findClose"));
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WidgetWithChildrenShortcut);

  connect(edit_, &QLineEdit::textChanged, this, &CFindBar::textChanged);
  connect(previous, &QAction::triggered, this, &CFindBar::previousRequested);
  connect(next, &QAction::triggered, this, &CFindBar::nextRequested);
  connect(close, &QAction::triggered, this, &CFindBar::closeBar);
  connect(escape, &QShortcut::activated, this, &CFindBar::closeBar);
}

void CFindBar::closeBar() {
  hide();
  emit closed();
}

QString CFindBar::text() const {
  return edit_->text();
}

void CFindBar::setStatus(const QString& text) {
  status_->setText(text);
}

void CFindBar::open() {
  show();
  edit_->setFocus(Qt::ShortcutFocusReason);
  edit_->selectAll();
}

}  // namespace orvane::app
