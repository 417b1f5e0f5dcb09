#include "reference_decoder.h"

#include <algorithm>
#include <cstring>

#include "base/coding_mode.h"
#include "codec/code_tables.h"
#include "codec/decode_1d.h"

namespace orvane::codec::reference {

bool LinePair::allocate(std::uint32_t runs) {
  coding_items_.assign(runs, 0);
  reference_items_.assign(runs, 0);
  coding_ = RunList{0, 0, coding_items_.data(), runs};
  reference_ = RunList{0, 0, reference_items_.data(), runs};
  return true;
}

void LinePair::reset_reference(std::int32_t width) {
  reference_.count = 0;
  reference_.size = 0;
  if (reference_.items != nullptr && reference_.capacity > 0) {
    reference_.items[0] = width;
    reference_.size = 1;
  }
}

void LinePair::accept_coding() {
  std::swap(coding_.items, reference_.items);
  std::swap(coding_.capacity, reference_.capacity);
  reference_.size = coding_.count;
  reference_.count = 0;
  coding_.count = 0;
  coding_.size = 0;
}

namespace {

int leading_zeros(int byte) {
  int n = 0;
  for (int m = 0x80; m != 0 && !(byte & m); m >>= 1) ++n;
  return n;
}
int trailing_zeros(int byte) {
  if (byte == 0) return 8;
  int n = 0;
  for (int m = 0x01; !(byte & m); m <<= 1) ++n;
  return n;
}

}  // namespace

int find_eol(FaxCodec& codec) {
  if (codec.current_byte < 0) return codec.current_byte;
  constexpr int kEnough = 1 << 20;
  int z = trailing_zeros(codec.current_byte);
  for (;;) {
    int byte = codec.load_byte(true);
    if (byte < 0) return byte;
    while (byte == 0) {
      z = std::min(z + 8, kEnough);
      byte = codec.load_byte(true);
      if (byte < 0) return byte;
    }
    const int lead = leading_zeros(byte);
    z += lead;
    codec.bits_used = std::uint8_t(lead + 1);
    if (z >= 11) return 0;
    z = trailing_zeros(byte);
  }
}

int find_t6_start(FaxCodec& codec, T6Search mode) {
  if (codec.raw_flag) {
    codec.load_byte(false);
    return 0;
  }
  switch (mode) {
    case T6Search::kFirst: codec.search_position = 0; break;
    case T6Search::kHere:
      codec.search_position = std::max(codec.search_position, codec.position);
      break;
    case T6Search::kNext: break;
  }
  const int flags = codec.flag_number;
  codec.position = codec.search_position;
  codec.bits_used = 0;
  int byte = codec.load_byte(false);
  for (;;) {
    int count = 0;
    if (flags > 0) {
      while (byte != 0xFF) {
        if (byte < 0) return byte;
        byte = codec.load_byte(true);
      }
      count = 1;
    }
    if (byte < 0) return byte;
    codec.start_offset = codec.position;
    while (byte == 0xFF) {
      ++count;
      byte = codec.load_byte(true);
      if (byte < 0) return byte;
    }
    if (count < flags) continue;
    int ones = 0;
    for (int m = 0x80; m != 0 && (byte & m); m >>= 1) ++ones;
    codec.bits_used = std::uint8_t(ones);
    const int v = codec.read_bits(3);
    if (v < 0) return v;
    if (v == 0 || v == 1) {
      codec.search_position = codec.position + 1;
      codec.unread_bits(3);
      return 0;
    }
    byte = codec.load_byte(true);
    if (byte < 0) return byte;
  }
}

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

int decode_code(FaxCodec& codec, int colour) {
  const int e = colour == 0 ? walk_table(codec, tables::kWhite, tables::kWhiteRootBits)
                            : walk_table(codec, tables::kBlack, tables::kBlackRootBits);
  return leaf_result(codec, e);
}

int decode_row_to_eol(FaxCodec& codec, RowWriter& writer, RunList* line) {
  int colour = 0;
  std::int64_t pending = 0;
  std::int64_t total = 0;
  for (;;) {
    const int code = reference::decode_code(codec, colour);
    if (code == END_OF_DATA) return total == codec.width ? END_AFTER_ROW : END_OF_DATA;
    if (code == BAD_CODE) return BAD_CODE;
    if (code == EOL_SEEN) return clamp_count(total);
    if (is_makeup(code)) {
      pending += code;
      continue;
    }
    const std::int64_t run = pending + code;
    total += run;
    put_run(writer, line, run, colour ^ codec.invert);
    colour ^= 1;
    pending = 0;
  }
}

namespace {

// Where the rows of a page go: row number `rows` while it is below the
// allocated height, nowhere (rows decoded and dropped) after that.
void point_writer(PageBitmap& page, RowWriter& writer, std::int64_t rows, std::int32_t height) {
  if (rows < height) {
    std::uint8_t* r = page.row(std::int32_t(rows));
    std::memset(r, 0, std::size_t(page.row_bytes));
    writer.start(r, std::uint32_t(page.row_bytes));
  } else {
    writer.start(nullptr, 0);
  }
}

// The state shared by the EOL page decoders: one row under way.
struct RowState {
  std::int64_t p = 0;        // pixels of the row so far
  std::int64_t pending = 0;  // make-up pixels not yet written
  int colour = 0;
  void restart() {
    p = 0;
    pending = 0;
    colour = 0;
  }
};

int decode_eol_rows(FaxCodec& codec, PageBitmap& page, bool prefixed, bool word) {
  const std::int32_t height = codec.height;
  if (!setup_page(codec, page, kCodingT4_1D)) return -1;
  const std::int32_t width = codec.width;
  RowWriter writer;
  std::int64_t rows = 0;
  int bad = 0;
  RowState s;
  point_writer(page, writer, rows, height);
  if (prefixed && word) codec.skip_word();
  for (;;) {
    const int code = reference::decode_code(codec, s.colour);
    if (code == END_OF_DATA) break;
    if (code == BAD_CODE) {
      // T.4 4.1.2: resynchronise on the next EOL; the row under way is lost.
      ++bad;
      if (reference::find_eol(codec) < 0) break;
      point_writer(page, writer, rows, height);
      s.restart();
      continue;
    }
    if (code == EOL_SEEN) {
      // Only a row of exactly the width counts, so RTC and fill lines add none.
      if (s.p == width) ++rows;
      s.restart();
      point_writer(page, writer, rows, height);
      continue;
    }
    if (is_makeup(code)) {
      s.pending += code;
      continue;
    }
    const std::int64_t run = s.pending + code;
    s.p += run;
    put_run(writer, nullptr, run, s.colour ^ codec.invert);
    s.colour ^= 1;
    s.pending = 0;
    if (prefixed && s.p == width) {
      ++rows;
      if (word) codec.skip_word();
      s.restart();
      point_writer(page, writer, rows, height);
      continue;
    }
    if (s.p > width) {
      if (reference::find_eol(codec) < 0) break;
      point_writer(page, writer, rows, height);
      s.restart();
    }
  }
  // The data may end after a full row without its EOL.
  if (s.p == width && rows < height) ++rows;
  page.height = std::int32_t(std::min<std::int64_t>(rows, height));
  return bad;
}

}  // namespace

int decode_aligned_page(FaxCodec& codec, PageBitmap& page, bool word) {
  const std::int32_t height = codec.height;
  if (!setup_page(codec, page, word ? kCodingMhWord : kCodingMhByte)) return -1;
  const std::int32_t width = codec.width;
  RowWriter writer;
  std::int64_t rows = 0;
  int error = 0;
  RowState s;
  point_writer(page, writer, rows, height);
  for (;;) {
    const int code = reference::decode_code(codec, s.colour);
    if (code == END_OF_DATA) break;
    if (code == BAD_CODE || code == EOL_SEEN) {
      // These rows carry no EOL to resynchronise on (TIFF Compression 2 and
      // 32771), so an EOL is as foreign here as an invalid code word.
      if (rows < height) std::memset(page.row(std::int32_t(rows)), 0, std::size_t(page.row_bytes));
      error = 1;
      break;
    }
    if (is_makeup(code)) {
      s.pending += code;
      continue;
    }
    const std::int64_t run = s.pending + code;
    s.p += run;
    put_run(writer, nullptr, run, s.colour ^ codec.invert);
    s.colour ^= 1;
    s.pending = 0;
    if (s.p < width) continue;
    if (s.p > width) {
      if (rows < height) std::memset(page.row(std::int32_t(rows)), 0, std::size_t(page.row_bytes));
      break;
    }
    ++rows;
    codec.align(word);
    s.restart();
    point_writer(page, writer, rows, height);
  }
  page.height = std::int32_t(std::min<std::int64_t>(rows, height));
  return error;
}

int decode_eol_page(FaxCodec& codec, PageBitmap& page) {
  return decode_eol_rows(codec, page, false, false);
}

int decode_prefixed_row_page(FaxCodec& codec, PageBitmap& page, bool word) {
  return decode_eol_rows(codec, page, true, word);
}

namespace {

// T.4 4.2.1.3.1: b1 is the first changing element on the reference line
// right of a0 whose colour is opposite to a0's. The reference is held as run
// lengths; `ref.count` is the index of the run that starts at b, so its
// parity is the colour of the pixel at b (runs alternate from white).
std::int64_t next_b1(RunList& ref, std::int64_t a0, std::int64_t b, int colour,
                     std::int64_t width) {
  while (b < width && b <= a0 && ref.count < ref.size) b += ref.items[ref.count++];
  if (int(ref.count % 2) == colour && ref.count < ref.size) b += ref.items[ref.count++];
  return b;
}

// After a VL code a1 may lie left of changing elements already passed:
// step back until b is at or left of a1, so next_b1 can search again.
std::int64_t back_up(RunList& ref, std::int64_t a1, std::int64_t b) {
  if (a1 < 0) {
    ref.count = 0;
    return 0;
  }
  while (b > a1) {
    if (ref.count > 0) {
      --ref.count;
      b -= ref.items[ref.count];
    } else {
      b = 0;
    }
  }
  return b;
}

// A run of one colour for horizontal mode: make-up codes then a
// terminating code (T.4 4.2.1.3.2). A negative decode result passes up.
std::int64_t horizontal_run(FaxCodec& codec, int colour) {
  std::int64_t length = 0;
  for (;;) {
    const int code = reference::decode_code(codec, colour);
    if (code < 0) return code;
    length += code;
    if (!is_makeup(code)) return length;
  }
}

}  // namespace

int decode_2d_row(FaxCodec& codec, RowWriter& writer, LinePair& lines, bool t6) {
  RunList& ref = lines.reference();
  RunList& coding = lines.coding();
  const std::int64_t width = codec.width;
  std::int64_t b1 = ref.size > 0 ? ref.items[0] : width;
  ref.count = ref.size > 0 ? 1 : 0;
  std::int64_t a0 = 0;       // position on the coding line
  std::int64_t pending = 0;  // pixels of a0's colour passed over (pass mode), not yet written
  std::int64_t total = 0;    // pixels written
  int colour = 0;

  for (;;) {
    const int e = walk_table(codec, tables::kModes, tables::kModeRootBits);
    if (e < 0) return total == width ? END_AFTER_ROW : END_OF_DATA;
    const auto leaf = std::uint8_t(e);
    if (tables::is_eol(leaf)) {
      if (tables::is_late_eol(leaf)) codec.unread_bits(1);
      return t6 ? EOL_SEEN : clamp_count(total);
    }
    if (leaf == tables::kInvalid) return BAD_CODE;
    const int mode = leaf >> 2;
    if (mode <= tables::kVL3) {
      std::int64_t a1;
      if (mode <= tables::kVR3) {
        a1 = b1 + mode;
      } else {
        a1 = b1 - (mode - tables::kVL1 + 1);
        b1 = back_up(ref, a1, b1);
      }
      const std::int64_t run = pending + (a1 - a0);
      // Corrupt data can put a1 left of a0; no later code can mend the row.
      if (run < 0) return BAD_CODE;
      put_run(writer, &coding, run, colour ^ codec.invert);
      total += run;
      a0 = a1;
      colour ^= 1;
      pending = 0;
      b1 = next_b1(ref, a0, b1, colour, width);
      if (t6 && a0 >= width) return clamp_count(total);
    } else if (mode == tables::kHorizontal) {
      for (int i = 0; i < 2; ++i) {
        const std::int64_t length = horizontal_run(codec, colour);
        if (length < 0) return int(length);
        const std::int64_t run = pending + length;
        if (run < 0) return BAD_CODE;
        put_run(writer, &coding, run, colour ^ codec.invert);
        total += run;
        a0 += length;
        colour ^= 1;
        pending = 0;
      }
      b1 = next_b1(ref, a0, b1, colour, width);
      if (t6 && a0 >= width) return clamp_count(total);
    } else if (mode == tables::kPass) {
      std::int64_t b2;
      if (ref.count < ref.size) {
        b2 = b1 + ref.items[ref.count++];
      } else {
        b1 = b2 = width;
      }
      pending += b2 - a0;
      a0 = b2;
      b1 = next_b1(ref, b2, b2, colour, width);
    } else {
      return BAD_CODE;  // extension codes: uncompressed mode is not decoded
    }
  }
}

namespace {

void point_writer_2d(PageBitmap& page, RowWriter& writer, std::int64_t rows, std::int32_t height) {
  if (rows < height) {
    std::uint8_t* r = page.row(std::int32_t(rows));
    std::memset(r, 0, std::size_t(page.row_bytes));
    writer.start(r, std::uint32_t(page.row_bytes));
  } else {
    writer.start(nullptr, 0);
  }
}

// Room for every run of a row: a row of w pixels has at most w + 1 runs
// (it may start with a white run of 0).
bool allocate_lines(LinePair& lines, std::int32_t width) {
  return lines.allocate(std::uint32_t(width) + 2);
}

// Finds the next EOL followed by a 1 tag bit (a one-dimensionally coded row,
// the only kind decodable without a reference). False at the end of data.
bool find_1d_row(FaxCodec& codec) {
  for (;;) {
    if (reference::find_eol(codec) < 0) return false;
    const int tag = codec.read_bits(1);
    if (tag < 0) return false;
    if (tag == 1) return true;
  }
}

}  // namespace

int decode_mr_page(FaxCodec& codec, PageBitmap& page) {
  const std::int32_t height = codec.height;
  if (!setup_page(codec, page, kCodingT4_2D)) return -1;
  const std::int32_t width = codec.width;
  LinePair lines;
  if (!allocate_lines(lines, width) || !reference::find_1d_row(codec)) {
    page.release_pixels();
    page.height = 0;
    return -1;
  }
  lines.reset_reference(width);
  RowWriter writer;
  std::int64_t rows = 0;
  int rejected = 0;
  int tag = 1;
  for (;;) {
    point_writer_2d(page, writer, rows, height);
    lines.clear_coding();
    const int r = tag == 1 ? reference::decode_row_to_eol(codec, writer, &lines.coding())
                           : reference::decode_2d_row(codec, writer, lines, false);
    if (r == width) {
      ++rows;
      lines.accept_coding();
      tag = codec.read_bits(1);
    } else if (r == 0) {
      tag = codec.read_bits(1);  // an EOL at once, as in RTC
    } else if (r == END_OF_DATA) {
      break;
    } else if (r == END_AFTER_ROW) {
      ++rows;
      break;
    } else {
      // Wrong length, invalid code or an EOL inside a run: the row is lost,
      // and so is every row up to the next one-dimensionally coded one.
      ++rejected;
      tag = reference::find_1d_row(codec) ? 1 : 0;
    }
    // With the tag bit unreadable the next row decode meets the end of data.
    if (tag < 0) tag = 1;
  }
  page.height = std::int32_t(std::min<std::int64_t>(rows, height));
  return rejected;
}

int decode_t6_rows(FaxCodec& codec, PageBitmap& page) {
  const std::int32_t height = codec.height;
  if (!setup_page(codec, page, kCodingT6)) return -1;
  const std::int32_t width = codec.width;
  LinePair lines;
  if (!allocate_lines(lines, width)) {
    page.release_pixels();
    page.height = 0;
    return -1;
  }
  lines.reset_reference(width);  // T.6 2.2.1: an imaginary white line above the first row
  RowWriter writer;
  std::int64_t rows = 0;
  int result = 0;
  for (;;) {
    point_writer_2d(page, writer, rows, height);
    lines.clear_coding();
    const int r = reference::decode_2d_row(codec, writer, lines, true);
    if (r >= 0) {
      ++rows;
      lines.accept_coding();
    } else if (r == EOL_SEEN) {
      lines.reset_reference(width);  // EOFB, or an EOL in the data
    } else if (r == BAD_CODE) {
      if (reference::find_t6_start(codec, T6Search::kHere) < 0) {
        result = BAD_CODE;
        break;
      }
      lines.reset_reference(width);
    } else if (r == END_AFTER_ROW) {
      ++rows;
      break;
    } else {
      result = rows > 0 ? 0 : END_OF_DATA;
      break;
    }
  }
  page.height = std::int32_t(std::min<std::int64_t>(rows, height));
  return result;
}

}  // namespace orvane::codec::reference
