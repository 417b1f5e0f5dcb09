// Fax files of every format as PDF, checked by independent PDF tools
// (qpdf, poppler's pdfinfo, pdfimages and pdftoppm): the file is sound,
// every page has its true size, every image is CCITT-coded, and every image
// decodes to exactly the page as this program shows it. Pages whose coded
// data a PDF reader takes as it is go in unchanged; the others are encoded.
#include "core/pdf_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "base/format_reader.h"
#include "core/classify.h"
#include "core/fax_file.h"
#include "core/page_ocr.h"
#include "core/scratch_dir.h"
#include "core/tiff_export.h"
#include "formats/container_writers.h"
#include "formats/pdf_writer.h"
#include "support/test_support.h"

namespace orvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::Pbm;
using test::TempDir;
const auto q = test::shell_quoted;

// The pages of a file as the viewer shows them, with their sizes in points.
struct Shown {
  std::vector<Pbm> pages;
  std::vector<PageSizePoints> sizes;
};

Shown shown_pages(const std::filesystem::path& file, const DecodingParameters& params = {}) {
  ScratchDir scratch;
  FaxFile fax;
  fax.set_working_paths(scratch.paths());
  fax.set_parameters(params);
  const std::int32_t format = classify(file);
  EXPECT_EQ(fax.open(file, format), OpenResult::kOk) << file;
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
  fixture("raw/twopage-1728-g4.g4", 0);    // bare T.6: no row boundaries to cut at
  fixture("raw/text-1728-pbmtog3.g3", 1);  // bare T.4: the page's own rows
  fixture("raw/text-1728-pbmtog3-lsb.g3", 1);
  fixture("raw/text-1728-rtc-g3-2d.g3", 1);
  fixture("raw/text-1728-strip-g3-2d-k4.g3", 1);

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
  in.push_back({"a.apf", test::apro_file({{.coded = mh_lsb, .flags = 0x01}}), 0});
  in.push_back({"k.qfx",
                test::quicklink_file({test::pbmtog3(tools, b, false), mh_lsb},
                                     {.last_rows = 90, .other_rows = 60}),
                2});

  // Damaged data: the page still shows (rows are lost), but a PDF reader
  // would recover differently, so the page is encoded as shown.
  for (const char* rel : {"tiff/text-1728-g4.tif", "tiff/text-1728-g3-1d.tif"}) {
    Bytes f = test::read_file(test::fixture(rel));
    const auto dirs = test::tiff_directories(f);
    f[dirs[0].at(273)[0] + dirs[0].at(279)[0] / 2] ^= 0x5A;
    in.push_back({"damaged-" + std::filesystem::path(rel).filename().string(), f, 0});
  }
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
    ASSERT_EQ(export_pdf_file(file, {}, pdf, {}, &summary), ConvertResult::kOk) << input.name;
    const Shown shown = shown_pages(file);
    EXPECT_EQ(summary.pages_written, shown.pages.size()) << input.name;
    EXPECT_EQ(summary.pages_kept_coded, input.kept) << input.name;
    expect_sound_pdf(dir, pdf, shown, input.name);
  }
}

// An open fax file record with its own scratch folder.
struct Opened {
  ScratchDir scratch;
  FaxFile fax;
  std::int32_t format = 0;
  explicit Opened(const std::filesystem::path& file) {
    fax.set_working_paths(scratch.paths());
    fax.set_parameters({});
    format = classify(file);
    fax.open(file, format);
  }
};

TEST(PdfExport, KeepsG4SmallAndShrinksDcx) {
  TempDir dir;
  const auto g4 = test::fixture("tiff/multipage-1728-g4.tif");
  ASSERT_EQ(export_pdf_file(g4, {}, dir / "g4.pdf", {}), ConvertResult::kOk);
  EXPECT_LE(std::filesystem::file_size(dir / "g4.pdf"),
            std::filesystem::file_size(g4) + 3 * 2048);  // three pages

  std::vector<Bytes> pcx;
  for (unsigned seed = 1; seed <= 3; ++seed) {
    test::write_pbm(dir / "p.pbm", test::test_image(1728, 1100, seed));
    ASSERT_EQ(test::run("ppmtopcx " + q(dir / "p.pbm") + " > " + q(dir / "p.pcx") + " 2>/dev/null"),
              0);
    pcx.push_back(test::read_file(dir / "p.pcx"));
  }
  test::write_file(dir / "f.dcx", test::dcx_file(pcx));
  ASSERT_EQ(export_pdf_file(dir / "f.dcx", {}, dir / "f.pdf", {}), ConvertResult::kOk);
  // The file's metadata (about 1.5 KiB, whatever the pages) aside.
  EXPECT_LT((std::filesystem::file_size(dir / "f.pdf") - 1536) * 4,
            std::filesystem::file_size(dir / "f.dcx"));
}

TEST(PdfExport, ReportsProgressAndStopsWithoutWritingWhenAsked) {
  TempDir dir;
  Opened f(test::fixture("tiff/multipage-1728-g4.tif"));
  std::vector<std::uint32_t> seen;
  ASSERT_EQ(export_pdf(f.fax, f.format, dir / "all.pdf",
                       [&](std::uint32_t done, std::uint32_t total) {
                         EXPECT_EQ(total, 3u);
                         seen.push_back(done);
                         return true;
                       }),
            ConvertResult::kOk);
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{0, 1, 2, 3}));

  // Asked to stop after the first page: an existing target stays as it was
  // and no partial file is left beside it.
  test::write_file(dir / "old.pdf", {'o', 'l', 'd'});
  const auto stop_after_one = [](std::uint32_t done, std::uint32_t) { return done < 1; };
  EXPECT_EQ(export_pdf(f.fax, f.format, dir / "old.pdf", stop_after_one), ConvertResult::kStopped);
  EXPECT_EQ(export_g4_tiff(f.fax, f.format, dir / "old.pdf", stop_after_one),
            ConvertResult::kStopped);
  EXPECT_EQ(test::read_file(dir / "old.pdf"), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(PdfExport, RefusesWhatItCannotConvert) {
  TempDir dir;
  test::write_file(dir / "not-a-fax.pdf", {'%', 'P', 'D', 'F'});
  EXPECT_NE(export_pdf_file(dir / "not-a-fax.pdf", {}, dir / "out.pdf"), ConvertResult::kOk);
  EXPECT_EQ(export_pdf_file(dir / "missing.tif", {}, dir / "out.pdf"), ConvertResult::kNoFile);
  test::write_file(dir / "empty.g3", Bytes(64, 0));
  EXPECT_NE(export_pdf_file(dir / "empty.g3", {}, dir / "out.pdf"), ConvertResult::kOk);
  EXPECT_EQ(
      export_pdf_file(test::fixture("tiff/text-1728-g4.tif"), {}, dir / "no-such-folder" / "x.pdf"),
      ConvertResult::kWriteFailed);
  EXPECT_FALSE(std::filesystem::exists(dir / "out.pdf"));
}

// The file with the time of writing (and so its ID) taken out: what two
// exports of one fax must agree on.
std::string without_date(const std::filesystem::path& pdf) {
  const Bytes bytes = test::read_file(pdf);
  return std::regex_replace(
      std::string(bytes.begin(), bytes.end()),
      std::regex(R"(/ModDate \(D:[0-9]+Z\)|<xmp:(ModifyDate|MetadataDate)>[^<]*|/ID \[[^\]]*\])"),
      "");
}

TEST(PdfExport, PagesOnSeveralThreadsMakeTheSameFile) {
  TempDir dir;
  const std::string files[] = {"tiff/multipage-1728-g4.tif", "tiff/text-1728-g4-multistrip.tif",
                               "raw/twopage-1728-g4.g4", "tiff/text-1234-packbits-minisblack.tif"};
  for (const std::string& rel : files) {
    SCOPED_TRACE(rel);
    ExportSummary one, three;
    PdfExportOptions options;
    ASSERT_EQ(export_pdf_file(test::fixture(rel), {}, dir / "1.pdf", {}, &one, nullptr, options),
              ConvertResult::kOk);
    options.jobs = 3;
    std::vector<std::uint32_t> seen;
    const auto progress = [&](std::uint32_t done, std::uint32_t) {
      seen.push_back(done);
      return true;
    };
    ASSERT_EQ(
        export_pdf_file(test::fixture(rel), {}, dir / "3.pdf", progress, &three, nullptr, options),
        ConvertResult::kOk);
    EXPECT_EQ(without_date(dir / "1.pdf"), without_date(dir / "3.pdf"));
    EXPECT_EQ(one.pages_written, three.pages_written);
    EXPECT_EQ(one.pages_kept_coded, three.pages_kept_coded);
    ASSERT_EQ(seen.size(), one.pages_written + 1);
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], i);
  }
}

// A bare T.4 stream cut into pages of 1143 rows: every page, the later
// ones starting inside the stream's one run of rows, keeps its own rows.
TEST(PdfExport, PagesOfABareStreamKeepTheirRows) {
  TempDir dir;
  test::write_file(dir / "long.g3", test::pbmtog3(dir, test::test_image(1728, 2600, 5), false));
  DecodingParameters params;
  params.vres_override = 98;
  ExportSummary summary;
  ASSERT_EQ(export_pdf_file(dir / "long.g3", params, dir / "long.pdf", {}, &summary),
            ConvertResult::kOk);
  const Shown shown = shown_pages(dir / "long.g3", params);
  ASSERT_EQ(shown.pages.size(), 3u);
  EXPECT_EQ(summary.pages_written, 3u);
  EXPECT_EQ(summary.pages_kept_coded, 3u);
  expect_sound_pdf(dir, dir / "long.pdf", shown, "long.g3");
}

TEST(PdfExport, OpeningForExportDecodesNoPage) {
  for (const char* rel : {"tiff/multipage-1728-g4.tif", "raw/text-1728-pbmtog3.g3"}) {
    SCOPED_TRACE(rel);
    ScratchDir scratch;
    FaxFile fax;
    fax.set_working_paths(scratch.paths());
    fax.set_parameters({});
    const auto file = test::fixture(rel);
    ASSERT_EQ(fax.open(file, classify(file), nullptr, FaxFile::FirstPage::kSkip), OpenResult::kOk);
    EXPECT_GE(fax.page_count(), 1);
    EXPECT_FALSE(fax.page_valid());
    EXPECT_FALSE(fax.page().has_pixels());
    fax.load_page(fax.format(), 0);
    EXPECT_TRUE(fax.page_valid());
  }
}

TEST(PdfOcr, LanguagesAndSquarePixels) {
  EXPECT_EQ(ocr_language_package("eng"), "tesseract-ocr-eng");
  EXPECT_EQ(ocr_language_package("chi_sim"), "tesseract-ocr-chi-sim");
  const std::string missing = ocr_language_problem("eng+zz_nowhere");
  if (ocr_built_in()) {
    EXPECT_EQ(ocr_language_problem("eng"), "");
    EXPECT_NE(missing.find("tesseract-ocr-zz-nowhere"), std::string::npos) << missing;
    EXPECT_NE(ocr_language_problem("../eng"), "");
  } else {
    EXPECT_EQ(missing, "this program was built without OCR");
  }
  struct Case {
    std::uint16_t xres, yres;
    std::uint8_t unit;
    int repeat;
  } const cases[] = {{204, 196, 2, 1}, {204, 98, 2, 2},  {204, 391, 2, 1},
                     {80, 38, 3, 2},   {300, 300, 1, 2},  // no unit: a standard fax, 200 x 100
                     {0, 0, 2, 1},     {204, 24, 2, 4}};
  for (const Case& c : cases) {
    PageBitmap page;
    page.width = 1728;
    page.height = 1000;
    page.xres = c.xres;
    page.yres = c.yres;
    page.unit = c.unit;
    EXPECT_EQ(ocr_row_repeat(page), c.repeat) << c.xres << "x" << c.yres << " unit " << int(c.unit);
  }
}

// A short fax page at fine and at standard resolution: the words come back
// from pdftotext, and the page's image is what it is without OCR.
TEST(PdfOcr, WordsOfAFaxPageBecomeSearchableText) {
  if (!ocr_built_in()) GTEST_SKIP() << "built without OCR";
  TempDir dir;
  const std::string text = "Invoice 20417 payment due";
  ASSERT_EQ(test::run("echo '" + text + "' | pbmtext | pamscale 2 | pamditherbw -threshold | " +
                      "pnmpad -white -left 100 -right 1400 -top 60 -bottom 60 | pamtopnm > " +
                      q(dir / "fine.pbm")),
            0);
  const Pbm fine = test::read_pbm(dir / "fine.pbm");
  Pbm standard = fine;
  standard.height = fine.height / 2;
  standard.bits.clear();
  for (int y = 0; y < standard.height; ++y)
    standard.bits.insert(standard.bits.end(), fine.bits.begin() + 2 * y * fine.row_bytes(),
                         fine.bits.begin() + (2 * y + 1) * fine.row_bytes());
  test::write_pbm(dir / "standard.pbm", standard);
  for (const auto& [name, yres] : {std::pair{"fine", 196}, std::pair{"standard", 98}}) {
    SCOPED_TRACE(name);
    const auto tif = dir / (std::string(name) + ".tif");
    ASSERT_EQ(test::run("pnmtotiff -g4 -xresolution 204 -yresolution " + std::to_string(yres) +
                        " " + q(dir / (std::string(name) + ".pbm")) + " > " + q(tif)),
              0);
    PdfExportOptions options;
    options.ocr = true;
    const auto pdf = dir / (std::string(name) + ".pdf");
    ExportSummary summary;
    ASSERT_EQ(export_pdf_file(tif, {}, pdf, {}, &summary, nullptr, options), ConvertResult::kOk);
    std::string words = test::run_output("pdftotext " + q(pdf) + " -");
    words.erase(std::remove_if(words.begin(), words.end(), [](char c) { return c == '\f'; }),
                words.end());
    while (!words.empty() && words.back() == '\n') words.pop_back();
    EXPECT_EQ(words, text);
    expect_sound_pdf(dir, pdf, shown_pages(tif), name);
  }
}

// A letter sent upright, sideways (at standard resolution), upside down and
// sideways the other way, and a blank page: each PDF page is shown upright
// by its /Rotate with its image unchanged, and its words come back first
// line first; in a TIFF each page is written upright (a blank page has no
// way up and stays as it is).
TEST(PdfOcr, TurnedPagesAreShownUprightWithTheirWords) {
  if (!ocr_built_in() || !orientation_problem().empty()) GTEST_SKIP() << "no orientation data";
  TempDir dir;
  std::string ps = "/Helvetica findfont 12 scalefont setfont /y 740 def [";
  for (const char* line :
       {"Orvane Trading Ltd, Harbour Road 12",
        "Dear customer, the invoice for March was sent to your office",
        "on Monday and we ask you to pay the amount within thirty days.",
        "Please call our accounts department if anything is unclear.",
        "Delivery of the goods will follow as agreed in our letter of last week.",
        "The spare parts for the paper machine are on their way to you.",
        "Our price list for the coming year is enclosed with this letter.",
        "The offer is valid until the end of the month; orders placed",
        "after that date are charged at the new prices.",
        "With kind regards, the sales department"})
    ps += std::string("(") + line + ") ";
  ps += "] { 60 y moveto show /y y 22 sub def } forall showpage\n";
  test::write_file(dir / "letter.ps", Bytes(ps.begin(), ps.end()));
  const std::string letter = q(dir / "letter.pbm");
  ASSERT_EQ(test::run("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pbmraw -r204x196 -g1728x2200 "
                      "-sOutputFile=- " +
                      q(dir / "letter.ps") + " | pamtopnm > " + letter),
            0);
  const struct {
    const char* make;  // the page as sent, from the upright letter
    int yres;
    int rotate;  // the /Rotate that shows it upright
  } pages[] = {{"cat", 196, 0},
               {"pamflip -cw | pamscale -yscale 0.5 -nomix", 98, 270},
               {"pamflip -r180", 196, 180},
               {"pamflip -ccw", 196, 90},
               {"pbmmake -white 1728 2200; cat >/dev/null", 196, 0}};
  std::string parts;
  for (std::size_t i = 0; i < std::size(pages); ++i) {
    const std::string part = q(dir / ("p" + std::to_string(i) + ".tif"));
    ASSERT_EQ(test::run("(" + std::string(pages[i].make) + ") < " + letter +
                        " | pnmtotiff -g4 -xresolution 204 -yresolution " +
                        std::to_string(pages[i].yres) + " > " + part + " 2>/dev/null"),
              0);
    parts += part + " ";
  }
  const auto tif = dir / "sent.tif";
  ASSERT_EQ(test::run("tiffcp " + parts + q(tif)), 0);

  PdfExportOptions options;
  options.ocr = true;
  options.upright = true;
  options.jobs = 2;
  options.sidecar = dir / "upright.txt";
  const auto pdf = dir / "upright.pdf";
  ASSERT_EQ(export_pdf_file(tif, {}, pdf, {}, nullptr, nullptr, options), ConvertResult::kOk);
  // The images are the pages as sent.
  expect_sound_pdf(dir, pdf, shown_pages(tif), "turned");
  for (std::size_t i = 0; i < std::size(pages); ++i) {
    SCOPED_TRACE("page " + std::to_string(i + 1));
    const std::string n = std::to_string(i + 1);
    EXPECT_EQ(test::run_output("pdfinfo -f " + n + " -l " + n + " " + q(pdf) +
                               " | awk '/rot:/ { print $4 }'"),
              std::to_string(pages[i].rotate) + "\n");
    const std::string words =
        test::run_output("pdftotext -f " + n + " -l " + n + " " + q(pdf) + " - | head -c 14");
    EXPECT_EQ(words, i + 1 < std::size(pages) ? "Orvane Trading" : "\f");
  }
  // The text file: the same words, a form feed between pages.
  EXPECT_EQ(test::run_output("awk 'BEGIN { RS = \"\\f\" } { print substr($0, 1, 14) }' " +
                             q(options.sidecar)),
            "Orvane Trading\nOrvane Trading\nOrvane Trading\nOrvane Trading\n");
  const Bytes text = test::read_file(options.sidecar);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\f'), 4);
  EXPECT_EQ(text.back(), '\f');  // the blank page has no words

  // TIFF: the upright letter's pixels, at its resolution; the sideways page
  // sent at standard resolution keeps its own pixels, with its width and
  // height and its resolutions swapped.
  Opened f(tif);
  const auto out = dir / "upright.tif";
  ASSERT_EQ(export_tiff(f.fax, f.format, out, TiffPages::kKeepCoded, {}, nullptr, {}, true),
            ConvertResult::kOk);
  const auto dirs = test::tiff_directories(test::read_file(out));
  const auto written = test::tifftopnm_pages(dir, out);
  ASSERT_EQ(written.size(), std::size(pages));
  const Pbm upright = test::read_pbm(dir / "letter.pbm");
  for (const std::size_t i : {0, 2, 3})
    EXPECT_TRUE(test::same_pixels(upright, written[i], "upright-" + std::to_string(i)));
  EXPECT_EQ(written[1].width, 864);
  EXPECT_EQ(written[1].height, 2200);
  const auto dpi = [&](int tag) { return dirs[1].at(tag)[0] / dirs[1].at(tag)[1]; };
  EXPECT_EQ(dpi(282), 98u);  // XResolution: the page's rows were its columns
  EXPECT_EQ(dpi(283), 204u);
  EXPECT_EQ(dirs[4].at(256)[0], 1728u);
}

// The view's sizing rules, in points.
TEST(PdfPageSize, FollowsTheViewsResolutionRules) {
  struct Case {
    std::uint16_t xres, yres;
    std::uint8_t unit;
    double width, height;  // of a 1728 x 1100 page
  } const cases[] = {
      {204, 196, 2, 1728 * 72.0 / 204, 1100 * 72.0 / 196},  // inch
      {80, 40, 3, 1728 * 72.0 / 203, 1100 * 72.0 / 101},    // centimetre: x 2.54, truncated
      {300, 300, 1, 1728 * 72.0 / 200, 1100 * 72.0 / 100},  // no unit: a standard fax
      {0, 0, 2, 1728 * 0.72, 1100 * 0.72},                  // no resolution: 100 per inch
      {204, 196, 9, 1728 * 0.72, 1100 * 0.72},              // unknown unit
  };
  for (const Case& c : cases) {
    const PageSizePoints p = page_size_points(1728, 1100, c.xres, c.yres, c.unit);
    EXPECT_DOUBLE_EQ(p.width, c.width) << int(c.unit);
    EXPECT_DOUBLE_EQ(p.height, c.height) << int(c.unit);
  }
}

// Every file of every format as TIFF, its pages kept coded where they can
// be or all written again as G4: libtiff reads each page back as the page
// shown.
TEST(TiffExport, EveryFormatGivesTheTiffPagesShown) {
  TempDir dir;
  for (const Input& input : inputs(dir)) {
    const auto file = dir / input.name;
    test::write_file(file, input.bytes);
    const Shown shown = shown_pages(file);
    for (const TiffPages mode : {TiffPages::kKeepCoded, TiffPages::kAllG4}) {
      SCOPED_TRACE(input.name + (mode == TiffPages::kAllG4 ? " as G4" : " kept coded"));
      Opened f(file);
      const auto out = dir / "out.tif";
      ExportSummary summary;
      ASSERT_EQ(export_tiff(f.fax, f.format, out, mode, {}, &summary), ConvertResult::kOk);
      ASSERT_EQ(summary.pages_written, shown.pages.size());
      const auto dirs = test::tiff_directories(test::read_file(out));
      ASSERT_EQ(dirs.size(), shown.pages.size());
      const auto pages = test::tifftopnm_pages(dir, out);
      for (std::size_t i = 0; i < dirs.size(); ++i) {
        if (mode == TiffPages::kAllG4) {
          EXPECT_EQ(dirs[i].at(259)[0], 4u);
        }
        EXPECT_EQ(dirs[i].at(297),
                  (std::vector<std::uint32_t>{std::uint32_t(i), std::uint32_t(dirs.size())}));
        EXPECT_TRUE(test::same_pixels(shown.pages[i], pages[i], "tiff-" + std::to_string(i)));
      }
    }
  }
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

// The file as qpdf reads it (qpdf --json, version 2), asked by jq.
std::string jq(const std::filesystem::path& pdf, const std::string& filter) {
  const std::string prelude =
      ".qpdf[1] as $o | $o.trailer.value as $t | def o(r): $o[\"obj:\" + r]; "
      "o($t[\"/Root\"]).value as $cat | o($t[\"/Info\"]).value as $info | ";
  std::string out = test::run_output("qpdf --json=2 " + q(pdf) + " | jq -c " +
                                     q(std::filesystem::path(prelude + filter)) + " 2>&1");
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

std::string stream_data(const std::filesystem::path& pdf, const std::string& ref) {
  return test::run_output("qpdf --show-object=" + ref.substr(1, ref.find(' ') - 1) +
                          " --filtered-stream-data " + q(pdf));
}

// Every rule of PDF/A-2b that the writer keeps, read back with qpdf and
// jq, with and without --pdfa and OCR: the same metadata in the document
// information and in XMP (title and subject from the fax in any script,
// creation date from its DateTime), the file ID, embedded fonts, nothing
// PDF/A forbids; with --pdfa the output intent and the PDF/A declaration.
TEST(PdfArchival, MetadataAndTheRulesOfPdfA) {
  TempDir dir;
  // A fax whose name and description are not ASCII and hold XML's markup.
  const std::string name = "\xD0\xA4\xD0\xB0\xD0\xBA\xD1\x81 <M\xC3\xA4rz> & (1).tif";
  const std::string about = "Rechnung f\xC3\xBCr \"M\xC3\xBCller\" & Co";
  const auto fax = dir / name;
  std::filesystem::copy_file(test::fixture("tiff/multipage-1728-g4.tif"), fax);
  ASSERT_EQ(test::run("tiffset -d 0 -s 306 '2025:03:04 05:06:07' " + q(fax) + " && tiffset -d 0 " +
                      "-s 270 " + q(std::filesystem::path(about)) + " " + q(fax)),
            0);
  const auto srgb = std::filesystem::path(kSrgbProfilePath);
  const std::string profile = test::run_output("md5sum < " + q(srgb));
  const Shown shown = shown_pages(fax);
  for (const bool ocr : {false, true}) {
    if (ocr && !ocr_built_in()) continue;
    for (const bool pdfa : {false, true}) {
      SCOPED_TRACE(std::string(pdfa ? "PDF/A" : "plain") + (ocr ? ", OCR" : ""));
      PdfExportOptions options;
      options.ocr = ocr;
      options.pdfa = pdfa;
      const auto pdf = dir / "out.pdf";
      ASSERT_EQ(export_pdf_file(fax, {}, pdf, {}, nullptr, nullptr, options), ConvertResult::kOk);
      expect_sound_pdf(dir, pdf, shown, "archival");
      const Bytes bytes = test::read_file(pdf);
      ASSERT_GT(bytes.size(), 15u);
      // "%PDF-1.4", then a comment of bytes above 127.
      EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 10), "%PDF-1.4\n%");
      EXPECT_TRUE(
          std::all_of(bytes.begin() + 10, bytes.begin() + 14, [](auto b) { return b > 127; }));

      const std::string metadata = jq(pdf, "$cat[\"/Metadata\"]");
      const std::string modified = jq(pdf, "$info[\"/ModDate\"]");
      struct Rule {
        const char* rule;
        std::string filter, expected;
      } const rules[] = {
          {"file ID: two equal 16-byte strings",
           "$t[\"/ID\"] | length == 2 and .[0] == .[1] and (.[0] | test(\"^b:[0-9a-f]{32}$\"))",
           "true"},
          {"no encryption", "$t | has(\"/Encrypt\")", "false"},
          {"no LZW", "[$o[] | .stream.dict?[\"/Filter\"]? | tostring | select(test(\"LZW\"))]",
           "[]"},
          {"no JavaScript or actions",
           "[$o[] | (.value // .stream.dict) | objects | select(has(\"/JS\") or "
           "has(\"/JavaScript\") or has(\"/OpenAction\") or has(\"/AA\") or has(\"/Names\"))]",
           "[]"},
          {"no transparency",
           "[$o[] | (.value // .stream.dict) | objects | select(has(\"/Group\") or has(\"/SMask\") "
           "or has(\"/CA\") or has(\"/ca\") or has(\"/BM\"))]",
           "[]"},
          {"every font embedded",
           "[$o[] | .value | objects | select(.[\"/Type\"] == \"/Font\" and .[\"/Subtype\"] != "
           "\"/Type0\") | o(.[\"/FontDescriptor\"]).value | has(\"/FontFile2\")]",
           ocr ? "[true]" : "[]"},
          {"metadata stream", "o($cat[\"/Metadata\"]).stream.dict | .[\"/Type\"] + .[\"/Subtype\"]",
           "\"/Metadata/XML\""},
          {"output intent",
           "[$cat[\"/OutputIntents\"][]? | .[\"/S\"], "
           "o(.[\"/DestOutputProfile\"]).stream.dict[\"/N\"]]",
           pdfa ? "[\"/GTS_PDFA1\",3]" : "[]"},
          {"title", "$info[\"/Title\"]", "\"u:" + name + "\""},
          {"subject", "$info[\"/Subject\"]",
           "\"u:Rechnung f\xC3\xBCr \\\"M\xC3\xBCller\\\" & Co\""},
          {"producer", "$info[\"/Producer\"]", "\"u:Orvane\""},
          {"creation date", "$info[\"/CreationDate\"]", "\"u:D:20250304050607\""},
      };
      for (const Rule& r : rules) EXPECT_EQ(jq(pdf, r.filter), r.expected) << r.rule;

      // The XMP packet says what the information dictionary says.
      const std::string xmp = stream_data(pdf, metadata);
      std::smatch m;
      ASSERT_TRUE(std::regex_match(modified, m, std::regex("\"u:D:(....)(..)(..)(..)(..)(..)Z\"")))
          << modified;
      const std::string xmp_modified = m[1].str() + "-" + m[2].str() + "-" + m[3].str() + "T" +
                                       m[4].str() + ":" + m[5].str() + ":" + m[6].str() + "Z";
      for (const std::string& part :
           {std::string("<dc:title><rdf:Alt><rdf:li "
                        "xml:lang=\"x-default\">\xD0\xA4\xD0\xB0\xD0\xBA\xD1\x81 "
                        "&lt;M\xC3\xA4rz&gt; &amp; (1).tif</rdf:li></rdf:Alt></dc:title>"),
            std::string("<dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">Rechnung "
                        "f\xC3\xBCr &quot;M\xC3\xBCller&quot; &amp; Co</rdf:li>"),
            std::string("<xmp:CreateDate>2025-03-04T05:06:07</xmp:CreateDate>"),
            "<xmp:ModifyDate>" + xmp_modified + "</xmp:ModifyDate>",
            std::string("<pdf:Producer>Orvane</pdf:Producer>")})
        EXPECT_NE(xmp.find(part), std::string::npos) << part << "\n" << xmp;
      EXPECT_EQ(xmp.find("<pdfaid:part>2</pdfaid:part>") != std::string::npos, pdfa) << xmp;
      EXPECT_EQ(xmp.find("<pdfaid:conformance>B</pdfaid:conformance>") != std::string::npos, pdfa);
      if (pdfa) {
        const std::string intent = jq(pdf, "$cat[\"/OutputIntents\"][0][\"/DestOutputProfile\"]");
        EXPECT_EQ(test::run_output("qpdf --show-object=" + intent.substr(1, intent.find(' ') - 1) +
                                   " --filtered-stream-data " + q(pdf) + " | md5sum"),
                  profile);
      }
    }
  }

  // A fax that states no date is dated by its file; a profile that is not
  // there stops PDF/A before anything is written.
  const auto plain = dir / "plain.tif";
  std::filesystem::copy_file(test::fixture("tiff/text-1728-g4.tif"), plain);
  ASSERT_EQ(test::run("touch -d '2021-05-06 07:08:09' " + q(plain)), 0);
  ASSERT_EQ(export_pdf_file(plain, {}, dir / "plain.pdf"), ConvertResult::kOk);
  EXPECT_EQ(jq(dir / "plain.pdf", "$info[\"/CreationDate\"] | .[0:18]"), "\"u:D:20210506070809\"");
  EXPECT_EQ(jq(dir / "plain.pdf", "$info[\"/Title\"]"), "\"u:plain.tif\"");
  PdfExportOptions options;
  options.pdfa = true;
  options.srgb_profile = dir / "nowhere.icc";
  EXPECT_EQ(export_pdf_file(plain, {}, dir / "none.pdf", {}, nullptr, nullptr, options),
            ConvertResult::kWriteFailed);
  EXPECT_FALSE(std::filesystem::exists(dir / "none.pdf"));
  std::vector<std::uint8_t> read;
  std::string problem;
  EXPECT_FALSE(read_srgb_profile(dir / "nowhere.icc", read, problem));
  EXPECT_EQ(problem,
            (dir / "nowhere.icc").string() + " is missing (Debian package icc-profiles-free)");
  EXPECT_FALSE(read_srgb_profile(plain, read, problem));

  // TIFF output keeps the page's DateTime and ImageDescription, and dates
  // a page that states none by its file.
  for (const bool g4 : {false, true}) {
    Opened f(fax);
    ASSERT_EQ(export_tiff(f.fax, f.format, dir / "out.tif",
                          g4 ? TiffPages::kAllG4 : TiffPages::kKeepCoded, {}, nullptr, fax),
              ConvertResult::kOk);
    const std::string info = test::run_output("tiffinfo " + q(dir / "out.tif") + " 2>&1");
    EXPECT_NE(info.find("DateTime: 2025:03:04 05:06:07"), std::string::npos) << info;
    EXPECT_NE(info.find("ImageDescription: " + about), std::string::npos) << info;
    EXPECT_NE(info.find("Software: Veldmark Studio"), std::string::npos) << info;
  }
  Opened f(plain);
  ASSERT_EQ(export_tiff(f.fax, f.format, dir / "plain-out.tif", TiffPages::kKeepCoded, {}, nullptr,
                        plain),
            ConvertResult::kOk);
  const std::string info = test::run_output("tiffinfo " + q(dir / "plain-out.tif") + " 2>&1");
  EXPECT_NE(info.find("DateTime: 2021:05:06 07:08:09"), std::string::npos) << info;
  EXPECT_NE(info.find("ImageDescription: converted PNM file"), std::string::npos) << info;
}

// MD5 of the file ID against md5sum, over lengths around the 64-byte
// blocks and the 56-byte mark of the padding.
TEST(PdfArchival, FileIdDigestIsMd5) {
  TempDir dir;
  std::vector<std::uint8_t> bytes;
  for (std::size_t n : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 1000}) {
    bytes.resize(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = std::uint8_t(i * 131 + 7);
    test::write_file(dir / "b", bytes);
    Md5 whole, split;
    whole.update(bytes);
    // In two pieces, the first ending inside a block.
    const std::size_t cut = n / 3;
    split.update(std::span(bytes).first(cut));
    split.update(std::span(bytes).subspan(cut));
    const std::array<std::uint8_t, 16> digest = whole.digest();
    std::string hex;
    for (const std::uint8_t b : digest) {
      char h[3];
      std::snprintf(h, sizeof h, "%02x", b);
      hex += h;
    }
    EXPECT_EQ(hex + "  -\n", test::run_output("md5sum < " + q(dir / "b"))) << n;
    EXPECT_EQ(split.digest(), digest) << n;
  }
}

}  // namespace
}  // namespace orvane
