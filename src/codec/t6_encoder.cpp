#include "codec/t6_encoder.h"

#include <algorithm>
#include <bit>
#include <new>

#include "base/limits.h"
#include "codec/code_tables.h"

namespace orvane::codec {

namespace {

// One code word for writing: its bits right-aligned, and how many.
struct Code {
  std::uint16_t bits = 0;
  std::uint8_t length = 0;
};

constexpr Code parse(const char* text) {
  Code c;
  for (int i = 0; text[i] != 0; ++i) {
    c.bits = std::uint16_t(c.bits << 1 | (text[i] - '0'));
    ++c.length;
  }
  return c;
}

// The code words of one colour by run length: terminating codes 0..63 and
// make-up codes by run / 64 (1..27 of the colour, 28..40 the extended
// make-up codes both colours share, T.4 Table 4).
struct RunCodes {
  Code terminating[64];
  Code makeup[41];
};

template <std::size_t N>
constexpr RunCodes run_codes(const tables::CodeWord (&codes)[N]) {
  RunCodes r;
  for (const tables::CodeWord& w : codes) {
    if (w.value < 64)
      r.terminating[w.value] = parse(w.bits);
    else
      r.makeup[w.value / 64] = parse(w.bits);
  }
  for (const tables::CodeWord& w : tables::kExtendedMakeupCodes)
    r.makeup[w.value / 64] = parse(w.bits);
  return r;
}

struct ModeCodes {
  Code code[10];
};

constexpr ModeCodes mode_codes() {
  ModeCodes m;
  for (const tables::CodeWord& w : tables::kModeCodes) m.code[w.value] = parse(w.bits);
  return m;
}

constexpr RunCodes kWhiteRuns = run_codes(tables::kWhiteCodes);
constexpr RunCodes kBlackRuns = run_codes(tables::kBlackCodes);
constexpr ModeCodes kModes = mode_codes();
constexpr Code kEol = parse(tables::kEolBits);

// The largest make-up code; longer runs repeat it (T.4 4.1.1).
constexpr std::int32_t kLongestMakeup = 2560;

std::uint64_t load_be64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = v << 8 | p[i];
  return v;
}

// The first position at or after x whose bit is not `bit`, or `width`.
// Pixels are tested 64 at a time where the row has eight bytes left.
std::int32_t next_change(const std::uint8_t* row, std::int32_t row_bytes, std::int32_t x,
                         std::int32_t width, unsigned bit) {
  const std::uint64_t flip = bit ? ~std::uint64_t(0) : 0;
  while (x < width) {
    const std::int32_t byte = x >> 3;
    const int skip = x & 7;
    if (byte + 8 <= row_bytes) {
      const std::uint64_t w = (load_be64(row + byte) ^ flip) << skip;
      if (w != 0) return std::min(x + std::int32_t(std::countl_zero(w)), width);
      x += 64 - skip;
    } else {
      const auto b = std::uint8_t(std::uint8_t(row[byte] ^ std::uint8_t(flip)) << skip);
      if (b != 0) return std::min(x + std::int32_t(std::countl_zero(b)), width);
      x += 8 - skip;
    }
  }
  return width;
}

}  // namespace

T6Encoder::T6Encoder(std::int32_t width) {
  if (width < 1 || width > limits::kMaxPageSide) return;
  try {
    coding_.assign(std::size_t(width) + 3, width);
    reference_.assign(std::size_t(width) + 3, width);
  } catch (const std::bad_alloc&) {
    return;
  }
  width_ = width;  // the reference starts as the imaginary white line: no changes
}

void T6Encoder::put(std::uint32_t code, int length, std::vector<std::uint8_t>& out) {
  bits_ = bits_ << length | code;
  pending_ += length;
  while (pending_ >= 8) {
    pending_ -= 8;
    out.push_back(std::uint8_t(bits_ >> pending_));
  }
}

void T6Encoder::put_run(std::int32_t run, int colour, std::vector<std::uint8_t>& out) {
  const RunCodes& codes = colour == 0 ? kWhiteRuns : kBlackRuns;
  while (run >= kLongestMakeup + 64) {
    const Code c = codes.makeup[kLongestMakeup / 64];
    put(c.bits, c.length, out);
    run -= kLongestMakeup;
  }
  if (run >= 64) {
    const Code c = codes.makeup[run / 64];
    put(c.bits, c.length, out);
    run %= 64;
  }
  const Code c = codes.terminating[run];
  put(c.bits, c.length, out);
}

void T6Encoder::find_changes(const std::uint8_t* row) {
  const std::int32_t row_bytes = (width_ + 7) / 8;
  std::size_t n = 0;
  unsigned bit = 1;  // left of the row is white, a set bit
  for (std::int32_t x = 0;;) {
    x = next_change(row, row_bytes, x, width_, bit);
    if (x >= width_) break;
    coding_[n++] = x;
    bit ^= 1;
  }
  coding_[n] = coding_[n + 1] = coding_[n + 2] = width_;
}

void T6Encoder::encode_row(const std::uint8_t* row, std::vector<std::uint8_t>& out) {
  if (!ok()) return;
  find_changes(row);
  const std::int32_t* c = coding_.data();
  const std::int32_t* r = reference_.data();
  // a0 starts on an imaginary white pixel left of the row (T.4 4.2.1.3.1).
  std::int32_t a0 = -1;
  int colour = 0;
  std::size_t ia = 0;  // c[ia] = a1, the first change right of a0
  std::size_t ib = 0;  // r[ib] = b1
  for (;;) {
    // b1: the first change on the reference line right of a0 whose colour is
    // opposite to a0's. Change k turns the line black when k is even, so b1
    // has the index parity of a0's colour. A VL code may have moved a0 left
    // of changes already passed.
    while (ib > 0 && r[ib - 1] > a0) --ib;
    while (r[ib] <= a0) ++ib;
    if ((ib & 1) != std::size_t(colour)) ++ib;
    const std::int32_t a1 = c[ia];
    const std::int32_t b1 = r[ib];
    const std::int32_t b2 = r[ib + 1];
    if (b2 < a1) {
      const Code p = kModes.code[tables::kPass];
      put(p.bits, p.length, out);
      a0 = b2;
    } else if (a1 - b1 >= -3 && a1 - b1 <= 3) {
      const int d = a1 - b1;
      const Code v = kModes.code[d >= 0 ? tables::kV0 + d : tables::kVL1 - d - 1];
      put(v.bits, v.length, out);
      a0 = a1;
      colour ^= 1;
      ++ia;
    } else {
      const std::int32_t a2 = c[ia + 1];
      const Code h = kModes.code[tables::kHorizontal];
      put(h.bits, h.length, out);
      put_run(a1 - std::max(a0, 0), colour, out);
      put_run(a2 - a1, colour ^ 1, out);
      a0 = a2;
      ia += 2;
    }
    if (a0 >= width_) break;
  }
  coding_.swap(reference_);
}

void T6Encoder::finish(std::vector<std::uint8_t>& out) {
  put(kEol.bits, kEol.length, out);
  put(kEol.bits, kEol.length, out);
  if (pending_ > 0) put(0, 8 - pending_, out);
}

std::vector<std::uint8_t> encode_t6(std::span<const std::uint8_t> pixels, std::int32_t width,
                                    std::int32_t height, std::int32_t row_bytes) {
  if (width < 1 || height < 0 || row_bytes < (std::int64_t(width) + 7) / 8 ||
      std::int64_t(pixels.size()) < std::int64_t(height) * row_bytes)
    return {};
  T6Encoder encoder(width);
  if (!encoder.ok()) return {};
  std::vector<std::uint8_t> out;
  try {
    // Text pages code to about a twentieth of their bitmap.
    out.reserve(std::size_t(height) * std::size_t(row_bytes) / 16 + 64);
    for (std::int32_t y = 0; y < height; ++y) {
      encoder.encode_row(pixels.data() + std::size_t(y) * std::size_t(row_bytes), out);
    }
    encoder.finish(out);
  } catch (const std::bad_alloc&) {
    return {};
  }
  return out;
}

}  // namespace orvane::codec
