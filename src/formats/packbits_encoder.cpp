#include "formats/packbits_encoder.h"

namespace orvane {

namespace {

// PackBits (TIFF 6.0 section 9): a count byte n followed by n + 1 literal
// bytes (0..127), or a count byte 1 - n followed by one byte repeated n times
// (n = 2..128). Encoding a row walks its runs of equal bytes and keeps a
// small state so that a two-byte run between literals is folded into the
// literal instead of costing two extra count bytes.
class RowEncoder {
 public:
  RowEncoder(std::span<std::uint8_t> out, std::size_t pos) : out_(out), pos_(pos) {}

  std::size_t position() const { return pos_; }

  // Handles one run of `n` >= 1 bytes of value `c`; false when out of space.
  bool put(std::uint8_t c, std::size_t n) {
    switch (state_) {
      case State::kBase:
      case State::kRun:
        if (n > 1) {
          state_ = State::kRun;
          return emit_run(c, n);
        }
        return open_literal(c);
      case State::kLiteral:
        if (n > 1) {
          state_ = State::kLiteralRun;
          return emit_run(c, n);
        }
        return add_literal(c);
      case State::kLiteralRun:
        // Only a run written whole as one two-byte piece directly after the
        // literal can join it: a longer run's earlier pieces sit between.
        if (n == 1 && last_run_ == 2 && out_[literal_] < 126) {
          out_[literal_] = std::uint8_t(out_[literal_] + 2);
          out_[pos_ - 2] = out_[pos_ - 1];
          state_ = out_[literal_] == 127 ? State::kBase : State::kLiteral;
          return put(c, n);
        }
        state_ = State::kRun;
        return put(c, n);
    }
    return false;
  }

 private:
  enum class State { kBase, kLiteral, kRun, kLiteralRun };

  // Every output step writes at most two bytes; keeping three in reserve
  // means the caller's buffer is never overrun.
  bool room() const { return out_.size() >= 3 && pos_ <= out_.size() - 3; }

  bool open_literal(std::uint8_t c) {
    if (!room()) return false;
    literal_ = pos_;
    out_[pos_++] = 0;
    out_[pos_++] = c;
    state_ = State::kLiteral;
    return true;
  }

  bool add_literal(std::uint8_t c) {
    if (!room()) return false;
    ++out_[literal_];
    out_[pos_++] = c;
    if (out_[literal_] == 127) state_ = State::kBase;
    return true;
  }

  bool emit_run(std::uint8_t c, std::size_t n) {
    last_run_ = n;
    while (n > 128) {
      if (!room()) return false;
      out_[pos_++] = 0x81;  // 1 - 128
      out_[pos_++] = c;
      n -= 128;
    }
    if (!room()) return false;
    out_[pos_++] = std::uint8_t(1 - int(n));
    out_[pos_++] = c;
    return true;
  }

  std::span<std::uint8_t> out_;
  std::size_t pos_;
  State state_ = State::kBase;
  std::size_t literal_ = 0;   // the open literal's count byte
  std::size_t last_run_ = 0;  // length of the run written last
};

}  // namespace

std::int64_t packbits_encode(std::span<const std::uint8_t> bitmap, std::size_t row_bytes,
                             std::span<std::uint8_t> out) {
  if (bitmap.empty()) return 0;
  if (row_bytes == 0) return -1;
  std::size_t pos = 0;
  for (std::size_t start = 0; start < bitmap.size(); start += row_bytes) {
    const std::size_t end = bitmap.size() - start < row_bytes ? bitmap.size() : start + row_bytes;
    RowEncoder row(out, pos);
    for (std::size_t i = start; i < end;) {
      std::size_t j = i + 1;
      while (j < end && bitmap[j] == bitmap[i]) ++j;
      if (!row.put(bitmap[i], j - i)) return -1;
      i = j;
    }
    pos = row.position();
  }
  return std::int64_t(pos);
}

}  // namespace orvane
