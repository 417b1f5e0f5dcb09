// The read cursor, the row writer and the width classes.
#include "codec/fax_codec.h"

#include <gtest/gtest.h>

#include <vector>

#include "codec/row_writer.h"

namespace orvane::codec {
namespace {

// The codec borrows the bytes: callers keep them alive.
FaxCodec open_bytes(const std::vector<std::uint8_t>& bytes, std::uint8_t order = 1) {
  FaxCodec c;
  c.open(bytes, order);
  return c;
}

TEST(FaxCodecCursor, BitOrderIsAppliedWhenTheByteIsLoaded) {
  const std::vector<std::uint8_t> one = {0x01};
  FaxCodec msb = open_bytes(one, 1);
  FaxCodec lsb = open_bytes(one, 2);
  EXPECT_EQ(msb.read_bits(1), 0);
  EXPECT_EQ(lsb.read_bits(1), 1);
  EXPECT_EQ(lsb.current_byte, 0x80);
  EXPECT_EQ(reverse_bits(0x01), 0x80);
  EXPECT_EQ(reverse_bits(0xCA), 0x53);
}

TEST(FaxCodecCursor, ReadBitsCrossesBytesAndFailsAtTheEnd) {
  const std::vector<std::uint8_t> bytes = {0xA5, 0x3C};
  FaxCodec c = open_bytes(bytes);
  EXPECT_EQ(c.read_bits(6), 0x29);  // 101001
  EXPECT_EQ(c.read_bits(5), 0x09);  // 01 + 001
  EXPECT_EQ(c.position, 1);
  EXPECT_EQ(c.bits_used, 3);
  EXPECT_EQ(c.read_bits(3), 0x07);  // 111
  EXPECT_EQ(c.read_bits(2), 0x00);  // the last two bits of the data still read
  EXPECT_EQ(c.bits_used, 8);
  EXPECT_EQ(c.read_bits(1), kPastEnd);
  EXPECT_EQ(c.read_bits(1), kPastEnd) << "the status stays until the cursor moves back";

  // Read bits (5) with 6 bits used at the last byte of the data.
  const std::vector<std::uint8_t> last = {0xFF};
  FaxCodec d = open_bytes(last);
  d.read_bits(6);
  EXPECT_EQ(d.read_bits(5), kPastEnd);
  // Unread steps back onto the last byte with the bits used before the read.
  d.unread_bits(5);
  EXPECT_EQ(d.position, 0);
  EXPECT_EQ(d.bits_used, 6);
  EXPECT_EQ(d.read_bits(2), 3);
}

TEST(FaxCodecCursor, LoadStatuses) {
  FaxCodec none;
  none.open({}, 1);
  EXPECT_EQ(none.current_byte, kNoData);
  EXPECT_EQ(none.read_bits(3), kNoData);
  const std::vector<std::uint8_t> bytes = {0x12};
  FaxCodec c = open_bytes(bytes);
  c.unread_bits(1);
  EXPECT_EQ(c.current_byte, kBeforeStart);
  EXPECT_EQ(c.read_bits(1), kBeforeStart);
}

TEST(FaxCodecCursor, UnreadAcrossAByteBoundary) {
  const std::vector<std::uint8_t> bytes = {0x0F, 0xF0};
  FaxCodec c = open_bytes(bytes);
  c.read_bits(8);
  c.read_bits(2);
  c.unread_bits(4);
  EXPECT_EQ(c.position, 0);
  EXPECT_EQ(c.bits_used, 6);
  EXPECT_EQ(c.read_bits(4), 0xF);
}

TEST(FaxCodecCursor, AlignToByteAndEvenWord) {
  const std::vector<std::uint8_t> bytes(8, 0x55);
  FaxCodec c = open_bytes(bytes);
  c.align(false);
  EXPECT_EQ(c.position, 0) << "already aligned";
  c.read_bits(3);
  c.align(false);
  EXPECT_EQ(c.position, 1);
  EXPECT_EQ(c.bits_used, 0);
  c.read_bits(1);
  c.align(true);
  EXPECT_EQ(c.position, 2);
  c.read_bits(8);
  c.read_bits(1);  // into byte 3
  c.align(true);
  EXPECT_EQ(c.position, 4);
  c.read_bits(8);  // byte 4 spent, not yet left
  c.align(true);
  EXPECT_EQ(c.position, 6);
}

TEST(FaxCodecCursor, SkipWordStopsAtTheEnd) {
  const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5};
  FaxCodec c = open_bytes(bytes);
  c.skip_word();
  EXPECT_EQ(c.position, 2);
  c.read_bits(1);
  c.skip_word();
  EXPECT_EQ(c.position, 5);
  EXPECT_EQ(c.current_byte, kPastEnd);
  c.skip_word();
  EXPECT_EQ(c.position, 5);
}

TEST(FaxCodecFindEol, CountsZerosAcrossBytes) {
  const std::vector<std::uint8_t> b1 = {0x00, 0x10}, b2 = {0x80, 0x10},
                                  b3 = {0xF0, 0x00, 0x00, 0x01, 0xAB},
                                  b4 = {0xF8, 0x08, 0x00, 0x40};
  FaxCodec c = open_bytes(b1);
  EXPECT_EQ(c.find_eol(), 0);
  EXPECT_EQ(c.position, 1);
  EXPECT_EQ(c.bits_used, 4);

  // 7 + 3 zeros are no EOL; the search goes on from byte 1 and runs out.
  FaxCodec d = open_bytes(b2);
  EXPECT_EQ(d.find_eol(), kPastEnd);

  // Long fill: the cursor ends right after the 1.
  FaxCodec e = open_bytes(b3);
  EXPECT_EQ(e.find_eol(), 0);
  EXPECT_EQ(e.position, 3);
  EXPECT_EQ(e.bits_used, 8);
  EXPECT_EQ(e.read_bits(8), 0xAB);

  // Two short zero runs do not add up across a 1 bit.
  FaxCodec f = open_bytes(b4);
  EXPECT_EQ(f.find_eol(), 0);
  EXPECT_EQ(f.position, 3);
  EXPECT_EQ(f.bits_used, 2);
}

TEST(FaxCodecFindEol, LsbFirstData) {
  // 0x00 0x08 stored LSB first is 0x00 0x10.
  const std::vector<std::uint8_t> bytes = {0x00, 0x08};
  FaxCodec c = open_bytes(bytes, 2);
  EXPECT_EQ(c.find_eol(), 0);
  EXPECT_EQ(c.bits_used, 4);
}

TEST(RowWriter, RunsAcrossBytes) {
  std::vector<std::uint8_t> row(4, 0);
  RowWriter w;
  w.start(row.data(), 4);
  EXPECT_EQ(write_run(w, 4, true), 0);
  EXPECT_EQ(write_run(w, 8, false), 0);  // low 4 bits of byte 0, high 4 of byte 1
  EXPECT_EQ(row[0], 0x0F);
  EXPECT_EQ(row[1], 0xF0);
  EXPECT_EQ(write_run(w, 1, true), 0);
  EXPECT_EQ(write_run(w, 2, false), 0);
  EXPECT_EQ(row[1], 0xF6);
  EXPECT_EQ(write_run(w, 0, false), 0);
  EXPECT_EQ(write_run(w, 13, false), 0);  // pixels 15..27
  EXPECT_EQ(row[1], 0xF7);
  EXPECT_EQ(row[2], 0xFF);
  EXPECT_EQ(row[3], 0xF0);
}

TEST(RowWriter, NeverWritesPastTheRow) {
  std::vector<std::uint8_t> buf(6, 0);
  RowWriter w;
  w.start(buf.data() + 1, 3);
  EXPECT_EQ(write_run(w, 20, false), 0);
  EXPECT_EQ(write_run(w, 100, false), -1);  // cut at the row's end
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(buf[1], 0xFF);
  EXPECT_EQ(buf[3], 0xFF);
  EXPECT_EQ(buf[4], 0);
  EXPECT_EQ(write_run(w, 1, false), -1);
  EXPECT_EQ(write_run(w, 1, true), -1);

  // A skip far past the end leaves the writer at the end, not wrapped round.
  w.start(buf.data() + 1, 3);
  EXPECT_EQ(write_run(w, 0xFFFFFFF0u, true), 0);
  EXPECT_EQ(write_run(w, 8, false), -1);
  EXPECT_EQ(buf[4], 0);
}

TEST(WidthClass, Table) {
  struct Case {
    int width, dpi, paper;
  };
  for (const Case& k :
       {Case{1, 200, 1}, Case{1728, 200, 1}, Case{1729, 200, 2}, Case{2048, 200, 2},
        Case{2432, 200, 3}, Case{2592, 300, 1}, Case{3072, 300, 2}, Case{3456, 400, 1},
        Case{3500, 300, 3}, Case{3648, 300, 3}, Case{4096, 400, 2}, Case{5000, 400, 3}}) {
    const WidthClass wc = width_class(k.width);
    EXPECT_EQ(wc.dpi, k.dpi) << k.width;
    EXPECT_EQ(wc.paper, k.paper) << k.width;
  }
}

}  // namespace
}  // namespace orvane::codec
