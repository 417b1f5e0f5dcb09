// Hostile files through the fax file record, the way the viewer and
// orvane-cli take them: open, load every page, convert. Each case states the
// clear result (no page, or the rows that decoded) and that time and memory
// stay bounded. Inputs are made here, or are the small files the fuzzers
// found under tests/fixtures/malformed/.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "base/fax_reader.h"
#include "base/limits.h"
#include "codec/bit_builder.h"
#include "core/fax_file.h"
#include "core/format_registry.h"
#include "core/scratch_dir.h"
#include "core/tiff_export.h"
#include "formats/container_writers.h"
#include "support/test_support.h"
#include "tiff/tiff_builder.h"

namespace orvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using codec::test::BitBuilder;
using limits::Limit;

// Generous bounds for one hostile file under the sanitizers: a refused page
// costs next to nothing, and nothing here may take seconds or grow the
// process by more than a small page.
constexpr double kMaxSeconds = 5.0;
constexpr long kMaxGrowthKiB = 64 * 1024;

long peak_rss_kib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

struct Outcome {
  std::uint16_t pages = 0;
  std::vector<PageBitmap> loaded;  // every page, pixels kept
  std::vector<Limit> limits;       // per page
  ConvertResult convert = ConvertResult::kOk;
  double seconds = 0;
  long growth_kib = 0;  // of the process's peak resident size
};

// Opens `bytes` stored under `name` as `format`, loads every page and
// converts, measuring how long it took and how far the peak memory grew.
Outcome run_file(const Bytes& bytes, const std::string& name, std::int32_t format) {
  test::TempDir dir;
  ScratchDir scratch;
  test::write_file(dir / name, bytes);
  Outcome out;
  const long before = peak_rss_kib();
  const auto start = std::chrono::steady_clock::now();
  FaxFile fax;
  fax.set_working_paths(scratch.paths());
  fax.open(dir / name, format);
  out.pages = fax.page_count();
  for (std::uint32_t i = 0; i < std::max<std::uint32_t>(out.pages, 1); ++i) {
    if (i > 0) fax.load_page(format, i);
    out.loaded.push_back(fax.page_valid() ? fax.page() : PageBitmap{});
    out.limits.push_back(fax.page_refusal() ? fax.page_refusal()->limit : Limit::kNone);
  }
  out.convert = export_tiff(fax, format, dir / "out.tif", TiffPages::kKeepCoded);
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  out.growth_kib = peak_rss_kib() - before;
  return out;
}

void expect_bounded(const Outcome& o) {
  EXPECT_LT(o.seconds, kMaxSeconds);
  EXPECT_LT(o.growth_kib, kMaxGrowthKiB);
}

// A one-strip TIFF page.
Bytes tiff_page(std::uint32_t width, std::uint32_t length, std::uint16_t compression,
                const Bytes& strip, std::uint32_t strip_bytes = 0) {
  test::TiffBuilder t;
  const std::uint32_t at = t.append(strip);
  t.add_directory({t.long_entry(256, width), t.long_entry(257, length), t.short_entry(258, 1),
                   t.short_entry(259, compression), t.short_entry(262, 0), t.long_entry(273, at),
                   t.long_entry(278, length),
                   t.long_entry(279, strip_bytes ? strip_bytes : std::uint32_t(strip.size()))});
  return t.bytes();
}

bool row_is(const PageBitmap& page, int r, std::uint8_t value) {
  for (int i = 0; i < page.row_bytes; ++i)
    if (page.row(r)[i] != value) return false;
  return true;
}

TEST(HostileRows, ARowLongerThanTheWidthCostsThatRowOrWhatFollows) {
  // At width 64: a white row, a row of 1728 pixels, a black row.
  // T.4 1D (Compression 3) resynchronises on the next EOL: the long row is
  // lost, the black row is the page's second.
  BitBuilder eol;
  eol.eol().row({64}).eol().row({1728}).eol().row({0, 64}).eol();
  const Outcome t4 = run_file(tiff_page(64, 3, 3, eol.bytes()), "long-row-t4.tif", kFormatTiff);
  ASSERT_EQ(t4.pages, 1);
  const PageBitmap& p = t4.loaded[0];
  ASSERT_EQ(p.height, 2);
  EXPECT_EQ(p.width, 64);
  EXPECT_TRUE(row_is(p, 0, 0xFF));  // white
  EXPECT_TRUE(row_is(p, 1, 0x00));  // black
  EXPECT_GE(p.pixels.size(), 2u * 8);
  expect_bounded(t4);

  // Modified Huffman without EOLs (Compression 2) has nothing to
  // resynchronise on: the page ends before the long row.
  BitBuilder mh;
  mh.row({64}).pad().row({1728}).pad().row({0, 64}).pad();
  const Outcome o = run_file(tiff_page(64, 3, 2, mh.bytes()), "long-row.tif", kFormatTiff);
  ASSERT_EQ(o.pages, 1);
  ASSERT_EQ(o.loaded[0].height, 1);
  EXPECT_TRUE(row_is(o.loaded[0], 0, 0xFF));
  expect_bounded(o);
}

TEST(HostileRows, VerticalCodesLeftOfTheRowStartAreBadRowsNotNegativeRuns) {
  // T.6 at width 64: row 0 is 1 white then 63 black, so b1 = 1 on row 1,
  // where VL3 asks for a1 = b1 - 3 = -2.
  BitBuilder b;
  b.mode(codec::tables::kHorizontal).run(0, 1).run(1, 63);
  b.mode(codec::tables::kVL3).mode(codec::tables::kV0).mode(codec::tables::kV0);
  b.mode(codec::tables::kVL3).mode(codec::tables::kVL3).mode(codec::tables::kVL3);
  b.pad();
  const Outcome o = run_file(tiff_page(64, 4, 4, b.bytes()), "vl3.tif", kFormatTiff);
  ASSERT_EQ(o.pages, 1);
  const PageBitmap& page = o.loaded[0];
  ASSERT_TRUE(page.has_pixels());
  ASSERT_GE(page.height, 1);
  EXPECT_EQ(page.row(0)[0], 0x80);  // white pixel, then black
  for (int i = 1; i < 8; ++i) EXPECT_EQ(page.row(0)[i], 0x00);
  expect_bounded(o);
}

TEST(HostileRuns, PackBitsRunsStopAtTheEndOfThePage) {
  // Two rows of 2 bytes, coded as a run of 128 zero bytes and a literal of
  // 128 bytes: both overrun the 4-byte page.
  Bytes strip = {0x81, 0x00, 0x7F};
  strip.resize(strip.size() + 128, 0xAA);
  const Outcome o = run_file(tiff_page(16, 2, 32773, strip), "packbits.tif", kFormatTiff);
  ASSERT_EQ(o.pages, 1);
  const PageBitmap& page = o.loaded[0];
  ASSERT_EQ(page.pixels.size(), 4u);
  EXPECT_TRUE(row_is(page, 0, 0xFF) && row_is(page, 1, 0xFF));  // WhiteIsZero 0 = white
  expect_bounded(o);
}

TEST(HostileRuns, PcxRunsStopAtTheEndOfThePage) {
  // 16 x 3 pixels, 2 bytes a row; a run of 63 bytes carries on into the
  // next rows as stored (PCX rows follow one another) and stops at the end
  // of the page, leaving a run of 2 bytes and nothing for the last row.
  test::PcxPage pcx{.xmax = 15, .ymax = 2, .line_bytes = 2};
  pcx.coded = {0xFF, 0x5A, 0xC2, 0x33};
  const Outcome o = run_file(test::dcx_file({test::pcx_image(pcx)}), "run.dcx", kFormatDcx);
  ASSERT_EQ(o.pages, 1);
  const PageBitmap& page = o.loaded[0];
  ASSERT_EQ(page.pixels.size(), 6u);
  EXPECT_TRUE(row_is(page, 0, 0x5A));
  EXPECT_TRUE(row_is(page, 1, 0x5A));
  EXPECT_TRUE(row_is(page, 2, 0x5A));
  EXPECT_EQ(o.convert, ConvertResult::kOk);
  expect_bounded(o);
}

TEST(HostileChains, DirectoryLoopsEndAtTheRepeatedDirectory) {
  BitBuilder b;
  b.row({64}).pad();
  for (const bool self : {true, false}) {
    test::TiffBuilder t;
    const std::uint32_t at = t.append(b.bytes());
    std::vector<std::uint32_t> dirs;
    for (int i = 0; i < (self ? 1 : 3); ++i) {
      dirs.push_back(t.add_directory({t.long_entry(256, 64), t.long_entry(257, 1),
                                      t.short_entry(259, 2), t.long_entry(273, at),
                                      t.long_entry(279, std::uint32_t(b.bytes().size()))}));
    }
    t.set_last_next(self ? dirs[0] : dirs[1]);
    const Outcome o = run_file(t.bytes(), "loop.tif", kFormatTiff);
    EXPECT_EQ(o.pages, self ? 1 : 3);
    for (const PageBitmap& page : o.loaded) EXPECT_TRUE(page.has_pixels());
    expect_bounded(o);
  }
}

TEST(HostileSizes, PagesBeyondTheLargestPageAreRefusedAndSaySo) {
  // 65535 x 65535 is a legal side each way but 512 MiB of pixels; 2^32 - 1
  // each way overflows every 32-bit product.
  for (const std::uint32_t side : {65535u, 65536u, 0xFFFFFFFFu}) {
    const Outcome o = run_file(tiff_page(side, side, 4, Bytes(64, 0x00)), "huge.tif", kFormatTiff);
    ASSERT_EQ(o.pages, 1) << side;
    EXPECT_FALSE(o.loaded[0].has_pixels()) << side;
    EXPECT_EQ(o.limits[0], Limit::kPage) << side;
    expect_bounded(o);
  }
  // The same from a QRN-FAX header.
  Bytes coded(32, 0);
  const Outcome q = run_file(test::qrn_file({{.coded = coded, .width = 65535, .rows = 65535}}),
                             "huge.qrn", kFormatQrnFax);
  ASSERT_EQ(q.pages, 1);
  EXPECT_EQ(q.limits[0], Limit::kPage);
  expect_bounded(q);
}

TEST(HostileSizes, AStoredRowWiderThanAnyPageIsRefused) {
  // Found by fuzzing: a PCX page 9 pixels wide whose 87 planes of 22359
  // bytes made rows of 1.9 MB, 198 MB for its 102 rows, and conversion wrote
  // an ImageWidth of 15 million pixels.
  const Outcome o =
      run_file(test::read_file(test::fixture("malformed/dcx-rows-wider-than-any-page.dcx")),
               "fuzzed.dcx", kFormatDcx);
  ASSERT_EQ(o.pages, 2);
  EXPECT_TRUE(o.loaded[0].has_pixels());  // the first page is sound
  EXPECT_FALSE(o.loaded[1].has_pixels());
  EXPECT_EQ(o.limits[1], Limit::kPage);
  EXPECT_EQ(o.convert, ConvertResult::kOk);  // with the sound page
  expect_bounded(o);

  // The widest row that is allowed still loads.
  test::PcxPage pcx{.xmax = 15, .ymax = 1, .line_bytes = std::int16_t(limits::kMaxRowBytes)};
  pcx.coded = {0xC2, 0x00};
  const Outcome w = run_file(test::dcx_file({test::pcx_image(pcx)}), "wide.dcx", kFormatDcx);
  EXPECT_TRUE(w.loaded[0].has_pixels());
  pcx.planes = 2;
  const Outcome x = run_file(test::dcx_file({test::pcx_image(pcx)}), "wider.dcx", kFormatDcx);
  EXPECT_FALSE(x.loaded[0].has_pixels());
  EXPECT_EQ(x.limits[0], Limit::kPage);
}

TEST(HostileSizes, LengthFieldsBeyondTheFileAllocateOnlyWhatTheFileHolds) {
  BitBuilder b;
  for (int r = 0; r < 8; ++r) b.row({64}).pad();
  // A StripByteCounts of 4 GiB - 1 in a file of a few hundred bytes.
  const Outcome t = run_file(tiff_page(64, 8, 2, b.bytes(), 0xFFFFFFFFu), "strip.tif", kFormatTiff);
  ASSERT_EQ(t.pages, 1);
  ASSERT_TRUE(t.loaded[0].has_pixels());
  EXPECT_EQ(t.loaded[0].height, 8);
  expect_bounded(t);

  // A WinFax page whose data length is 4 GiB - 16.
  test::WinFaxPage page{.coded = Bytes(64, 0), .width = 1728, .rows = 8};
  Bytes f = test::winfax_file({page});
  test::put32(f, 116, 0xFFFFFFF0u);
  const Outcome w = run_file(f, "length.fxs", kFormatWinFax);
  EXPECT_FALSE(limits::is_size_limit(w.limits[0]));  // refused as data, not as a size
  expect_bounded(w);
}

TEST(HostileLimits, TheDescriptionsNameEachLimit) {
  EXPECT_EQ(limits::describe(Limit::kNone), "");
  EXPECT_EQ(limits::describe(Limit::kPage),
            "larger than the largest page this program opens (65535 x 65535 pixels, 256 MiB)");
  EXPECT_NE(limits::describe(Limit::kCodedPage).find("256 MiB"), std::string::npos);
  EXPECT_NE(limits::describe(Limit::kWholeFile).find("1024 MiB"), std::string::npos);
  // A page that loads says nothing of what an earlier page hit.
  BitBuilder b;
  b.row({64}).pad();
  const Outcome o = run_file(tiff_page(64, 1, 2, b.bytes()), "fine.tif", kFormatTiff);
  EXPECT_EQ(o.limits[0], Limit::kNone);
}

TEST(HostileLimits, EachCheckSaysWhichLimitItRefused) {
  EXPECT_EQ(checked_page_bytes(-1, 8), -1);  // a broken field, not a size
  EXPECT_EQ(checked_page_bytes(limits::kMaxPageSide + 1, 1), -1);
  EXPECT_EQ(checked_page_size(limits::kMaxPageSide + 1, 1, 8192), -1);
  EXPECT_EQ(checked_page_bytes(limits::kMaxPageSide, limits::kMaxRowBytes), -1);  // 512 MiB
  PageBitmap page;
  const Status too_large = page.allocate_pixels(limits::kMaxPageBytes + 1);
  ASSERT_FALSE(too_large.ok());
  EXPECT_EQ(too_large.refusal().limit, Limit::kPage);
  EXPECT_FALSE(page.has_pixels());

  // Coded data: the file's size bounds what is read, the limit what is held.
  test::TempDir dir;
  test::write_file(dir / "f", Bytes(100, 7));
  FaxReader reader;
  reader.open(dir / "f");
  EXPECT_TRUE(reader.read_coded(10, 0x7FFFFFFF).ok());
  EXPECT_EQ(reader.coded().size(), 90u);
  const Status over = reader.read_coded(0, 100, 50);
  ASSERT_FALSE(over.ok());
  EXPECT_EQ(over.refusal().limit, Limit::kCodedPage);
  EXPECT_TRUE(reader.coded().empty());
}

}  // namespace
}  // namespace orvane
