// orvane-cli as a user runs it: output, files written and exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "cli/run_cli.h"
#include "core/page_ocr.h"
#include "support/test_support.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::fixture;
using test::TempDir;

using test::kCli;
using Result = test::CliResult;

Result cli(const std::string& args) {
  return test::run_cli(args);
}

std::string q(const fs::path& p) {
  return "'" + p.string() + "'";
}

TEST(CliInfo, JsonCarriesEveryPageFact) {
  const Result r = cli("info " + q(fixture("tiff/multipage-1728-g4.tif")) + " --json");
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("\"format\": 16, \"format_name\": \"TIFF\", \"pages\": 3"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("{\"page\": 3, \"valid\": true, \"width\": 1728"), std::string::npos);
  EXPECT_NE(r.out.find("\"coding\": 7, \"coding_name\": \"CCITT Group 4 2D (T.6 2D)\""),
            std::string::npos);
  // The output is one JSON object: python's parser agrees.
  const std::string check =
      test::run_output(kCli + " info " + q(fixture("raw/twopage-1728-g3-2d.g3")) +
                       " --json | python3 -c 'import json,sys; d=json.load(sys.stdin); "
                       "print(d[\"format\"], d[\"pages\"], d[\"page_list\"][0][\"coding\"], "
                       "d[\"page_list\"][0][\"valid\"])'");
  EXPECT_EQ(check, "0 1 6 True\n");
}

// Without --check the facts are those the files state; on pages that decode
// they must be the facts of the decoded page.
TEST(CliInfo, StatedFactsAreThoseOfTheDecodedPages) {
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fixture("tiff"))) {
    const std::string file = q(entry.path());
    std::string stated = cli("info " + file + " --json").out;
    std::string decoded = cli("info " + file + " --json --check").out;
    const std::size_t at = stated.find(", \"checked\": false");
    ASSERT_NE(at, std::string::npos) << stated;
    stated.erase(at, std::strlen(", \"checked\": false"));
    ASSERT_NE(decoded.find(", \"checked\": true"), std::string::npos) << decoded;
    decoded.erase(decoded.find(", \"checked\": true"), std::strlen(", \"checked\": true"));
    EXPECT_EQ(stated, decoded) << file;
    ++files;
  }
  EXPECT_GT(files, 40);
}

TEST(CliInfo, FilesThatAreNoFaxStillGetTheirObject) {
  TempDir dir;
  test::write_file(dir / "notes.txt", {'h', 'i'});
  const Result r = cli("info " + q(dir / "notes.txt") + " --json");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("{\"format\": -2, \"format_name\": \"not a fax file\", \"pages\": 0"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("notes.txt: not a fax file"), std::string::npos);
}

TEST(CliExitCodes, SayWhatWentWrong) {
  EXPECT_EQ(cli("--help").code, 0);
  EXPECT_EQ(cli("--version").code, 0);
  EXPECT_EQ(cli("").code, 2);
  EXPECT_EQ(cli("frobnicate x").code, 2);
  EXPECT_EQ(cli("info --threshold 0 " + q(fixture("raw/text-1728-pbmtog3.g3"))).code, 2);
  const Result missing = cli("info /no/such/fax.tif");
  EXPECT_EQ(missing.code, 2);
  EXPECT_NE(missing.out.find("/no/such/fax.tif: No such file or directory"), std::string::npos);
  EXPECT_EQ(cli("render " + q(fixture("tiff/text-1728-g4.tif")) + " -o /tmp/x.gif").code, 2);
  const Result range =
      cli("render " + q(fixture("tiff/text-1728-g4.tif")) + " --page 2 -o /tmp/x.pbm");
  EXPECT_EQ(range.code, 2);
  EXPECT_NE(range.out.find("there is no page 2"), std::string::npos) << range.out;
}

TEST(CliRender, WritesThePageAsPbmAndPng) {
  TempDir dir;
  ASSERT_EQ(cli("render " + q(fixture("tiff/multipage-1728-g4.tif")) + " --page 2 -o " +
                q(dir / "p2.pbm"))
                .code,
            0);
  EXPECT_TRUE(test::same_pixels(test::read_pbm(fixture("expected/multipage-1728-g4-p2.pbm.gz")),
                                test::read_pbm(dir / "p2.pbm")));
  ASSERT_EQ(cli("render " + q(fixture("tiff/text-1234-g4.tif")) + " -o " + q(dir / "p.png")).code,
            0);
  // netpbm reads the PNG back to the same pixels.
  ASSERT_EQ(test::run("pngtopnm " + q(dir / "p.png") + " > " + q(dir / "back.pbm")), 0);
  EXPECT_TRUE(test::same_pixels(test::read_pbm(fixture("expected/text-1234-g4.pbm.gz")),
                                test::read_pbm(dir / "back.pbm")));
}

TEST(CliRender, RawOptionsReachTheAnalysis) {
  TempDir dir;
  const std::string file = q(fixture("raw/text-1728-pbmtog3-lsb.g3"));
  EXPECT_EQ(cli("render " + file + " --bit-order msb -o " + q(dir / "x.pbm")).code, 1);
  EXPECT_EQ(cli("render " + file + " --bit-order lsb -o " + q(dir / "x.pbm")).code, 0);
  const Result fine = cli("info " + file + " --json --vres 400");
  EXPECT_NE(fine.out.find("\"yres\": 400"), std::string::npos) << fine.out;

  // Three pages written one after another: one fixed-length page, or three
  // ended by their RTCs.
  const std::string pages = q(fixture("faxtools/efax-3pages.fax"));
  EXPECT_NE(cli("info " + pages + " --json").out.find("\"pages\": 1,"), std::string::npos);
  const Result split = cli("info " + pages + " --json --paginate rtc");
  EXPECT_NE(split.out.find("\"pages\": 3,"), std::string::npos) << split.out;
  EXPECT_EQ(cli("info " + pages + " --paginate eol").code, 2);
}

TEST(CliConvert, SeveralFilesGoToAFolder) {
  TempDir dir;
  fs::copy_file(fixture("tiff/multipage-1728-g4.tif"), dir / "a.fmf");
  fs::copy_file(fixture("raw/twopage-1728-g4.g4"), dir / "b.g4");
  fs::copy_file(fixture("raw/text-1728-pbmtog3.g3"), dir / "a.g3");
  const Result r = cli("convert " + q(dir / "a.fmf") + " " + q(dir / "b.g4") + " " +
                       q(dir / "a.g3") + " --out-dir " + q(dir / "out") + " --jobs 2");
  ASSERT_EQ(r.code, 0) << r.out;
  for (const char* name : {"a.fmf.tif", "b.tif", "a.g3.tif"}) {
    const fs::path out = dir / "out" / name;
    ASSERT_TRUE(fs::exists(out)) << name;
    const std::string info = test::run_output("tiffinfo " + q(out) + " 2>&1 >/dev/null");
    EXPECT_EQ(info, "") << name;
    EXPECT_EQ(fs::status(out).permissions() & fs::perms::others_read, fs::perms::others_read);
  }
  EXPECT_NE(
      cli("convert " + q(dir / "a.fmf") + " " + q(dir / "b.g4") + " -o " + q(dir / "x.tif")).code,
      0);
}

// --to pdf (or an -o name ending in .pdf) and --g4 over a batch: one file
// per input, each read back by the other tools as the pages it holds.
TEST(CliConvert, WritesPdfAndG4TiffForEachInput) {
  TempDir dir;
  fs::copy_file(fixture("tiff/multipage-1728-g4.tif"), dir / "a.tif");
  fs::copy_file(fixture("raw/twopage-1728-g4.g4"), dir / "b.g4");
  ASSERT_EQ(cli("convert " + q(dir / "a.tif") + " " + q(dir / "b.g4") + " --to pdf --out-dir " +
                q(dir / "pdf") + " --jobs 2")
                .code,
            0);
  ASSERT_EQ(cli("convert " + q(dir / "b.g4") + " -o " + q(dir / "one.pdf")).code, 0);
  for (const auto& [pdf, pages] :
       {std::pair{dir / "pdf/a.pdf", 3}, {dir / "pdf/b.pdf", 1}, {dir / "one.pdf", 1}}) {
    EXPECT_EQ(test::run_output("qpdf --show-npages " + q(pdf) + " 2>&1"),
              std::to_string(pages) + "\n");
  }
  ASSERT_EQ(cli("convert " + q(dir / "a.tif") + " " + q(dir / "b.g4") + " --g4 --out-dir " +
                q(dir / "g4"))
                .code,
            0);
  for (const char* name : {"a.tif", "b.tif"}) {
    const std::string info = test::run_output("tiffinfo " + q(dir / "g4" / name) + " 2>&1");
    EXPECT_NE(info.find("CCITT Group 4"), std::string::npos) << info;
    EXPECT_EQ(info.find("Compression Scheme: CCITT Group 3"), std::string::npos) << info;
  }
}

// OCR's options are checked before anything is read or written: one line
// each, exit status 2.
TEST(CliConvert, OcrOptionsAreCheckedFirst) {
  TempDir dir;
  const std::string in = q(fixture("tiff/text-1728-g4.tif"));
  const std::string missing =
      ocr_built_in() ? "(Debian package tesseract-ocr-zz-nowhere)" : "built without OCR";
  // Language data in folders of our own: one cut short, one whose
  // structure is sound and whose contents are overwritten.
  TempDir data;
  const fs::path eng = "/usr/share/tesseract-ocr/5/tessdata/eng.traineddata";
  const bool have_eng = ocr_built_in() && fs::exists(eng);
  if (have_eng) {
    std::vector<std::uint8_t> bytes = test::read_file(eng);
    fs::create_directories(data / "cut");
    fs::create_directories(data / "overwritten");
    // eng as installed beside a deu cut short: each language is checked.
    fs::create_directories(data / "mixed");
    fs::create_symlink(eng, data / "mixed/eng.traineddata");
    fs::create_directories(data / "eng");
    fs::create_symlink(eng, data / "eng/eng.traineddata");
    // The orientation data cut short, beside eng.
    const fs::path osd = "/usr/share/tesseract-ocr/5/tessdata/osd.traineddata";
    if (fs::exists(osd)) {
      const std::vector<std::uint8_t> osd_bytes = test::read_file(osd);
      fs::create_directories(data / "osd");
      fs::create_symlink(eng, data / "osd/eng.traineddata");
      test::write_file(data / "osd/osd.traineddata",
                       std::vector<std::uint8_t>(osd_bytes.begin(), osd_bytes.begin() + 5000));
    }
    test::write_file(data / "mixed/deu.traineddata",
                     std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 100000));
    test::write_file(data / "cut/eng.traineddata",
                     std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 100000));
    for (std::size_t i = 300; i + 10 < bytes.size(); i += 7) bytes[i] = 0x5A;
    test::write_file(data / "overwritten/eng.traineddata", bytes);
  }
  const std::string pdf = in + " -o " + q(dir / "x.pdf");
  struct Case {
    std::string args;
    std::string says;
    std::string env;
    bool needs_eng;
  } const cases[] = {
      {in + " -o " + q(dir / "x.tif") + " --ocr", "--ocr is for PDF output", {}, false},
      {in + " -o " + q(dir / "x.tif") + " --pdfa", "--pdfa is for PDF output", {}, false},
      {pdf + " --ocr --ocr-lang zz_nowhere", missing, {}, false},
      {pdf + " --ocr --ocr-lang eng+zz_nowhere", missing, {}, false},
      {pdf + " --ocr-lang eng", "--ocr", {}, false},
      {pdf + " --ocr --ocr-lang osd",
       "--ocr: osd is not a language for text; use it through --rotate-pages",
       {},
       true},
      {pdf + " --ocr --ocr-lang eng+osd", "osd is not a language for text", {}, true},
      {pdf + " --ocr --ocr-lang \"eng+$(printf 'd\\teu')\"",
       "'d\\teu' is not an OCR language name",
       {},
       true},
      {pdf + " --ocr --ocr-lang eng+", "'' is not an OCR language name", {}, true},
      {pdf + " --ocr --ocr-lang eng+deu",
       "TESSDATA_PREFIX names " + (data / "eng").string() + ", which holds no deu.traineddata",
       "TESSDATA_PREFIX=" + (data / "eng").string(), true},
      {pdf + " --ocr --ocr-lang eng+deu",
       "the OCR data for deu in " + (data / "mixed").string() + " is damaged",
       "TESSDATA_PREFIX=" + (data / "mixed").string(), true},
      {pdf + " --ocr --ocr-lang \"$(printf 'e\\033[2Jng')\"",
       "'e\\x1b[2Jng' is not an OCR language name",
       {},
       true},
      {pdf + " --ocr", "TESSDATA_PREFIX names /nowhere, which holds no eng.traineddata",
       "TESSDATA_PREFIX=/nowhere", true},
      {pdf + " --ocr", "the OCR data for eng in " + (data / "cut").string() + " is damaged",
       "TESSDATA_PREFIX=" + (data / "cut").string(), true},
      {pdf + " --ocr", "the OCR data for eng in " + (data / "overwritten").string() + " is damaged",
       "TESSDATA_PREFIX=" + (data / "overwritten").string(), true},
      {pdf + " --ocr --rotate-pages",
       ocr_built_in() ? "--rotate-pages: TESSDATA_PREFIX names " + (data / "eng").string() +
                            ", which holds no osd.traineddata (Debian package tesseract-ocr-osd)"
                      : "--ocr: this program was built without OCR",
       "TESSDATA_PREFIX=" + (data / "eng").string(), false},
      {in + " -o " + q(dir / "x.tif") + " --rotate-pages",
       ocr_built_in() ? "holds no osd.traineddata (Debian package tesseract-ocr-osd)"
                      : "--rotate-pages: this program was built without OCR",
       "TESSDATA_PREFIX=" + (data / "eng").string(), false},
      {in + " -o " + q(dir / "x.tif") + " --rotate-pages",
       "the orientation data in " + (data / "osd").string() +
           " is damaged (Debian package tesseract-ocr-osd)",
       "TESSDATA_PREFIX=" + (data / "osd").string(), true},
      {in + " -o " + q(dir / "x.tif") + " --sidecar " + q(dir / "x.txt"),
       "--sidecar is for PDF output",
       {},
       false},
      {in + " " + in + " --to pdf --out-dir " + q(dir / "out") + " --sidecar " + q(dir / "x.txt"),
       "--sidecar names one file",
       {},
       false},
      {pdf + " --sidecar " + in, "tiff/text-1728-g4.tif", {}, true},
      {pdf + " --sidecar " + q(dir / "x.pdf"), "the text file would be the PDF itself", {}, true},
      {pdf + " --jobs abc", "--jobs: takes a number of threads from 1 to 64, not 'abc'", {}, false},
  };
  for (const Case& c : cases) {
    if (c.needs_eng && !have_eng) continue;
    const Result r = test::run_cli("convert " + c.args, {}, c.env);
    EXPECT_EQ(r.code, 2) << c.args;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  }
  EXPECT_TRUE(fs::is_empty(dir.path()));

  // A page the OCR cannot take (wider than it reads) is named; the PDF
  // holds every page all the same, and the run succeeds.
  if (!have_eng) return;
  ASSERT_EQ(test::run("pbmmake -white 40000 16 | pnmtotiff -g4 > " + q(data / "wide.tif") +
                      " 2>/dev/null && tiffcp " + q(data / "wide.tif") + " " + in + " " +
                      q(data / "two.tif")),
            0);
  // --sidecar asks for the text layer and writes its words too, a form feed
  // between pages.
  const Result r = cli("convert " + q(data / "two.tif") + " --sidecar " + q(dir / "two.txt") +
                       " -o " + q(dir / "two.pdf"));
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(r.out, "orvane-cli: " + (data / "two.tif").string() +
                       ": page 1 has no text layer: the page is wider than the OCR reads "
                       "(32767 pixels)\n");
  EXPECT_EQ(test::run_output("pdfinfo " + q(dir / "two.pdf") + " | awk '/^Pages:/ { print $2 }'"),
            "2\n");
  const std::vector<std::uint8_t> text = test::read_file(dir / "two.txt");
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.front(), '\f');
  EXPECT_EQ(std::count(text.begin(), text.end(), '\f'), 1);
  // The same characters as pdftotext gives (which orders and spaces the
  // words by its own reading of the layout).
  const std::string characters = " | tr -d ' \\n\\f' | grep -o . | sort | tr -d '\\n'";
  EXPECT_EQ(test::run_output("cat " + q(dir / "two.txt") + characters),
            test::run_output("pdftotext " + q(dir / "two.pdf") + " -" + characters));
}

TEST(CliConvert, FailuresAreReportedPerFileAndTouchNothing) {
  TempDir dir;
  test::write_file(dir / "keep.tif", {'k'});
  test::write_file(dir / "bad.dcx", std::vector<std::uint8_t>(200, 7));
  const Result dcx = cli("convert " + q(dir / "bad.dcx") + " -o " + q(dir / "keep.tif"));
  EXPECT_EQ(dcx.code, 1);
  EXPECT_NE(dcx.out.find("bad.dcx"), std::string::npos);
  EXPECT_EQ(test::read_file(dir / "keep.tif"), std::vector<std::uint8_t>{'k'});
  std::size_t files = 0;
  for (const auto& e : fs::directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 2u) << "no partial output left behind";
}

TEST(CliConvert, ParallelProgramsUseTheirOwnScratchFiles) {
  // Two programs at once, each decoding a different bare stream.
  TempDir dir;
  const std::string a =
      kCli + " render " + q(fixture("raw/text-1728-pbmtog3.g3")) + " -o " + q(dir / "a.pbm");
  const std::string b =
      kCli + " render " + q(fixture("raw/text-2048-pbmtog3.g3")) + " -o " + q(dir / "b.pbm");
  ASSERT_EQ(test::run(a + " & " + b + " & wait"), 0);
  EXPECT_TRUE(test::same_pixels(test::read_pbm(fixture("expected/text-1728-pbmtog3.pbm.gz")),
                                test::read_pbm(dir / "a.pbm")));
  EXPECT_TRUE(test::same_pixels(test::read_pbm(fixture("expected/text-2048-pbmtog3.pbm.gz")),
                                test::read_pbm(dir / "b.pbm")));
}

}  // namespace
}  // namespace orvane
