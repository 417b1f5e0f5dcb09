#include "formats/conversion.h"

#include <random>
#include <string>
#include <vector>

#include "base/format_reader.h"
#include "support/test_support.h"

namespace orvane {
namespace {

using test::Pbm;
using test::TempDir;

// A page bitmap (set bit white) showing `img` (set bit black).
PageBitmap bitmap_of(const Pbm& img, std::uint16_t xres = 204, std::uint16_t yres = 196) {
  PageBitmap page;
  page.width = img.width;
  page.height = img.height;
  page.row_bytes = img.row_bytes();
  page.planes = 1;
  page.bits_per_pixel = 1;
  page.xres = xres;
  page.yres = yres;
  page.unit = 2;
  page.pixels = img.bits;
  for (std::uint8_t& b : page.pixels) b = std::uint8_t(~b);
  return page;
}

Pbm drawing(int width, int height, unsigned seed) {
  Pbm img;
  img.width = width;
  img.height = height;
  img.bits.assign(std::size_t(img.row_bytes()) * std::size_t(height), 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if ((x / 40 + y / (5 + int(seed))) % 5 == 0 || x == y + int(seed))
        img.bits[std::size_t(y * img.row_bytes() + x / 8)] |= std::uint8_t(0x80 >> (x % 8));
  return img;
}

Pbm noise(int width, int height, unsigned seed) {
  Pbm img;
  img.width = width;
  img.height = height;
  img.bits.resize(std::size_t(img.row_bytes()) * std::size_t(height));
  std::mt19937 rng(seed);
  for (std::uint8_t& b : img.bits) b = std::uint8_t(rng());
  return img;
}

std::string shell_quoted(const std::filesystem::path& p) {
  return "'" + p.string() + "'";
}

// tiffinfo's report, and whatever tiffinfo (reading every strip) and
// tiffdump print on stderr.
std::string tiffinfo(const std::filesystem::path& tif) {
  return test::run_output("tiffinfo " + shell_quoted(tif) + " 2>/dev/null");
}
std::string oracle_complaints(const std::filesystem::path& tif) {
  return test::run_output("{ tiffinfo -D " + shell_quoted(tif) + " 2>&1 >/dev/null; tiffdump " +
                          shell_quoted(tif) + " 2>&1 >/dev/null; }");
}

std::size_t occurrences(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Page `index` (from 0) as libtiff decodes it.
Pbm decode_page(const std::filesystem::path& tif, int index, TempDir& dir) {
  const auto one = dir / "one.tif";
  const auto pbm = dir / "one.pbm";
  std::filesystem::remove(one);
  EXPECT_EQ(test::run("tiffcp " + shell_quoted(tif) + "," + std::to_string(index) + " " +
                      shell_quoted(one) + " 2>/dev/null && tifftopnm -quiet " + shell_quoted(one) +
                      " > " + shell_quoted(pbm) + " 2>/dev/null"),
            0);
  return test::read_pbm(pbm);
}

TEST(DecodeAndPack, APageIsInvertedPackedAndDecodesToTheSamePixels) {
  TempDir dir;
  const Pbm img = drawing(1728 / 4, 150, 1);
  PageBitmap page = bitmap_of(img);
  const auto tif = dir / "packed.tif";
  {
    TiffOutput out(tif);
    ASSERT_TRUE(out.ok());
    EXPECT_EQ(out.packed_page(page, 0, 1), PageResult::kWritten);
    EXPECT_FALSE(page.has_pixels());  // freed once written
    ASSERT_TRUE(out.close());
  }
  EXPECT_EQ(oracle_complaints(tif), "");
  const std::string info = tiffinfo(tif);
  EXPECT_NE(info.find("Compression Scheme: PackBits"), std::string::npos) << info;
  EXPECT_NE(info.find("Resolution: 204, 196 pixels/inch"), std::string::npos) << info;
  EXPECT_NE(info.find("FillOrder: msb-to-lsb"), std::string::npos) << info;
  EXPECT_NE(info.find("min-is-white"), std::string::npos) << info;
  EXPECT_TRUE(test::same_pixels(img, decode_page(tif, 0, dir), "packed_page"));
}

TEST(DecodeAndPack, APageThatDoesNotPackIsWrittenUncompressed) {
  TempDir dir;
  const Pbm img = noise(640, 30, 5);
  PageBitmap page = bitmap_of(img);
  const auto tif = dir / "raw.tif";
  TiffOutput out(tif);
  EXPECT_EQ(out.packed_page(page, 0, 1), PageResult::kWritten);
  ASSERT_TRUE(out.close());
  EXPECT_EQ(oracle_complaints(tif), "");
  const std::string info = tiffinfo(tif);
  EXPECT_NE(info.find("Compression Scheme: None"), std::string::npos) << info;
  EXPECT_TRUE(test::same_pixels(img, decode_page(tif, 0, dir), "raw_page"));
}

TEST(DecodeAndPack, TheWidthIsTheRowBytesInPixels) {
  TempDir dir;
  const Pbm img = drawing(203, 20, 2);
  PageBitmap page = bitmap_of(img);
  const auto tif = dir / "w.tif";
  TiffOutput out(tif);
  EXPECT_EQ(out.packed_page(page, 0, 1), PageResult::kWritten);
  ASSERT_TRUE(out.close());
  const std::string info = tiffinfo(tif);
  EXPECT_NE(info.find("Image Width: 208 Image Length: 20"), std::string::npos) << info;
  // The five padding columns are white (the bitmap's set padding bits).
  const Pbm decoded = decode_page(tif, 0, dir);
  ASSERT_EQ(decoded.width, 208);
  Pbm expected = img;
  expected.width = 208;
  EXPECT_TRUE(test::same_pixels(expected, decoded, "padded_page"));
}

TEST(DecodeAndPack, PagesWithoutPixelsAreLeftOutAndTheRestRenumbered) {
  TempDir dir;
  const Pbm a = drawing(320, 40, 1), c = drawing(320, 50, 3);
  PageBitmap first = bitmap_of(a), third = bitmap_of(c);
  PageBitmap missing;  // a page that could not be loaded
  missing.width = 320;
  missing.height = 40;
  missing.row_bytes = 40;
  PageBitmap short_page = bitmap_of(a);  // fewer pixels than its size says
  short_page.pixels.resize(short_page.pixels.size() / 2);
  short_page.pixels.shrink_to_fit();

  const auto tif = dir / "gaps.tif";
  TiffOutput out(tif);
  EXPECT_EQ(out.packed_page(first, 0, 4), PageResult::kWritten);
  EXPECT_EQ(out.packed_page(missing, 1, 4), PageResult::kSkipped);
  EXPECT_EQ(out.packed_page(short_page, 2, 4), PageResult::kSkipped);
  EXPECT_FALSE(short_page.has_pixels());
  EXPECT_EQ(out.packed_page(third, 3, 4), PageResult::kWritten);
  EXPECT_EQ(out.pages_written(), 2u);
  EXPECT_EQ(out.pages_skipped(), 2u);
  ASSERT_TRUE(out.close());

  EXPECT_EQ(oracle_complaints(tif), "");
  const std::string info = tiffinfo(tif);
  EXPECT_EQ(occurrences(info, "TIFF Directory"), 2u) << info;
  EXPECT_NE(info.find("Page Number: 0-2"), std::string::npos) << info;
  EXPECT_NE(info.find("Page Number: 1-2"), std::string::npos) << info;
  EXPECT_TRUE(test::same_pixels(a, decode_page(tif, 0, dir), "gap_page0"));
  EXPECT_TRUE(test::same_pixels(c, decode_page(tif, 1, dir), "gap_page1"));
}

TEST(PassThrough, CodedPagesGoInUnchangedAndDecodeWithLibtiff) {
  TempDir dir;
  const Pbm img = drawing(1728 / 2, 120, 2);
  test::write_pbm(dir / "src.pbm", img);
  ASSERT_EQ(
      test::run("pbmtog3 -nofixedwidth -align8 -reversebits " + shell_quoted(dir / "src.pbm") +
                " > " + shell_quoted(dir / "lsb.g3") + " 2>/dev/null"),
      0);
  ASSERT_EQ(test::run("convert " + shell_quoted(dir / "src.pbm") + " " +
                      shell_quoted("group4:" + (dir / "page.g4").string())),
            0);
  const auto g3 = test::read_file(dir / "lsb.g3");
  const auto g4 = test::read_file(dir / "page.g4");
  ASSERT_FALSE(g3.empty());
  ASSERT_FALSE(g4.empty());

  const auto tif = dir / "pass.tif";
  TiffOutput out(tif);
  const std::uint32_t w = std::uint32_t(img.width), h = std::uint32_t(img.height);
  EXPECT_EQ(out.pass_through_page({.coded = g3,
                                   .coding = 5,
                                   .bit_order = 2,
                                   .width = w,
                                   .length = h,
                                   .xres = 204,
                                   .yres = 98},
                                  0, 2),
            PageResult::kWritten);
  EXPECT_EQ(out.pass_through_page({.coded = g4,
                                   .coding = 7,
                                   .bit_order = 1,
                                   .width = w,
                                   .length = h,
                                   .xres = 204,
                                   .yres = 196},
                                  1, 2),
            PageResult::kWritten);
  ASSERT_TRUE(out.close());

  EXPECT_EQ(oracle_complaints(tif), "");
  const std::string info = tiffinfo(tif);
  EXPECT_NE(info.find("FillOrder: lsb-to-msb"), std::string::npos) << info;
  EXPECT_NE(info.find("Compression Scheme: CCITT Group 4"), std::string::npos) << info;
  EXPECT_NE(info.find("Resolution: 204, 98 pixels/inch"), std::string::npos) << info;
  EXPECT_TRUE(test::same_pixels(img, decode_page(tif, 0, dir), "pass_g3"));
  EXPECT_TRUE(test::same_pixels(img, decode_page(tif, 1, dir), "pass_g4"));

  // The coded bytes are in the file as they came.
  const auto file = test::read_file(tif);
  EXPECT_TRUE(std::equal(g3.begin(), g3.end(), file.begin() + 8));
}

TEST(PassThrough, PagesATiffFileCannotHoldAreLeftOut) {
  TempDir dir;
  const std::vector<std::uint8_t> data = {0x00, 0x01, 0x4D, 0x80};
  const auto tif = dir / "skip.tif";
  TiffOutput out(tif);
  const PassThroughPage good{.coded = data, .coding = 5, .width = 1728, .length = 1};
  for (const std::uint8_t coding : {0, 2, 9}) {
    PassThroughPage page = good;
    page.coding = coding;
    EXPECT_EQ(out.pass_through_page(page, 0, 1), PageResult::kSkipped) << int(coding);
  }
  PassThroughPage empty = good;
  empty.coded = {};
  EXPECT_EQ(out.pass_through_page(empty, 0, 1), PageResult::kSkipped);
  PassThroughPage no_rows = good;
  no_rows.length = 0;
  EXPECT_EQ(out.pass_through_page(no_rows, 0, 1), PageResult::kSkipped);
  EXPECT_EQ(out.pages_written(), 0u);
  ASSERT_TRUE(out.close());
  EXPECT_EQ(std::filesystem::file_size(tif), 8u);
}

TEST(PassThrough, AnUnknownBitOrderIsWrittenAsFillOrderOne) {
  TempDir dir;
  const Pbm img = drawing(64, 8, 1);
  test::write_pbm(dir / "src.pbm", img);
  ASSERT_EQ(test::run("pbmtog3 -nofixedwidth -align8 " + shell_quoted(dir / "src.pbm") + " > " +
                      shell_quoted(dir / "msb.g3") + " 2>/dev/null"),
            0);
  const auto g3 = test::read_file(dir / "msb.g3");
  const auto tif = dir / "auto.tif";
  TiffOutput out(tif);
  EXPECT_EQ(out.pass_through_page(
                {.coded = g3, .coding = 5, .bit_order = 0, .width = 64, .length = 8}, 0, 1),
            PageResult::kWritten);
  ASSERT_TRUE(out.close());
  EXPECT_EQ(oracle_complaints(tif), "");
  EXPECT_TRUE(test::same_pixels(img, decode_page(tif, 0, dir), "auto_order"));
}

TEST(TiffOutputFailures, AnOutputThatCannotBeCreatedTakesNoPages) {
  TempDir dir;
  const Pbm img = drawing(64, 8, 1);
  PageBitmap page = bitmap_of(img);
  TiffOutput out(dir / "missing" / "out.tif");
  EXPECT_FALSE(out.ok());
  EXPECT_EQ(out.packed_page(page, 0, 1), PageResult::kFailed);
  EXPECT_FALSE(page.has_pixels());
  EXPECT_FALSE(out.close());
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(TiffOutputFailures, AWriteErrorMakesCloseFail) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  PageBitmap page = bitmap_of(noise(800, 50, 1));
  TiffOutput out("/dev/full");
  EXPECT_EQ(out.packed_page(page, 0, 1), PageResult::kFailed);
  EXPECT_FALSE(out.ok());
  EXPECT_FALSE(out.close());
}

// A reader whose pages are drawings, except those listed as unreadable.
class DrawingReader : public FormatReader {
 public:
  explicit DrawingReader(std::vector<bool> readable) : readable_(std::move(readable)) {}
  std::uint16_t build_page_table() override { return std::uint16_t(readable_.size()); }
  void load_page(std::uint32_t index, PageBitmap& page) override {
    ++loads;
    if (index < readable_.size() && readable_[index])
      page = bitmap_of(drawing(256, 30 + int(index), index));
  }
  ConvertResult convert(const std::filesystem::path& output, std::uint16_t count) override {
    return convert_by_decoding(*this, output, count);
  }
  int loads = 0;

 private:
  std::vector<bool> readable_;
};

TEST(ConvertByDecoding, EveryReadablePageIsWritten) {
  TempDir dir;
  DrawingReader reader({true, false, true});
  const auto tif = dir / "conv.tif";
  EXPECT_EQ(reader.convert(tif, 3), ConvertResult::kOk);
  EXPECT_EQ(reader.loads, 3);
  EXPECT_EQ(oracle_complaints(tif), "");
  const std::string info = tiffinfo(tif);
  EXPECT_EQ(occurrences(info, "TIFF Directory"), 2u) << info;
  EXPECT_NE(info.find("Page Number: 1-2"), std::string::npos) << info;
  EXPECT_TRUE(test::same_pixels(drawing(256, 30, 0), decode_page(tif, 0, dir), "conv0"));
  EXPECT_TRUE(test::same_pixels(drawing(256, 32, 2), decode_page(tif, 1, dir), "conv1"));
}

TEST(ConvertByDecoding, AnOutputThatCannotBeCreatedIsAFailureAndNothingIsLoaded) {
  TempDir dir;
  DrawingReader reader({true, true});
  EXPECT_EQ(reader.convert(dir / "missing" / "conv.tif", 2), ConvertResult::kWriteFailed);
  EXPECT_EQ(reader.loads, 0);
}

}  // namespace
}  // namespace orvane
