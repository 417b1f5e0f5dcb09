#include "codec/stream_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

#include "base/coding_mode.h"
#include "codec/fax_codec.h"
#include "formats/raw_test_files.h"

namespace orvane::codec {
namespace {

using test::BitWriter;
using test::kEol;
using test::kWhite1728Row;
using test::raw_fixture;

// A codec over `data` as raw extraction prepares it.
FaxCodec codec_over(const std::vector<std::uint8_t>& data) {
  FaxCodec c;
  c.configure(data, kBitOrderMsbFirst, kCodingT4_1D, 0);
  return c;
}

TEST(StreamAnalysisMh, NonstandardWidthsAboveTheMinimumOnly) {
  test::TempDir dir;
  const auto w2000 = test::pbmtog3_of(
      dir, "pbmtext -width 2000 'Non standard width' | pnmpad -white -width 2000 -height 120",
      "-nofixedwidth");
  FaxCodec c = codec_over(w2000);
  EXPECT_EQ(analyse_mh_standard(c, 1, 50), AnalysisResult::kNotAccepted);
  StreamGuess guess;
  ASSERT_TRUE(guess_coding(c, guess));
  EXPECT_EQ(guess.width, 2000);
  EXPECT_EQ(guess.coding, kCodingT4_1D);
  // The rows must be longer than the minimum.
  EXPECT_EQ(analyse_mh_any_width(c, 1, 50, 2000), AnalysisResult::kNotAccepted);
  EXPECT_EQ(analyse_mh_any_width(c, 1, 50, 1999), AnalysisResult::kAccepted);
  EXPECT_EQ(c.width, 2000);

  const auto w1600 = test::pbmtog3_of(dir, "pbmmake -white 1600 80", "-nofixedwidth");
  FaxCodec n = codec_over(w1600);
  StreamGuess untouched;
  untouched.width = 77;
  EXPECT_FALSE(guess_coding(n, untouched));
  EXPECT_EQ(untouched.width, 77);  // a failed guess leaves the record alone
  EXPECT_EQ(analyse_mh_any_width(n, 1, 50, 1000), AnalysisResult::kAccepted);
  EXPECT_EQ(n.width, 1600);
}

TEST(StreamAnalysisMh, CountRestartsAfterACorruptRow) {
  // Three good rows, a row with a bad code, three good rows.
  BitWriter bits;
  for (int i = 0; i < 3; ++i) bits.put(std::string(kEol) + kWhite1728Row);
  bits.put(std::string(kEol) + "000000001" + "1111");  // eight zeros then a 1: no code
  for (int i = 0; i < 3; ++i) bits.put(std::string(kEol) + kWhite1728Row);
  bits.put(kEol);
  const auto data = bits.bytes();
  FaxCodec c = codec_over(data);
  EXPECT_EQ(analyse_mh_standard(c, 1, 3), AnalysisResult::kAccepted);
  EXPECT_EQ(c.width, 1728);
  EXPECT_EQ(analyse_mh_standard(c, 1, 4), AnalysisResult::kNotAccepted);
  EXPECT_EQ(analyse_mh_any_width(c, 1, 4, 1000), AnalysisResult::kNotAccepted);
}

TEST(StreamAnalysisMh, ThresholdZeroStillNeedsARow) {
  // Only EOLs: no row ever has a width.
  BitWriter eols;
  for (int i = 0; i < 40; ++i) eols.put(kEol);
  FaxCodec e = codec_over(eols.bytes());
  EXPECT_EQ(analyse_mh_standard(e, 1, 0), AnalysisResult::kNotAccepted);
  EXPECT_EQ(analyse_mh_any_width(e, 1, 0, 0), AnalysisResult::kNotAccepted);
  EXPECT_EQ(analyse_mr_any_width(e, 1, 0, 0), AnalysisResult::kNotAccepted);

  const auto data = raw_fixture("text-1728-pbmtog3.g3");
  FaxCodec c = codec_over(data);
  ASSERT_EQ(analyse_mh_standard(c, 1, 0), AnalysisResult::kAccepted);
  EXPECT_EQ(c.width, 1728);
}

// Two-dimensional data is refused by the MH steps, which come first, and
// found by the MR ones. (Which coding each stream is found as: the raw
// reader's tests.)
TEST(StreamAnalysisMr, TwoDimensionalStripsAreNotTakenForMh) {
  for (const char* file :
       {"text-1728-strip-g3-2d-k2.g3", "text-1728-strip-g3-2d-k4.g3", "text-1728-rtc-g3-2d.g3"}) {
    SCOPED_TRACE(file);
    const auto data = raw_fixture(file);
    FaxCodec c = codec_over(data);
    EXPECT_EQ(analyse_mh_standard(c, 1, 50), AnalysisResult::kNotAccepted);
    EXPECT_EQ(analyse_mh_any_width(c, 1, 50, 1728), AnalysisResult::kNotAccepted);
    EXPECT_EQ(analyse_mr_standard(c, 1, 50), AnalysisResult::kAccepted);
    EXPECT_EQ(c.width, 1728);
  }
}

TEST(StreamAnalysisT6, FoundAtTheWidthItWasCodedWith) {
  // T.6 rows carry no width: only content that reaches past a narrower
  // width tells them apart. A dithered ramp changes colour all along the row.
  // Two 0xFF bytes in front mark the start (flag number 3).
  test::TempDir dir;
  std::vector<std::uint8_t> a3 = {0xFF, 0xFF};
  const auto strip =
      test::tiff_strip_of(dir, "pgmramp -lr 2432 60 | pamditherbw -dither8 | pamtopnm", "-g4");
  ASSERT_FALSE(strip.empty());
  a3.insert(a3.end(), strip.begin(), strip.end());
  FaxCodec c;
  c.configure(a3, 1, 0, 0);
  StreamGuess guess;
  ASSERT_TRUE(guess_t6(c, guess));  // after 1728 and 2048 failed in both bit orders
  EXPECT_EQ(guess.width, 2432);
  EXPECT_EQ(guess.bit_order, 1);
  EXPECT_EQ(guess.coding, kCodingT6);
  EXPECT_EQ(guess.start_offset, 0);
  for (std::uint8_t order : {1, 2}) {
    EXPECT_EQ(analyse_t6_at_width(c, order, 1728, 50, 3), AnalysisResult::kNotAccepted);
    EXPECT_EQ(analyse_t6_at_width(c, order, 2048, 50, 3), AnalysisResult::kNotAccepted);
  }

  std::vector<std::uint8_t> lsb = {0xFF, 0xFF};
  const auto lsb_strip = test::tiff_strip_of(
      dir, "pgmramp -lr 1728 60 | pamditherbw -dither8 | pamtopnm", "-g4 -lsb2msb");
  lsb.insert(lsb.end(), lsb_strip.begin(), lsb_strip.end());
  FaxCodec r;
  r.configure(lsb, 1, 0, 0);
  ASSERT_TRUE(guess_t6(r, guess));
  EXPECT_EQ(guess.width, 1728);
  EXPECT_EQ(guess.bit_order, 2);
}

// Where the T.6 data starts. A libtiff strip has no 0xFF run in front: the
// text page's strip starts 0xFF 0xC8, one 0xFF byte, less than flag number 3
// asks for; the raw flag takes the data from byte zero, and flag number 0
// asks for no fill bytes. Behind garbage, the accepted start is the 0xFF run
// (whose bits decode as white rows in front of the page).
TEST(StreamAnalysisT6, StartOfTheData) {
  const auto strip = raw_fixture("text-1728-strip-g4.g4");
  std::vector<std::uint8_t> behind = {0x13, 0x57, 0x00, 0x42, 0xFF, 0xFF};
  behind.insert(behind.end(), strip.begin(), strip.end());
  struct Case {
    const std::vector<std::uint8_t>& data;
    bool raw_flag;
    std::uint8_t flag_number;
    std::int32_t width;
    AnalysisResult result;
    std::int64_t start;
  };
  const Case cases[] = {
      {strip, true, 3, 1728, AnalysisResult::kAccepted, 0},
      {strip, false, 0, 1728, AnalysisResult::kAccepted, 0},
      {strip, false, 0, 0, AnalysisResult::kNotAccepted, 0},
      {strip, false, 0, -5, AnalysisResult::kNotAccepted, 0},
      {behind, false, 3, 1728, AnalysisResult::kAccepted, 4},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.data.size() << " bytes, raw " << k.raw_flag << ", flags "
                                    << int(k.flag_number) << ", width " << k.width);
    FaxCodec c;
    c.configure(k.data, 1, 0, 0);
    c.raw_flag = k.raw_flag ? 1 : 0;
    EXPECT_EQ(analyse_t6_at_width(c, 1, k.width, 50, k.flag_number), k.result);
    if (k.result != AnalysisResult::kAccepted) continue;
    EXPECT_EQ(c.start_offset, k.start);
    EXPECT_EQ(c.width, 1728);
  }
}

// Garbage of every kind ends with no guess and leaves the codec at the start.
TEST(StreamAnalysisHostile, NothingIsAcceptedFromNonFaxData) {
  std::mt19937 rng(1234);
  std::vector<std::uint8_t> random(128 * 1024);
  for (auto& b : random) b = std::uint8_t(rng());
  BitWriter eols;
  for (int i = 0; i < 20000; ++i) eols.put(kEol);
  const std::vector<std::vector<std::uint8_t>> inputs = {{},
                                                         {0x00},
                                                         {0x01},
                                                         std::vector<std::uint8_t>(65536, 0x00),
                                                         std::vector<std::uint8_t>(65536, 0xFF),
                                                         random,
                                                         eols.bytes()};
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    SCOPED_TRACE(i);
    FaxCodec c = codec_over(inputs[i]);
    StreamGuess guess;
    EXPECT_FALSE(guess_coding(c, guess));
    EXPECT_FALSE(guess_t6(c, guess));
    // Flag number 0 makes nearly every byte a start candidate.
    if (inputs[i].size() > 16384) continue;
    guess.flag_number = 0;
    EXPECT_FALSE(guess_t6(c, guess));
  }
  // The same with flag number 0 on a smaller piece of the random data.
  const std::vector<std::uint8_t> piece(random.begin(), random.begin() + 16384);
  FaxCodec c = codec_over(piece);
  StreamGuess guess;
  guess.flag_number = 0;
  EXPECT_FALSE(guess_t6(c, guess));
}

TEST(StreamAnalysisHostile, AVainPassReportsHowFarItIsAndEndsAtAStop) {
  BitWriter eols;
  for (int i = 0; i < 20000; ++i) eols.put(kEol);
  const std::vector<std::uint8_t> data = eols.bytes();
  std::vector<std::int64_t> positions;
  WorkControl control([&](std::int64_t done, std::int64_t total) {
    EXPECT_EQ(total, std::int64_t(data.size()));
    positions.push_back(done);
  });
  FaxCodec c = codec_over(data);
  c.control = &control;
  EXPECT_EQ(analyse_mh_standard(c, kBitOrderMsbFirst, 50), AnalysisResult::kNotAccepted);
  EXPECT_GE(positions.size(), 2u);
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  control.request_stop();
  EXPECT_EQ(analyse_mh_standard(c, kBitOrderMsbFirst, 50), AnalysisResult::kStopped);
}

TEST(StreamAnalysisHostile, LongPassCodeRowsStayLinear) {
  // Pass codes (0001) never end a T.6 row, and with flag number 0 every
  // such byte is a start candidate: a naive restart would decode the whole
  // stretch once per byte: 256 KiB of it, ending in a bad code, would take
  // some 30 billion code words.
  std::vector<std::uint8_t> data(256 * 1024, 0x11);
  data.back() = 0x02;  // 0000 0010: an invalid mode code
  FaxCodec c;
  c.configure(data, 1, 0, 0);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(analyse_t6_at_width(c, 1, 1728, 50, 0), AnalysisResult::kNotAccepted);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(30));
}

}  // namespace
}  // namespace orvane::codec
