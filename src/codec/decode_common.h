#pragma once
// Small pieces shared by the 1D and 2D decoders: the table walk, the meaning
// of a leaf, and handing a run to the row writer and the run list.
#include <algorithm>
#include <cstdint>

#include "codec/code_tables.h"
#include "codec/fax_codec.h"
#include "codec/row_writer.h"

namespace orvane::codec {

// Walks `table` from the first root_bits bits to a leaf. Returns the leaf
// entry, or a negative load status when the data runs out on the way.
inline int walk_table(FaxCodec& codec, const tables::ByteTable& table, int root_bits) {
  int b = codec.read_bits(root_bits);
  if (b < 0) return b;
  std::uint8_t e = table.entries[std::size_t(b)];
  while (!(e & 1)) {
    if (e & 2) {
      b = codec.read_bits(2);
      if (b < 0) return b;
      e = table.entries[std::size_t(e - 2 + b)];
    } else {
      b = codec.read_bits(1);
      if (b < 0) return b;
      e = table.entries[std::size_t(e + b)];
    }
  }
  return e;
}

// A run table walk result as decode_code reports it.
inline int leaf_result(FaxCodec& codec, int e) {
  if (e < 0) return END_OF_DATA;
  const auto leaf = std::uint8_t(e);
  if (leaf == tables::kInvalid) return BAD_CODE;
  if (tables::is_eol(leaf)) {
    if (tables::is_late_eol(leaf)) codec.unread_bits(1);
    return EOL_SEEN;
  }
  return tables::leaf_run(leaf);
}

// Pixel counts of hostile rows can grow past any width; they are reported
// clamped, which keeps them "longer than the width".
inline int clamp_count(std::int64_t n) {
  constexpr std::int64_t kCap = 1 << 30;
  return int(std::clamp<std::int64_t>(n, -kCap, kCap));
}

// Writes a run (set bits unless `skip`) and records it on `line`. A negative
// run (corrupt 2D data putting a1 left of a0) is refused: the writer stops
// for the rest of the row instead of writing anywhere.
inline void put_run(RowWriter& writer, RunList* line, std::int64_t run, int skip) {
  if (run < 0) {
    writer.byte_index = writer.row_length;
  } else {
    write_run(writer, std::uint32_t(std::min<std::int64_t>(run, 0xFFFFFFFF)), skip != 0);
  }
  if (line != nullptr && line->items != nullptr && line->count < line->capacity) {
    line->items[line->count++] = std::int32_t(clamp_count(run));
  }
}

}  // namespace orvane::codec
