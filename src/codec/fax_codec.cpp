#include "codec/fax_codec.h"

#include <algorithm>
#include <limits>

#include "codec/bit_reader.h"

namespace orvane::codec {

std::uint8_t reverse_bits(std::uint8_t b) {
  return std::uint8_t(BitReader::reverse_bits_in_bytes(b));
}

BitReader FaxCodec::reader() const {
  return BitReader(bytes(), bit_order != 1);
}

void FaxCodec::open(std::span<const std::uint8_t> b, std::uint8_t order) {
  bit_order = order;
  rewind(b);
  start_offset = 0;
}

void FaxCodec::rewind(std::span<const std::uint8_t> b) {
  data = b.data();
  length = data ? std::int32_t(std::min<std::size_t>(
                      b.size(), std::size_t(std::numeric_limits<std::int32_t>::max())))
                : 0;
}

void FaxCodec::configure(std::span<const std::uint8_t> b, std::uint8_t order, std::uint8_t coding,
                         std::uint8_t invert_flag) {
  open(b, order);
  width = 0;
  height = 0;
  raw_flag = 0;
  coding_mode = coding;
  invert = invert_flag;
}

}  // namespace orvane::codec
