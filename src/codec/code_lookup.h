#pragma once
// Direct lookup tables of the code words, built at compile time from the
// code lists: the next `Bits` bits of the data index an entry that holds
// the decoded value and how many bits the code word took, so a code word
// costs one load.
#include <array>
#include <cstddef>
#include <cstdint>

#include "codec/code_tables.h"

namespace orvane::codec::lookup {

// Entry: value in the low 12 bits, bits taken in the high 4. Bits taken 0:
// the index holds too few bits to tell (eleven zeros or more, the fill and
// EOL the reader counts itself; in the short mode table also the longer
// mode codes, which the long one resolves).
inline constexpr std::uint16_t kValueMask = 0x0FFF;
inline constexpr int kLengthShift = 12;

// Values besides run lengths (0..2560) and modes (tables::Mode).
inline constexpr int kInvalidCode = 0x0FFF;
inline constexpr int kEolCode = 0x0FFE;

constexpr int value_of(std::uint16_t entry) {
  return entry & kValueMask;
}
constexpr int length_of(std::uint16_t entry) {
  return entry >> kLengthShift;
}

template <int Bits>
struct DirectTable {
  std::array<std::uint16_t, std::size_t(1) << Bits> entries{};
};

namespace detail {

struct Lists {
  const tables::CodeWord* codes[2];
  std::size_t sizes[2];
};

constexpr int length(const char* bits) {
  int n = 0;
  while (bits[n] != 0) ++n;
  return n;
}

// The first `n` bits of `bits` as a number.
constexpr int prefix_value(const char* bits, int n) {
  int v = 0;
  for (int i = 0; i < n; ++i) v = v << 1 | (bits[i] - '0');
  return v;
}

}  // namespace detail

// Every pattern that begins with a code word gets it. A pattern that is the
// beginning of a longer code word, or of eleven zeros (the EOL with its
// fill), gets "too few bits". Any other is invalid after the first bit
// where it leaves every code word (begins[] marks the beginnings of code
// words, a beginning of n bits b at index 2^n + b).
template <int Bits>
constexpr DirectTable<Bits> build(detail::Lists lists) {
  constexpr int kSize = 1 << Bits;
  DirectTable<Bits> t;
  std::array<bool, std::size_t(2) << Bits> begins{};
  std::array<bool, kSize> set{};
  auto mark = [&](const char* bits, int value, bool resolves = true) {
    const int n = detail::length(bits);
    for (int k = 0; k <= n && k <= Bits; ++k)
      begins[std::size_t((1 << k) + detail::prefix_value(bits, k))] = true;
    const int first =
        n <= Bits ? detail::prefix_value(bits, n) << (Bits - n) : detail::prefix_value(bits, Bits);
    const int last = n <= Bits ? first + (1 << (Bits - n)) : first + 1;
    for (int p = first; p < last; ++p) {
      t.entries[std::size_t(p)] =
          n <= Bits && resolves ? std::uint16_t(n << kLengthShift | value) : 0;
      set[std::size_t(p)] = true;
    }
  };
  for (int l = 0; l < 2; ++l)
    for (std::size_t i = 0; i < lists.sizes[l]; ++i)
      mark(lists.codes[l][i].bits, lists.codes[l][i].value);
  mark("00000000000", 0, false);  // eleven zeros: the reader counts the fill and finds the 1
  for (int p = 0; p < kSize; ++p) {
    if (set[std::size_t(p)]) continue;
    int n = 1;
    while (begins[std::size_t((1 << n) + (p >> (Bits - n)))]) ++n;
    t.entries[std::size_t(p)] = std::uint16_t(n << kLengthShift | kInvalidCode);
  }
  return t;
}

template <std::size_t N, std::size_t M>
constexpr detail::Lists lists(const tables::CodeWord (&a)[N], const tables::CodeWord (&b)[M]) {
  return {{a, b}, {N, M}};
}

// The same table for data read least significant bit first: indexed by
// the next bits with the first of them lowest, as a little-endian word
// holds them, so that such data needs no reversing.
template <int Bits>
constexpr DirectTable<Bits> reversed(const DirectTable<Bits>& t) {
  DirectTable<Bits> r;
  for (int i = 0; i < (1 << Bits); ++i) {
    int m = 0;
    for (int b = 0; b < Bits; ++b) m |= ((i >> b) & 1) << (Bits - 1 - b);
    r.entries[std::size_t(m)] = t.entries[std::size_t(i)];
  }
  return r;
}

// White codes are at most 12 bits, black 13; the common mode codes at most
// 7, the extension codes 10.
inline constexpr auto kWhiteDirect =
    build<12>(lists(tables::kWhiteCodes, tables::kExtendedMakeupCodes));
inline constexpr auto kBlackDirect =
    build<13>(lists(tables::kBlackCodes, tables::kExtendedMakeupCodes));
inline constexpr auto kModeDirect = build<8>(lists(tables::kModeCodes, tables::kModeCodes));
inline constexpr auto kModeLong = build<13>(lists(tables::kModeCodes, tables::kModeCodes));
inline constexpr auto kWhiteLsb = reversed(kWhiteDirect);
inline constexpr auto kBlackLsb = reversed(kBlackDirect);
inline constexpr auto kModeLsb = reversed(kModeDirect);
inline constexpr auto kModeLongLsb = reversed(kModeLong);

}  // namespace orvane::codec::lookup
