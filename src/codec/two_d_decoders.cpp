#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "codec/code_tables.h"
#include "codec/mh_codes.h"
#include "codec/row_decoders.h"

namespace orvane::codec {

bool LinePair::allocate(std::uint32_t runs) {
  // at[0] (always 0), an end per run, and the stop mark after the last.
  const std::size_t entries = std::size_t(runs) + 2;
  if (coding_ends_.size() >= entries && reference_ends_.size() >= entries) {
    coding_ = RunList{0, 0, coding_ends_.data(), runs};
    reference_ = RunList{0, 0, reference_ends_.data(), runs};
    return true;
  }
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

void LinePair::white_coding(std::int32_t width) {
  coding_.count = 0;
  if (coding_.at != nullptr && coding_.capacity > 0) {
    coding_.at[1] = width;
    coding_.count = 1;
  }
}

void LinePair::accept_coding() {
  // Exchanging the two buffers gives the same line without copying it.
  std::swap(coding_.at, reference_.at);
  std::swap(coding_.capacity, reference_.capacity);
  reference_.size = coding_.count;
  reference_.count = 0;
  coding_.count = 0;
  coding_.size = 0;
}

namespace {

// Results of one 2D row: its pixel count, or one of these.
constexpr int kEndOfData = -11;
constexpr int kBadCode = -12;
constexpr int kEolSeen = -13;
constexpr int kEndAfterRow = -14;

// The reference line as the row engine walks it: the changing elements
// at[1..size] (at[k] ends run k - 1 and starts run k, so the pixel at it
// has colour k % 2), a cursor c on them, and b, the changing element the
// walk stands at.
//
// A regular line is one of exactly the width (every good row of a sound
// page): b is then always at[c], at[size] is the width, and a stop mark
// after it lets b1 be found two elements a step with one comparison. Any
// other line (short, long, or none) takes the careful walk, which keeps b
// apart from the line where it stops at the width.
template <bool kRegular>
struct ReferenceWalk {
  const std::int64_t* at;
  std::uint32_t size;
  std::int64_t width;
  std::uint32_t c = 0;
  std::int64_t b = 0;

  void start() {
    if (kRegular || size > 0) {
      c = 1;
      b = at[1];
    } else {
      c = 0;
      b = width;
    }
  }

  // b1: the first changing element right of a0 whose colour is opposite
  // to a0's; the search stops at the width and at the end of the line.
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

  // b2 of a pass code: the changing element after b1, or the width.
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

// A run of colour C for horizontal mode: make-up codes then a terminating
// code. A row result (negative) passes up.
template <int C, bool R>
[[gnu::always_inline]] inline std::int64_t horizontal_run(BitReader& in) {
  std::int64_t length = 0;
  for (;;) {
    const int v = C == 0 ? in.template white<R>() : in.template black<R>();
    if (unsigned(v) < 64u) return length + v;
    if (v < 0) return kEndOfData;
    if (v >= kEolCode) return v == kInvalidCode ? kBadCode : kEolSeen;
    length += v;
  }
}

// The two-dimensional row engine: mode codes against the reference line
// until the row ends (at an EOL, or with kT6 once a0 reaches the width).
// The loop is written once per colour of a0, so the colour is known where
// a run is painted and where b1 is searched. Flattened: in a loop this size
// the compiler otherwise leaves the painter or the run recorder out of line.
template <bool kRegular, bool kT6, bool R>
[[gnu::flatten]] int decode_2d_codes(BitReader& reader, RunPainter& painter, RunList& coding,
                                     ReferenceWalk<kRegular>& walk, std::int64_t width,
                                     int invert) {
  BitReader in = reader;
  RunPainter paint = painter;
  ReferenceWalk<kRegular> ref = walk;
  ref.start();
  const std::int64_t x0 = paint.position();
  const int painted = paint.painted_colour(invert);
  std::int64_t a0 = 0;  // position on the coding line
  std::int64_t x = 0;   // pixels written: a0 less those passed over in pass mode
  std::int64_t* const ends = coding.at;
  std::int64_t* out = ends != nullptr ? ends + coding.count : nullptr;
  std::int64_t* const out_last = ends != nullptr ? ends + coding.capacity : nullptr;
  auto put = [&](int colour, std::int64_t to) {
    if (colour == painted) paint.span(x0 + x, x0 + to);
    if (out < out_last) {
      out[1] = out[0] + clamp_count(to - x);
      ++out;
    }
    x = to;
  };
  auto finish = [&](std::int64_t result) {
    if (ends != nullptr) coding.count = std::uint32_t(out - ends);
    paint.move_to(x0 + x);
    painter = paint;
    walk = ref;
    reader = in;
    return int(result);
  };
  constexpr int kFlip = INT_MIN;
  auto codes = [&]<int C>() -> std::int64_t {
    for (;;) {
      const int mode = in.template mode<R>();
      if (mode <= tables::kVL3) {
        if (mode < 0) return x == width ? kEndAfterRow : kEndOfData;
        std::int64_t a1;
        if (mode <= tables::kVR3) {
          a1 = ref.b + mode;
        } else {
          a1 = ref.b - (mode - tables::kVL1 + 1);
          ref.back_up(a1);
        }
        // Corrupt data can put a1 left of a0; no later code can mend the row.
        if (a1 < x) return kBadCode;
        put(C, a1);
        a0 = a1;
        ref.next_b1(a0, C ^ 1);
        if (kT6 && a0 >= width) return clamp_count(a0);
        return kFlip;
      }
      if (mode == tables::kHorizontal) {
        const std::int64_t first = horizontal_run<C, R>(in);
        if (first < 0) return first;
        if (a0 + first < x) return kBadCode;
        a0 += first;
        put(C, a0);
        const std::int64_t second = horizontal_run<C ^ 1, R>(in);
        if (second < 0) return second;
        a0 += second;
        put(C ^ 1, a0);
        ref.next_b1(a0, C);
        if (kT6 && a0 >= width) return clamp_count(a0);
      } else if (mode == tables::kPass) {
        a0 = ref.pass_b2();
        ref.next_b1(a0, C);
      } else if (mode == kEolCode) {
        return kT6 ? kEolSeen : clamp_count(x);
      } else {
        return kBadCode;  // invalid, or extension codes: uncompressed mode
      }
    }
  };
  for (;;) {
    std::int64_t r = codes.template operator()<0>();
    if (r != kFlip) return finish(r);
    r = codes.template operator()<1>();
    if (r != kFlip) return finish(r);
  }
}

template <bool kRegular>
int run_2d(BitReader& in, RunPainter& paint, RunList& coding, ReferenceWalk<kRegular>& ref,
           std::int64_t width, int invert, bool t6) {
  if (in.reversed()) {
    return t6 ? decode_2d_codes<kRegular, true, true>(in, paint, coding, ref, width, invert)
              : decode_2d_codes<kRegular, false, true>(in, paint, coding, ref, width, invert);
  }
  return t6 ? decode_2d_codes<kRegular, true, false>(in, paint, coding, ref, width, invert)
            : decode_2d_codes<kRegular, false, false>(in, paint, coding, ref, width, invert);
}

// One 2D row against the reference line, runs onto the coding line.
int decode_2d_row(BitReader& in, RunPainter& paint, LinePair& lines, std::int64_t width, int invert,
                  bool t6) {
  RunList& reference = lines.reference();
  RunList& coding = lines.coding();
  const std::uint32_t size = reference.at != nullptr ? reference.size : 0;
  if (size > 0 && reference.at[size] == width) {
    reference.at[size + 1] = width;  // the stop mark
    ReferenceWalk<true> ref{reference.at, size, width};
    return run_2d(in, paint, coding, ref, width, invert, t6);
  }
  ReferenceWalk<false> ref{reference.at, size, width};
  return run_2d(in, paint, coding, ref, width, invert, t6);
}

// One MH row for MR, runs onto the coding line, as a 2D row's result.
int decode_1d_row(BitReader& in, RunPainter& paint, LinePair& lines, std::int64_t width, int invert,
                  bool to_width) {
  MhRow row;
  const MhStop stop =
      decode_mh_codes(in, paint, &lines.coding(), row, to_width ? width : INT64_MAX, invert);
  switch (stop) {
    case MhStop::kEndOfData: return row.pixels == width ? kEndAfterRow : kEndOfData;
    case MhStop::kBadCode: return kBadCode;
    case MhStop::kEol: return to_width ? kEolSeen : int(clamp_count(row.pixels));
    case MhStop::kWidth: return int(clamp_count(row.pixels));
  }
  return kBadCode;
}

// Room for every run of a row: a row of w pixels has at most w + 1 runs
// (it may start with a white run of 0).
bool allocate_lines(LinePair& lines, std::int32_t width) {
  return lines.allocate(std::uint32_t(std::max(width, 1)) + 2);
}

}  // namespace

MrDecoder::MrDecoder(const BitReader& in, std::int32_t width, std::uint8_t invert, MrRows rows,
                     Recovery recovery, LinePair* lines)
    : RowDecoderBase(in, width, invert),
      lines_(lines ? *lines : own_lines_),
      rows_(rows),
      recovery_(recovery) {
  allocated_ = allocate_lines(lines_, width);
  lines_.reset_reference(width);
  if (rows == MrRows::kToEol) expect_white_rows();
}

void MrDecoder::set_width(std::int32_t width) {
  if (width == width_) return;
  width_ = width;
  if (rows_ == MrRows::kToEol) expect_white_rows();
}

bool MrDecoder::find_1d_row() {
  for (;;) {
    if (!in_.find_eol()) return false;
    const int tag = in_.bit();
    if (tag < 0) return false;
    if (tag == 1) return true;
  }
}

bool MrDecoder::start() {
  lost_ = tag_due_ = accept_ = false;
  tag_ = 1;
  return find_1d_row();
}

bool MrDecoder::take_white_2d_row() {
  // A white row under a white row: a V0 code and the EOL.
  constexpr std::uint64_t kV0Eol = 0b1'00000000000'1;
  return in_.reversed() ? in_.take<true>(13, kV0Eol) : in_.take<false>(13, kV0Eol);
}

std::int64_t MrDecoder::take_white_rows() {
  if (lost_ || rows_ != MrRows::kToEol) return 0;
  if (accept_) lines_.accept_coding();
  accept_ = false;
  if (!lines_.white_reference(width_)) return 0;
  // Either kind of white row leaves the reference line white.
  std::int64_t taken = 0;
  for (;;) {
    const std::int64_t at = in_.position();
    const int tag = tag_due_ ? in_.bit() : tag_;
    const std::int64_t start = in_.position();
    if (tag < 0 || !(tag == 0 ? take_white_2d_row() : take_white_row())) {
      in_.seek(at);
      break;
    }
    row_start_ = start;
    tag_ = tag;
    tag_due_ = true;
    ++taken;
  }
  if (taken > 0) pixels_ = width_;
  return taken;
}

RowStatus MrDecoder::next_row(RunPainter out) {
  if (lost_) {
    // Every row up to the next one-dimensionally coded one is lost with it.
    lost_ = tag_due_ = accept_ = false;
    if (!find_1d_row()) return resync_failed_now();
    tag_ = 1;
  } else {
    if (accept_) lines_.accept_coding();
    accept_ = false;
    if (rows_ == MrRows::kEolThenWidth) {
      if (!in_.read_eol()) {
        pixels_ = 0;
        return in_.at_end() ? RowStatus::kEnd : RowStatus::kBad;
      }
      tag_due_ = true;
    }
    if (tag_due_) {
      tag_due_ = false;
      tag_ = in_.bit();
      if (tag_ < 0) {
        pixels_ = 0;
        return RowStatus::kEnd;
      }
    }
  }
  row_start_ = in_.position();
  const bool to_eol = rows_ == MrRows::kToEol;
  if (to_eol && tag_ == 0 && lines_.white_reference(width_) && take_white_2d_row()) {
    tag_due_ = true;
    return white_row(out);
  }
  lines_.clear_coding();
  if (tag_ == 1 && take_white_row()) {
    // A white row coded in one dimension, and its EOL.
    lines_.white_coding(width_);
    accept_ = tag_due_ = true;
    return white_row(out);
  }
  const int r = tag_ == 1 ? decode_1d_row(in_, out, lines_, width_, invert_, !to_eol)
                          : decode_2d_row(in_, out, lines_, width_, invert_, !to_eol);
  out.end_row();
  if (r >= 0) {
    pixels_ = r;
    tag_due_ = to_eol;
    if (r == 0) return RowStatus::kEmpty;
    if (r != width_ && recovery_ == Recovery::kRecover) {
      lost_ = true;
      return RowStatus::kBad;
    }
    accept_ = true;
    return r == width_ ? RowStatus::kRow : RowStatus::kOtherWidth;
  }
  if (r == kEndOfData) return ended(0);
  if (r == kEndAfterRow) return ended(width_);
  pixels_ = 0;
  lost_ = true;
  return RowStatus::kBad;
}

T6Decoder::T6Decoder(const BitReader& in, std::int32_t width, std::uint8_t invert, bool raw,
                     std::uint8_t flag_number, Recovery recovery, LinePair* lines)
    : RowDecoderBase(in, width, invert),
      lines_(lines ? *lines : own_lines_),
      raw_(raw),
      flags_(flag_number),
      recovery_(recovery) {
  allocated_ = allocate_lines(lines_, width);
  lines_.reset_reference(width);  // the imaginary white line above the first row
}

RowStatus T6Decoder::next_row(RunPainter out) {
  if (lost_) {
    lost_ = false;
    if (!find_start(T6Search::kHere)) return resync_failed_now();
  }
  row_start_ = in_.position();
  if (lines_.white_reference(width_) &&
      (in_.reversed() ? in_.take<true>(1, 1) : in_.take<false>(1, 1))) {
    // A white row under a white row (most rows of most pages) is a V0 code
    // alone: the same reference line for the next row, nothing to paint.
    return white_row(out);
  }
  lines_.clear_coding();
  const int r = decode_2d_row(in_, out, lines_, width_, invert_, true);
  out.end_row();
  if (r >= 0) {
    pixels_ = r;
    lines_.accept_coding();
    return r == width_ || recovery_ == Recovery::kRecover ? RowStatus::kRow
                                                          : RowStatus::kOtherWidth;
  }
  pixels_ = 0;
  switch (r) {
    case kEolSeen: lines_.reset_reference(width_); return RowStatus::kEmpty;  // EOFB, or an EOL
    case kEndOfData: return ended(0);
    case kEndAfterRow: return ended(width_);
    default: lost_ = true; return RowStatus::kBad;
  }
}

std::int64_t T6Decoder::take_white_rows() {
  std::int64_t taken = 0;
  if (lost_ || !lines_.white_reference(width_)) return 0;
  for (;;) {
    // Past the end of the data the reader gives zeros, so every 1 is data.
    const std::uint64_t w = in_.peek();
    const int ones = w == ~std::uint64_t{0} ? 64 : __builtin_clzll(~w);
    in_.seek(in_.position() + ones);
    taken += ones;
    if (ones < 64) break;
  }
  if (taken > 0) {
    row_start_ = in_.position() - 1;
    pixels_ = width_;
  }
  return taken;
}

bool T6Decoder::find_start(T6Search mode) {
  lines_.reset_reference(width_);
  lost_ = false;
  if (raw_) return true;
  const std::span<const std::uint8_t> data = in_.bytes();
  const std::int64_t n = std::int64_t(data.size());
  const std::uint8_t* const d = data.data();
  switch (mode) {
    case T6Search::kFirst: search_from_ = 0; break;
    case T6Search::kHere: search_from_ = std::max(search_from_, in_.position() >> 3); break;
    case T6Search::kNext: break;
  }
  std::int64_t i = search_from_;
  for (;;) {
    // A run of 0xFF bytes (at least the flag number, counting the one
    // found first twice) marks where the coded data begins.
    std::int64_t count = 0;
    if (flags_ > 0) {
      const void* hit = i < n ? std::memchr(d + i, 0xFF, std::size_t(n - i)) : nullptr;
      if (hit == nullptr) break;
      i = static_cast<const std::uint8_t*>(hit) - d;
      count = 1;
    }
    start_offset_ = i;
    const std::int64_t run_start = i;
    while (i < n && d[i] == 0xFF) ++i;
    count += i - run_start;
    if (i >= n) break;
    if (count < flags_) continue;
    // The first coded bit follows the leading 1 bits of this byte; a start
    // is accepted when its first three bits are 001 (horizontal) or 000
    // (pass and the longer mode codes).
    const std::uint8_t byte =
        in_.reversed() ? std::uint8_t(BitReader::reverse_bits_in_bytes(d[i])) : d[i];
    const std::int64_t at = i * 8 + __builtin_clz(~unsigned(byte) << 24);
    if (at + 3 > in_.size()) break;
    in_.seek(at);
    const std::uint64_t first = in_.peek() >> 61;
    const std::int64_t next = ((at + 2) >> 3) + 1;  // the byte after the last bit looked at
    if (first <= 1) {
      search_from_ = next;
      return true;
    }
    i = next;
  }
  in_.seek(in_.size());
  return false;
}

}  // namespace orvane::codec
