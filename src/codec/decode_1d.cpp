#include "codec/decode_1d.h"

#include <algorithm>
#include <cstring>

#include "base/coding_mode.h"
#include "base/limits.h"
#include "codec/bit_cursor.h"
#include "codec/decode_common.h"
#include "codec/mh_codes.h"
#include "codec/page_rows.h"
#include "codec/run_painter.h"

namespace orvane::codec {

namespace {
// No stop at a pixel count: the row runs to its EOL.
constexpr std::int64_t kNoStop = INT64_MAX;
}  // namespace

bool setup_page(FaxCodec& codec, PageBitmap& page, std::uint8_t coding) {
  page.type = 0;
  page.width = codec.width;
  page.height = codec.height;
  page.row_bytes = row_bytes_for(codec.width);
  page.planes = 1;
  page.bits_per_pixel = 1;
  page.coded_length = std::uint32_t(std::max(codec.length, 0));
  const WidthClass wc = width_class(codec.width);
  page.xres = wc.dpi;
  page.width_class = wc.paper;
  page.yres = 100;
  page.unit = 2;
  page.bit_order = codec.bit_order;
  page.coding = coding;
  page.invert = codec.invert;
  const std::int64_t bytes = checked_page_size(codec.width, codec.height, page.row_bytes);
  if (bytes <= 0 || !page.allocate_pixels(bytes, page_background(codec.invert))) {
    // No pixels: no rows either, so that nobody reads rows that are not there.
    page.release_pixels();
    page.height = 0;
    return false;
  }
  return true;
}

namespace {

template <bool kReversed>
MhStop mh_codes(BitCursor& cursor, RunPainter& painter, RunList* line, MhRow& row,
                std::int64_t stop_at, int invert) {
  // The row's state stays in registers while the codes run, and the loop
  // is written once per colour, so that only the colour that changes
  // pixels is painted.
  BitWindow<kReversed> in(cursor);
  RunPainter paint = painter;
  const int painted = paint.painted_colour(invert);
  std::int64_t x = paint.position();
  MhRow r = row;
  constexpr int kGoOn = -1;
  // The code words of one run of colour C; kGoOn once it is painted.
  auto run_of = [&]<int C>() -> int {
    for (;;) {
      const int v = C == 0 ? in.white_code() : in.black_code();
      // One test lets terminating codes through: make-up codes, EOLs,
      // invalid codes and the end of data are all outside 0..63.
      if (unsigned(v) >= 64u) {
        if (v < 0) return int(MhStop::kEndOfData);
        if (v >= lookup::kLateEolCode) {
          return int(v == lookup::kInvalidCode ? MhStop::kBadCode : MhStop::kEol);
        }
        r.pending += v;
        continue;
      }
      const std::int64_t run = r.pending + v;
      r.pixels += run;
      if (C == painted) paint.span(x, x + run);
      x += run;
      record_run(line, run);
      r.colour = C ^ 1;
      r.pending = 0;
      return r.pixels >= stop_at ? int(MhStop::kWidth) : kGoOn;
    }
  };
  int stop;
  if (r.colour == 1 && (stop = run_of.template operator()<1>()) != kGoOn) {
    // stopped inside the first (black) run
  } else {
    for (;;) {
      if ((stop = run_of.template operator()<0>()) != kGoOn) break;
      if ((stop = run_of.template operator()<1>()) != kGoOn) break;
    }
  }
  row = r;
  paint.move_to(x);
  painter = paint;
  return MhStop(stop);
}

}  // namespace

MhStop decode_mh_codes(BitCursor& in, RunPainter& paint, RunList* line, MhRow& row,
                       std::int64_t stop_at, int invert) {
  return in.reversed() ? mh_codes<true>(in, paint, line, row, stop_at, invert)
                       : mh_codes<false>(in, paint, line, row, stop_at, invert);
}

int decode_code(FaxCodec& codec, int colour) {
  BitCursor in(codec);
  const int v = in.run_code(colour);
  in.store();
  if (v < 0) return END_OF_DATA;
  if (v == lookup::kInvalidCode) return BAD_CODE;
  if (v >= lookup::kLateEolCode) return EOL_SEEN;
  return v;
}

int decode_row_to_eol(FaxCodec& codec, RowWriter& writer, RunList* line) {
  RunPainter paint(writer);
  const int r = decode_row_to_eol(codec, paint, line);
  paint.store(writer);
  return r;
}

int decode_row_to_eol(BitCursor& in, RunPainter& paint, RunList* line, std::int64_t width,
                      int invert) {
  MhRow row;
  const MhStop stop = decode_mh_codes(in, paint, line, row, kNoStop, invert);
  switch (stop) {
    case MhStop::kEndOfData: return row.pixels == width ? END_AFTER_ROW : END_OF_DATA;
    case MhStop::kBadCode: return BAD_CODE;
    default: return clamp_count(row.pixels);
  }
}

int decode_row_to_eol(FaxCodec& codec, RunPainter& paint, RunList* line) {
  BitCursor in(codec);
  const int r = decode_row_to_eol(in, paint, line, codec.width, codec.invert);
  in.store();
  return r;
}

namespace {

// One row of a page from the page's bit window.
MhStop decode_page_row(BitCursor& in, RunPainter paint, MhRow& row, std::int64_t stop_at,
                       int invert) {
  const MhStop stop = decode_mh_codes(in, paint, nullptr, row, stop_at, invert);
  paint.end_row();
  return stop;
}

// The page's rows from `target`, or -1 without pixels.
int on_page(FaxCodec& codec, PageBitmap& page, std::uint8_t coding,
            int (*loop)(FaxCodec&, PageRows&, std::int64_t&, bool, bool), bool a, bool b) {
  const std::int32_t height = codec.height;
  if (!setup_page(codec, page, coding)) return -1;
  PageRows target(RowTarget{page.pixels.data(), page.row_bytes, height}, codec.invert);
  std::int64_t rows = 0;
  const int r = loop(codec, target, rows, a, b);
  page.height = std::int32_t(std::min<std::int64_t>(rows, height));
  // Rows past the page stay white, for a strip decoded into them next.
  target.release_after(page.height);
  return r;
}

}  // namespace

namespace {

// The code words of a white row of `width` pixels followed by an EOL (the
// most common row of most pages), as one bit string of n bits; n is 0 when
// they are more than a bit window takes at once.
struct WhiteRow {
  int n = 0;
  std::uint64_t bits = 0;
};

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
  auto code_of = [](int run) -> const char* {
    for (const auto& c : tables::kWhiteCodes) {
      if (c.value == run) return c.bits;
    }
    for (const auto& c : tables::kExtendedMakeupCodes) {
      if (c.value == run) return c.bits;
    }
    return nullptr;
  };
  std::int64_t left = width;
  bool fits = width > 0;
  while (fits && left >= 2560) {
    fits = add(code_of(2560));
    left -= 2560;
  }
  if (fits && left >= 64) {
    fits = add(code_of(int(left / 64 * 64)));
    left %= 64;
  }
  fits = fits && add(code_of(int(left))) && add(tables::kEolBits);
  if (!fits) r = WhiteRow{};
  return r;
}

}  // namespace

int eol_rows(FaxCodec& codec, PageRows& target, bool prefixed, bool word, std::int64_t& rows) {
  const std::int32_t height = codec.height;
  const std::int32_t width = codec.width;
  rows = 0;
  int bad = 0;
  MhRow row;
  if (prefixed && word) codec.skip_word();
  // Prefixed rows end at the width; EOL rows only at their EOL, so they are
  // given up only once they are longer than the width.
  const std::int64_t stop_at = prefixed ? width : std::int64_t(width) + 1;
  // One bit window for the page; the codec is brought up to date only for
  // what it does itself (searches, skipped words).
  BitCursor in(codec);
  auto on_codec = [&](auto step) {
    in.store();
    const auto r = step();
    in.load();
    return r;
  };
  // A white row and its EOL, taken whole when EOLs end the rows.
  const WhiteRow white = prefixed ? WhiteRow{} : white_row_codes(width);
  for (;;) {
    if (white.n > 0 && in.take_bits(white.n, white.bits)) {
      RunPainter paint = target.start(rows);
      paint.move_to(width);
      paint.end_row();
      ++rows;
      continue;
    }
    row = MhRow{};
    const MhStop stop = decode_page_row(in, target.start(rows), row, stop_at, codec.invert);
    if (stop == MhStop::kEndOfData) break;
    if (stop == MhStop::kBadCode) {
      // T.4 4.1.2: resynchronise on the next EOL; the row under way is lost.
      ++bad;
      if (on_codec([&] { return codec.find_eol(); }) < 0) break;
    } else if (stop == MhStop::kEol) {
      // Only a row of exactly the width counts, so RTC and fill lines add none.
      if (row.pixels == width) ++rows;
    } else if (row.pixels == width) {
      ++rows;
      if (word)
        on_codec([&] {
          codec.skip_word();
          return 0;
        });
    } else if (on_codec([&] { return codec.find_eol(); }) < 0) {
      break;
    }
  }
  in.store();
  // The data may end after a full row without its EOL.
  if (row.pixels == width && rows < height) ++rows;
  return bad;
}

int aligned_rows(FaxCodec& codec, PageRows& target, bool word, std::int64_t& rows) {
  const std::int32_t width = codec.width;
  rows = 0;
  int error = 0;
  for (;;) {
    MhRow row;
    BitCursor in(codec);
    const MhStop stop = decode_page_row(in, target.start(rows), row, width, codec.invert);
    in.store();
    if (stop == MhStop::kEndOfData) break;
    if (stop != MhStop::kWidth || row.pixels > width) {
      // These rows carry no EOL to resynchronise on (TIFF Compression 2 and
      // 32771), so an EOL is as foreign here as an invalid code word; a
      // row longer than the width ends the page too.
      target.clear(rows);
      if (stop != MhStop::kWidth) error = 1;
      break;
    }
    ++rows;
    codec.align(word);
  }
  return error;
}

int decode_aligned_page(FaxCodec& codec, PageBitmap& page, bool word) {
  return on_page(
      codec, page, word ? kCodingMhWord : kCodingMhByte,
      [](FaxCodec& c, PageRows& t, std::int64_t& rows, bool w, bool) {
        return aligned_rows(c, t, w, rows);
      },
      word, false);
}

int decode_eol_page(FaxCodec& codec, PageBitmap& page) {
  return on_page(
      codec, page, kCodingT4_1D,
      [](FaxCodec& c, PageRows& t, std::int64_t& rows, bool, bool) {
        return eol_rows(c, t, false, false, rows);
      },
      false, false);
}

int decode_prefixed_row_page(FaxCodec& codec, PageBitmap& page, bool word) {
  return on_page(
      codec, page, kCodingT4_1D,
      [](FaxCodec& c, PageRows& t, std::int64_t& rows, bool w, bool) {
        return eol_rows(c, t, true, w, rows);
      },
      word, false);
}

}  // namespace orvane::codec
