#pragma once
// Decodes a whole raw fax stream (bare T.4 or T.6 data, possibly many pages
// one after another) into rows and segments, handed to a sink the caller
// gives: every good row, and the segments that split them, runs of
// consecutive good rows that bad or empty stretches of data end. The bare
// data reader's sink keeps them in a row file (the 37-byte page descriptor,
// then the rows) and a page index file, both little-endian.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/limits.h"
#include "base/page_bitmap.h"
#include "codec/fax_codec.h"

namespace orvane::codec {

// Page index file layout (the bare data reader's sink writes it).
inline constexpr std::size_t kIndexHeaderSize = 4120;
inline constexpr std::size_t kIndexEntrySize = 14;
inline constexpr std::size_t kIndexEntryCountAt = 0;   // u32 entries
inline constexpr std::size_t kIndexTotalRowsAt = 4;    // u32, as in the row file
inline constexpr std::size_t kIndexWidthAt = 8;        // u32
inline constexpr std::size_t kIndexBitOrderAt = 12;    // u8: 1 MSB first, else LSB first
inline constexpr std::size_t kIndexCodingAt = 13;      // u8: CodingMode 5, 6 or 7
inline constexpr std::size_t kIndexWidthClassAt = 14;  // u8
inline constexpr std::size_t kIndexLongestAt = 16;     // u32 rows of the longest segment
inline constexpr std::size_t kIndexVresAt = 20;        // u16 vertical resolution chosen
inline constexpr std::size_t kIndexPageTableAt = 24;   // 1024 x u32, filled by conversion

// The most row data one extraction hands out; rows past it are not given
// and extraction ends there as at the end of the data.
inline constexpr std::int64_t kMaxRowFileBytes = limits::kMaxRowFileBytes;

// One segment: where its coded data lies in the raw stream (bit indexes count
// in the stream's bit order, 0 = first bit of the byte) and how many rows it
// decoded to. The data runs from bit `start_bit` of byte `first_byte` up to,
// not including, bit `end_bit` of byte `last_byte` (8 = the whole byte).
struct SegmentEntry {
  std::uint32_t first_byte = 0;
  std::uint32_t last_byte = 0;
  std::uint32_t rows = 0;
  std::uint8_t start_bit = 0;
  std::uint8_t end_bit = 0;
};
std::array<std::uint8_t, kIndexEntrySize> store_entry(const SegmentEntry& entry);
SegmentEntry load_entry(std::span<const std::uint8_t, kIndexEntrySize> bytes);

// The vertical resolution (dpi) a stream most likely has, from the rows of
// its longest segment and its width class: A4 page lengths at 3.85, 7.7 and
// 11.55 lines/mm (T.4 2.2) and their B4/A3 counterparts. Classes outside
// 1..3 keep 100.
std::uint16_t choose_vertical_resolution(std::uint8_t width_class, std::uint32_t longest_rows);

// The extractors' result when the codec's control asked for a stop: what was
// written so far is incomplete and the caller throws it away.
inline constexpr int kExtractionStopped = -20;

// What one extraction found, for the sink's last step.
struct ExtractionSummary {
  std::uint32_t entries = 0;     // segments given
  std::uint32_t total_rows = 0;  // rows given
  std::uint32_t longest = 0;     // rows of the longest segment
  // Places where decoding lost its way: bad codes, rows of another length
  // than the width (empty rows, as in RTC, are not counted). Data read in
  // the wrong bit order or coding has many; a clean stream has none.
  std::uint32_t troubles = 0;
};

// Where extraction puts its results. Every call but clear() comes from one
// extraction in order: begin, then rows and segments, then finish. A false
// return means the sink failed (a write); extraction then ends with -1.
class ExtractionSink {
 public:
  virtual ~ExtractionSink() = default;
  // Forgets everything given so far: a try that finds nothing leaves the
  // sink empty.
  virtual bool clear() = 0;
  // The page every row belongs to, without rows yet and at 100 dpi down,
  // and the coded data its rows come from (in the descriptor's bit order),
  // for a sink that looks at the data around the rows.
  virtual bool begin(const PageBitmap& descriptor, std::span<const std::uint8_t> coded) = 0;
  // A good row's pixels and where it lies in the coded data: from its EOL
  // (and tag) up to the EOL of the row after it (T.4), or its codes (T.6).
  // Rows that follow each other in the data lie back to back.
  virtual bool row(std::span<const std::uint8_t> row, const RowBits& coded) = 0;
  virtual bool segment(const SegmentEntry& entry) = 0;
  // What the decoder met between two rows, as it met it: an EOL with no
  // row (`empty`: fill, RTC, EOFB) or data that gave no good row; the bit
  // where the decoder stands after it. For a sink that finds page ends.
  virtual bool gap(bool /*empty*/, std::int64_t /*position*/) { return true; }
  // The descriptor again, with the rows counted and the vertical
  // resolution chosen (from the longest segment, when there is one).
  virtual bool finish(const PageBitmap& descriptor, const ExtractionSummary& summary) = 0;
};

// What the caller lets the analyses use.
struct ExtractionOptions {
  std::uint16_t threshold = 50;
  std::uint8_t flag_number = 3;  // T.6 only
  std::uint8_t bit_order = 1;    // 1 or 2, the order to try
  bool nonstandard_widths = true;
  std::int32_t min_width = 1728;
};

// Finds MH or MR coding (standard widths first, then, when allowed, widths
// above the minimum) and runs the matching extractor. The extractor's result,
// or -1 when no analysis accepted the data (the sink then cleared).
int extract(FaxCodec& codec, ExtractionSink& sink, const ExtractionOptions& options);

// The same for T.6: the minimum width first when non-standard widths are
// allowed, then the standard widths. With the codec's raw flag the data is
// decoded from byte 0, otherwise from the start the analysis found.
int extract_t6(FaxCodec& codec, ExtractionSink& sink, const ExtractionOptions& options);

// The bare data reader's whole search: MH/MR (extract), then T.6
// (extract_t6), each in every bit order of `orders` in turn. The first try
// whose rows decode cleanly wins. A try that is accepted with many troubles
// (wrong-order data that happens to decode for a while: a blank 2D page is
// periodic in whole bytes, so it decodes to equal rows in either order) is
// kept only when no later try decodes more cleanly; the sink ends up holding
// the try kept. The kept try's result, or that of the last try when none was
// accepted.
int extract_cleanest(FaxCodec& t4, FaxCodec& t6, ExtractionSink& sink,
                     const ExtractionOptions& options, std::span<const std::uint8_t> orders);

// The extractors decode from the codec's cursor at the codec's width and bit
// order. -1 when the sink fails (and for MR when the
// data holds no EOL followed by a 1 tag bit). MH and MR otherwise return the
// number of bad code words or rows met; T.6 returns 0, or END_OF_DATA when
// no row was found.
int extract_mh_rows(FaxCodec& codec, ExtractionSink& sink);
int extract_mr_rows(FaxCodec& codec, ExtractionSink& sink);
int extract_t6_rows(FaxCodec& codec, ExtractionSink& sink);

}  // namespace orvane::codec
