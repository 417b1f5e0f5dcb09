#pragma once
// Two-dimensional decoding: T.4 MR (ITU-T T.4 4.2) and T.6 MMR, and the
// search for the start of T.6 data used to resynchronise.
#include <cstdint>
#include <vector>

#include "base/page_bitmap.h"
#include "codec/fax_codec.h"
#include "codec/row_writer.h"

namespace orvane::codec {

// The coding line and reference line of a 2D decoder, allocated once per
// page (or per analysis) and reused row after row. Both hold where their
// runs end (RunList), the form the 2D codes are read against.
class LinePair {
 public:
  // Room for `runs` runs per line; false when it cannot be allocated.
  bool allocate(std::uint32_t runs);
  RunList& coding() { return coding_; }
  RunList& reference() { return reference_; }
  // The imaginary white line above the first row: one run of `width`.
  void reset_reference(std::int32_t width);
  // Clears the coding line before a row.
  void clear_coding() { coding_.count = 0; }
  // The coding line's runs become the reference line.
  void accept_coding();

 private:
  std::vector<std::int64_t> coding_ends_, reference_ends_;
  RunList coding_, reference_;
};

enum class T6Search { kFirst, kNext, kHere };

// One 2D row against `reference`, runs recorded into `coding`. T.4 rows end
// at an EOL (t6 = false), T.6 rows at the width. Returns the pixel total, or
// BAD_CODE (also for a code that puts a1 left of a0), EOL_SEEN,
// END_AFTER_ROW, END_OF_DATA.
int decode_2d_row(FaxCodec& codec, RowWriter& writer, LinePair& lines, bool t6);
// The same through a painter (page decoders, whose rows start as white).
class RunPainter;
int decode_2d_row(FaxCodec& codec, RunPainter& paint, LinePair& lines, bool t6);
// The same from a bit window the caller keeps across rows (and stores into
// the codec before any search of its own).
class BitCursor;
int decode_2d_row(BitCursor& in, RunPainter& paint, LinePair& lines, std::int64_t width, int invert,
                  bool t6);

// Moves just past the next EOL followed by a 1 tag bit (T.4 4.2.4: a row
// coded one-dimensionally, the only kind decodable without a reference).
// False at the end of data.
bool find_1d_row(FaxCodec& codec);

// CodingMode 6 page. -1 out of memory or no EOL + 1 tag found; else rows rejected.
int decode_mr_page(FaxCodec& codec, PageBitmap& page);

// CodingMode 7 page from the cursor. 0, -1 (memory), END_OF_DATA when no row
// decoded, BAD_CODE when resynchronisation failed.
int decode_t6_rows(FaxCodec& codec, PageBitmap& page);

// Finds where T.6 data starts (a run of 0xFF bytes, then a byte whose bits
// after its leading ones begin 000 or 001). 0 with the cursor at the first
// coded bit, or a negative load status.
int find_t6_start(FaxCodec& codec, T6Search mode);

// Whether find_t6_start finds any start in the codec's data with this bit
// order and flag number (always with the raw flag); the codec is left as it
// was. Without one, no T.6 analysis of the data can accept any width.
bool t6_start_exists(const FaxCodec& codec, std::uint8_t bit_order, std::uint8_t flag_number);

}  // namespace orvane::codec
