// The fax file record end to end: classification, open-as-format, page
// loading and conversion, on files made by libtiff and netpbm.
#include "core/fax_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/classify.h"
#include "core/format_registry.h"
#include "core/scratch_dir.h"
#include "core/tiff_export.h"
#include "support/fax_record.h"
#include "support/test_support.h"
#include "tiff/tiff_builder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::fixture;
using test::Record;
using test::TempDir;

test::Pbm expected(const std::string& stem) {
  return test::read_pbm(fixture("expected/" + stem + ".pbm.gz"));
}

TEST(FaxFileOpen, AMissingFileChangesNothing) {
  Record r;
  ASSERT_EQ(r.open(fixture("tiff/multipage-1728-g4.tif")), OpenResult::kOk);
  ASSERT_EQ(r.fax.page_count(), 3);
  EXPECT_EQ(r.fax.open("/no/such/file.tif", kFormatTiff), OpenResult::kFailed);
  EXPECT_EQ(r.fax.page_count(), 3);
  EXPECT_TRUE(r.fax.page_valid());
  EXPECT_FALSE(r.fax.page().has_pixels());  // the bitmap was emptied first
  r.fax.set_parameters({});
  EXPECT_EQ(r.fax.page_count(), 0);
}

TEST(FaxFileOpen, PagesOfAMultiPageTiffLoadInTurn) {
  Record r;
  ASSERT_EQ(r.open(fixture("tiff/multipage-1728-g4.tif")), OpenResult::kOk);
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
    EXPECT_EQ(r.open(dir / name), OpenResult::kOk) << name;
    EXPECT_EQ(r.fax.page_count(), 1) << name;
    EXPECT_TRUE(test::same_pixels(expected("text-1728-g3-2d"), test::to_pbm(r.fax.page()), name));
  }
}

TEST(FaxFileOpen, FormatsOutsideTheTableAreReadAsRawData) {
  for (std::int32_t format : {99, -2, 0, 2}) {
    Record r;
    const fs::path g3 = fixture("raw/text-1728-pbmtog3.g3");
    EXPECT_EQ(r.fax.open(g3, format == 2 ? 0 : format), OpenResult::kOk);
    EXPECT_TRUE(r.fax.page_valid()) << format;
    EXPECT_EQ(r.fax.page().coding, 5);
    EXPECT_EQ(r.fax.page().width, 1728);
  }
}

TEST(FaxFileOpen, RawDataThatNoAnalysisAcceptsHasNoPage) {
  TempDir dir;
  test::write_file(dir / "noise.g3", std::vector<std::uint8_t>(4000, 0x5A));
  Record r;
  EXPECT_EQ(r.open(dir / "noise.g3"), OpenResult::kOk);
  EXPECT_EQ(r.fax.page_count(), 0);
  EXPECT_FALSE(r.fax.page_valid());
  r.fax.load_page(kFormatRawFax, 0);
  EXPECT_FALSE(r.fax.page_valid());
}

TEST(FaxFileOpen, ARejectedSignatureLeavesNoPage) {
  TempDir dir;
  test::write_file(dir / "bad.dcx", std::vector<std::uint8_t>(300, 0x11));
  Record r;
  EXPECT_EQ(r.open(dir / "bad.dcx"), OpenResult::kOk);
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
  EXPECT_EQ(r.open(dir / "f.awd"), OpenResult::kOk);
  setenv("PATH", saved.c_str(), 1);
  EXPECT_FALSE(r.fax.page_valid());
  EXPECT_EQ(r.fax.page_count(), 0);
  // No temporary TIFF: nothing to convert.
  EXPECT_EQ(export_tiff(r.fax, kFormatAtWork, dir / "out.tif", TiffPages::kKeepCoded),
            ConvertResult::kNoFile);
  EXPECT_FALSE(fs::exists(dir / "out.tif"));
}

TEST(FaxFileAtWork, TheConvertersTiffIsOpenedAndConverted) {
  // The stand-in "converts" by copying a TIFF fixture to its third argument.
  FakeConverter converter("#!/bin/sh\ncp '" + fixture("tiff/multipage-1728-g4.tif").string() +
                          "' \"$3\"\n");
  TempDir dir;
  test::write_file(dir / "f.awd", {1, 2, 3});
  Record r;
  EXPECT_EQ(r.open(dir / "f.awd"), OpenResult::kOk);
  ASSERT_TRUE(r.fax.page_valid());
  EXPECT_EQ(r.fax.page_count(), 3);
  r.fax.load_page(kFormatAtWork, 1);
  EXPECT_TRUE(test::same_pixels(expected("multipage-1728-g4-p2"), test::to_pbm(r.fax.page())));
  ASSERT_EQ(export_tiff(r.fax, kFormatAtWork, dir / "out.tif", TiffPages::kKeepCoded),
            ConvertResult::kOk);
  const auto pages = test::run_output("tiffinfo '" + (dir / "out.tif").string() + "' 2>&1");
  EXPECT_NE(pages.find("Page Number: 2-3"), std::string::npos) << pages;
}

TEST(FaxFileConvert, FaxWizardPagesAreCopiedWithTheirCoding) {
  TempDir dir;
  fs::copy_file(fixture("tiff/multipage-1728-g4.tif"), dir / "in.fmf");
  Record r;
  ASSERT_EQ(r.open(dir / "in.fmf"), OpenResult::kOk);
  ASSERT_EQ(export_tiff(r.fax, kFormatFaxWizard, dir / "out.tif", TiffPages::kKeepCoded),
            ConvertResult::kOk);
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
                        (dir / "one.tif").string() + "' && tifftopnm '" +
                        (dir / "one.tif").string() + "' > '" + pbm.string() + "' 2>/dev/null"),
              0);
    EXPECT_TRUE(test::same_pixels(expected("multipage-1728-g4-p" + std::to_string(p + 1)),
                                  test::read_pbm(pbm)));
  }
}

TEST(FaxFileConvert, MultiStripPagesKeepTheirStrips) {
  TempDir dir;
  fs::copy_file(fixture("tiff/text-1728-g4-multistrip.tif"), dir / "in.g3n");
  Record r;
  ASSERT_EQ(r.open(dir / "in.g3n"), OpenResult::kOk);
  ASSERT_EQ(export_tiff(r.fax, kFormatZetafax, dir / "out.tif", TiffPages::kKeepCoded),
            ConvertResult::kOk);
  Record back;
  ASSERT_EQ(back.open(dir / "out.tif"), OpenResult::kOk);
  EXPECT_TRUE(
      test::same_pixels(expected("text-1728-g4-multistrip"), test::to_pbm(back.fax.page())));
}

TEST(FaxFileConvert, FailuresLeaveTheTargetAsItWas) {
  TempDir dir;
  test::write_file(dir / "out.tif", {'o', 'l', 'd'});
  Record r;
  ASSERT_EQ(r.open(fixture("tiff/text-1728-g4.tif")), OpenResult::kOk);
  Record closed;
  EXPECT_EQ(export_tiff(closed.fax, kFormatDcx, dir / "out.tif", TiffPages::kKeepCoded),
            ConvertResult::kNoFile);  // nothing open
  EXPECT_EQ(test::read_file(dir / "out.tif"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  EXPECT_NE(export_tiff(r.fax, kFormatFaxWizard, dir / "no-such-folder" / "out.tif",
                        TiffPages::kKeepCoded),
            ConvertResult::kOk);
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename(), "out.tif") << "left behind: " << e.path();
}

// A source page whose strips hold no byte the file has is left out of a
// TIFF-to-TIFF copy, as the other converters leave out pages they cannot
// write: copied, it would be a page without data; and a source with no page
// that has data converts to nothing rather than to empty pages.
TEST(FaxFileConvert, TiffPagesWithoutDataAreLeftOut) {
  auto page = [](test::TiffBuilder& b, std::uint32_t offset) {
    return std::vector<test::TiffBuilder::Entry>{b.long_entry(256, 8),  b.long_entry(257, 2),
                                                 b.short_entry(259, 1), b.long_entry(273, offset),
                                                 b.long_entry(279, 2),  b.rational(282, 204, 1)};
  };
  TempDir dir;
  test::TiffBuilder b;
  const std::uint32_t data = b.append({0xAA, 0x55});
  b.add_directory(page(b, 0x7FFFFFF0));  // strip past the end of the file
  b.add_directory(page(b, data));
  test::write_file(dir / "in.fmf", b.bytes());
  Record r;
  ASSERT_EQ(r.open(dir / "in.fmf"), OpenResult::kOk);
  ASSERT_EQ(r.fax.page_count(), 2);
  ASSERT_EQ(export_tiff(r.fax, kFormatFaxWizard, dir / "out.tif", TiffPages::kKeepCoded),
            ConvertResult::kOk);
  const std::string info = test::run_output("tiffinfo '" + (dir / "out.tif").string() + "' 2>&1");
  std::size_t directories = 0;
  for (std::size_t at = 0; (at = info.find("TIFF Directory", at)) != std::string::npos; ++at)
    ++directories;
  EXPECT_EQ(directories, 1u) << info;
  EXPECT_NE(info.find("Page Number: 0-1"), std::string::npos) << info;
  r.fax.load_page(kFormatFaxWizard, 1);
  Record back;
  ASSERT_EQ(back.open(dir / "out.tif"), OpenResult::kOk);
  ASSERT_TRUE(back.fax.page_valid());
  EXPECT_EQ(back.fax.page().pixels, r.fax.page().pixels);

  test::TiffBuilder broken;
  broken.append({0xAA, 0x55});
  broken.add_directory(page(broken, 0x7FFFFFF0));
  test::write_file(dir / "broken.fmf", broken.bytes());
  Record rb;
  ASSERT_EQ(rb.open(dir / "broken.fmf"), OpenResult::kOk);
  EXPECT_EQ(export_tiff(rb.fax, kFormatFaxWizard, dir / "none.tif", TiffPages::kKeepCoded),
            ConvertResult::kNoPages);
  EXPECT_FALSE(fs::exists(dir / "none.tif"));
}

// The copied data means what the source's PhotometricInterpretation says it
// means: a BlackIsZero page written as WhiteIsZero would come out inverted.
TEST(FaxFileConvert, TiffPagesKeepTheirPhotometricInterpretation) {
  TempDir dir;
  for (const std::uint16_t photometric : {0, 1}) {
    test::TiffBuilder b;
    const std::uint32_t data = b.append({0xAA, 0x55});
    b.add_directory({b.long_entry(256, 8), b.long_entry(257, 2), b.short_entry(259, 1),
                     b.short_entry(262, photometric), b.long_entry(273, data),
                     b.long_entry(279, 2)});
    test::write_file(dir / "in.g3n", b.bytes());
    Record r;
    ASSERT_EQ(r.open(dir / "in.g3n"), OpenResult::kOk);
    ASSERT_TRUE(r.fax.page_valid());
    ASSERT_EQ(export_tiff(r.fax, kFormatZetafax, dir / "out.tif", TiffPages::kKeepCoded),
              ConvertResult::kOk);
    Record back;
    ASSERT_EQ(back.open(dir / "out.tif"), OpenResult::kOk);
    ASSERT_TRUE(back.fax.page_valid());
    EXPECT_EQ(back.fax.page().pixels, r.fax.page().pixels) << photometric;
    // libtiff agrees: both files give the same image.
    for (const char* f : {"in.g3n", "out.tif"}) {
      ASSERT_EQ(test::run("tifftopnm '" + (dir / f).string() + "' > '" +
                          (dir / (std::string(f) + ".pbm")).string() + "' 2>/dev/null"),
                0);
    }
    EXPECT_TRUE(test::same_pixels(test::read_pbm(dir / "in.g3n.pbm"),
                                  test::read_pbm(dir / "out.tif.pbm"), "photometric"))
        << photometric;
  }
}

// A FillOrder other than 1 is read least significant bit first; the copy,
// written from the page's pixels, shows other readers the same page.
TEST(FaxFileConvert, TiffPagesKeepTheBitOrderTheyWereReadWith) {
  TempDir dir;
  test::TiffBuilder b;
  const std::uint32_t data = b.append({0x01, 0x80});
  b.add_directory({b.long_entry(256, 8), b.long_entry(257, 2), b.short_entry(259, 1),
                   b.short_entry(262, 1), b.short_entry(266, 3), b.long_entry(273, data),
                   b.long_entry(279, 2)});
  test::write_file(dir / "in.g3n", b.bytes());
  Record r;
  ASSERT_EQ(r.open(dir / "in.g3n"), OpenResult::kOk);
  ASSERT_TRUE(r.fax.page_valid());
  EXPECT_EQ(r.fax.page().pixels, (std::vector<std::uint8_t>{0x80, 0x01}));
  ASSERT_EQ(export_tiff(r.fax, kFormatZetafax, dir / "out.tif", TiffPages::kKeepCoded),
            ConvertResult::kOk);
  ASSERT_EQ(test::run("tifftopnm '" + (dir / "out.tif").string() + "' > '" +
                      (dir / "out.pbm").string() + "' 2>/dev/null"),
            0);
  EXPECT_TRUE(
      test::same_pixels(test::to_pbm(r.fax.page()), test::read_pbm(dir / "out.pbm"), "fill-order"));
}

TEST(FaxFileRaw, TheVerticalResolutionOverrideRepaginates) {
  DecodingParameters params;
  params.vres_override = 100;
  Record r(params);
  ASSERT_EQ(r.open(fixture("raw/twopage-1728-g3-1d.g3")), OpenResult::kOk);
  ASSERT_TRUE(r.fax.page_valid());
  EXPECT_EQ(r.fax.page().yres, 100);
  const std::uint16_t at_100 = r.fax.page_count();
  // Pretend the user chose 400 dpi: pages of 4576 rows.
  r.fax.page().yres = 400;
  const std::uint16_t at_400 = r.fax.recount_raw_pages();
  EXPECT_LE(at_400, at_100);
  EXPECT_EQ(at_400, r.fax.page_count());
}

// Only a failed stream analysis means a raw file has nothing to load; a page
// that failed to load must not keep the others from loading.
TEST(FaxFileRaw, AFailedPageLoadDoesNotStopLaterLoads) {
  Record r;
  ASSERT_EQ(r.open(fixture("raw/twopage-1728-g3-1d.g3")), OpenResult::kOk);
  ASSERT_TRUE(r.fax.page_valid());
  const std::uint16_t pages = r.fax.page_count();
  r.fax.load_page(kFormatRawFax, pages);  // past the last page
  EXPECT_FALSE(r.fax.page_valid());
  r.fax.load_page(kFormatRawFax, 0);
  EXPECT_TRUE(r.fax.page_valid());
  EXPECT_EQ(r.fax.page().width, 1728);
}

}  // namespace
}  // namespace orvane
