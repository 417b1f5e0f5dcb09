#pragma once
// Modified Huffman decoding (ITU-T T.4 4.1): one code word, one row up to its
// EOL, and the page decoders for byte/word aligned rows, EOL rows and rows
// with a 16-bit word in front.
#include <cstdint>

#include "codec/fax_codec.h"
#include "codec/row_writer.h"
#include "base/page_bitmap.h"

namespace orvane::codec {

// Fills the page fields from the codec and allocates height x row bytes of
// pixels (the common page setup of every CCITT page decoder), every pixel
// white (page_background), so that decoders paint only the other colour.
// False, with no pixels, when the size is refused or cannot be allocated.
bool setup_page(FaxCodec& codec, PageBitmap& page, std::uint8_t coding);

// One code word of colour 0 (white) or 1 (black): a run length (0..63
// terminating, 64..2560 make-up), END_OF_DATA, BAD_CODE or EOL_SEEN.
int decode_code(FaxCodec& codec, int colour);

// True when `run` returned by decode_code is a make-up code (64..2560).
inline bool is_makeup(int run) { return run >= 64; }

// One row up to its EOL: the pixel count at the EOL, or BAD_CODE,
// END_AFTER_ROW, END_OF_DATA. `line` (may be null) records the runs.
int decode_row_to_eol(FaxCodec& codec, RowWriter& writer, RunList* line);

// CodingMode 3 (word = false) or 4 (word = true). -1 out of memory, 1 when
// stopped at an invalid code, 0 otherwise.
int decode_aligned_page(FaxCodec& codec, PageBitmap& page, bool word);

// CodingMode 5. -1 out of memory, else the number of invalid code words met.
int decode_eol_page(FaxCodec& codec, PageBitmap& page);

// CodingMode 5 rows; with `word` a 16-bit word stands in front of the first
// row and after every complete row. Results as decode_eol_page.
int decode_prefixed_row_page(FaxCodec& codec, PageBitmap& page, bool word);

}  // namespace orvane::codec
