// Printing to a PDF printer, checked with poppler's pdfinfo and pdftoppm:
// how many sheets, which page on each, where and how large it lands.
#include "app/printing/fax_print_job.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tiff/tiff_writer.h"

namespace orvane::app {
namespace {

namespace fs = std::filesystem;

constexpr int kRenderDpi = 50;      // pdftoppm's resolution for the checks
constexpr double kMarginMm = 10.0;  // the printer's margins on every side
constexpr double kMarginPx = kMarginMm / 25.4 * kRenderDpi;

// A TIFF fax of uncompressed pages `width` pixels wide, page k rows[k] high,
// at `dpi` both ways, each page white with its bottom quarter black.
void write_banded_fax(const fs::path& path, int width, const std::vector<int>& rows, int dpi) {
  TiffWriter w;
  ASSERT_TRUE(w.create(path));
  w.write_header();
  const int row_bytes = (width + 7) / 8;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    w.reset_entries();
    ASSERT_TRUE(w.set_coding_by_mode(1, 0));  // WhiteIsZero: a 1 bit is black
    w.set_fill_order(1);
    w.set_size(std::uint32_t(width), std::uint32_t(rows[k]));
    w.set_page_number(std::uint16_t(k), std::uint16_t(rows.size()));
    std::vector<std::uint8_t> data(std::size_t(row_bytes) * std::size_t(rows[k]), 0);
    std::fill(data.begin() + std::ptrdiff_t(row_bytes) * (rows[k] - rows[k] / 4), data.end(), 0xFF);
    w.write_directory(w.write_page_data(data, std::uint32_t(dpi), std::uint32_t(dpi), 2));
  }
  ASSERT_TRUE(w.close());
}

struct Box {
  int left = -1, top = -1, right = -1, bottom = -1;  // dark pixels, inclusive
};

// The box around the dark pixels (below mid-grey) of a binary PGM (P5).
Box dark_box(const fs::path& pgm) {
  const std::vector<std::uint8_t> bytes = test::read_file(pgm);
  const std::string text(bytes.begin(), bytes.end());
  int width = 0, height = 0, maxval = 0, header = 0;
  EXPECT_EQ(std::sscanf(text.c_str(), "P5 %d %d %d%n", &width, &height, &maxval, &header), 3);
  const std::size_t start = std::size_t(header) + 1;  // one blank after the header
  EXPECT_EQ(bytes.size(), start + std::size_t(width) * std::size_t(height));
  Box box;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (bytes[start + std::size_t(y * width + x)] >= 128) continue;
      box.left = box.left < 0 ? x : std::min(box.left, x);
      box.right = std::max(box.right, x);
      box.top = box.top < 0 ? y : box.top;
      box.bottom = y;
    }
  }
  return box;
}

// The expected black box from its place on the paper, in inches from the
// top-left corner of the printable area.
Box inches(double left, double top, double right, double bottom) {
  auto px = [](double in) { return int(kMarginPx + in * kRenderDpi + 0.5); };
  return {px(left), px(top), px(right) - 1, px(bottom) - 1};
}

void expect_near(const Box& got, const Box& want) {
  constexpr int kSlack = 2;  // smoothing and rounding at the edges
  EXPECT_NEAR(got.left, want.left, kSlack);
  EXPECT_NEAR(got.top, want.top, kSlack);
  EXPECT_NEAR(got.right, want.right, kSlack);
  EXPECT_NEAR(got.bottom, want.bottom, kSlack);
}

class PrintToPdf : public ::testing::Test {
 protected:
  PrintToPdf() : printer_(QPrinter::HighResolution) {
    printer_.setOutputFormat(QPrinter::PdfFormat);
    printer_.setOutputFileName(QString::fromStdString((dir_ / "out.pdf").string()));
    printer_.setPageSize(QPageSize(QPageSize::A4));
    printer_.setPageMargins(QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                            QPageLayout::Millimeter);
  }

  PrintSource source(const fs::path& fax, float scaling = 1.0f, bool reversed = false) {
    PrintSource s;
    s.path = QString::fromStdString(fax.string());
    s.scratch = {dir_ / "orvtmp.tmp", dir_ / "segtemp.tmp", dir_ / "tmptif"};
    s.scaling = scaling;
    s.reversed = reversed;
    return s;
  }

  std::string pdfinfo() {
    return test::run_output("pdfinfo -f 1 -l 99 " + (dir_ / "out.pdf").string());
  }

  // Sheet `number` rendered in grey.
  Box sheet(int number) {
    const fs::path prefix = dir_ / ("sheet" + std::to_string(number));
    const std::string n = std::to_string(number);
    EXPECT_EQ(test::run("pdftoppm -gray -r " + std::to_string(kRenderDpi) + " -singlefile -f " + n +
                        " -l " + n + " " + (dir_ / "out.pdf").string() + " " + prefix.string()),
              0);
    return dark_box(prefix.string() + ".pgm");
  }

  test::TempDir dir_;
  QPrinter printer_;
  FaxPrintJob job_;
};

TEST_F(PrintToPdf, EveryPageAtItsPaperSizeTimesTheScaling) {
  // 1728 x 2200 at 200 dpi is 8.64 x 11 inches; at 0.50 it prints 4.32 x 5.5.
  const fs::path fax = dir_ / "three.tif";
  write_banded_fax(fax, 1728, {2200, 2200, 2200}, 200);
  ASSERT_EQ(job_.prepare(source(fax, 0.5f)), 3);
  ASSERT_TRUE(job_.print(printer_, 1, 3));

  const std::string info = pdfinfo();
  EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
  for (int page = 1; page <= 3; ++page) {
    SCOPED_TRACE("sheet " + std::to_string(page));
    EXPECT_NE(info.find("Page    " + std::to_string(page) + " size:  595 x 842 pts (A4)"),
              std::string::npos)
        << info;
    expect_near(sheet(page), inches(0, 5.5 * 0.75, 4.32, 5.5));
  }
}

TEST_F(PrintToPdf, ARangeLoadsExactlyItsPages) {
  // Page k is k inches high, so each sheet tells which page it holds.
  const fs::path fax = dir_ / "five.tif";
  write_banded_fax(fax, 800, {200, 400, 600, 800, 1000}, 200);
  ASSERT_EQ(job_.prepare(source(fax)), 5);
  ASSERT_TRUE(job_.print(printer_, 2, 3));

  EXPECT_NE(pdfinfo().find("Pages:           2"), std::string::npos);
  expect_near(sheet(1), inches(0, 2 * 0.75, 4, 2));
  expect_near(sheet(2), inches(0, 3 * 0.75, 4, 3));
  EXPECT_EQ(job_.record().page().height, 600);  // page 3, the last printed
}

// A 4 x 2 inch page with its bottom half inch black, printed as shown:
// reversed, the white three quarters print black; turned, the band turns
// with the page.
TEST_F(PrintToPdf, ReversedAndTurnedDisplayPrintsSo) {
  const fs::path fax = dir_ / "one.tif";
  write_banded_fax(fax, 800, {400}, 200);
  const struct {
    bool reversed;
    int turns;
    Box black;
  } cases[] = {
      {true, 0, inches(0, 0, 4, 1.5)},
      {false, 1, inches(0, 0, 0.5, 4)},  // clockwise: the bottom goes left
      {false, 2, inches(0, 0, 4, 0.5)},
      {false, -1, inches(1.5, 0, 2, 4)},
      {true, 1, inches(0.5, 0, 2, 4)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.turns) + (c.reversed ? " reversed" : ""));
    PrintSource s = source(fax, 1.0f, c.reversed);
    s.quarter_turns = c.turns;
    ASSERT_EQ(job_.prepare(s), 1);
    ASSERT_TRUE(job_.print(printer_, 1, 1));
    expect_near(sheet(1), c.black);
  }
}

// The printer gets the page's bits as a one-bit bitmap in both looks; a
// reversed page once went out as a colour JPEG many times larger.
TEST_F(PrintToPdf, PagesGoOutAsOneBitBitmapsReversedOrNot) {
  const fs::path fax = dir_ / "one.tif";
  write_banded_fax(fax, 800, {400}, 200);
  for (const bool reversed : {false, true}) {
    SCOPED_TRACE(reversed ? "reversed" : "normal");
    ASSERT_EQ(job_.prepare(source(fax, 1.0f, reversed)), 1);
    ASSERT_TRUE(job_.print(printer_, 1, 1));
    // "page num type width height color comp bpc enc ..."
    const std::string list = test::run_output("pdfimages -list " + (dir_ / "out.pdf").string());
    std::istringstream rows(list);
    std::string line, type, color, enc;
    int images = 0, page = 0, num = 0, width = 0, height = 0, comp = 0, bpc = 0;
    while (std::getline(rows, line)) {
      std::istringstream row(line);
      if (!(row >> page >> num >> type >> width >> height >> color >> comp >> bpc >> enc)) continue;
      ++images;
      EXPECT_EQ(bpc, 1) << line;
      EXPECT_NE(enc, "jpeg") << line;
      EXPECT_EQ(width, 800) << line;
    }
    EXPECT_EQ(images, 1) << list;
  }
}

// A page that does not load prints as a sheet that says why, never as the
// page before it (which its reader leaves in the bitmap).
TEST_F(PrintToPdf, APageThatDoesNotLoadPrintsItsReason) {
  ASSERT_EQ(test::run("'" ORVANE_SOURCE_DIR
                      "/tests/app/screenshots/make-unreadable-pages' '" ORVANE_SOURCE_DIR
                      "/samples/sample.tif' '" +
                      dir_.path().string() + "' >/dev/null 2>&1"),
            0);
  ASSERT_EQ(job_.prepare(source(dir_ / "third-page-unreadable.tif")), 3);
  ASSERT_TRUE(job_.print(printer_, 1, 3));
  const std::string pdf = (dir_ / "out.pdf").string();
  EXPECT_NE(test::run_output("pdftotext -f 3 -l 3 " + pdf + " -")
                .find("Page 3 does not decode: its directory cannot be read."),
            std::string::npos);
  // One image on each of the first two sheets, none on the third.
  const std::string list = test::run_output("pdfimages -list " + pdf);
  EXPECT_NE(list.find("\n   2 "), std::string::npos) << list;
  EXPECT_EQ(list.find("\n   3 "), std::string::npos) << list;
}

TEST_F(PrintToPdf, NothingToPrintFromAFileNoReaderAccepts) {
  const fs::path text = dir_ / "notes.txt";
  test::write_file(text, {'h', 'i'});
  EXPECT_EQ(job_.prepare(source(text)), 0);
  EXPECT_FALSE(job_.print(printer_, 1, 1));
  EXPECT_FALSE(fs::exists(dir_ / "out.pdf"));
}

}  // namespace
}  // namespace orvane::app
