#include "codec/fax_codec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace orvane::codec {

namespace {

constexpr std::array<std::uint8_t, 256> make_reverse_table() {
  std::array<std::uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int b = 0; b < 8; ++b) {
      if (i & (1 << b)) r |= 0x80 >> b;
    }
    t[std::size_t(i)] = std::uint8_t(r);
  }
  return t;
}
constexpr std::array<std::uint8_t, 256> kReverse = make_reverse_table();

// kLowMask[n]: the n low bits set.
constexpr std::array<int, 9> kLowMask = {0x00, 0x01, 0x03, 0x07, 0x0F, 0x1F, 0x3F, 0x7F, 0xFF};

constexpr int trailing_zeros(int byte) {
  if (byte == 0) return 8;
  int n = 0;
  for (int m = 0x01; !(byte & m); m <<= 1) ++n;
  return n;
}

std::int32_t clamp_length(std::size_t n) {
  return std::int32_t(
      std::min<std::size_t>(n, std::size_t(std::numeric_limits<std::int32_t>::max())));
}

}  // namespace

std::uint8_t reverse_bits(std::uint8_t b) {
  return kReverse[b];
}

void FaxCodec::open(std::span<const std::uint8_t> b, std::uint8_t order) {
  bit_order = order;
  rewind(b);
  start_offset = 0;
}

void FaxCodec::rewind(std::span<const std::uint8_t> b) {
  data = b.data();
  length = data ? clamp_length(b.size()) : 0;
  position = 0;
  bits_used = 0;
  load_byte(false);
}

void FaxCodec::configure(std::span<const std::uint8_t> b, std::uint8_t order, std::uint8_t coding,
                         std::uint8_t invert_flag) {
  open(b, order);
  width = 0;
  height = 0;
  raw_flag = 0;
  search_position = 0;
  coding_mode = coding;
  invert = invert_flag;
}

int FaxCodec::load_byte(bool advance) {
  // The position never runs further than one past the end, so stepping back
  // with unread_bits always lands on the last byte again.
  if (advance && position < length) ++position;
  if (data == nullptr) {
    current_byte = kNoData;
  } else if (position < 0) {
    current_byte = kBeforeStart;
  } else if (position >= length) {
    current_byte = kPastEnd;
  } else {
    const std::uint8_t b = data[position];
    current_byte = bit_order == 1 ? b : kReverse[b];
  }
  return current_byte;
}

// bits_used may reach 8 here: the byte is then spent but the next one is
// loaded only when a bit of it is wanted, so reading the very last bits of
// the data succeeds.
int FaxCodec::read_bits(int n) {
  if (current_byte < 0) return current_byte;
  if (bits_used + n <= 8) {
    bits_used = std::uint8_t(bits_used + n);
    return (current_byte >> (8 - bits_used)) & kLowMask[std::size_t(n)];
  }
  int value = (current_byte & kLowMask[std::size_t(8 - bits_used)]) << (bits_used + n - 8);
  bits_used = std::uint8_t(bits_used + n - 8);
  const int status = load_byte(true);
  if (status < 0) return status;
  value |= current_byte >> (8 - bits_used);
  return value & kLowMask[std::size_t(n)];
}

void FaxCodec::unread_bits(int n) {
  if (bits_used >= n) {
    bits_used = std::uint8_t(bits_used - n);
    return;
  }
  --position;
  load_byte(false);
  bits_used = std::uint8_t(bits_used + 8 - n);
}

void FaxCodec::align(bool word) {
  if (bits_used > 0 && position < length) ++position;
  bits_used = 0;
  if (word && (position & 1) && position < length) ++position;
  load_byte(false);
}

void FaxCodec::skip_word() {
  if (bits_used > 0 && position < length) ++position;
  bits_used = 0;
  // The word itself (little-endian) carries nothing the decoder needs.
  position = position <= length - 2 ? position + 2 : std::max(position, length);
  load_byte(false);
}

int FaxCodec::find_eol() {
  if (current_byte < 0) return current_byte;
  // z counts zero bits in a row; capped, it only has to reach 11. The bytes
  // are read straight from the buffer (zero bytes a word at a time), so
  // that data without an EOL is passed over quickly.
  constexpr int kEnough = 1 << 20;
  int z = trailing_zeros(current_byte);
  const std::uint8_t* const d = data;
  std::int32_t i = position;
  for (;;) {
    ++i;
    while (i <= length - 8) {
      std::uint64_t word;
      std::memcpy(&word, d + i, sizeof word);
      if (word != 0) break;
      z = std::min(z + 64, kEnough);
      i += 8;
    }
    while (i < length && d[i] == 0) {
      z = std::min(z + 8, kEnough);
      ++i;
    }
    // Bytes whose first and last bits are both 1 (in either bit order) can
    // neither end an EOL that is not already complete nor start one.
    if (z < 11 && i <= length - 8) {
      constexpr std::uint64_t kEnds = 0x8181818181818181u;
      std::uint64_t word;
      std::memcpy(&word, d + i, sizeof word);
      if ((word & kEnds) == kEnds) {
        do {
          i += 8;
          if (i > length - 8) break;
          std::memcpy(&word, d + i, sizeof word);
        } while ((word & kEnds) == kEnds);
        z = 0;
        bits_used = 1;
        --i;  // the last of them is the byte just read
        continue;
      }
    }
    if (i >= length) break;
    const std::uint8_t byte = bit_order == 1 ? d[i] : kReverse[d[i]];
    const int lead = __builtin_clz(byte) - 24;  // byte is not 0
    z += lead;
    bits_used = std::uint8_t(lead + 1);
    if (z >= 11) {
      position = i;
      current_byte = byte;
      return 0;
    }
    z = __builtin_ctz(byte);
  }
  position = length;
  return load_byte(false);
}

}  // namespace orvane::codec
