// How a page is sized, turned into an image and drawn.
#include <gtest/gtest.h>

#include <QScrollBar>

#include "app/display_image.h"
#include "app/display_size.h"
#include "app/page_tiles.h"
#include "document_fixture.h"

namespace orvane::app {
namespace {

PageBitmap page_of(int width, int height, std::uint16_t xres, std::uint16_t yres,
                   std::uint8_t unit) {
  PageBitmap p;
  p.width = width;
  p.height = height;
  p.row_bytes = row_bytes_for(width);
  p.xres = xres;
  p.yres = yres;
  p.unit = unit;
  (void)p.allocate_pixels(std::int64_t(p.row_bytes) * height);
  return p;
}

TEST(DisplaySize, FollowsResolutionUnitAndScaling) {
  struct Case {
    const char* what;
    int width, height;
    std::uint16_t xres, yres;
    std::uint8_t unit;
    float scaling;
    int shown_width, shown_height;
    std::uint16_t xres_after, yres_after;
  };
  const Case cases[] = {
      {"standard fax", 1728, 1100, 200, 100, 2, 1.0f, 864, 1100, 200, 100},
      {"standard fax at 2.00", 1728, 1100, 200, 100, 2, 2.0f, 1728, 2200, 200, 100},
      {"fine fax at 0.25", 1728, 2200, 200, 200, 2, 0.25f, 216, 275, 200, 200},
      {"centimetres become inches", 1728, 1100, 80, 40, 3, 1.0f, 851, 1089, 203, 101},
      {"pixels are 200 x 100 dpi", 1728, 1100, 7, 7, 1, 1.0f, 864, 1100, 200, 100},
      {"unknown unit: one pixel each", 1728, 1100, 200, 100, 0, 1.0f, 1728, 1100, 200, 100},
      {"no resolution: one pixel each", 1728, 1100, 0, 0, 2, 1.0f, 1728, 1100, 0, 0},
      {"no page: 100 x 100", 0, 0, 200, 100, 2, 1.0f, 100, 100, 200, 100},
      {"sizes truncate", 1713, 1000, 204, 196, 2, 1.25f, 1048, 637, 204, 196},
      {"largest centimetre resolution stays in range", 100, 100, 65000, 65000, 3, 1.0f, 100, 100,
       65535, 65535},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PageBitmap page = page_of(c.width, c.height, c.xres, c.yres, c.unit);
    const DisplaySize size = display_size(page, c.scaling);
    EXPECT_EQ(size.source_width, c.width);
    EXPECT_EQ(size.source_height, c.height);
    EXPECT_EQ(size.width, c.shown_width);
    EXPECT_EQ(size.height, c.shown_height);
    EXPECT_EQ(page.xres, c.xres_after);
    EXPECT_EQ(page.yres, c.yres_after);
    EXPECT_EQ(page.unit, 2);
  }
}

TEST(DisplayImage, AnyRowStrideGivesTheSamePixels) {
  for (int width : {1713, 1728, 1001, 9}) {
    SCOPED_TRACE(width);
    PageBitmap page = page_of(width, 7, 200, 100, 2);
    // A slanted stroke: any shear moves it.
    for (int r = 0; r < page.height; ++r) {
      for (int x = 0; x < width; ++x) {
        if ((x + 3 * r) % 11 < 4) page.row(r)[x / 8] |= std::uint8_t(0x80 >> (x % 8));
      }
    }
    const QImage image = page_image(page);
    ASSERT_EQ(image.size(), QSize(width, 7));
    int wrong = 0;
    for (int r = 0; r < page.height; ++r) {
      for (int x = 0; x < width; ++x) {
        const bool white = page.row(r)[x / 8] & (0x80 >> (x % 8));
        wrong += (qGray(image.pixel(x, r)) == 255) != white;
      }
    }
    EXPECT_EQ(wrong, 0);
  }
  EXPECT_TRUE(page_image(PageBitmap{}).isNull());
}

TEST(DisplayImage, ReductionAveragesRowsInsteadOfDroppingThem) {
  // One black row in four: at a quarter of the size every row must come
  // out a light grey; dropping rows gives black or white rows instead.
  PageBitmap page = page_of(1728, 400, 200, 200, 2);
  std::fill(page.pixels.begin(), page.pixels.end(), 0xFF);
  for (int r = 1; r < page.height; r += 4) std::fill_n(page.row(r), page.row_bytes, 0);
  const QImage small = scaled_page(page, QSize(432, 100), 1.0, false);
  ASSERT_EQ(small.size(), QSize(432, 100));
  for (int y = 2; y < 98; ++y) {
    const int grey = qGray(small.pixel(200, y));
    EXPECT_GT(grey, 150) << "row " << y;
    EXPECT_LT(grey, 230) << "row " << y;
  }
  const QImage reversed = scaled_page(page, QSize(432, 100), 1.0, true);
  EXPECT_NEAR(qGray(reversed.pixel(200, 50)), 255 - qGray(small.pixel(200, 50)), 1);
}

// A dense screen gets as many more pixels as it has per logical pixel; the
// image says so, so that it is painted at the logical size.
TEST(DisplayImage, DrawnForTheScreensPixelRatio) {
  PageBitmap page = page_of(1728, 2200, 200, 200, 2);
  std::fill(page.pixels.begin(), page.pixels.end(), 0xFF);
  const struct {
    qreal ratio;
    QSize device;
  } cases[] = {{1.0, {864, 1100}}, {2.0, {1728, 2200}}, {1.5, {1296, 1650}}, {0.001, {1, 1}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ratio);
    const QImage drawn = scaled_page(page, QSize(864, 1100), c.ratio, false);
    EXPECT_EQ(drawn.size(), c.device);
    EXPECT_EQ(drawn.devicePixelRatio(), c.ratio);
    EXPECT_EQ(qGray(drawn.pixel(0, 0)), 255);
  }
  EXPECT_TRUE(scaled_page(PageBitmap{}, QSize(10, 10), 1.0, false).isNull());
  EXPECT_TRUE(scaled_page(page, QSize(0, 10), 1.0, false).isNull());
}

class ViewTest : public ::testing::Test {
 protected:
  test::DocumentAndView shown;
  COrvaneDoc& doc = shown.doc;
  COrvaneView& view = shown.view;

  void SetUp() override {
    shown.show({900, 700});
    ASSERT_TRUE(doc.open(test::fixture("tiff/multipage-1728-g4.tif")));
  }
  QRgb at(int x, int y) { return view.viewport()->grab().toImage().pixel(x, y); }
};

TEST_F(ViewTest, DrawsAtTheTopLeftOnGreyWithTheScrollRangeOfThePage) {
  doc.zoomOut();
  doc.zoomOut();
  doc.zoomOut();  // 0.25
  const QSize drawn = view.drawnSize();
  EXPECT_EQ(drawn, QSize(doc.page().width * 100 / doc.page().xres / 4,
                         doc.page().height * 100 / doc.page().yres / 4));
  EXPECT_EQ(at(drawn.width() + 5, 5), COrvaneView::kBackground);
  EXPECT_EQ(at(5, drawn.height() + 5), COrvaneView::kBackground);
  EXPECT_NE(at(drawn.width() / 2, drawn.height() / 2), COrvaneView::kBackground);
  EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);

  doc.zoomIn();
  doc.zoomIn();
  doc.zoomIn();
  doc.zoomIn();
  doc.zoomIn();  // 1.50: larger than the window
  EXPECT_GT(view.drawnSize().width(), view.viewport()->width());
  EXPECT_EQ(view.horizontalScrollBar()->maximum(),
            view.drawnSize().width() - view.viewport()->width());
  EXPECT_EQ(view.verticalScrollBar()->maximum(),
            std::max(0, view.drawnSize().height() - view.viewport()->height()));
}

// Drawn in tiles, what is in sight is the page drawn whole, cut at the
// scroll position: at every scaling, reversed or not, flipped and mirrored,
// on a fine A4 page. The tiles held stay within two windows' worth however far it scrolls,
// and go when the page is zoomed out of.
TEST_F(ViewTest, WhatIsInSightIsThePageDrawnWhole) {
  // The part of the window the page covers, and the same part of the
  // page drawn whole.
  const auto scrolled = [&] {
    return QPoint(view.horizontalScrollBar()->value(), view.verticalScrollBar()->value());
  };
  const auto on_page = [&] {
    return QRect(scrolled(), view.viewport()->size()) & QRect(QPoint(0, 0), view.drawnSize());
  };
  const auto in_sight = [&] {
    const QImage window = view.viewport()->grab().toImage();
    return window.convertToFormat(QImage::Format_RGB32).copy(on_page().translated(-scrolled()));
  };
  const auto whole_cut = [&](bool reversed) {
    const QImage whole = scaled_page(doc.page(), view.drawnSize(), 1.0, reversed);
    return whole.copy(on_page()).convertToFormat(QImage::Format_RGB32);
  };
  ASSERT_TRUE(doc.open(test::sample("sample.tif")));
  const float scalings[] = {0.25f, 1.0f, 2.0f, 4.0f};
  for (const float scaling : scalings) {
    while (doc.scaling() < scaling && doc.canZoomIn()) doc.zoomIn();
    while (doc.scaling() > scaling && doc.canZoomOut()) doc.zoomOut();
    ASSERT_EQ(doc.scaling(), scaling);
    SCOPED_TRACE(scaling);
    if (scaling < 1) {
      EXPECT_EQ(in_sight(), whole_cut(false));
      continue;
    }
    view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum() / 3);
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() / 2 + 7);
    EXPECT_EQ(in_sight(), whole_cut(false));
    doc.flip();
    doc.mirror();
    view.toggleReversed();
    EXPECT_EQ(in_sight(), whole_cut(true));
    view.toggleReversed();
    // The page drawn whole is 61 MB at 4.00.
    for (int step = 0; step <= 8; ++step) {
      view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() * step / 8);
      view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum() * step / 8);
      (void)in_sight();
    }
    EXPECT_LE(view.tiles().bytes(), std::size_t(16) << 20);
  }
  doc.zoomOut();
  EXPECT_LT(view.tiles().bytes(), std::size_t(8) << 20);
}

TEST_F(ViewTest, ReversedDisplayStaysOnAcrossPagesAndFiles) {
  const QRgb corner = at(2, 2);  // the white margin of the page
  EXPECT_EQ(qGray(corner), 255);
  view.toggleReversed();
  EXPECT_EQ(qGray(at(2, 2)), 0);
  doc.nextPage();
  EXPECT_TRUE(view.reversed());
  EXPECT_EQ(qGray(at(2, 2)), 0);
  doc.open(doc.path());
  EXPECT_EQ(qGray(at(2, 2)), 0);
  view.toggleReversed();
  EXPECT_EQ(qGray(at(2, 2)), 255);
}

TEST_F(ViewTest, NoPageShowsOnlyTheBackground) {
  orvane::test::TempDir dir;
  orvane::test::write_file(dir / "notes.txt", {'h', 'i'});
  doc.open(QString::fromStdString((dir / "notes.txt").string()));
  EXPECT_TRUE(view.drawnPage().isNull());
  EXPECT_EQ(at(10, 10), COrvaneView::kBackground);
}

}  // namespace
}  // namespace orvane::app
