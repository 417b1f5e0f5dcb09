#pragma once
// Direct lookup tables for the code words of T.4 (Tables 2/T.4, 3/T.4 and
// 4/T.4; the mode codes are those of T.6 too): the next `bits` bits of the
// data index an entry that holds the decoded value and how many bits the
// code word took, so most code words cost one load.
//
// The tables are generated at compile time by walking the byte tables of
// code_tables.h over every bit pattern, so they agree with the tree walk to
// the bit, including where the walk leaves the cursor on an invalid code
// and on an EOL recognised one bit late.
#include <array>
#include <cstdint>

#include "codec/code_tables.h"

namespace orvane::codec::lookup {

// Entry: value in the low 12 bits, bits taken in the high 4. Bits taken 0
// means the code word is longer than the index (EOL fill, a late EOL, the
// longest make-up codes): the caller walks the tree for it.
inline constexpr std::uint16_t kValueMask = 0x0FFF;
inline constexpr int kLengthShift = 12;

// Values besides run lengths (0..2560) and modes (tables::Mode).
inline constexpr int kInvalidCode = 0x0FFF;
inline constexpr int kEolCode = 0x0FFE;
// An EOL whose last step read one bit past it; the bits taken already give
// that bit back, which leaves the cursor as an unread does.
inline constexpr int kLateEolCode = 0x0FFD;

constexpr int value_of(std::uint16_t entry) {
  return entry & kValueMask;
}
constexpr int length_of(std::uint16_t entry) {
  return entry >> kLengthShift;
}

template <int Bits>
struct DirectTable {
  static constexpr int kBits = Bits;
  std::array<std::uint16_t, std::size_t(1) << Bits> entries{};
};

namespace detail {

constexpr int leaf_value(std::uint8_t leaf, bool modes) {
  if (leaf == tables::kInvalid) return kInvalidCode;
  if (leaf == tables::kEol) return kEolCode;
  if (tables::is_late_eol(leaf)) return kLateEolCode;
  return modes ? leaf >> 2 : tables::leaf_run(leaf);
}

// The tree walk of the walk (walk_in_codec in bit_cursor.cpp) over the Bits-bit pattern, first bit
// most significant; 0 when the walk needs more bits than the pattern has.
template <int Bits>
constexpr std::uint16_t walk_pattern(const tables::ByteTable& tree, int root_bits, int pattern,
                                     bool modes) {
  int used = 0;
  auto take = [&](int n) {
    const int v = (pattern >> (Bits - used - n)) & ((1 << n) - 1);
    used += n;
    return v;
  };
  if (root_bits > Bits) return 0;
  std::uint8_t e = tree.entries[std::size_t(take(root_bits))];
  while (!(e & 1)) {
    const int step = (e & 2) ? 2 : 1;
    if (used + step > Bits) return 0;
    const int b = take(step);
    e = tree.entries[std::size_t(step == 2 ? e - 2 + b : e + b)];
  }
  const int value = leaf_value(e, modes);
  const int taken = value == kLateEolCode ? used - 1 : used;
  return std::uint16_t(taken << kLengthShift | value);
}

}  // namespace detail

template <int Bits>
constexpr DirectTable<Bits> build_direct(const tables::ByteTable& tree, int root_bits, bool modes) {
  DirectTable<Bits> t;
  for (int p = 0; p < (1 << Bits); ++p) {
    t.entries[std::size_t(p)] = detail::walk_pattern<Bits>(tree, root_bits, p, modes);
  }
  return t;
}

// White codes are at most 12 bits, black 13; the common mode codes at most
// 7 (the EOL and extension codes are walked).
inline constexpr auto kWhiteDirect =
    build_direct<12>(tables::kWhite, tables::kWhiteRootBits, false);
inline constexpr auto kBlackDirect =
    build_direct<13>(tables::kBlack, tables::kBlackRootBits, false);
inline constexpr auto kModeDirect = build_direct<8>(tables::kModes, tables::kModeRootBits, true);
// The mode codes once more at 13 bits, looked up when the short index is
// not enough: the EOL that ends every two-dimensional T.4 row, and the
// extension codes.
inline constexpr auto kModeLong = build_direct<13>(tables::kModes, tables::kModeRootBits, true);

}  // namespace orvane::codec::lookup
