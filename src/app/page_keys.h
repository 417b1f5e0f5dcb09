#pragma once
// The keys and the wheel of the page view as people know them from other
// document viewers: Space and Shift+Space read on screen by screen across
// the pages, Left and Right turn the page while it fits the window's width,
// and the wheel goes on to the next or previous page at a page's end.
#include <QObject>

namespace orvane::app {

class COrvaneDoc;
class COrvaneView;

class CPageKeys : public QObject {
  Q_OBJECT
 public:
  // Watches `view` (and its viewport, where the wheel arrives). Owned by
  // the view.
  CPageKeys(COrvaneView& view, COrvaneDoc& doc);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Scrolls one screen down (`forward`) or up, turning the page past its
  // end or start; false when there is nowhere to go.
  bool screen(bool forward);
  bool turn(bool forward);

  COrvaneView& view_;
  QObject* viewport_;
  COrvaneDoc& doc_;
};

}  // namespace orvane::app
