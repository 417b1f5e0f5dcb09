#pragma once
// The previous CCITT decoder: tree walks of one or two bits per step through
// FaxCodec::read_bits, one write_run call per run, and the EOL and T.6
// start searches loading one byte at a time. Slow but simple; the
// row engines must give the same rows, results and cursor on any input.
#include <cstdint>
#include <vector>

#include "base/page_bitmap.h"
#include "codec/decode_2d.h"
#include "codec/fax_codec.h"
#include "codec/row_writer.h"

namespace orvane::codec::reference {

// Run lengths of one line, alternating white, black, white... from white:
// the form this decoder keeps its lines in. Written through `count` (coding
// line), read through `count` and `size` (reference line).
struct RunList {
  std::uint32_t count = 0;
  std::uint32_t size = 0;
  std::int32_t* items = nullptr;
  std::uint32_t capacity = 0;
};

class LinePair {
 public:
  bool allocate(std::uint32_t runs);
  RunList& coding() { return coding_; }
  RunList& reference() { return reference_; }
  void reset_reference(std::int32_t width);
  void clear_coding() { coding_.count = 0; }
  void accept_coding();

 private:
  std::vector<std::int32_t> coding_items_, reference_items_;
  RunList coding_, reference_;
};

int find_eol(FaxCodec& codec);
int find_t6_start(FaxCodec& codec, T6Search mode);
int decode_code(FaxCodec& codec, int colour);
int decode_row_to_eol(FaxCodec& codec, RowWriter& writer, RunList* line);
int decode_2d_row(FaxCodec& codec, RowWriter& writer, LinePair& lines, bool t6);
int decode_aligned_page(FaxCodec& codec, PageBitmap& page, bool word);
int decode_eol_page(FaxCodec& codec, PageBitmap& page);
int decode_prefixed_row_page(FaxCodec& codec, PageBitmap& page, bool word);
int decode_mr_page(FaxCodec& codec, PageBitmap& page);
int decode_t6_rows(FaxCodec& codec, PageBitmap& page);

}  // namespace orvane::codec::reference
