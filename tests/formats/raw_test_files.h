#pragma once
// Helpers for the raw stream tests: the fixtures, streams made at test time by
// netpbm, a bit writer for hand-made streams, and readers for the row file and
// the page index file that check nothing themselves, so tests can.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "base/page_bitmap.h"
#include "codec/raw_extraction.h"
#include "support/test_support.h"

namespace orvane::test {

inline std::vector<std::uint8_t> raw_fixture(const std::string& name) {
  return read_file(fixture("raw/" + name));
}
inline Pbm expected_page(const std::string& name) {
  return read_pbm(fixture("expected/" + name + ".pbm.gz"));
}

// Codes a PBM made by `pbm_command` (a netpbm pipeline writing to stdout)
// with pbmtog3 and returns the stream.
inline std::vector<std::uint8_t> pbmtog3_of(const TempDir& dir, const std::string& pbm_command,
                                            const std::string& options = "") {
  const auto out = dir / "made.g3";
  const std::string cmd =
      pbm_command + " | pbmtog3 " + options + " > '" + out.string() + "' 2>/dev/null";
  EXPECT_EQ(run(cmd), 0) << cmd;
  return read_file(out);
}

// Codes a PBM made by `pbm_command` as one TIFF strip with pnmtotiff
// (`options`, e.g. "-g4" or "-g3 -2d -lsb2msb") and returns the strip data.
inline std::vector<std::uint8_t> tiff_strip_of(const TempDir& dir, const std::string& pbm_command,
                                               const std::string& options) {
  const auto out = dir / "made.tif";
  const std::string cmd = pbm_command + " | pnmtotiff " + options + " -rowsperstrip 100000 > '" +
                          out.string() + "' 2>/dev/null";
  EXPECT_EQ(run(cmd), 0) << cmd;
  return tiff_strip_data(read_file(out));
}

// Bits written first-bit-most-significant, zero-padded to a byte at the end.
class BitWriter {
 public:
  void put(const std::string& bits) {
    for (char c : bits) {
      if (c != '0' && c != '1') continue;
      if (used_ == 0) bytes_.push_back(0);
      if (c == '1') bytes_.back() |= std::uint8_t(0x80 >> used_);
      used_ = (used_ + 1) % 8;
    }
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  int used_ = 0;
};

// Codes of ITU-T T.4 used by the hand-made streams.
inline constexpr const char* kEol = "000000000001";
inline constexpr const char* kWhite1728Row =
    "010011011"
    "00110101";  // make-up 1728, 0

// The row file as stored.
struct RowFile {
  std::vector<std::uint8_t> bytes;
  PageBitmap page;  // descriptor fields with the rows as pixels
};
inline RowFile read_row_file(const std::filesystem::path& path) {
  RowFile f;
  f.bytes = read_file(path);
  if (f.bytes.size() < kDescriptorSize) return f;
  load_descriptor(f.page,
                  std::span<const std::uint8_t, kDescriptorSize>(f.bytes.data(), kDescriptorSize));
  f.page.pixels.assign(f.bytes.begin() + kDescriptorSize, f.bytes.end());
  return f;
}

// The page index file as stored.
struct IndexFile {
  std::vector<std::uint8_t> bytes;
  std::vector<codec::SegmentEntry> entries;
  std::uint32_t u32(std::size_t at) const { return le32(&bytes[at]); }
  std::uint16_t u16(std::size_t at) const { return le16(&bytes[at]); }
};
inline IndexFile read_index_file(const std::filesystem::path& path) {
  IndexFile f;
  f.bytes = read_file(path);
  for (std::size_t at = codec::kIndexHeaderSize; at + codec::kIndexEntrySize <= f.bytes.size();
       at += codec::kIndexEntrySize) {
    f.entries.push_back(codec::load_entry(std::span<const std::uint8_t, codec::kIndexEntrySize>(
        &f.bytes[at], codec::kIndexEntrySize)));
  }
  return f;
}

// The `n` bits of `data` starting at bit `bit` (stream order, MSB first
// unless `lsb_first`), as a string of '0' and '1'.
inline std::string bits_at(const std::vector<std::uint8_t>& data, std::uint64_t bit, int n,
                           bool lsb_first = false) {
  std::string s;
  for (int i = 0; i < n; ++i, ++bit) {
    if (bit / 8 >= data.size()) break;
    const std::uint8_t b = data[bit / 8];
    const int k = int(bit % 8);
    s += ((lsb_first ? b >> k : b >> (7 - k)) & 1) ? '1' : '0';
  }
  return s;
}

}  // namespace orvane::test
