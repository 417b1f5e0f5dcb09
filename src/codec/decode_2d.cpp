#include "codec/decode_2d.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "base/coding_mode.h"
#include "codec/bit_cursor.h"
#include "codec/code_tables.h"
#include "codec/decode_1d.h"
#include "codec/decode_common.h"
#include "codec/mh_codes.h"
#include "codec/page_rows.h"
#include "codec/run_painter.h"

namespace orvane::codec {

bool LinePair::allocate(std::uint32_t runs) {
  // at[0] (always 0), an end per run, and the stop mark after the last.
  const std::size_t entries = std::size_t(runs) + 2;
  try {
    coding_ends_.assign(entries, 0);
    reference_ends_.assign(entries, 0);
  } catch (const std::bad_alloc&) {
    std::vector<std::int64_t>().swap(coding_ends_);
    std::vector<std::int64_t>().swap(reference_ends_);
    coding_ = reference_ = RunList{};
    return false;
  }
  coding_ = RunList{0, 0, coding_ends_.data(), runs};
  reference_ = RunList{0, 0, reference_ends_.data(), runs};
  return true;
}

void LinePair::reset_reference(std::int32_t width) {
  reference_.count = 0;
  reference_.size = 0;
  if (reference_.at != nullptr && reference_.capacity > 0) {
    reference_.at[1] = width;
    reference_.size = 1;
  }
}

void LinePair::accept_coding() {
  // The coding line's runs become the reference: exchanging the two buffers
  // gives the same line without copying it.
  std::swap(coding_.at, reference_.at);
  std::swap(coding_.capacity, reference_.capacity);
  reference_.size = coding_.count;
  reference_.count = 0;
  coding_.count = 0;
  coding_.size = 0;
}

namespace {

// The reference line as the row engine walks it: the changing elements
// at[1..size] (at[k] ends run k - 1 and starts run k, so the pixel at it
// has colour k % 2), a cursor c on them, and b, the changing element the
// walk stands at.
//
// A regular line is one of exactly the width (every good row of a sound
// page): b is then always at[c], at[size] is the width, and a stop mark
// after it lets b1 be found two elements a step with one comparison. Any
// other line (short, long, or none) takes the careful walk, which keeps b
// apart from the line where T.4 4.2.1.3.4 puts it at the width.
template <bool kRegular>
struct ReferenceWalk {
  const std::int64_t* at;
  std::uint32_t size;
  std::int64_t width;
  std::uint32_t c = 0;
  std::int64_t b = 0;

  // b1 of a row's first code: the first changing element, whatever its place.
  void start() {
    if (kRegular || size > 0) {
      c = 1;
      b = at[1];
    } else {
      c = 0;
      b = width;
    }
  }

  // T.4 4.2.1.3.1: b1 is the first changing element on the reference line
  // right of a0 whose colour is opposite to a0's; the search stops at the
  // width and at the end of the line.
  void next_b1(std::int64_t a0, int colour) {
    if constexpr (kRegular) {
      const std::int64_t last = std::min(a0, width - 1);
      c += (c & 1u) == unsigned(colour) ? 1u : 0u;
      while (at[c] <= last) c += 2;
      c = std::min(c, size);
      b = at[c];
    } else {
      while (b < width && b <= a0 && c < size) {
        b += at[c + 1] - at[c];
        ++c;
      }
      if ((c & 1u) == unsigned(colour) && c < size) {
        b += at[c + 1] - at[c];
        ++c;
      }
    }
  }

  // After a VL code a1 may lie left of changing elements already passed:
  // step back until b is at or left of a1, so next_b1 can search again.
  void back_up(std::int64_t a1) {
    if (a1 < 0) {
      c = 0;
      b = 0;
      return;
    }
    if constexpr (kRegular) {
      while (at[c] > a1) --c;  // at[0] is 0
      b = at[c];
    } else {
      while (b > a1) {
        if (c > 0) {
          --c;
          b -= at[c + 1] - at[c];
        } else {
          b = 0;
        }
      }
    }
  }

  // b2 of a pass code: the changing element after b1, or the width when
  // the line has no more.
  std::int64_t pass_b2() {
    if (c < size) {
      b += at[c + 1] - at[c];
      ++c;
    } else {
      b = width;
    }
    return b;
  }
};

// Decoder result of a run code word that is no run.
int code_result(int v) {
  if (v < 0) return END_OF_DATA;
  return v == lookup::kInvalidCode ? BAD_CODE : EOL_SEEN;
}

// A run of one colour for horizontal mode: make-up codes then a
// terminating code (T.4 4.2.1.3.2). A decoder result passes up.
template <class Window>
[[gnu::always_inline]] inline std::int64_t horizontal_run(Window& in, int colour) {
  std::int64_t length = 0;
  for (;;) {
    const int v = in.run_code(colour);
    // A terminating code (0..63) ends the run; anything else is rarer.
    if (unsigned(v) < 64u) return length + v;
    if (v < 0 || v >= lookup::kLateEolCode) return code_result(v);
    length += v;
  }
}

// The two-dimensional row engine: mode codes against the reference line
// until the row ends (T.4: at an EOL; T.6: once a0 reaches the width).
// The loop is written once per colour of a0, so the colour is known where
// a run is painted and where b1 is searched, and only the colour that
// changes pixels is painted.
template <bool kRegular, bool kT6, bool kReversed>
int decode_2d_codes(BitCursor& cursor, RunPainter& painter, RunList& coding,
                    ReferenceWalk<kRegular>& walk, std::int64_t width, int invert) {
  // Everything the loop moves is a local, written back when the row ends.
  BitWindow<kReversed> in(cursor);
  RunPainter paint = painter;
  ReferenceWalk<kRegular> ref = walk;
  ref.start();
  const std::int64_t x0 = paint.position();
  const int painted = paint.painted_colour(invert);
  std::int64_t a0 = 0;  // position on the coding line
  std::int64_t x = 0;   // pixels written: a0 less those passed over in pass mode
  // The coding line: `out` at the last end written, up to `out_last`.
  std::int64_t* const ends = coding.at;
  std::int64_t* out = ends != nullptr ? ends + coding.count : nullptr;
  std::int64_t* const out_last = ends != nullptr ? ends + coding.capacity : nullptr;
  // A run of `colour` from x to `to`.
  auto put = [&](int colour, std::int64_t to) {
    const std::int64_t run = to - x;
    if (colour == painted) paint.span(x0 + x, x0 + to);
    if (out < out_last) {
      out[1] = out[0] + clamp_count(run);
      ++out;
    }
    x = to;
  };
  auto finish = [&](int result) {
    if (ends != nullptr) coding.count = std::uint32_t(out - ends);
    paint.move_to(x0 + x);
    painter = paint;
    walk = ref;
    return result;
  };
  // Codes while a0 has colour C: kFlip when a0 changes colour, else the
  // row's result.
  constexpr int kFlip = INT_MIN;
  auto codes = [&]<int C>() -> int {
    for (;;) {
      const int mode = in.mode_code();
      if (mode <= tables::kVL3) {
        if (mode < 0) return x == width ? END_AFTER_ROW : END_OF_DATA;
        std::int64_t a1;
        if (mode <= tables::kVR3) {
          a1 = ref.b + mode;
        } else {
          a1 = ref.b - (mode - tables::kVL1 + 1);
          ref.back_up(a1);
        }
        // Corrupt data can put a1 left of a0; no later code can mend the row.
        if (a1 < x) return BAD_CODE;
        put(C, a1);
        a0 = a1;
        ref.next_b1(a0, C ^ 1);
        if (kT6 && a0 >= width) return clamp_count(a0);
        return kFlip;
      }
      if (mode == tables::kHorizontal) {
        const std::int64_t first = horizontal_run(in, C);
        if (first < 0) return int(first);
        if (a0 + first < x) return BAD_CODE;
        a0 += first;
        put(C, a0);
        const std::int64_t second = horizontal_run(in, C ^ 1);
        if (second < 0) return int(second);
        a0 += second;
        put(C ^ 1, a0);
        ref.next_b1(a0, C);
        if (kT6 && a0 >= width) return clamp_count(a0);
      } else if (mode == tables::kPass) {
        const std::int64_t b2 = ref.pass_b2();
        a0 = b2;
        ref.next_b1(b2, C);
      } else if (mode == lookup::kEolCode || mode == lookup::kLateEolCode) {
        return kT6 ? EOL_SEEN : clamp_count(x);
      } else {
        return BAD_CODE;  // invalid, or extension codes: uncompressed mode
      }
    }
  };
  for (;;) {
    int r = codes.template operator()<0>();
    if (r != kFlip) return finish(r);
    r = codes.template operator()<1>();
    if (r != kFlip) return finish(r);
  }
}

}  // namespace

namespace {

template <bool kRegular>
int run_2d_codes(BitCursor& in, RunPainter& paint, RunList& coding, ReferenceWalk<kRegular>& ref,
                 std::int64_t width, int invert, bool t6) {
  if (in.reversed()) {
    return t6 ? decode_2d_codes<kRegular, true, true>(in, paint, coding, ref, width, invert)
              : decode_2d_codes<kRegular, false, true>(in, paint, coding, ref, width, invert);
  }
  return t6 ? decode_2d_codes<kRegular, true, false>(in, paint, coding, ref, width, invert)
            : decode_2d_codes<kRegular, false, false>(in, paint, coding, ref, width, invert);
}

}  // namespace

int decode_2d_row(BitCursor& in, RunPainter& paint, LinePair& lines, std::int64_t width, int invert,
                  bool t6) {
  RunList& reference = lines.reference();
  RunList& coding = lines.coding();
  const std::uint32_t size = reference.at != nullptr ? reference.size : 0;
  if (size > 0 && reference.at[size] == width) {
    reference.at[size + 1] = width;  // the stop mark
    ReferenceWalk<true> ref{reference.at, size, width};
    const int r = run_2d_codes(in, paint, coding, ref, width, invert, t6);
    reference.count = ref.c;
    return r;
  }
  ReferenceWalk<false> ref{reference.at, size, width};
  const int r = run_2d_codes(in, paint, coding, ref, width, invert, t6);
  reference.count = ref.c;
  return r;
}

int decode_2d_row(FaxCodec& codec, RunPainter& paint, LinePair& lines, bool t6) {
  BitCursor in(codec);
  const int r = decode_2d_row(in, paint, lines, codec.width, codec.invert, t6);
  in.store();
  return r;
}

int decode_2d_row(FaxCodec& codec, RowWriter& writer, LinePair& lines, bool t6) {
  RunPainter paint(writer);
  const int r = decode_2d_row(codec, paint, lines, t6);
  paint.store(writer);
  return r;
}

namespace {

// Room for every run of a row: a row of w pixels has at most w + 1 runs
// (it may start with a white run of 0).
bool allocate_lines(LinePair& lines, std::int32_t width) {
  return lines.allocate(std::uint32_t(width) + 2);
}

}  // namespace

bool find_1d_row(FaxCodec& codec) {
  for (;;) {
    if (codec.find_eol() < 0) return false;
    const int tag = codec.read_bits(1);
    if (tag < 0) return false;
    if (tag == 1) return true;
  }
}

int mr_rows(FaxCodec& codec, PageRows& target, std::int64_t& rows) {
  const std::int32_t width = codec.width;
  rows = 0;
  LinePair lines;
  if (!allocate_lines(lines, width) || !find_1d_row(codec)) return -1;
  lines.reset_reference(width);
  int rejected = 0;
  int tag = 1;
  // One bit window for the whole page; the codec is brought up to date
  // only for the searches it runs itself.
  BitCursor in(codec);
  for (;;) {
    RunPainter paint = target.start(rows);
    const RunList& above = lines.reference();
    if (tag == 0 && above.size == 1 && above.at[1] == width &&
        in.take_bits(13, 0b1'00000000000'1)) {
      // A white row under a white row: a V0 code and the EOL, as t6_rows.
      paint.move_to(width);
      paint.end_row();
      ++rows;
      tag = in.read_bit();
      if (tag < 0) tag = 1;
      continue;
    }
    lines.clear_coding();
    const int r = tag == 1 ? decode_row_to_eol(in, paint, &lines.coding(), width, codec.invert)
                           : decode_2d_row(in, paint, lines, width, codec.invert, false);
    paint.end_row();
    if (r == width) {
      ++rows;
      lines.accept_coding();
      tag = in.read_bit();
    } else if (r == 0) {
      tag = in.read_bit();  // an EOL at once, as in RTC
    } else if (r == END_OF_DATA) {
      break;
    } else if (r == END_AFTER_ROW) {
      ++rows;
      break;
    } else {
      // Wrong length, invalid code or an EOL inside a run: the row is lost,
      // and so is every row up to the next one-dimensionally coded one.
      ++rejected;
      in.store();
      tag = find_1d_row(codec) ? 1 : 0;
      in.load();
    }
    // With the tag bit unreadable the next row decode meets the end of data.
    if (tag < 0) tag = 1;
  }
  in.store();
  return rejected;
}

int t6_rows(FaxCodec& codec, PageRows& target, std::int64_t& rows) {
  const std::int32_t width = codec.width;
  rows = 0;
  LinePair lines;
  if (!allocate_lines(lines, width)) return -1;
  lines.reset_reference(width);  // T.6 2.2.1: an imaginary white line above the first row
  int result = 0;
  BitCursor in(codec);
  for (;;) {
    RunPainter paint = target.start(rows);
    const RunList& above = lines.reference();
    if (above.size == 1 && above.at[1] == width && in.take_bits(1, 0b1)) {
      // A white row under a white row (most rows of most pages) is a V0
      // code alone: one white run of the width, the same reference line
      // for the next row, and nothing to paint.
      paint.move_to(width);
      paint.end_row();
      ++rows;
      continue;
    }
    lines.clear_coding();
    const int r = decode_2d_row(in, paint, lines, width, codec.invert, true);
    paint.end_row();
    if (r >= 0) {
      ++rows;
      lines.accept_coding();
    } else if (r == EOL_SEEN) {
      lines.reset_reference(width);  // EOFB, or an EOL in the data
    } else if (r == BAD_CODE) {
      in.store();
      if (find_t6_start(codec, T6Search::kHere) < 0) {
        result = BAD_CODE;
        break;
      }
      in.load();
      lines.reset_reference(width);
    } else if (r == END_AFTER_ROW) {
      ++rows;
      break;
    } else {
      result = rows > 0 ? 0 : END_OF_DATA;
      break;
    }
  }
  in.store();
  return result;
}

namespace {

// A 2D page decoder: the page set up, its rows decoded, -1 (and no pixels)
// when decoding cannot start.
int on_page(FaxCodec& codec, PageBitmap& page, std::uint8_t coding,
            int (*loop)(FaxCodec&, PageRows&, std::int64_t&)) {
  const std::int32_t height = codec.height;
  if (!setup_page(codec, page, coding)) return -1;
  PageRows target(RowTarget{page.pixels.data(), page.row_bytes, height}, codec.invert);
  std::int64_t rows = 0;
  const int r = loop(codec, target, rows);
  if (r == -1) {
    page.release_pixels();
    page.height = 0;
    return -1;
  }
  page.height = std::int32_t(std::min<std::int64_t>(rows, height));
  // Rows past the page stay white, for a strip decoded into them next.
  target.release_after(page.height);
  return r;
}

}  // namespace

int decode_mr_page(FaxCodec& codec, PageBitmap& page) {
  return on_page(codec, page, kCodingT4_2D, mr_rows);
}

int decode_t6_rows(FaxCodec& codec, PageBitmap& page) {
  return on_page(codec, page, kCodingT6, t6_rows);
}

namespace {

// Moves the cursor to the first byte at or after it that is 0xFF (`ff`
// false) or that is not (`ff` true), as load_byte steps would, and returns
// that byte or the load status. 0xFF is the same in either bit order.
int skip_bytes(FaxCodec& codec, bool ff) {
  if (codec.current_byte < 0) return codec.current_byte;
  const std::uint8_t* const d = codec.data;
  std::int32_t i = codec.position;
  if (ff) {
    constexpr std::uint64_t kOnes = ~std::uint64_t{0};
    std::uint64_t word;
    while (i <= codec.length - 8 && (std::memcpy(&word, d + i, sizeof word), word == kOnes)) i += 8;
    while (i < codec.length && d[i] == 0xFF) ++i;
  } else {
    const void* hit = std::memchr(d + i, 0xFF, std::size_t(codec.length - i));
    i = hit ? std::int32_t(static_cast<const std::uint8_t*>(hit) - d) : codec.length;
  }
  codec.position = i;
  return codec.load_byte(false);
}

}  // namespace

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
    // A run of 0xFF bytes (at least `flags` counting the one found) marks
    // where the coded data begins.
    std::int64_t count = 0;
    if (flags > 0) {
      byte = skip_bytes(codec, false);
      if (byte < 0) return byte;
      count = 1;
    }
    if (byte < 0) return byte;
    codec.start_offset = codec.position;
    const std::int32_t run_start = codec.position;
    byte = skip_bytes(codec, true);
    count += codec.position - run_start;
    if (byte < 0) return byte;
    if (count < flags) continue;
    // The first coded bit follows the leading 1 bits of this byte; a start is
    // accepted when its first three bits are 001 (horizontal) or 000 (pass
    // and the longer mode codes).
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

bool t6_start_exists(const FaxCodec& codec, std::uint8_t bit_order, std::uint8_t flag_number) {
  FaxCodec probe = codec;
  probe.bit_order = bit_order;
  probe.flag_number = flag_number;
  probe.rewind(probe.bytes());
  return find_t6_start(probe, T6Search::kFirst) >= 0;
}

}  // namespace orvane::codec
