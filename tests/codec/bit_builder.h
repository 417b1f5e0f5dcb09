#pragma once
// Builds coded test data bit by bit: literal bit strings, Modified Huffman
// runs and mode codes taken from the T.4 code lists, EOLs and padding.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/page_bitmap.h"
#include "codec/code_tables.h"

namespace orvane::codec::test {

class BitBuilder {
 public:
  // Appends '0'/'1' characters; anything else (spaces) is ignored.
  BitBuilder& bits(std::string_view s) {
    for (char c : s) {
      if (c == '0' || c == '1') push(c == '1');
    }
    return *this;
  }
  BitBuilder& zeros(int n) {
    for (int i = 0; i < n; ++i) push(false);
    return *this;
  }
  BitBuilder& eol() { return bits(tables::kEolBits); }
  // A run of one colour: make-up codes (2560 at most each) then a terminating code.
  BitBuilder& run(int colour, int n) {
    while (n >= 2560) {
      bits(code_for(colour, 2560));
      n -= 2560;
    }
    if (n >= 64) {
      bits(code_for(colour, n / 64 * 64));
      n %= 64;
    }
    return bits(code_for(colour, n));
  }
  // Runs alternating white, black, ... from white.
  BitBuilder& row(std::initializer_list<int> runs) {
    int colour = 0;
    for (int r : runs) {
      run(colour, r);
      colour ^= 1;
    }
    return *this;
  }
  BitBuilder& mode(tables::Mode m) {
    for (const auto& w : tables::kModeCodes) {
      if (w.value == m) return bits(w.bits);
    }
    return *this;
  }
  // Zero bits up to the next byte boundary.
  BitBuilder& pad() {
    while (count_ % 8) push(false);
    return *this;
  }
  std::size_t bit_count() const { return count_; }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  // The bytes as stored least significant bit first (FillOrder 2).
  std::vector<std::uint8_t> reversed_bytes() const {
    std::vector<std::uint8_t> out;
    for (std::uint8_t b : bytes_) {
      std::uint8_t r = 0;
      for (int i = 0; i < 8; ++i) {
        if (b & (1 << i)) r |= std::uint8_t(0x80 >> i);
      }
      out.push_back(r);
    }
    return out;
  }

  static const char* code_for(int colour, int n) {
    if (n >= 1792) {
      for (const auto& w : tables::kExtendedMakeupCodes) {
        if (w.value == n) return w.bits;
      }
    }
    if (colour == 0) {
      for (const auto& w : tables::kWhiteCodes) {
        if (w.value == n) return w.bits;
      }
    } else {
      for (const auto& w : tables::kBlackCodes) {
        if (w.value == n) return w.bits;
      }
    }
    return "";
  }

 private:
  void push(bool bit) {
    if (count_ % 8 == 0) bytes_.push_back(0);
    if (bit) bytes_.back() |= std::uint8_t(0x80 >> (count_ % 8));
    ++count_;
  }
  std::vector<std::uint8_t> bytes_;
  std::size_t count_ = 0;
};

// Row y of a decoded page as runs, white first (a leading 0 when it starts
// black).
inline std::vector<int> runs_of(const PageBitmap& page, int y) {
  std::vector<int> runs;
  int colour = 0, n = 0;
  for (int x = 0; x < page.width; ++x) {
    const int white = (page.row(y)[x / 8] >> (7 - x % 8)) & 1;
    if ((white ? 0 : 1) != colour) {
      runs.push_back(n);
      n = 0;
      colour ^= 1;
    }
    ++n;
  }
  runs.push_back(n);
  return runs;
}

}  // namespace orvane::codec::test
