// Agreement with independent coders: netpbm's pbmtog3/g3topbm and libtiff's
// tiffcp/tifftopnm make and read CCITT data from the same pages; our
// decoders must give the pixels they give.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/coding_mode.h"
#include "bit_builder.h"
#include "codec/fax_codec.h"
#include "codec/page_driver.h"
#include "oracle_support.h"
#include "support/test_support.h"
#include "tiff/tiff_strip.h"

namespace orvane::codec {
namespace {

using orvane::test::Pbm;
using orvane::test::TempDir;
using test::make_page;
const auto q = orvane::test::shell_quoted;

Pbm text_image(const TempDir& dir) {
  const auto path = dir / "text.pbm";
  if (orvane::test::run("pbmtext 'Orvane fax 0123456789 ABCDEFG xyz' > " + q(path)) != 0) return {};
  return orvane::test::read_pbm(path);
}

// Decodes every strip of a TIFF file the way the TIFF reader does: each into
// a fresh bitmap, the counted rows stacked and cut at ImageLength.
Pbm decode_tiff_file(const std::filesystem::path& path) {
  test::TiffStrips t;
  const auto bytes = orvane::test::read_file(path);
  EXPECT_TRUE(test::read_tiff_strips(bytes, t)) << path;
  Pbm out;
  out.width = int(t.desc.image_width);
  for (std::uint32_t i = 0; i < t.strips.size(); ++i) {
    PageBitmap strip;
    decode_tiff_strip(strip, t.strips[i], t.desc, i);
    const Pbm part = orvane::test::to_pbm(strip);
    const int rows = std::min(part.height, int(t.desc.image_length) - out.height);
    if (rows <= 0 || part.width != out.width) continue;
    out.bits.insert(out.bits.end(), part.bits.begin(),
                    part.bits.begin() + std::ptrdiff_t(rows * part.row_bytes()));
    out.height += rows;
  }
  return out;
}

class OracleWidth : public ::testing::TestWithParam<int> {};

TEST_P(OracleWidth, Pbmtog3MatchesG3topbm) {
  TempDir dir;
  const Pbm text = text_image(dir);
  const int width = GetParam();
  const Pbm page = make_page(width, 96, unsigned(width), &text);
  orvane::test::write_pbm(dir / "page.pbm", page);
  for (const std::string options : {"", "-reversebits", "-align8"}) {
    SCOPED_TRACE(options);
    const auto g3 = dir / "page.g3";
    ASSERT_EQ(orvane::test::run("pbmtog3 -nofixedwidth " + options + " " + q(dir / "page.pbm") +
                                " > " + q(g3) + " 2>/dev/null"),
              0);
    const auto data = orvane::test::read_file(g3);
    FaxCodec codec;
    codec.configure(data, options == "-reversebits" ? 2 : 1, kCodingT4_1D, 0);
    codec.set_size(width, page.height + 10);  // room for rows that must not appear
    PageBitmap out;
    EXPECT_EQ(decode_by_coding_mode(codec, out), 0);
    const Pbm ours = orvane::test::to_pbm(out);
    EXPECT_TRUE(orvane::test::same_pixels(page, ours, "pbmtog3-" + std::to_string(width)));

    const std::string rev = options == "-reversebits" ? " -reversebits" : "";
    ASSERT_EQ(orvane::test::run("g3topbm" + rev + " " + q(g3) + " > " + q(dir / "ref.pbm") +
                                " 2>/dev/null"),
              0);
    EXPECT_TRUE(orvane::test::same_pixels(orvane::test::read_pbm(dir / "ref.pbm"), ours,
                                          "g3topbm-" + std::to_string(width)));
  }
}

TEST_P(OracleWidth, LibtiffStripsMatchTifftopnm) {
  TempDir dir;
  const Pbm text = text_image(dir);
  const int width = GetParam();
  const Pbm page = make_page(width, 80, unsigned(width) * 7 + 1, &text);
  orvane::test::write_pbm(dir / "page.pbm", page);
  ASSERT_EQ(orvane::test::run("pnmtotiff -miniswhite " + q(dir / "page.pbm") + " > " +
                              q(dir / "mw.tif") + " 2>/dev/null"),
            0);
  ASSERT_EQ(orvane::test::run("pnmtotiff -minisblack " + q(dir / "page.pbm") + " > " +
                              q(dir / "mb.tif") + " 2>/dev/null"),
            0);
  struct Variant {
    const char* source;
    const char* tiffcp;
  };
  for (const Variant& v : {
           Variant{"mw.tif", "-c g3"},
           Variant{"mw.tif", "-c g3:fill"},
           Variant{"mw.tif", "-c g3:2d"},
           Variant{"mw.tif", "-c g3:2d:fill"},
           Variant{"mw.tif", "-c g4"},
           Variant{"mw.tif", "-c g3 -f lsb2msb"},
           Variant{"mw.tif", "-c g3:2d -f lsb2msb"},
           Variant{"mw.tif", "-c g4 -f lsb2msb"},
           Variant{"mb.tif", "-c g3:2d"},
           Variant{"mb.tif", "-c g4"},
           Variant{"mw.tif", "-c g4 -r 16"},
           Variant{"mw.tif", "-c g3:2d -r 7"},
           Variant{"mw.tif", "-c packbits -r 30"},
           Variant{"mb.tif", "-c packbits -f lsb2msb"},
           Variant{"mw.tif", "-c none -r 30"},
           Variant{"mb.tif", "-c none -f lsb2msb"},
       }) {
    SCOPED_TRACE(std::string(v.source) + " " + v.tiffcp);
    const auto out = dir / "out.tif";
    std::string options = v.tiffcp;
    if (options.find("-r ") == std::string::npos) options += " -r 100000";
    ASSERT_EQ(orvane::test::run("tiffcp " + options + " " + q(dir / v.source) + " " + q(out) +
                                " 2>/dev/null"),
              0);
    const Pbm ours = decode_tiff_file(out);
    EXPECT_TRUE(orvane::test::same_pixels(page, ours, "tiff-" + std::to_string(width)));
    ASSERT_EQ(
        orvane::test::run("tifftopnm " + q(out) + " > " + q(dir / "ref.pbm") + " 2>/dev/null"), 0);
    EXPECT_TRUE(orvane::test::same_pixels(orvane::test::read_pbm(dir / "ref.pbm"), ours,
                                          "tifftopnm-" + std::to_string(width)));
  }
}

// Modified Huffman without EOLs (TIFF Compression 2 and 32771) has no
// encoder among the tools: the rows are coded here from the page's runs.
TEST_P(OracleWidth, AlignedRowsFromThePagesRuns) {
  const int width = GetParam();
  const Pbm page = make_page(width, 64, unsigned(width) + 3);
  for (const bool word : {false, true}) {
    test::BitBuilder b;
    for (int y = 0; y < page.height; ++y) {
      int colour = 0;
      for (int r : test::row_runs(page, y)) {
        b.run(colour, r);
        colour ^= 1;
      }
      b.pad();
      if (word && b.bytes().size() % 2) b.bits("00000000");
    }
    test::TiffStrips t;
    t.desc.image_width = std::uint32_t(width);
    t.desc.image_length = std::uint32_t(page.height);
    t.desc.compression = word ? 32771 : 2;
    t.desc.strip_count = 1;
    PageBitmap out;
    EXPECT_EQ(decode_tiff_strip(out, b.bytes(), t.desc, 0), 0);
    EXPECT_TRUE(orvane::test::same_pixels(page, orvane::test::to_pbm(out), "aligned"));
  }
}

INSTANTIATE_TEST_SUITE_P(Widths, OracleWidth, ::testing::Values(1728, 2048, 2432, 1001, 5000));

// Random pages of random widths through libtiff's three CCITT coders.
TEST(OracleRandom, RoundTripThroughLibtiff) {
  TempDir dir;
  std::mt19937 rng(20261207);
  for (int i = 0; i < 6; ++i) {
    const int width = 1 + int(rng() % 2600);
    const int height = 1 + int(rng() % 40);
    Pbm page = make_page(width, height, unsigned(rng()));
    // random noise of random density on top
    const unsigned density = rng() % 8;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (rng() % 16 < density) test::set_pixel(page, x, y, (rng() & 1) != 0);
      }
    }
    orvane::test::write_pbm(dir / "page.pbm", page);
    ASSERT_EQ(orvane::test::run("pnmtotiff -miniswhite " + q(dir / "page.pbm") + " > " +
                                q(dir / "mw.tif") + " 2>/dev/null"),
              0);
    for (const char* c : {"g3", "g3:2d", "g4"}) {
      SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " " + c);
      ASSERT_EQ(orvane::test::run(std::string("tiffcp -r 100000 -c ") + c + " " +
                                  q(dir / "mw.tif") + " " + q(dir / "out.tif") + " 2>/dev/null"),
                0);
      EXPECT_TRUE(orvane::test::same_pixels(page, decode_tiff_file(dir / "out.tif"), "random"));
    }
  }
}

}  // namespace
}  // namespace orvane::codec
