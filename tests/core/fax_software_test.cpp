// Files as Debian's fax programs write them read as those programs decode
// them (tests/fixtures/faxtools, made by make-fixtures).
#include <gtest/gtest.h>

#include "base/coding_mode.h"
#include "core/classify.h"
#include "core/fax_file.h"
#include "core/format_registry.h"
#include "core/scratch_dir.h"
#include "support/test_support.h"

namespace orvane {
namespace {

TEST(FaxSoftwareFiles, EveryPageReadsAsItsMakerDecodesIt) {
  struct Case {
    const char* file;
    std::int32_t format;  // what the file is opened as
    int pages;
    std::uint8_t bit_order = 0;  // decoding options a user gives
    bool raw_t6 = false;
  } cases[] = {
      {"mgetty-pbm2g3.g3", kFormatRawFax, 1},
      {"mgetty-pbm2g3-msb.g3", kFormatRawFax, 1},
      {"mgetty-g3cat.g3", kFormatRawFax, 1},
      // StripByteCounts 0, and a name only its signature explains.
      {"efax-pipe.001", kFormatTiff, 1},
      {"efax-page.fax", kFormatRawFax, 1},
      // Uncompressed, cut short: the rows the file lost are white.
      {"efax-tiffraw-cut.tif", kFormatTiff, 1},
      {"gs-tiffg4.tif", kFormatTiff, 2},
      {"gs-tiffg32d-attachment", kFormatTiff, 2},
      {"gs-faxg3.g3", kFormatRawFax, 1},
      // Bare G4 as Ghostscript writes it, without a run of 0xFF bytes in
      // front: read from its first byte, most significant bit first.
      {"gs-faxg4-white-top.g4", kFormatRawFax, 1, kBitOrderMsbFirst, true},
      {"gs-faxg4-black-top.g4", kFormatRawFax, 1, kBitOrderMsbFirst, true},
      // Either order decodes rows from the first byte; the cleaner one wins.
      {"gs-faxg4-black-top.g4", kFormatRawFax, 1, 0, true},
      {"im-group4.tif", kFormatTiff, 1},
      {"im-g4-coder.g4", kFormatRawFax, 1},
      {"im-group4-bare.g4", kFormatRawFax, 1, kBitOrderMsbFirst, true},
      // Re-coded by tiffcp: 2D, byte-aligned EOLs, LSB first, 16-row strips.
      {"tiffcp-g32d-fill-lsb-strips.tif", kFormatTiff, 1},
      // Bare 2D under 200 white rows, which decode as equal 1D rows in the
      // other bit order too: the order that decodes the rest cleanly wins.
      {"tiffcp-g32d-white-top-msb.g3", kFormatRawFax, 1},
      {"tiffcp-g32d-white-top-lsb.g3", kFormatRawFax, 1},
      {"im-min-is-black.tif", kFormatTiff, 1},
      // Byte-aligned Modified Huffman rows 1001 pixels wide.
      {"gs-tiffcrle-odd.tif", kFormatTiff, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const auto path = test::fixture(std::string("faxtools/") + c.file);
    ScratchDir scratch;
    FaxFile fax;
    fax.set_working_paths(scratch.paths());
    DecodingParameters params;
    params.bit_order = c.bit_order;
    params.raw_file = c.raw_t6;
    fax.set_parameters(params);
    const std::int32_t format = classify(path);
    EXPECT_EQ(format, c.format);
    ASSERT_EQ(fax.open(path, format), OpenResult::kOk);
    ASSERT_EQ(fax.page_count(), c.pages);
    const std::string stem = path.stem().string();
    for (int p = 0; p < c.pages; ++p) {
      if (p > 0) fax.load_page(format, std::uint32_t(p));
      ASSERT_TRUE(fax.page_valid()) << "page " << p + 1;
      const std::string expected = c.pages == 1 ? stem : stem + "-p" + std::to_string(p + 1);
      EXPECT_TRUE(
          test::same_pixels(test::read_pbm(test::fixture("expected/" + expected + ".pbm.gz")),
                            test::to_pbm(fax.page()), expected));
    }
  }
}

}  // namespace
}  // namespace orvane
