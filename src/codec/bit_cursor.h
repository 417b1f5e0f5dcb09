#pragma once
// A fast reader over a FaxCodec for the row engines: the codec's cursor as
// one absolute bit position, read through a 64-bit window loaded a word at
// a time, and code words resolved by one direct-table lookup.
//
// The codec stays the cursor of record. The window takes its position on
// construction and gives it back by store(), in exactly the state the
// codec's own reads would have left (after a read the current byte is the
// one holding the last bit read, so bits used may be 8). Within the last
// eight bytes of the data the window hands over to the codec's byte-wise
// reads, which give the end of data its exact meaning.
#include <cstdint>
#include <cstring>

#include "codec/code_lookup.h"
#include "codec/code_tables.h"
#include "codec/fax_codec.h"

namespace orvane::codec {

class BitCursor {
 public:
  explicit BitCursor(FaxCodec& codec);
  BitCursor(const BitCursor&) = delete;
  BitCursor& operator=(const BitCursor&) = delete;

  // Writes the position back into the codec. The codec is then current
  // again; reading on through the window is still allowed.
  void store();
  // Takes the codec's position again, after the codec moved on its own
  // (a search). Call store() before moving the codec.
  void load();
  FaxCodec& codec() { return codec_; }
  // True when the data's bytes are read bit-reversed (bit order 2).
  bool reversed() const { return reversed_; }

  // The next code word of a colour (0 white, 1 black) or of the mode table:
  // a lookup value (run length, mode, kInvalidCode, kEolCode), or -1 when
  // the data ends inside it. A late EOL has its extra bit given back.
  int white_code() {
    return next_code(lookup::kWhiteDirect, tables::kWhite, tables::kWhiteRootBits, false);
  }
  int black_code() {
    return next_code(lookup::kBlackDirect, tables::kBlack, tables::kBlackRootBits, false);
  }
  int run_code(int colour) { return colour == 0 ? white_code() : black_code(); }
  int mode_code() {
    return next_code(lookup::kModeDirect, tables::kModes, tables::kModeRootBits, true);
  }
  // Takes the next n bits (1..57) when they are `bits` and lie well inside
  // the data (code words whose meaning is known, such as a V0 code); false,
  // with nothing taken, otherwise.
  bool take_bits(int n, std::uint64_t bits) {
    // Every code word among them starts inside the window, as it would
    // when read one by one.
    if (pos_ + n > window_end_ || (peek() >> (64 - n)) != bits) return false;
    pos_ += n;
    after_read_ = true;
    return true;
  }
  // One bit (a T.4 tag bit), or the codec's negative status at the end.
  int read_bit() {
    if (in_window()) [[likely]] {
      const int v = int(peek() >> 63);
      ++pos_;
      after_read_ = true;
      return v;
    }
    return read_bit_in_codec();
  }

 private:
  template <bool>
  friend class BitWindow;
  // True while eight whole bytes lie at and after the current byte.
  bool in_window() const { return pos_ <= window_end_; }
  // 64 bits from the current position, first bit most significant.
  std::uint64_t peek() const {
    std::uint64_t w;
    std::memcpy(&w, data_ + (pos_ >> 3), sizeof w);
    w = __builtin_bswap64(w);
    if (reversed_) [[unlikely]]
      w = reverse_bits_in_bytes(w);
    return w << (pos_ & 7);
  }
  static std::uint64_t reverse_bits_in_bytes(std::uint64_t w) {
    w = (w >> 1 & 0x5555555555555555u) | (w & 0x5555555555555555u) << 1;
    w = (w >> 2 & 0x3333333333333333u) | (w & 0x3333333333333333u) << 2;
    return (w >> 4 & 0x0F0F0F0F0F0F0F0Fu) | (w & 0x0F0F0F0F0F0F0F0Fu) << 4;
  }

  template <int Bits>
  int next_code(const lookup::DirectTable<Bits>& direct, const tables::ByteTable& tree,
                int root_bits, bool modes) {
    if (in_window()) {
      const std::uint16_t e = direct.entries[std::size_t(peek() >> (64 - Bits))];
      const int taken = lookup::length_of(e);
      if (taken != 0) {
        pos_ += taken;
        after_read_ = lookup::value_of(e) != lookup::kLateEolCode;
        return lookup::value_of(e);
      }
    }
    return walk_code(tree, root_bits, modes);
  }
  // The tree walk for code words longer than the direct index, and for all
  // of them near the end of the data.
  int walk_code(const tables::ByteTable& tree, int root_bits, bool modes);
  int walk_in_window(const tables::ByteTable& tree, int root_bits, bool modes);
  int walk_in_codec(const tables::ByteTable& tree, int root_bits, bool modes);
  int read_bit_in_codec();

  FaxCodec& codec_;
  const std::uint8_t* data_ = nullptr;
  std::int64_t pos_ = 0;          // absolute bit position of the next bit
  std::int64_t window_end_ = -1;  // last position with eight bytes ahead
  bool reversed_ = false;
  bool after_read_ = false;  // the last move was a read (not an unread)
  std::int64_t start_ = 0;   // the position the codec holds
  bool in_codec_ = false;    // the codec reads on its own (last bytes, or no data)
};

// A BitCursor's position copied into locals while a row engine runs, so
// that it stays in registers across the engine's loop (a cursor reached
// through a reference is read and written in memory at every code word).
// The long code words and the end of the data go to the cursor; the
// cursor is brought up to date when the window is left. The bit order is
// part of the type, so the usual order pays nothing for the other.
template <bool kReversed>
class BitWindow {
 public:
  explicit BitWindow(BitCursor& c)
      : c_(c), data_(c.data_), pos_(c.pos_), end_(c.window_end_), after_read_(c.after_read_) {}
  ~BitWindow() { sync(); }
  BitWindow(const BitWindow&) = delete;
  BitWindow& operator=(const BitWindow&) = delete;

  int white_code() {
    return next_code(lookup::kWhiteDirect, tables::kWhite, tables::kWhiteRootBits, false);
  }
  int black_code() {
    return next_code(lookup::kBlackDirect, tables::kBlack, tables::kBlackRootBits, false);
  }
  int run_code(int colour) { return colour == 0 ? white_code() : black_code(); }
  int mode_code() {
    if (pos_ <= end_) [[likely]] {
      const std::uint64_t w = window();
      std::uint16_t e = lookup::kModeDirect.entries[std::size_t(w >> 56)];
      if (lookup::length_of(e) == 0) [[unlikely]]
        e = lookup::kModeLong.entries[std::size_t(w >> (64 - 13))];
      if (lookup::length_of(e) != 0) [[likely]]
        return take(e);
    }
    return walk(tables::kModes, tables::kModeRootBits, true);
  }

 private:
  void sync() {
    c_.pos_ = pos_;
    c_.after_read_ = after_read_;
  }
  // 64 bits from the position, first bit most significant.
  std::uint64_t window() const {
    std::uint64_t w;
    std::memcpy(&w, data_ + (pos_ >> 3), sizeof w);
    w = __builtin_bswap64(w);
    if constexpr (kReversed) w = BitCursor::reverse_bits_in_bytes(w);
    return w << (pos_ & 7);
  }
  int take(std::uint16_t e) {
    pos_ += lookup::length_of(e);
    const int v = lookup::value_of(e);
    after_read_ = v != lookup::kLateEolCode;
    return v;
  }
  int walk(const tables::ByteTable& tree, int root_bits, bool modes) {
    sync();
    const int v = c_.walk_code(tree, root_bits, modes);
    pos_ = c_.pos_;
    end_ = c_.window_end_;
    after_read_ = c_.after_read_;
    return v;
  }
  template <int Bits>
  int next_code(const lookup::DirectTable<Bits>& direct, const tables::ByteTable& tree,
                int root_bits, bool modes) {
    if (pos_ <= end_) [[likely]] {
      const std::uint16_t e = direct.entries[std::size_t(window() >> (64 - Bits))];
      if (lookup::length_of(e) != 0) [[likely]]
        return take(e);
    }
    return walk(tree, root_bits, modes);
  }

  BitCursor& c_;
  const std::uint8_t* data_;
  std::int64_t pos_;
  std::int64_t end_;
  bool after_read_;
};

}  // namespace orvane::codec
