// The slide show's timer: the pace it keeps and the steps it holds back.
#include "app/folders/slide_show.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QTimer>

namespace orvane::app {
namespace {

// Runs the event loop until `done` or the deadline.
template <typename Done>
bool spin_until(Done done, int milliseconds = 5000) {
  QDeadlineTimer deadline(milliseconds);
  while (!done() && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

TEST(SlideShow, NewIntervalTakesEffectAtTheNextStart) {
  SlideShow show;
  EXPECT_FALSE(show.running());
  show.toggle();
  EXPECT_TRUE(show.running());
  EXPECT_EQ(show.active_interval(), 2000);
  show.set_interval(5000);  // "5 s" chosen in Options meanwhile
  EXPECT_EQ(show.active_interval(), 2000);
  show.toggle();
  EXPECT_FALSE(show.running());
  show.toggle();
  EXPECT_EQ(show.active_interval(), 5000);
}

TEST(SlideShow, ModalDialogOfAStepHoldsFurtherSteps) {
  SlideShow show;
  show.set_interval(SlideShow::kMinimumIntervalMs);
  int steps = 0;
  int steps_when_dialog_closed = -1;
  QObject::connect(&show, &SlideShow::step, [&] {
    if (++steps != 1) return;
    // The first file is of a format we do not read: its notice stays up for
    // several intervals while the timer keeps firing.
    QDialog notice;
    QTimer::singleShot(SlideShow::kMinimumIntervalMs * 6, &notice, &QDialog::accept);
    notice.exec();
    steps_when_dialog_closed = steps;
  });
  show.start();
  ASSERT_TRUE(spin_until([&] { return steps >= 3; }));
  show.stop();
  EXPECT_EQ(steps_when_dialog_closed, 1);
}

}  // namespace
}  // namespace orvane::app
