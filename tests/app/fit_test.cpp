// Fit Width and Fit Page: the factor that fits the window, following the
// window's size until the next zoom step, which goes on from the step next
// to the fitted factor.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QStyle>

#include "app/fit_scaling.h"
#include "document_fixture.h"

namespace orvane::app {
namespace {

namespace ot = orvane::test;

TEST(FitScaling, TheFactorThatFitsTheArea) {
  // A letter page at 1.00 is 847 x 1122 (1728 x 2200 at 204 x 196 dpi).
  const QSize letter(847, 1122);
  const struct {
    FitMode mode;
    QSize page, area;
    float want;
  } cases[] = {
      // Taller than the window at its width: the scroll bar's 16 pixels go.
      {FitMode::kWidth, letter, {863, 600}, 1.0f},
      // As tall as it is wide fits without a scroll bar.
      {FitMode::kWidth, {400, 400}, {800, 900}, 2.0f},
      {FitMode::kPage, letter, {1000, 561}, 0.5f},
      {FitMode::kPage, {400, 100}, {800, 800}, 2.0f},
      // Within the zoom range.
      {FitMode::kPage, letter, {100, 100}, 0.25f},
      {FitMode::kWidth, {100, 10}, {1000, 100}, 4.0f},
      // Nothing to fit.
      {FitMode::kPage, {}, {800, 600}, 1.0f},
      {FitMode::kWidth, letter, {}, 1.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.area.width()) + "x" + std::to_string(c.area.height()));
    EXPECT_NEAR(fit_scaling(c.mode, c.page, c.area, 16), c.want, 0.002);
  }
}

class FitTest : public ::testing::Test {
 protected:
  test::DocumentAndView shown;
  COrvaneDoc& doc = shown.doc;
  COrvaneView& view = shown.view;

  void SetUp() override {
    shown.show({600, 500});
    ASSERT_TRUE(doc.open(test::fixture("tiff/multipage-1728-g4.tif")));
  }
};

TEST_F(FitTest, FollowsTheWindowUntilTheNextZoomStep) {
  doc.fitPage();
  const QSize area = view.maximumViewportSize();
  EXPECT_LE(view.drawnSize().width(), area.width());
  EXPECT_LE(view.drawnSize().height(), area.height());
  // One side touches the window's edge (within a pixel of rounding).
  EXPECT_TRUE(area.width() - view.drawnSize().width() <= 1 ||
              area.height() - view.drawnSize().height() <= 1);
  EXPECT_FALSE(view.verticalScrollBar()->isVisible() && view.verticalScrollBar()->maximum() > 0);

  const float before = doc.scaling();
  view.resize(900, 800);
  EXPECT_GT(doc.scaling(), before);
  EXPECT_EQ(doc.statusTexts().panes[3], QString::asprintf("Scaling: %1.2f", double(doc.scaling())));
  doc.nextPage();  // turning keeps fitting
  EXPECT_EQ(doc.fitMode(), FitMode::kPage);

  doc.fitWidth();
  const int scrollbar = view.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  EXPECT_GE(view.drawnSize().width(), view.maximumViewportSize().width() - scrollbar - 1);
  doc.zoomIn();
  EXPECT_EQ(doc.fitMode(), FitMode::kNone);
  const float zoomed = doc.scaling();
  view.resize(500, 400);
  EXPECT_EQ(doc.scaling(), zoomed);
}

TEST_F(FitTest, ZoomStepsGoOnFromTheStepNextToTheFittedFactor) {
  const struct {
    int width;  // the window, for Fit Width
    bool in;
    float want;
  } cases[] = {
      {560, true, 0.75f},                       // fitted about 0.64
      {560, false, 0.5f}, {900, true, 1.25f},   // fitted about 1.04
      {900, false, 1.0f}, {240, false, 0.25f},  // fitted about 0.26
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + (c.in ? " in" : " out"));
    view.resize(c.width, 500);
    doc.fitWidth();
    c.in ? doc.zoomIn() : doc.zoomOut();
    EXPECT_FLOAT_EQ(doc.scaling(), c.want);
  }
}

}  // namespace
}  // namespace orvane::app
