#pragma once
// Paints decoded runs into one bitmap row (pixel x is bit 7 - x % 8 of byte
// x / 8) with inline byte and word fills: runs are laid end to end from
// pixel 0, set or left clear by colour, and cut at the row's last byte. A painter without a row
// only counts (trial decoding).
//
// A row may instead start all set (the background): then only the clear
// runs are painted, and end_row() clears what no run covered, which leaves
// the row as a cleared row painted run by run would be. Pages start with
// the background of their white, so white runs cost nothing.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "codec/row_writer.h"

namespace orvane::codec {

class RunPainter {
 public:
  RunPainter(std::uint8_t* row, std::uint32_t row_bytes, bool background = false)
      : row_(row),
        limit_(row == nullptr ? 0 : std::int64_t(row_bytes) * 8),
        background_(background) {}
  // Clears the pixels no run reached (only a row that started set has any).
  void end_row() {
    if (background_ && x_ < limit_) fill<false>(x_, limit_);
  }
  // For engines that keep the row's position themselves: the colour (0
  // white, 1 black) whose runs change pixels, or -1 when none do (no row);
  // span() paints that colour over pixels [from, to) of the row, and
  // move_to() puts the painter where the runs have brought it.
  int painted_colour(int invert) const {
    return limit_ == 0 ? -1 : (invert ^ (background_ ? 1 : 0));
  }
  std::int64_t position() const { return x_; }
  void span(std::int64_t from, std::int64_t to) {
    to = std::min(to, limit_);
    if (from >= to) return;
    // A short span within eight bytes of the row is one masked word: no
    // branches on where its ends fall (dithered pages are mostly such).
    const std::int64_t head = from & 7;
    if (to - from <= 56 && (from >> 3) + 8 <= (limit_ >> 3)) {
      std::uint8_t* p = row_ + (from >> 3);
      std::uint64_t w;
      std::memcpy(&w, p, sizeof w);
      const std::uint64_t mask = __builtin_bswap64((~std::uint64_t{0} >> head) &
                                                   ~(~std::uint64_t{0} >> (head + to - from)));
      w = background_ ? (w & ~mask) : (w | mask);
      std::memcpy(p, &w, sizeof w);
      return;
    }
    if (background_) {
      fill<false>(from, to);
    } else {
      fill<true>(from, to);
    }
  }
  void move_to(std::int64_t x) { x_ = std::min(x, kStopped); }

 private:
  static constexpr std::int64_t kStopped = std::int64_t(1) << 62;

  // Sets (or clears) pixels [from, to).
  template <bool Set>
  void fill(std::int64_t from, std::int64_t to) {
    if (from >= to) return;
    std::uint8_t* p = row_ + (from >> 3);
    std::uint8_t* const last = row_ + (to >> 3);
    const unsigned head = unsigned(from & 7), tail = unsigned(to & 7);
    auto paint = [](std::uint8_t& b, unsigned mask) {
      b = Set ? std::uint8_t(b | mask) : std::uint8_t(b & ~mask);
    };
    if (p == last) {
      paint(*p, (0xFFu >> head) & ~(0xFFu >> tail));
      return;
    }
    paint(*p++, 0xFFu >> head);
    constexpr std::uint64_t kWord = Set ? ~std::uint64_t{0} : 0;
    while (last - p >= 8) {
      std::memcpy(p, &kWord, 8);
      p += 8;
    }
    while (p < last) *p++ = std::uint8_t(kWord);
    if (tail != 0) paint(*p, ~(0xFFu >> tail) & 0xFFu);
  }

  std::uint8_t* row_;
  std::int64_t limit_;  // pixels the row's bytes hold; 0 without a row
  bool background_;     // the row starts with every pixel set
  std::int64_t x_ = 0;
};

}  // namespace orvane::codec
