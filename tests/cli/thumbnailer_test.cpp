// orvane-thumbnailer as a file manager runs it: a grey picture of page 1 at
// the page's true aspect, written whole, and one line when it cannot be.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <regex>
#include <sstream>

#include "cli/run_cli.h"
#include "support/test_support.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::fixture;
using test::TempDir;

const std::string kThumbnailer =
    std::string(ORVANE_BINARY_DIR) + "/src/thumbnailer/orvane-thumbnailer";

std::string q(const fs::path& p) {
  return "'" + p.string() + "'";
}

test::CliResult thumbnail(const std::string& args) {
  const std::string marker = "@@exit=";
  const std::string out =
      test::run_output("timeout 20 " + kThumbnailer + " " + args + " 2>&1; echo " + marker + "$?");
  const auto at = out.rfind(marker);
  return {std::stoi(out.substr(at + marker.size())), out.substr(0, at)};
}

struct Picture {
  int width = 0, height = 0, colours = 0;
  double mean = 0;
};

// ImageMagick reads the PNG: an independent decoder.
Picture picture(const fs::path& png) {
  Picture p;
  std::istringstream in(test::run_output("identify -format '%w %h %k %[fx:mean]' " + q(png)));
  in >> p.width >> p.height >> p.colours >> p.mean;
  return p;
}

// Width over height of the page on paper, from libtiff's reading of it.
double paper_aspect(const fs::path& tiff) {
  const std::string info = test::run_output("tiffinfo " + q(tiff) + " 2>/dev/null");
  std::smatch size, res;
  EXPECT_TRUE(
      std::regex_search(info, size, std::regex(R"(Image Width: (\d+) Image Length: (\d+))")));
  EXPECT_TRUE(std::regex_search(info, res, std::regex(R"(Resolution: (\d+), (\d+))")));
  if (size.empty() || res.empty()) return 0;
  return (std::stod(size[1]) / std::stod(res[1])) / (std::stod(size[2]) / std::stod(res[2]));
}

TEST(Thumbnailer, GreyPictureAtTheTruePageAspect) {
  struct Case {
    fs::path input;
    int size;
  };
  const Case cases[] = {
      {fs::path(ORVANE_SOURCE_DIR) / "samples/sample.tif", 256},
      {fixture("tiff/text-1728-g3-1d-lsb.tif"), 128},  // 204 x 98 dpi: a wide strip
      {fixture("tiff/dither-1728-g4.tif"), 64},
      {fixture("tiff/multipage-1728-g4.tif"), 512},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const fs::path out = dir / (c.input.stem().string() + ".png");
    const test::CliResult r =
        thumbnail("-s " + std::to_string(c.size) + " " + q(c.input) + " " + q(out));
    ASSERT_EQ(r.code, 0) << c.input << ": " << r.out;
    EXPECT_EQ(r.out, "");
    const Picture p = picture(out);
    EXPECT_EQ(std::max(p.width, p.height), c.size) << c.input;
    const double aspect = paper_aspect(c.input);
    // Rounding to whole pixels moves the shorter side by at most one.
    EXPECT_NEAR(p.width, p.height * aspect, 1.0 + aspect) << c.input;
    EXPECT_GT(p.colours, 2) << c.input << ": not smoothed";
    EXPECT_GT(p.mean, 0.05) << c.input;
    EXPECT_LT(p.mean, 0.999) << c.input << ": blank";
  }
  // Bare G3 data: the width and coding are found as for any other reading.
  const fs::path out = dir / "bare.png";
  ASSERT_EQ(
      thumbnail("-s 128 " + q(fs::path(ORVANE_SOURCE_DIR) / "samples/sample.g3") + " " + q(out))
          .code,
      0);
  EXPECT_LT(picture(out).mean, 0.999);
}

TEST(Thumbnailer, FailuresAreOneLineAndLeaveNoPicture) {
  TempDir dir;
  test::write_file(dir / "notes.txt", {'h', 'i', '\n'});
  test::write_file(dir / "empty.tif", {});
  test::write_file(dir / "broken.dcx", {0xB1, 0x68, 0xDE, 0x3A, 0xFF, 0xFF, 0xFF, 0x7F});
  ASSERT_EQ(::mkfifo((dir / "pipe.g3").c_str(), 0600), 0);
  const fs::path good = fixture("tiff/text-1234-g4.tif");
  struct Case {
    std::string input, output, message;
  };
  const Case cases[] = {
      {(dir / "missing.tif").string(), "out.png", "missing.tif: No such file or directory"},
      {(dir / "pipe.g3").string(), "out.png", "pipe.g3: is not a regular file"},
      {(dir / "notes.txt").string(), "out.png", "notes.txt: not a fax file"},
      {(dir / "empty.tif").string(), "out.png", "empty.tif: is empty"},
      {(dir / "broken.dcx").string(), "out.png", "broken.dcx: its first page does not decode"},
      {good.string(), "no/such/folder/out.png", "out.png: cannot be written"},
  };
  for (const Case& c : cases) {
    const test::CliResult r = thumbnail("-s 128 " + q(c.input) + " " + q(dir / c.output));
    EXPECT_EQ(r.code, 1) << c.input;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    EXPECT_EQ(r.out.rfind("orvane-thumbnailer: ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(dir / c.output)) << c.input;
  }
  // A picture already there stays as it was when the fax does not decode.
  test::write_file(dir / "kept.png", {'o', 'l', 'd'});
  EXPECT_EQ(thumbnail("-s 64 " + q(dir / "broken.dcx") + " " + q(dir / "kept.png")).code, 1);
  EXPECT_EQ(test::read_file(dir / "kept.png"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(thumbnail("-s 0 " + q(good) + " " + q(dir / "x.png")).code, 2);
  EXPECT_EQ(thumbnail(q(good)).code, 2);
}

}  // namespace
}  // namespace orvane
