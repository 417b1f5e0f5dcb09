#include <climits>

#include "codec/code_tables.h"
#include "codec/mh_codes.h"
#include "codec/row_decoders.h"

namespace orvane::codec {

namespace {

// The code words of a white row of `width` pixels followed by an EOL (the
// most common row of most pages) as one bit string of n bits; n is 0 when
// they are more than one window takes at once.
struct WhiteRow {
  int n = 0;
  std::uint64_t bits = 0;
};

const char* white_code_of(int run) {
  for (const auto& c : tables::kWhiteCodes)
    if (c.value == run) return c.bits;
  for (const auto& c : tables::kExtendedMakeupCodes)
    if (c.value == run) return c.bits;
  return nullptr;
}

WhiteRow white_row_codes(std::int64_t width) {
  WhiteRow r;
  auto add = [&](const char* code) {
    if (code == nullptr) return false;
    for (; *code != 0; ++code) {
      r.bits = r.bits << 1 | (*code == '1' ? 1u : 0u);
      if (++r.n > 57) return false;
    }
    return true;
  };
  std::int64_t left = width;
  bool fits = width > 0;
  while (fits && left >= 2560) {
    fits = add(white_code_of(2560));
    left -= 2560;
  }
  if (fits && left >= 64) {
    fits = add(white_code_of(int(left / 64 * 64)));
    left %= 64;
  }
  fits = fits && add(white_code_of(int(left))) && add(tables::kEolBits);
  return fits ? r : WhiteRow{};
}

}  // namespace

void RowDecoderBase::expect_white_rows() {
  const WhiteRow white = white_row_codes(width_);
  white_bits_ = white.n;
  white_row_ = white.bits;
}

MhDecoder::MhDecoder(const BitReader& in, std::int32_t width, std::uint8_t invert, MhRows rows)
    : RowDecoderBase(in, width, invert), rows_(rows) {
  if (rows == MhRows::kToEol) expect_white_rows();
}

RowStatus MhDecoder::next_row(RunPainter out, RunList* line) {
  if (lost_) {
    lost_ = false;
    const bool aligned = rows_ == MhRows::kByteAligned || rows_ == MhRows::kWordAligned;
    if (aligned || !in_.find_eol()) return resync_failed_now();
  }
  if (first_) {
    first_ = false;
    if (rows_ == MhRows::kToWidthWords) in_.skip_word();
  }
  if (rows_ == MhRows::kEolThenWidth && !in_.read_eol()) {
    pixels_ = 0;
    return in_.at_end() ? RowStatus::kEnd : RowStatus::kBad;
  }
  row_start_ = in_.position();
  if (line == nullptr && take_white_row()) return white_row(out);
  return decode(out, line);
}

std::int64_t MhDecoder::take_white_rows() {
  std::int64_t taken = 0;
  if (lost_) return 0;
  for (; take_white_row(); ++taken) row_start_ = in_.position() - white_bits_;
  if (taken > 0) pixels_ = width_;
  return taken;
}

RowStatus MhDecoder::decode(RunPainter& out, RunList* line) {
  // Rows that end at their EOL are given up once they are longer than the
  // width; the others end at the width.
  const bool to_eol = rows_ == MhRows::kToEol;
  const std::int64_t stop_at = !to_eol ? width_ : width_ > 0 ? width_ + 1 : INT64_MAX;
  MhRow row;
  const MhStop stop = decode_mh_codes(in_, out, line, row, stop_at, invert_);
  out.end_row();
  pixels_ = clamp_count(row.pixels);
  switch (stop) {
    case MhStop::kEndOfData: return ended(row.pixels);
    case MhStop::kBadCode: break;
    case MhStop::kEol:
      // Aligned rows carry no EOL (TIFF Compression 2 and 32771), and
      // rows with an EOL in front have it before, not inside, the row.
      if (to_eol || rows_ == MhRows::kToWidth || rows_ == MhRows::kToWidthWords) {
        if (row.pixels == 0) return RowStatus::kEmpty;
        return row.pixels == width_ ? RowStatus::kRow : RowStatus::kOtherWidth;
      }
      break;
    case MhStop::kWidth:
      if (row.pixels != width_) {
        lost_ = true;
        return RowStatus::kOtherWidth;
      }
      if (rows_ == MhRows::kToWidthWords) in_.skip_word();
      if (rows_ == MhRows::kByteAligned || rows_ == MhRows::kWordAligned)
        in_.align(rows_ == MhRows::kWordAligned);
      return RowStatus::kRow;
  }
  lost_ = true;
  return RowStatus::kBad;
}

}  // namespace orvane::codec
