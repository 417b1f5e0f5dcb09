#include "formats/guessed_page_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/byte_order.h"
#include "base/coding_mode.h"
#include "base/limits.h"
#include "codec/fax_codec.h"
#include "codec/page_driver.h"
#include "codec/stream_analysis.h"

namespace orvane {

namespace {

constexpr std::uint16_t kHorizontalResolution = 200;

// Every decoded row takes at least one bit of coded data (a T.6 row of
// white under a white reference line is a single V0 code), so no page
// holds more rows than its data has bits. Sizing the bitmap by this keeps a
// header that states tens of thousands of rows over a few bytes of data
// from allocating a page it can never fill.
std::int64_t rows_possible(std::int64_t stated, std::size_t coded_bytes) {
  return std::min<std::int64_t>(stated, std::int64_t(coded_bytes) * 8);
}

// A width and row count the page bitmap may have (a page side is at most
// 65535 pixels, a page at most the page-byte limit).
bool page_size_allowed(std::int32_t width, std::int64_t rows) {
  if (width < 1 || width > limits::kMaxPageSide || rows < 1 || rows > limits::kMaxPageSide)
    return false;
  return checked_page_bytes(rows, row_bytes_for(width)) > 0;
}

}  // namespace

Status GuessedPageReader::read_page(std::uint32_t index, PageSource& out) {
  std::int64_t offset = 0, length = 0;
  if (!locate_page(index, out, offset, length))
    return Refusal(limits::Limit::kDamaged, "its page header states no data the file holds");
  Status read = read_coded(offset, length);
  if (read && coded_.empty()) return Refusal(limits::Limit::kDamaged, "it has no data");
  return read;
}

bool GuessedPageReader::page_facts(std::uint32_t index, PageFacts& out) {
  PageSource source;
  std::int64_t offset = 0, length = 0;
  if (!is_open() || !locate_page(index, source, offset, length)) return false;
  // Loading refuses such a row count before it looks at the data.
  if (source.rows < 1 || source.rows > limits::kMaxPageSide) return false;
  out = {.width = std::uint32_t(std::max(source.width, 0)),
         .height = std::uint32_t(source.rows),
         .xres = kHorizontalResolution,
         .yres = source.yres,
         .unit = 2,
         .coding = kCodingUnknown,
         .bit_order = kBitOrderAuto};
  return true;
}

Status GuessedPageReader::load(std::uint32_t index, PageBitmap& page) {
  page.clear();
  PageSource source;
  if (!is_open()) return Refusal(limits::Limit::kFile);
  if (Status read = read_page(index, source); !read) return read;
  // A stated height no page may have is refused, not cut.
  if (source.rows < 1) return Refusal(limits::Limit::kDamaged, "its header states no rows");
  if (source.rows > limits::kMaxPageSide) return Refusal(limits::Limit::kPage);
  const std::int64_t rows = rows_possible(source.rows, coded_.size());
  const std::span<const std::uint8_t> data(coded_);

  codec::StreamGuess guess;
  guess.threshold = threshold_;
  guess.flag_number = flag_number_;
  codec::FaxCodec codec;
  codec.configure(data, kBitOrderMsbFirst, kCodingT4_1D, 0);
  if (codec::guess_coding(codec, guess)) {
    const std::int32_t width = source.width > 0 ? source.width : guess.width;
    if (!page_size_allowed(width, rows)) return Refusal(limits::Limit::kPage);
    codec.bit_order = guess.bit_order;
    codec.coding_mode = guess.coding;
    codec.rewind(data);
    codec.set_size(width, std::int32_t(rows));
    codec::decode_by_coding_mode(codec, page);
  } else {
    codec::FaxCodec t6;
    codec::configure_for_t6(t6, data, kBitOrderMsbFirst, 0, 0, 3);
    if (!codec::guess_t6(t6, guess))
      return Refusal(limits::Limit::kDamaged, "no fax coding decodes its data");
    const std::int32_t width = source.width > 0 ? source.width : guess.width;
    if (!page_size_allowed(width, rows)) return Refusal(limits::Limit::kPage);
    // Decoded from the page's first byte, not from where the analysis found
    // a start: white rows on top are single V0 codes, 1 bits that make the
    // 0xFF bytes the start search skips.
    t6.bit_order = guess.bit_order;
    t6.rewind(data);
    t6.set_size(width, std::int32_t(rows));
    codec::decode_t6_page(t6, page);
  }
  if (!page.has_pixels() || !page.is_valid()) return missing_pixels(page.width, rows);
  page.unit = 2;
  page.xres = kHorizontalResolution;
  page.yres = source.yres;
  return {};
}

Status GuessedPageReader::load_page(std::uint32_t index, PageBitmap& page) {
  Status loaded = load(index, page);
  if (!loaded) page.clear();
  return loaded;
}

bool GuessedPageReader::coded_page(std::uint32_t index, PassThroughPage& out) {
  PageBitmap page;
  // Without a coding found there is nothing to tag the data with; the page
  // is left out rather than written with a guess of ours or another page's
  // fields.
  if (!load(index, page)) return false;
  out = {.coded = coded_,
         .coding = page.coding,
         .bit_order = page.bit_order,
         .width = std::uint32_t(page.width),
         .length = std::uint32_t(page.height),
         .xres = page.xres,
         .yres = page.yres};
  return true;
}

}  // namespace orvane
