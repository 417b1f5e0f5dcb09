// Every output of a page holds the page the view shows: the PNG/PBM of
// render, the TIFF of convert (coded data kept or G4), and the PDF, each
// decoded again by netpbm, libtiff or poppler, at the resolution the view
// draws the page with.
#include <gtest/gtest.h>

#include <string>

#include "cli/run_cli.h"
#include "formats/container_writers.h"
#include "support/test_support.h"

namespace orvane {
namespace {

using test::Bytes;
using test::Pbm;

// PCX run-length coding of `rows` stored `line_bytes` wide (set bit white,
// as PCX stores a black-and-white page).
Bytes pcx_rows(const Pbm& img, int line_bytes) {
  Bytes out;
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < line_bytes; ++x) {
      const std::uint8_t black = x < img.row_bytes() ? img.bits[y * img.row_bytes() + x] : 0;
      const std::uint8_t b = std::uint8_t(~black);
      if (b >= 0xC0) out.push_back(0xC1);
      out.push_back(b);
    }
  }
  return out;
}

std::string quoted(const std::filesystem::path& p) {
  return "'" + p.string() + "'";
}

TEST(OutputsAgree, OddWidthPcxPagesAreTheSamePageInEveryOutput) {
  struct Case {
    const char* name;
    int width, line_bytes;
    std::uint16_t dpi;     // as the PCX header states it
    double points_across;  // the page's width in the PDF
    const char* tiff_resolution;
  } cases[] = {
      // 70 pixels are 9 bytes, stored padded to an even 10.
      {"padded", 70, 10, 200, 70 * 72.0 / 200, "Resolution: 200, 200 pixels/inch"},
      // A header without a density: drawn, and so written, at 100 dpi.
      {"no-dpi", 70, 10, 0, 70 * 72.0 / 100, "Resolution: 100, 100 pixels/inch"},
      {"exact", 64, 8, 300, 64 * 72.0 / 300, "Resolution: 300, 300 pixels/inch"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const Pbm img = test::test_image(c.width, 40, 7);
    test::PcxPage pcx{.xmax = std::int16_t(c.width - 1),
                      .ymax = 39,
                      .resolution = c.dpi,
                      .line_bytes = std::int16_t(c.line_bytes),
                      .coded = pcx_rows(img, c.line_bytes)};
    test::write_file(dir / "in.dcx", test::dcx_file({test::pcx_image(pcx)}));

    const std::string in = quoted(dir / "in.dcx");
    ASSERT_EQ(test::run_cli("render " + in + " -o " + quoted(dir / "view.pbm")).code, 0);
    const Pbm shown = test::read_pbm(dir / "view.pbm");
    ASSERT_TRUE(test::same_pixels(img, shown, "view"));

    for (const char* flags : {"", "--g4"}) {
      SCOPED_TRACE(flags);
      const auto tif = dir / "out.tif";
      const auto r = test::run_cli("convert " + in + " " + flags + " -o " + quoted(tif));
      ASSERT_EQ(r.code, 0) << r.out;
      const std::vector<Pbm> pages = test::tifftopnm_pages(dir, tif);
      ASSERT_EQ(pages.size(), 1u);
      EXPECT_TRUE(test::same_pixels(shown, pages[0], "tiff"));
      const std::string info = test::run_output("tiffinfo " + quoted(tif) + " 2>/dev/null");
      EXPECT_NE(info.find(c.tiff_resolution), std::string::npos) << info;
      std::filesystem::remove(tif);
    }

    const auto pdf = dir / "out.pdf";
    const auto r = test::run_cli("convert " + in + " --to pdf -o " + quoted(pdf));
    ASSERT_EQ(r.code, 0) << r.out;
    ASSERT_EQ(
        test::run("pdfimages -png " + quoted(pdf) + " " + quoted(dir / "img") + " && pngtopnm " +
                  quoted(dir / "img-000.png") + " > " + quoted(dir / "pdf.pbm") + " 2>/dev/null"),
        0);
    EXPECT_TRUE(test::same_pixels(shown, test::read_pbm(dir / "pdf.pbm"), "pdf"));
    const std::string info = test::run_output("pdfinfo " + quoted(pdf));
    char size[64];
    std::snprintf(size, sizeof size, "Page size:       %g x", c.points_across);
    EXPECT_NE(info.find(size), std::string::npos) << size << "\n" << info;
  }
}

}  // namespace
}  // namespace orvane
