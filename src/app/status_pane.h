#pragma once
// A fax pane of the status bar: as wide as the longest text it shows, so
// that it neither cuts that text nor jumps as texts change; in a narrow
// window it gives way down to its indicator's width and then shortens its
// text with "..." (the whole text is its tooltip).
#include <QLabel>
#include <QStringList>

namespace orvane::app {

class CStatusPane : public QLabel {
  Q_OBJECT
 public:
  // `longest`: the widest texts the pane will show; `minimum`: the width
  // it keeps whatever the window's width.
  CStatusPane(const QString& text, const QStringList& longest, int minimum,
              QWidget* parent = nullptr);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  void setPaneText(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QStringList longest_;
  int minimum_;
};

}  // namespace orvane::app
