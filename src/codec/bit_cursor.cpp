#include "codec/bit_cursor.h"

namespace orvane::codec {

BitCursor::BitCursor(FaxCodec& codec) : codec_(codec) {
  load();
}

void BitCursor::load() {
  const FaxCodec& codec = codec_;
  after_read_ = false;
  if (codec.data == nullptr || codec.current_byte < 0) {
    in_codec_ = true;  // every read fails at once, as the codec's would
    window_end_ = -1;
    return;
  }
  in_codec_ = false;
  data_ = codec.data;
  pos_ = start_ = std::int64_t(codec.position) * 8 + codec.bits_used;
  window_end_ = codec.length >= 8 ? (std::int64_t(codec.length) - 8) * 8 + 7 : -1;
  reversed_ = codec.bit_order != 1;
}

int BitCursor::read_bit_in_codec() {
  if (!in_codec_) {
    store();
    in_codec_ = true;
    window_end_ = -1;
  }
  return codec_.read_bits(1);
}

void BitCursor::store() {
  if (in_codec_ || pos_ == start_) return;
  // After a read the codec's current byte is the one holding the last bit
  // read; after an unread (and before any read) the one holding the next.
  std::int64_t byte = pos_ >> 3;
  int used = int(pos_ & 7);
  if (after_read_ && used == 0 && byte > 0) {
    --byte;
    used = 8;
  }
  codec_.position = std::int32_t(byte);
  codec_.bits_used = std::uint8_t(used);
  codec_.load_byte(false);
  start_ = pos_;
}

int BitCursor::walk_code(const tables::ByteTable& tree, int root_bits, bool modes) {
  if (!in_codec_) {
    const int v = walk_in_window(tree, root_bits, modes);
    if (v != kNoData) return v;
    store();
    in_codec_ = true;
    window_end_ = -1;
  }
  return walk_in_codec(tree, root_bits, modes);
}

// The tree walk with bits from the window. kNoData, with the
// cursor where it was, when the window runs out first.
int BitCursor::walk_in_window(const tables::ByteTable& tree, int root_bits, bool modes) {
  const std::int64_t start = pos_;
  const bool start_after_read = after_read_;
  auto take = [&](int n) {
    const int v = int(peek() >> (64 - n));
    pos_ += n;
    return v;
  };
  if (!in_window()) return kNoData;
  std::uint8_t e = tree.entries[std::size_t(take(root_bits))];
  while (!(e & 1)) {
    if (!in_window()) {
      pos_ = start;
      after_read_ = start_after_read;
      return kNoData;
    }
    const int step = (e & 2) ? 2 : 1;
    const int b = take(step);
    e = tree.entries[std::size_t(step == 2 ? e - 2 + b : e + b)];
  }
  after_read_ = true;
  if (tables::is_late_eol(e)) {
    --pos_;
    after_read_ = false;
    return lookup::kEolCode;
  }
  return lookup::detail::leaf_value(e, modes);
}

int BitCursor::walk_in_codec(const tables::ByteTable& tree, int root_bits, bool modes) {
  int b = codec_.read_bits(root_bits);
  if (b < 0) return -1;
  std::uint8_t e = tree.entries[std::size_t(b)];
  while (!(e & 1)) {
    const int step = (e & 2) ? 2 : 1;
    b = codec_.read_bits(step);
    if (b < 0) return -1;
    e = tree.entries[std::size_t(step == 2 ? e - 2 + b : e + b)];
  }
  if (tables::is_late_eol(e)) {
    codec_.unread_bits(1);
    return lookup::kEolCode;
  }
  return lookup::detail::leaf_value(e, modes);
}

}  // namespace orvane::codec
