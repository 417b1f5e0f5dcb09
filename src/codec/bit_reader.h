#pragma once
// The one bit reader every row decoder reads from: the coded bytes, a bit
// position, and a 64-bit window loaded a word at a time at that position,
// with the bit order applied as the word is loaded. Past the end of the data
// the window reads zeros; a code word that needs any of those bits is the
// end of the data. Code words are resolved by direct lookup tables.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

#include "codec/code_lookup.h"

namespace orvane::codec {

// What a code word read gives besides a run length (0..2560) or a mode.
inline constexpr int kCodeEnd = -1;  // the data ended inside it
using lookup::kEolCode;
using lookup::kInvalidCode;

class BitReader {
 public:
  BitReader() = default;
  BitReader(std::span<const std::uint8_t> bytes, bool reversed)
      : data_(bytes.data()),
        size_(bytes.data() ? std::int64_t(bytes.size()) * 8 : 0),
        fast_end_(size_ >= 64 ? size_ - 64 : -1),
        reversed_(reversed) {}

  std::int64_t position() const { return pos_; }
  std::int64_t size() const { return size_; }
  bool at_end() const { return pos_ >= size_; }
  bool reversed() const { return reversed_; }
  std::span<const std::uint8_t> bytes() const { return {data_, std::size_t(size_ / 8)}; }
  void seek(std::int64_t bit) { pos_ = std::clamp<std::int64_t>(bit, 0, size_); }

  // 64 bits from the position, first bit most significant (zeros past the end).
  template <bool kReversed>
  std::uint64_t peek_as() const {
    if (pos_ > fast_end_) [[unlikely]]
      return peek_near_end();
    return load<kReversed>();
  }
  std::uint64_t peek() const { return reversed_ ? peek_as<true>() : peek_as<false>(); }

  // One bit, or -1 at the end.
  int bit() {
    if (pos_ >= size_) return -1;
    const int v = int(peek() >> 63);
    ++pos_;
    return v;
  }
  // Takes the next n bits (1..57) when they are `bits`; false, with nothing
  // taken, otherwise.
  template <bool kReversed>
  bool take(int n, std::uint64_t bits) {
    if (pos_ + n > size_ || (peek_as<kReversed>() >> (64 - n)) != bits) return false;
    pos_ += n;
    return true;
  }

  // The next code word of a colour (0 white, 1 black) or of the mode table:
  // a run length or mode, kEolCode (any fill zeros in front), kInvalidCode,
  // or kCodeEnd.
  template <bool kReversed>
  int white() {
    if constexpr (kReversed)
      return code_lsb(lookup::kWhiteLsb, lookup::kWhiteLsb, lookup::kWhiteDirect,
                      lookup::kWhiteDirect);
    return code<false>(lookup::kWhiteDirect, lookup::kWhiteDirect);
  }
  template <bool kReversed>
  int black() {
    if constexpr (kReversed)
      return code_lsb(lookup::kBlackLsb, lookup::kBlackLsb, lookup::kBlackDirect,
                      lookup::kBlackDirect);
    return code<false>(lookup::kBlackDirect, lookup::kBlackDirect);
  }
  template <bool kReversed>
  int mode() {
    if constexpr (kReversed)
      return code_lsb(lookup::kModeLsb, lookup::kModeLongLsb, lookup::kModeDirect,
                      lookup::kModeLong);
    return code<false>(lookup::kModeDirect, lookup::kModeLong);
  }

  // To the next byte boundary; with `word` also to an even byte.
  void align(bool word);
  // Past the 16-bit word at the next byte boundary.
  void skip_word();
  // Just past the next EOL (eleven or more zeros, then a 1); false, at the
  // end, when there is none.
  bool find_eol();
  // Fill zeros and one EOL, nothing else; false otherwise.
  bool read_eol();

  static std::uint64_t reverse_bits_in_bytes(std::uint64_t w) {
    w = (w >> 1 & 0x5555555555555555u) | (w & 0x5555555555555555u) << 1;
    w = (w >> 2 & 0x3333333333333333u) | (w & 0x3333333333333333u) << 2;
    return (w >> 4 & 0x0F0F0F0F0F0F0F0Fu) | (w & 0x0F0F0F0F0F0F0F0Fu) << 4;
  }

 private:
  // The slow paths below are static and take the reader's fields by value:
  // were the reader's address to reach a call that is not inlined, a
  // decoder's copy of it could not live in registers, and every code word
  // would store and load its position.
  std::uint64_t peek_near_end() const { return window_at(pos_); }
  // 64 bits from bit p, read byte by byte (zeros past the end).
  std::uint64_t window_at(std::int64_t p) const { return window_at(data_, size_, reversed_, p); }
  static std::uint64_t window_at(const std::uint8_t* data, std::int64_t size, bool reversed,
                                 std::int64_t p);
  // One code word: the short table, the long one when the short cannot
  // tell, and for eleven zeros or more the EOL counted by long_eol. Far
  // from the end no code word can run past it.
  template <bool kReversed, int kShort, int kLong>
  int code(const lookup::DirectTable<kShort>& first, const lookup::DirectTable<kLong>& second) {
    const bool fast = pos_ <= fast_end_;
    const std::uint64_t w = fast ? load<kReversed>() : peek_near_end();
    std::uint16_t e = first.entries[std::size_t(w >> (64 - kShort))];
    if constexpr (kLong != kShort) {
      if (lookup::length_of(e) == 0) [[unlikely]]
        e = second.entries[std::size_t(w >> (64 - kLong))];
    }
    const int n = lookup::length_of(e);
    if (n == 0) [[unlikely]]
      return long_eol(w);
    if (!fast && pos_ + n > size_) [[unlikely]] {
      pos_ = size_;
      return kCodeEnd;
    }
    pos_ += n;
    return lookup::value_of(e);
  }
  // A code word of data read least significant bit first. Far from the end
  // the bits are looked up as a little-endian word holds them, not
  // reversed, in tables that mirror the others (`msb_first`, `msb_second`);
  // EOLs and the end of the data take the path above with those.
  template <int kShort, int kLong>
  int code_lsb(const lookup::DirectTable<kShort>& first, const lookup::DirectTable<kLong>& second,
               const lookup::DirectTable<kShort>& msb_first,
               const lookup::DirectTable<kLong>& msb_second) {
    if (pos_ > fast_end_) [[unlikely]]
      return code<true>(msb_first, msb_second);
    std::uint64_t w;
    std::memcpy(&w, data_ + (pos_ >> 3), sizeof w);
    w >>= pos_ & 7;
    std::uint16_t e = first.entries[std::size_t(w & ((1u << kShort) - 1))];
    if constexpr (kLong != kShort) {
      if (lookup::length_of(e) == 0) [[unlikely]]
        e = second.entries[std::size_t(w & ((1u << kLong) - 1))];
    }
    const int n = lookup::length_of(e);
    if (n == 0) [[unlikely]]
      return code<true>(msb_first, msb_second);
    pos_ += n;
    return lookup::value_of(e);
  }
  template <bool kReversed>
  std::uint64_t load() const {
    std::uint64_t w;
    std::memcpy(&w, data_ + (pos_ >> 3), sizeof w);
    w = __builtin_bswap64(w);
    if constexpr (kReversed) w = reverse_bits_in_bytes(w);
    return w << (pos_ & 7);
  }
  int long_eol(std::uint64_t w) {
    const std::int64_t end = eol_end(data_, size_, reversed_, pos_, w);
    pos_ = end < 0 ? size_ : end;
    return end < 0 ? kCodeEnd : kEolCode;
  }
  // Just past the EOL whose fill starts window `w` at `pos`; -1 when the
  // data ends first.
  static std::int64_t eol_end(const std::uint8_t* data, std::int64_t size, bool reversed,
                              std::int64_t pos, std::uint64_t w);
  // find_eol's skip over whole words that cannot hold an EOL.
  void skip_plain_words(std::int64_t& run);

  const std::uint8_t* data_ = nullptr;
  std::int64_t pos_ = 0;
  std::int64_t size_ = 0;
  std::int64_t fast_end_ = -1;  // the last position with eight bytes at and after its byte
  bool reversed_ = false;
};

}  // namespace orvane::codec
