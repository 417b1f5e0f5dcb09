#include "codec/bit_reader.h"

namespace orvane::codec {

std::uint64_t BitReader::window_at(const std::uint8_t* data, std::int64_t size, bool reversed,
                                   std::int64_t p) {
  std::uint64_t w = 0;
  const std::int64_t first = p >> 3;
  const std::int64_t bytes = size >> 3;
  for (std::int64_t i = 0; i < 8 && first + i < bytes; ++i) {
    std::uint64_t b = data[first + i];
    if (reversed) b = reverse_bits_in_bytes(b) & 0xFF;
    w |= b << (56 - 8 * i);
  }
  return w << (p & 7);
}

std::int64_t BitReader::eol_end(const std::uint8_t* data, std::int64_t size, bool reversed,
                                std::int64_t pos, std::uint64_t w) {
  // The window starts with at least eleven zeros here: fill, then the 1
  // that ends the EOL.
  std::int64_t p = pos;
  while (w == 0) {
    p += 56;
    if (p >= size) return -1;
    w = window_at(data, size, reversed, p);
  }
  const std::int64_t end = p + __builtin_clzll(w) + 1;
  return end > size ? -1 : end;
}

void BitReader::align(bool word) {
  std::int64_t byte = (pos_ + 7) >> 3;
  if (word && (byte & 1) && byte < (size_ >> 3)) ++byte;
  seek(byte * 8);
}

void BitReader::skip_word() {
  const std::int64_t byte = (pos_ + 7) >> 3;
  seek(std::min(byte + 2, size_ >> 3) * 8);
}

bool BitReader::find_eol() {
  // Chunks that end on byte boundaries: a run of zeros carried over from
  // the chunks before, then any run of eleven zeros inside the chunk (found
  // for all its bits at once), then the zeros at its end carried on.
  // Between chunks, whole words of zero bytes only lengthen the run, and
  // words whose bytes all begin and end with a 1 (in either bit order) can
  // neither hold an EOL nor end one that is not complete before them.
  std::int64_t run = 0;
  while (pos_ < size_) {
    if ((pos_ & 7) == 0) skip_plain_words(run);
    if (pos_ >= size_) break;
    const int avail = int(std::min<std::int64_t>(56 - (pos_ & 7), size_ - pos_));
    const std::uint64_t valid = ~std::uint64_t{0} << (64 - avail);
    const std::uint64_t w = peek() & valid;
    if (w == 0) {
      run += avail;
      pos_ += avail;
      continue;
    }
    const int lead = __builtin_clzll(w);
    if (run + lead >= 11) {
      pos_ += lead + 1;
      return true;
    }
    std::uint64_t z = ~w & valid;  // bit set: a zero of the chunk
    z &= z << 1;
    z &= z << 2;
    z &= z << 4;
    z &= z << 3;  // bit set: eleven zeros from there on
    if (z != 0) {
      const int from = __builtin_clzll(z) + 11;
      const std::uint64_t after = w << from;
      if (after != 0) {
        pos_ += from + __builtin_clzll(after) + 1;
        return true;
      }
    }
    run = avail - (63 - __builtin_ctzll(w)) - 1;
    pos_ += avail;
  }
  return false;
}

void BitReader::skip_plain_words(std::int64_t& run) {
  constexpr std::uint64_t kEnds = 0x8181818181818181u;
  std::int64_t i = pos_ >> 3;
  const std::int64_t n = size_ >> 3;
  std::uint64_t word;
  const std::int64_t from = i;
  while (i + 8 <= n && (std::memcpy(&word, data_ + i, 8), word == 0)) i += 8;
  run += (i - from) * 8;
  if (i == from && run < 11) {
    while (i + 8 <= n && (std::memcpy(&word, data_ + i, 8), (word & kEnds) == kEnds)) i += 8;
    if (i != from) run = 0;
  }
  pos_ = i * 8;
}

bool BitReader::read_eol() {
  int zeros = 0;
  for (;;) {
    const int b = bit();
    if (b < 0) return false;
    if (b == 1) return zeros >= 11;
    zeros = std::min(zeros + 1, 11);
  }
}

}  // namespace orvane::codec
