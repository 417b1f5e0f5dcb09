#pragma once
// The Modified Huffman row engine (ITU-T T.4 4.1): code words into runs,
// runs into a row, up to the event that ends the row for its caller. Page
// decoding, trial decoding and raw extraction all run their rows through it.
#include <cstdint>

#include "codec/bit_cursor.h"
#include "codec/row_writer.h"
#include "codec/run_painter.h"

namespace orvane::codec {

// Why decode_mh_codes returned.
enum class MhStop {
  kEol,        // an EOL (late ones with their extra bit given back)
  kBadCode,    // no code word of the table in use
  kEndOfData,  // the data ended inside a code word
  kWidth,      // a terminating code brought the pixels to the stop count
};

// A row under way; a fresh one starts white with no pixels.
struct MhRow {
  std::int64_t pixels = 0;   // pixels of the row so far
  std::int64_t pending = 0;  // make-up pixels not yet written
  int colour = 0;
};

// Decodes code words into `paint` (runs also onto `line` when not null)
// until one of the stops; kWidth once row.pixels >= stop_at after a
// terminating code. A run is painted as 1 bits when colour ^ invert is 0.
MhStop decode_mh_codes(BitCursor& in, RunPainter& paint, RunList* line, MhRow& row,
                       std::int64_t stop_at, int invert);

// decode_row_to_eol (decode_1d.h) through a painter.
int decode_row_to_eol(FaxCodec& codec, RunPainter& paint, RunList* line);
// The same from a bit window the caller keeps across rows.
int decode_row_to_eol(BitCursor& in, RunPainter& paint, RunList* line, std::int64_t width,
                      int invert);

}  // namespace orvane::codec
