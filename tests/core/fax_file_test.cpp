// The fax file record end to end: classification, open-as-format, page
// loading and conversion, on files made by libtiff and netpbm.
#include "core/fax_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "core/classify.h"
#include "core/fax_format.h"
#include "core/scratch_dir.h"
#include "support/test_support.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::fixture;
using test::TempDir;

// A record with its own scratch folder, as a running program has.
struct Record {
  ScratchDir scratch;
  FaxFile fax;
  explicit Record(const DecodingParameters& params = {}) {
    fax.set_working_paths(scratch.paths());
    fax.set_parameters(params);
  }
  int open(const fs::path& path) { return fax.open(path, classify(path)); }
};

test::Pbm expected(const std::string& stem) {
  return test::read_pbm(fixture("expected/" + stem + ".pbm.gz"));
}

TEST(FaxFileOpen, AMissingFileChangesNothing) {
  Record r;
  ASSERT_EQ(r.open(fixture("tiff/multipage-1728-g4.tif")), 0);
  ASSERT_EQ(r.fax.page_count(), 3);
  EXPECT_EQ(r.fax.open("/no/such/file.tif", kFormatTiff), -1);
  EXPECT_EQ(r.fax.page_count(), 3);
  EXPECT_TRUE(r.fax.page_valid());
  EXPECT_FALSE(r.fax.page().has_pixels());  // the bitmap was emptied first
  r.fax.set_parameters({});
  EXPECT_EQ(r.fax.page_count(), 0);
}

TEST(FaxFileOpen, PagesOfAMultiPageTiffLoadInTurn) {
  Record r;
  ASSERT_EQ(r.open(fixture("tiff/multipage-1728-g4.tif")), 0);
  ASSERT_EQ(r.fax.page_count(), 3);
  for (std::uint32_t p : {2u, 0u, 1u}) {
    r.fax.load_page(kFormatTiff, p);
    ASSERT_TRUE(r.fax.page_valid());
    EXPECT_TRUE(test::same_pixels(expected("multipage-1728-g4-p" + std::to_string(p + 1)),
                                  test::to_pbm(r.fax.page()), "multipage-g4"));
  }
  EXPECT_EQ(r.fax.page_count(), 3);
}

TEST(FaxFileOpen, TiffInsideOtherNamesOpensWithTheTiffReader) {
  TempDir dir;
  const auto bytes = test::read_file(fixture("tiff/text-1728-g3-2d.tif"));
  for (const char* name : {"a.fmf", "a.g3n", "a.g3f"}) {
    test::write_file(dir / name, bytes);
    Record r;
    EXPECT_EQ(r.open(dir / name), 0) << name;
    EXPECT_EQ(r.fax.page_count(), 1) << name;
    EXPECT_TRUE(test::same_pixels(expected("text-1728-g3-2d"), test::to_pbm(r.fax.page()), name));
  }
}

TEST(FaxFileOpen, FormatsOutsideTheTableAreReadAsRawData) {
  for (std::int32_t format : {19, -2, 0, 2}) {
    Record r;
    const fs::path g3 = fixture("raw/text-1728-pbmtog3.g3");
    EXPECT_EQ(r.fax.open(g3, format == 2 ? 0 : format), 0);
    EXPECT_TRUE(r.fax.page_valid()) << format;
    EXPECT_EQ(r.fax.page().coding, 5);
    EXPECT_EQ(r.fax.page().width, 1728);
  }
}

TEST(FaxFileOpen, RawDataThatNoAnalysisAcceptsHasNoPage) {
  TempDir dir;
  test::write_file(dir / "noise.g3", std::vector<std::uint8_t>(4000, 0x5A));
  Record r;
  EXPECT_EQ(r.open(dir / "noise.g3"), 0);
  EXPECT_EQ(r.fax.page_count(), 0);
  EXPECT_FALSE(r.fax.page_valid());
  r.fax.load_page(kFormatRawFax, 0);
  EXPECT_FALSE(r.fax.page_valid());
}

TEST(FaxFileOpen, ARejectedSignatureLeavesNoPage) {
  TempDir dir;
  test::write_file(dir / "bad.dcx", std::vector<std::uint8_t>(300, 0x11));
  Record r;
  EXPECT_EQ(r.open(dir / "bad.dcx"), 0);
  EXPECT_EQ(r.fax.page_count(), 0);
  EXPECT_FALSE(r.fax.page_valid());
}

// Puts a stand-in At Work converter first on PATH for the object's life.
class FakeConverter {
 public:
  explicit FakeConverter(const std::string& body) {
    const fs::path script = dir_ / "AWDVSTUB.EXE";
    test::write_file(script, std::vector<std::uint8_t>(body.begin(), body.end()));
    fs::permissions(script, fs::perms(0700));
    const char* p = std::getenv("PATH");
    saved_ = p ? p : "";
    setenv("PATH", (dir_.path().string() + ":" + saved_).c_str(), 1);
  }
  ~FakeConverter() { setenv("PATH", saved_.c_str(), 1); }

 private:
  TempDir dir_;
  std::string saved_;
};

TEST(FaxFileAtWork, AMissingConverterGivesAnEmptyPage) {
  TempDir dir;
  test::write_file(dir / "f.awd", {1, 2, 3});
  const char* p = std::getenv("PATH");
  const std::string saved = p ? p : "";
  setenv("PATH", dir.path().c_str(), 1);
  Record r;
  EXPECT_EQ(r.open(dir / "f.awd"), 0);
  setenv("PATH", saved.c_str(), 1);
  EXPECT_FALSE(r.fax.page_valid());
  EXPECT_EQ(r.fax.page_count(), 0);
  // No temporary TIFF: nothing to convert.
  EXPECT_EQ(r.fax.convert(dir / "out.tif", kFormatAtWork), -1);
  EXPECT_FALSE(fs::exists(dir / "out.tif"));
}

TEST(FaxFileAtWork, TheConvertersTiffIsOpenedAndConverted) {
  // The stand-in "converts" by copying a TIFF fixture to its third argument.
  FakeConverter converter("#!/bin/sh\ncp '" + fixture("tiff/multipage-1728-g4.tif").string() +
                          "' \"$3\"\n");
  TempDir dir;
  test::write_file(dir / "f.awd", {1, 2, 3});
  Record r;
  EXPECT_EQ(r.open(dir / "f.awd"), 0);
  ASSERT_TRUE(r.fax.page_valid());
  EXPECT_EQ(r.fax.page_count(), 3);
  r.fax.load_page(kFormatAtWork, 1);
  EXPECT_TRUE(test::same_pixels(expected("multipage-1728-g4-p2"), test::to_pbm(r.fax.page())));
  ASSERT_EQ(r.fax.convert(dir / "out.tif", kFormatAtWork), 0);
  const auto pages = test::run_output("tiffinfo '" + (dir / "out.tif").string() + "' 2>&1");
  EXPECT_NE(pages.find("Page Number: 2-3"), std::string::npos) << pages;
}

TEST(FaxFileConvert, FaxWizardPagesAreCopiedWithTheirCoding) {
  TempDir dir;
  fs::copy_file(fixture("tiff/multipage-1728-g4.tif"), dir / "in.fmf");
  Record r;
  ASSERT_EQ(r.open(dir / "in.fmf"), 0);
  ASSERT_EQ(r.fax.convert(dir / "out.tif", kFormatFaxWizard), 0);
  const std::string info = test::run_output("tiffinfo '" + (dir / "out.tif").string() + "' 2>&1");
  for (const char* want : {"Page Number: 0-3", "Page Number: 1-3", "Page Number: 2-3",
                           "CCITT Group 4", "Veldmark Studio", "min-is-white"}) {
    EXPECT_NE(info.find(want), std::string::npos) << want;
  }
  EXPECT_EQ(info.find("Warning"), std::string::npos) << info;
  // libtiff reads every converted page as the source's pixels.
  for (int p = 0; p < 3; ++p) {
    const fs::path pbm = dir / ("p" + std::to_string(p) + ".pbm");
    ASSERT_EQ(test::run("tiffcp '" + (dir / "out.tif").string() + "," + std::to_string(p) + "' '" +
                        (dir / "one.tif").string() + "' && tifftopnm '" + (dir / "one.tif").string() +
                        "' > '" + pbm.string() + "' 2>/dev/null"),
              0);
    EXPECT_TRUE(test::same_pixels(expected("multipage-1728-g4-p" + std::to_string(p + 1)),
                                  test::read_pbm(pbm)));
  }
}

TEST(FaxFileConvert, MultiStripPagesKeepTheirStrips) {
  TempDir dir;
  fs::copy_file(fixture("tiff/text-1728-g4-multistrip.tif"), dir / "in.g3n");
  Record r;
  ASSERT_EQ(r.open(dir / "in.g3n"), 0);
  ASSERT_EQ(r.fax.convert(dir / "out.tif", kFormatZetafax), 0);
  Record back;
  ASSERT_EQ(back.open(dir / "out.tif"), 0);
  EXPECT_TRUE(test::same_pixels(expected("text-1728-g4-multistrip"), test::to_pbm(back.fax.page())));
}

TEST(FaxFileConvert, FailuresLeaveTheTargetAsItWas) {
  TempDir dir;
  test::write_file(dir / "out.tif", {'o', 'l', 'd'});
  Record r;
  ASSERT_EQ(r.open(fixture("tiff/text-1728-g4.tif")), 0);
  EXPECT_EQ(r.fax.convert(dir / "out.tif", kFormatTiff), -1);  // TIFF already
  Record closed;
  EXPECT_EQ(closed.fax.convert(dir / "out.tif", kFormatDcx), -1);  // nothing open
  EXPECT_EQ(test::read_file(dir / "out.tif"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  EXPECT_NE(r.fax.convert(dir / "no-such-folder" / "out.tif", kFormatFaxWizard), 0);
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename(), "out.tif") << "left behind: " << e.path();
}

TEST(FaxFileRaw, TheVerticalResolutionOverrideRepaginates) {
  DecodingParameters params;
  params.vres_override = 100;
  Record r(params);
  ASSERT_EQ(r.open(fixture("raw/twopage-1728-g3-1d.g3")), 0);
  ASSERT_TRUE(r.fax.page_valid());
  EXPECT_EQ(r.fax.page().yres, 100);
  const std::uint16_t at_100 = r.fax.page_count();
  // Pretend the user chose 400 dpi: pages of 4576 rows.
  r.fax.page().yres = 400;
  const std::uint16_t at_400 = r.fax.recount_raw_pages();
  EXPECT_LE(at_400, at_100);
  EXPECT_EQ(at_400, r.fax.page_count());
}

TEST(FaxFileRaw, RecordsWithTheirOwnScratchFilesDoNotDisturbEachOther) {
  // Two records decoding different streams at the same time, as two
  // programs would.
  auto run = [](const fs::path& file, const std::string& stem, bool* ok) {
    for (int i = 0; i < 3; ++i) {
      Record r;
      if (r.open(file) != 0 || !r.fax.page_valid()) return;
      if (!test::same_pixels(expected(stem), test::to_pbm(r.fax.page()))) return;
    }
    *ok = true;
  };
  bool a = false, b = false;
  std::thread ta(run, fixture("raw/text-1728-pbmtog3.g3"), "text-1728-pbmtog3", &a);
  std::thread tb(run, fixture("raw/text-2048-pbmtog3.g3"), "text-2048-pbmtog3", &b);
  ta.join();
  tb.join();
  EXPECT_TRUE(a);
  EXPECT_TRUE(b);
}

}  // namespace
}  // namespace orvane
