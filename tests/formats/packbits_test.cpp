#include <random>
#include <vector>

#include "formats/packbits_encoder.h"
#include "support/test_support.h"
#include "tiff/tiff_writer.h"

namespace orvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes encode(const Bytes& in, std::size_t row_bytes, std::size_t room = 0) {
  Bytes out(room != 0 ? room : in.size() * 2 + 8);
  const std::int64_t n = packbits_encode(in, row_bytes, out);
  if (n < 0) return {};
  out.resize(std::size_t(n));
  return out;
}

// PackBits as TIFF 6.0 section 9 defines it, decoding one row at a time:
// each row must end exactly on an operation boundary.
bool decode_rows(const Bytes& in, std::size_t total, std::size_t row_bytes, Bytes& out) {
  out.clear();
  std::size_t i = 0;
  while (out.size() < total) {
    const std::size_t row_end = std::min(total, out.size() + row_bytes);
    while (out.size() < row_end) {
      if (i >= in.size()) return false;
      const int n = std::int8_t(in[i++]);
      if (n >= 0) {
        if (in.size() - i < std::size_t(n) + 1) return false;
        out.insert(out.end(), in.begin() + std::ptrdiff_t(i),
                   in.begin() + std::ptrdiff_t(i + n + 1));
        i += std::size_t(n) + 1;
      } else if (n != -128) {
        if (i >= in.size()) return false;
        out.insert(out.end(), std::size_t(1 - n), in[i++]);
      }
    }
    if (out.size() != row_end) return false;  // an operation ran across the row end
  }
  return i == in.size();
}

TEST(PackBits, LongRunsAreCutIntoPiecesOf128) {
  const Bytes in(300, 0x5A);
  EXPECT_EQ(encode(in, 300), (Bytes{0x81, 0x5A, 0x81, 0x5A, 0xD5, 0x5A}));
  EXPECT_EQ(encode(Bytes(128, 7), 128), (Bytes{0x81, 7}));
  EXPECT_EQ(encode(Bytes(129, 7), 129), (Bytes{0x81, 7, 0x00, 7}));  // the lone byte is a literal
  EXPECT_EQ(encode(Bytes(2, 7), 2), (Bytes{0xFF, 7}));
}

TEST(PackBits, ATwoByteRunBetweenLiteralsJoinsThem) {
  // One byte, a run of two, one more: one literal of four bytes.
  EXPECT_EQ(encode({1, 2, 2, 3}, 4), (Bytes{0x03, 1, 2, 2, 3}));
  // A longer run stays a run.
  EXPECT_EQ(encode({1, 2, 2, 2, 3}, 5), (Bytes{0x00, 1, 0xFE, 2, 0x00, 3}));
  // A run of two at the end of a row has nothing to join.
  EXPECT_EQ(encode({1, 2, 2}, 3), (Bytes{0x00, 1, 0xFF, 2}));
  // A two-byte run that starts the row is no literal's neighbour.
  EXPECT_EQ(encode({2, 2, 3}, 3), (Bytes{0xFF, 2, 0x00, 3}));
}

TEST(PackBits, LiteralsStopAt128Bytes) {
  Bytes in(300);
  for (std::size_t i = 0; i < in.size(); ++i) in[i] = std::uint8_t(i % 2 ? 0xAA : (i / 2) % 100);
  const Bytes out = encode(in, in.size());
  ASSERT_EQ(out.size(), 300u + 3);
  EXPECT_EQ(out[0], 127);
  EXPECT_EQ(out[129], 127);
  EXPECT_EQ(out[258], 300 - 257);
  Bytes back;
  EXPECT_TRUE(decode_rows(out, in.size(), in.size(), back));
  EXPECT_EQ(back, in);
}

TEST(PackBits, AMergeNeverTakesALiteralPast128Bytes) {
  const auto literal = [](int n) {
    Bytes in;
    for (int i = 0; i < n; ++i) in.push_back(std::uint8_t(i % 2 ? 10 : 11));
    in.insert(in.end(), {9, 9, 8});
    return in;
  };
  // 126 literal bytes (count byte 125): the run joins and fills the literal
  // to 128, so the last byte opens a new one.
  {
    const Bytes in = literal(126);
    const Bytes out = encode(in, in.size());
    ASSERT_EQ(out.size(), 129u + 2);
    EXPECT_EQ(out[0], 127);
    EXPECT_EQ(out[127], 9);
    EXPECT_EQ(out[128], 9);
    EXPECT_EQ(out[129], 0x00);
    Bytes back;
    EXPECT_TRUE(decode_rows(out, in.size(), in.size(), back));
    EXPECT_EQ(back, in);
  }
  // 127 literal bytes (count byte 126): joining would need 129, so the run
  // stays a run.
  {
    const Bytes in = literal(127);
    const Bytes out = encode(in, in.size());
    ASSERT_EQ(out.size(), 128u + 2 + 2);
    EXPECT_EQ(out[0], 126);
    EXPECT_EQ(out[128], 0xFF);
    EXPECT_EQ(out[130], 0x00);
    Bytes back;
    EXPECT_TRUE(decode_rows(out, in.size(), in.size(), back));
    EXPECT_EQ(back, in);
  }
}

TEST(PackBits, ARunLongerThan128AfterALiteralIsNotFoldedIn) {
  // Its last piece is a two-byte run, but the 128-byte piece before it sits
  // between that piece and the literal.
  Bytes in = {1, 2};
  in.insert(in.end(), 130, 5);
  in.push_back(6);
  const Bytes out = encode(in, in.size());
  EXPECT_EQ(out, (Bytes{0x01, 1, 2, 0x81, 5, 0xFF, 5, 0x00, 6}));
  Bytes back;
  EXPECT_TRUE(decode_rows(out, in.size(), in.size(), back));
  EXPECT_EQ(back, in);
}

TEST(PackBits, RowsStartAfresh) {
  // Equal bytes across a row boundary are two runs, and a literal never
  // continues into the next row.
  EXPECT_EQ(encode(Bytes(6, 0), 3), (Bytes{0xFE, 0, 0xFE, 0}));
  EXPECT_EQ(encode({1, 2, 3, 4, 5, 6}, 3), (Bytes{0x02, 1, 2, 3, 0x02, 4, 5, 6}));
  // The last piece may be shorter than a row.
  EXPECT_EQ(encode({1, 1, 1, 1, 2}, 2), (Bytes{0xFF, 1, 0xFF, 1, 0x00, 2}));
}

TEST(PackBits, FailsWhenTheOutputRunsShortAndNeverWritesPastIt) {
  const Bytes in = {1, 2, 3, 4, 5, 6, 7, 8};
  Bytes out(12, 0xEE);
  // Every step needs three bytes of room: the last of the 9 bytes is written
  // at position 8, so 10 bytes of room are not enough and 11 are.
  EXPECT_EQ(packbits_encode(in, 8, std::span(out).first(10)), -1);
  EXPECT_EQ(out[8], 0xEE);
  EXPECT_EQ(packbits_encode(in, 8, std::span(out).first(11)), 9);
  EXPECT_EQ(packbits_encode(in, 8, out), 9);
  EXPECT_EQ(packbits_encode(in, 8, {}), -1);
  EXPECT_EQ(packbits_encode({}, 8, out), 0);
  EXPECT_EQ(packbits_encode(in, 0, out), -1);
}

TEST(PackBits, RandomBitmapsRoundTrip) {
  std::mt19937 rng(20261207);
  for (int trial = 0; trial < 300; ++trial) {
    const std::size_t row_bytes = 1 + rng() % 300;
    const std::size_t size = rng() % 2000;
    Bytes in(size);
    // Runs of random length from a small alphabet, so that runs, literals,
    // two-byte runs and merges all occur.
    for (std::size_t i = 0; i < size;) {
      const std::uint8_t v = std::uint8_t(rng() % 4 == 0 ? rng() : rng() % 3);
      std::size_t n = rng() % 3 == 0 ? 1 + rng() % 200 : 1 + rng() % 3;
      for (; n > 0 && i < size; --n) in[i++] = v;
    }
    SCOPED_TRACE("trial " + std::to_string(trial));
    const Bytes out = encode(in, row_bytes);
    ASSERT_TRUE(size == 0 || !out.empty());
    Bytes back;
    ASSERT_TRUE(decode_rows(out, size, row_bytes, back));
    ASSERT_EQ(back, in);
  }
}

TEST(PackBits, LibtiffDecodesWhatWeEncode) {
  // A page with every kind of row, written as TIFF Compression 32773 and read
  // back through tifftopnm.
  test::Pbm img;
  img.width = 1000;
  img.height = 40;
  const std::size_t rb = std::size_t(img.row_bytes());
  img.bits.assign(rb * 40, 0);
  std::mt19937 rng(7);
  for (std::size_t y = 0; y < 40; ++y) {
    for (std::size_t x = 0; x < rb;) {
      const std::uint8_t v = std::uint8_t(y % 5 == 0 ? rng() : (rng() % 2 ? 0xFF : 0x00));
      std::size_t n = 1 + rng() % (y % 3 == 0 ? 2 : 150);
      for (; n > 0 && x < rb; --n) img.bits[y * rb + x++] = v;
    }
  }
  const Bytes packed = encode(img.bits, rb);
  ASSERT_FALSE(packed.empty());

  test::TempDir dir;
  const auto tif = dir / "packbits.tif";
  TiffWriter w;
  ASSERT_TRUE(w.create(tif));
  w.write_header();
  w.reset_entries();
  ASSERT_TRUE(w.set_coding_by_mode(8, 0));
  w.set_fill_order(1);
  w.set_size(1000, 40);
  w.set_page_number(0, 1);
  w.write_directory(w.write_page_data(packed, 200, 200, 2));
  ASSERT_TRUE(w.close());
  const auto pbm = dir / "packbits.pbm";
  ASSERT_EQ(
      test::run("tifftopnm -quiet '" + tif.string() + "' > '" + pbm.string() + "' 2>/dev/null"), 0);
  EXPECT_TRUE(test::same_pixels(img, test::read_pbm(pbm), "packbits_libtiff"));
}

}  // namespace
}  // namespace orvane
