// Fax files of every format as PDF, checked by independent PDF tools
// (qpdf, poppler's pdfinfo, pdfimages and pdftoppm): the file is sound,
// every page has its true size, every image is CCITT-coded, and every image
// decodes to exactly the page as this program shows it. Pages whose coded
// data a PDF reader takes as it is go in unchanged; the others are encoded.
#include "core/pdf_export.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "core/classify.h"
#include "core/fax_file.h"
#include "core/g4_tiff_export.h"
#include "core/scratch_dir.h"
#include "formats/container_writers.h"
#include "formats/format_reader.h"
#include "formats/pdf_writer.h"
#include "support/test_support.h"

namespace orvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::Pbm;
using test::TempDir;

std::string q(const std::filesystem::path& p) {
  return "'" + p.string() + "'";
}

// The pages of a file as the viewer shows them, with their sizes in points.
struct Shown {
  std::vector<Pbm> pages;
  std::vector<PageSizePoints> sizes;
};

Shown shown_pages(const std::filesystem::path& file) {
  ScratchDir scratch;
  FaxFile fax;
  fax.set_working_paths(scratch.paths());
  fax.set_parameters({});
  const std::int32_t format = classify(file);
  EXPECT_EQ(fax.open(file, format), 0) << file;
  Shown s;
  for (std::uint32_t i = 0; i < fax.page_count(); ++i) {
    fax.load_page(format, i);
    if (!fax.page_valid()) continue;
    const PageBitmap& p = fax.page();
    s.pages.push_back(test::to_pbm(p));
    s.sizes.push_back(page_size_points(p.width, p.height, p.xres, p.yres, p.unit));
  }
  return s;
}

// Every check the tools can make of one PDF against the pages shown.
void expect_sound_pdf(const TempDir& dir, const std::filesystem::path& pdf, const Shown& shown,
                      const std::string& name) {
  SCOPED_TRACE(name);
  EXPECT_EQ(test::run("qpdf --check " + q(pdf) + " > /dev/null 2>&1"), 0);

  std::istringstream info(test::run_output("pdfinfo -f 1 -l 9999 " + q(pdf) + " 2>&1"));
  std::vector<PageSizePoints> sizes;
  for (std::string line; std::getline(info, line);) {
    double w = 0, h = 0;
    int n = 0;
    if (std::sscanf(line.c_str(), "Page %d size: %lf x %lf pts", &n, &w, &h) == 3)
      sizes.push_back({w, h});
    EXPECT_EQ(line.find("rror"), std::string::npos) << line;
  }
  ASSERT_EQ(sizes.size(), shown.pages.size());
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    EXPECT_NEAR(sizes[i].width, shown.sizes[i].width, 0.01) << "page " << i + 1;
    EXPECT_NEAR(sizes[i].height, shown.sizes[i].height, 0.01) << "page " << i + 1;
  }

  // pdfimages -list: two heading lines, then one line per image.
  std::istringstream list(test::run_output("pdfimages -list " + q(pdf) + " 2>&1"));
  std::string line;
  int images = 0;
  for (int skip = 0; skip < 2 && std::getline(list, line); ++skip) {
  }
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    std::string page, num, type, width, height, color, comp, bpc, enc;
    fields >> page >> num >> type >> width >> height >> color >> comp >> bpc >> enc;
    EXPECT_EQ(enc, "ccitt") << line;
    ++images;
  }
  EXPECT_EQ(images, int(shown.pages.size()));

  const auto prefix = dir / "img";
  ASSERT_EQ(test::run("pdfimages " + q(pdf) + " " + q(prefix)), 0);
  for (std::size_t i = 0; i < shown.pages.size(); ++i) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "-%03zu.pbm", i);
    const auto image = dir / ("img" + std::string(suffix));
    EXPECT_TRUE(test::same_pixels(shown.pages[i], test::read_pbm(image),
                                  name + "-page" + std::to_string(i + 1)));
    std::filesystem::remove(image);
  }
  // Every page renders, and without a word on stderr.
  EXPECT_EQ(test::run_output("pdftoppm -r 10 " + q(pdf) + " " + q(dir / "ppm") + " 2>&1"), "");
}

struct Input {
  std::string name;  // file name in the folder; its ending picks the reader
  Bytes bytes;
  std::uint32_t kept;  // pages expected to keep their coded data
};

// One file of every format, and TIFF pages of every coding and layout.
std::vector<Input> inputs(const TempDir& tools) {
  std::vector<Input> in;
  auto fixture = [&](const std::string& rel, std::uint32_t kept) {
    in.push_back({std::filesystem::path(rel).filename().string(),
                  test::read_file(test::fixture(rel)), kept});
  };
  fixture("tiff/text-1728-g4.tif", 1);
  fixture("tiff/text-1728-g4-lsb.tif", 1);
  fixture("tiff/text-1728-g4-minisblack.tif", 1);
  fixture("tiff/text-1728-g4-multistrip.tif", 0);  // strips coded apart: not one stream
  fixture("tiff/multipage-1728-g4.tif", 3);
  fixture("tiff/text-1728-g3-1d.tif", 1);
  fixture("tiff/text-1728-g3-1d-fill.tif", 1);
  fixture("tiff/text-1728-g3-1d-lsb.tif", 1);
  fixture("tiff/text-1728-g3-1d-multistrip.tif", 1);  // EOL rows join into one stream
  fixture("tiff/text-1728-g3-1d-no-res.tif", 1);
  fixture("tiff/text-1728-g3-2d.tif", 1);
  fixture("tiff/text-1728-g3-2d-k4.tif", 1);
  fixture("tiff/text-1728-g3-2d-fill.tif", 1);
  fixture("tiff/text-1728-g3-2d-be.tif", 1);
  fixture("tiff/text-1234-mh.tif", 1);
  fixture("tiff/text-1728-mhw.tif", 0);  // word-aligned rows: no filter parameter says so
  fixture("tiff/text-1234-packbits-minisblack.tif", 0);
  fixture("tiff/text-1234-none-lsb.tif", 0);
  fixture("raw/twopage-1728-g4.g4", 0);
  fixture("raw/text-1728-pbmtog3.g3", 0);

  const Pbm a = test::test_image(1728, 90, 3, true), b = test::test_image(1728, 60, 4);
  const Bytes mh_lsb = test::pbmtog3(tools, a, true);
  const Bytes mmr_lsb = test::tiffcp_ccitt(tools, b, "g4", true);
  in.push_back({"w.fxs",
                test::winfax_file(
                    {{.coded = mh_lsb, .rows = 90}, {.coded = mmr_lsb, .rows = 60, .mmr = true}}),
                2});
  in.push_back(
      {"q.qrn",
       test::qrn_file(
           {{.coded = test::tiffcp_ccitt(tools, a, "g3:2d", false), .rows = 90, .coding = 6},
            {.coded = test::tiffcp_ccitt(tools, b, "g4", false), .rows = 60, .coding = 7}}),
       2});
  in.push_back(
      {"b.bfx", test::bitware_file({{.coded = test::with_flag_run(mmr_lsb), .rows = 60}}), 1});
  test::write_pbm(tools / "d.pbm", b);
  EXPECT_EQ(
      test::run("ppmtopcx " + q(tools / "d.pbm") + " > " + q(tools / "d.pcx") + " 2>/dev/null"), 0);
  in.push_back({"d.dcx", test::dcx_file({test::read_file(tools / "d.pcx")}), 0});
  return in;
}

TEST(PdfExport, EveryFormatGivesASoundPdfOfThePagesAsShown) {
  TempDir dir;
  for (const Input& input : inputs(dir)) {
    const auto file = dir / input.name;
    test::write_file(file, input.bytes);
    const auto pdf = dir / (input.name + ".pdf");
    ExportSummary summary;
    ASSERT_EQ(export_pdf_file(file, {}, pdf, {}, &summary), kConvertOk) << input.name;
    const Shown shown = shown_pages(file);
    EXPECT_EQ(summary.pages_written, shown.pages.size()) << input.name;
    EXPECT_EQ(summary.pages_kept_coded, input.kept) << input.name;
    expect_sound_pdf(dir, pdf, shown, input.name);
  }
}

}  // namespace
}  // namespace orvane
