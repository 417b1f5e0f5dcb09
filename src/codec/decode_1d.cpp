#include "codec/decode_1d.h"

#include <algorithm>
#include <cstring>

#include "codec/code_tables.h"
#include "codec/decode_common.h"
#include "core/coding_mode.h"
#include "core/limits.h"

namespace orvane::codec {

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
  if (bytes <= 0 || !page.allocate_pixels(bytes)) {
    // No pixels: no rows either, so that nobody reads rows that are not there.
    page.release_pixels();
    page.height = 0;
    return false;
  }
  return true;
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
    const int code = decode_code(codec, colour);
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
    const int code = decode_code(codec, s.colour);
    if (code == END_OF_DATA) break;
    if (code == BAD_CODE) {
      // T.4 4.1.2: resynchronise on the next EOL; the row under way is lost.
      ++bad;
      if (codec.find_eol() < 0) break;
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
      if (codec.find_eol() < 0) break;
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
    const int code = decode_code(codec, s.colour);
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

}  // namespace orvane::codec
