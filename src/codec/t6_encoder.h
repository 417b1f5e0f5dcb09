#pragma once
// T.6 (MMR, Group 4) encoding of bitmap rows (ITU-T T.6 2.2, the coding
// procedure of T.4 4.2.1.3 without EOLs and with an imaginary white line
// above the first row). Rows go in one at a time; the code words go to a
// byte vector that the caller owns, most significant bit first.
#include <cstdint>
#include <span>
#include <vector>

namespace orvane::codec {

class T6Encoder {
 public:
  // Rows of `width` pixels (1 .. 65535). Allocates the two change lists
  // once; ok() is false when that failed or the width is refused.
  explicit T6Encoder(std::int32_t width);
  bool ok() const { return width_ > 0; }

  // Encodes one row: pixel x is bit 7 - x % 8 of byte x / 8, a set bit is
  // white (as in a page bitmap); bits past the width are ignored. The row
  // must hold (width + 7) / 8 bytes. Appends to `out`.
  void encode_row(const std::uint8_t* row, std::vector<std::uint8_t>& out);
  // Appends EOFB (T.6 2.4) and the zero bits that end the last byte.
  void finish(std::vector<std::uint8_t>& out);

 private:
  void put(std::uint32_t code, int length, std::vector<std::uint8_t>& out);
  void put_run(std::int32_t run, int colour, std::vector<std::uint8_t>& out);
  void find_changes(const std::uint8_t* row);

  std::int32_t width_ = 0;
  // Changing elements of the coding and reference line: positions where
  // the colour differs from the pixel to the left (left of pixel 0 is
  // white), then three entries of `width` so that b1, b2 and a2 past the
  // last change read as the line end.
  std::vector<std::int32_t> coding_, reference_;
  std::uint64_t bits_ = 0;  // pending output bits, right-aligned
  int pending_ = 0;         // how many
};

// A whole bitmap (rows of `row_bytes` bytes, set bit white) as T.6 data with
// EOFB. Empty when the size is refused or memory runs out.
std::vector<std::uint8_t> encode_t6(std::span<const std::uint8_t> pixels, std::int32_t width,
                                    std::int32_t height, std::int32_t row_bytes);

}  // namespace orvane::codec
