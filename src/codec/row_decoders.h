#pragma once
// The three row decoders: Modified Huffman (with its aligned, prefixed and
// EOL-ended layouts), T.4 two-dimensional (MR) and T.6. Each reads its rows
// from a bit reader of its own, owns its reference line and its recovery
// rule, and hands out one row per next_row(). Page decoding, extraction,
// stream analysis and the PDF filter check are loops over them.
#include <cstdint>
#include <vector>

#include "codec/bit_reader.h"
#include "codec/fax_codec.h"
#include "codec/row_writer.h"
#include "codec/run_painter.h"

namespace orvane::codec {

// What one next_row() found. Every loop over a decoder takes them in
// this one sense: what follows a row that went wrong is the decoder's own
// recovery rule (see each next_row() and Recovery). A caller decides what
// the rows count for, and a search that rejects a row may pass over more
// (resync()).
enum class RowStatus : std::uint8_t {
  kRow,         // a row of the width
  kOtherWidth,  // a row that ended cleanly at another pixel count (pixels())
  kEmpty,       // an EOL and no row (RTC, fill; in T.6 an EOFB or EOL)
  kBad,         // a row given up (a code word it cannot have, or see Recovery);
                // the decoder finds the next row to resume at by itself
  kEnd,         // the data ended inside a row or while resynchronising
  kLastRow,     // the data ended right after a row of the width, without its EOL
};

// What a 2D decoder makes of a row that ends cleanly at another pixel
// count than its width. Bad codes are the decoder's to recover from in
// either case (see each next_row()).
enum class Recovery : std::uint8_t {
  // Reported as it is (kOtherWidth), for callers that measure rows and
  // judge them themselves (stream analysis, the PDF filter check).
  kReport,
  // The decoder's rule for the rows of a page. MR gives the row up (kBad)
  // with every row up to the next one-dimensional one: the rows after it
  // would be decoded against a reference line of the wrong length. T.6
  // keeps a row that ran past the width as a row (kRow), its pixels past
  // the width not painted: its codes ended where the next row's begin.
  kRecover,
};

// How Modified Huffman rows are laid out in the data.
enum class MhRows : std::uint8_t {
  kToEol,         // rows end at their EOL (T.4 one-dimensional)
  kToWidth,       // rows end at the width; EOLs between them are empty rows
  kToWidthWords,  // the same, with a 16-bit word before the first row and after every row
  kByteAligned,   // rows end at the width and the next starts on a byte boundary
  kWordAligned,   // ... on an even byte
  kEolThenWidth,  // fill and one EOL before every row, which ends at the width
};

// The coding line and reference line of a 2D decoder, held as where their
// runs end (RunList): the changing elements the 2D codes are read against.
class LinePair {
 public:
  // Room for `runs` runs per line; false when it cannot be allocated. Room
  // there is already is kept, not allocated and cleared again.
  bool allocate(std::uint32_t runs);
  RunList& coding() { return coding_; }
  RunList& reference() { return reference_; }
  // The imaginary white line above the first row: one run of `width`.
  void reset_reference(std::int32_t width);
  void clear_coding() { coding_.count = 0; }
  // The coding line is one white run of `width` (a white row).
  void white_coding(std::int32_t width);
  // The coding line's runs become the reference line.
  void accept_coding();
  // True when the reference is one white run of `width` (a white row).
  bool white_reference(std::int32_t width) const {
    return reference_.size == 1 && reference_.at[1] == width;
  }

 private:
  std::vector<std::int64_t> coding_ends_, reference_ends_;
  RunList coding_, reference_;
};

// Shared by the decoders: where the row under way began, its pixels, and
// whether the next row has to find its way back first.
class RowDecoderBase {
 public:
  std::int64_t pixels() const { return pixels_; }
  // The bit where the last row's own codes began (after its EOL and tag).
  std::int64_t row_start() const { return row_start_; }
  std::int64_t position() const { return in_.position(); }
  // Where the last row's codes lie; up to the next next_row().
  RowBits bits() const { return {row_start_, in_.position()}; }
  const BitReader& reader() const { return in_; }
  // The rows up to where the decoder's recovery rule finds one to resume
  // at are passed over: for a caller whose own rule rejects the last row
  // (a width search that counts its rows again from there).
  void resync() { lost_ = true; }
  // After kEnd: the data ended while looking for a row to resume at.
  bool resync_failed() const { return resync_failed_; }
  std::int32_t width() const { return width_; }

 protected:
  RowDecoderBase(const BitReader& in, std::int32_t width, std::uint8_t invert)
      : in_(in), width_(width), invert_(invert) {}
  RowStatus ended(std::int64_t pixels) {
    pixels_ = pixels;
    return pixels == width_ ? RowStatus::kLastRow : RowStatus::kEnd;
  }
  // A white row taken whole: painted only where white is the colour painted.
  RowStatus white_row(RunPainter& out) {
    const std::int64_t x = out.position();
    if (out.painted_colour(invert_) == 0) out.span(x, x + width_);
    out.move_to(x + width_);
    out.end_row();
    pixels_ = width_;
    return RowStatus::kRow;
  }
  RowStatus resync_failed_now() {
    resync_failed_ = true;
    pixels_ = 0;
    return RowStatus::kEnd;
  }
  // Rows that end at their EOL: a white row of the width and its EOL
  // (the most common row of most pages) are taken whole when they come next.
  void expect_white_rows();
  bool take_white_row() {
    return white_bits_ > 0 && (in_.reversed() ? in_.take<true>(white_bits_, white_row_)
                                              : in_.take<false>(white_bits_, white_row_));
  }

  BitReader in_;
  std::int32_t width_;
  std::uint8_t invert_;
  std::int64_t pixels_ = 0;
  std::int64_t row_start_ = 0;
  bool lost_ = false;
  bool resync_failed_ = false;
  int white_bits_ = 0;  // the white row and its EOL as one bit string (0: none)
  std::uint64_t white_row_ = 0;
};

class MhDecoder : public RowDecoderBase {
 public:
  // A width below 1 takes rows of any length (kToEol only).
  MhDecoder(const BitReader& in, std::int32_t width, std::uint8_t invert, MhRows rows);
  // Recovery: the next EOL. Rows that only end at their EOL are given up
  // once they pass the width. Rows aligned to bytes or words carry no EOL
  // to resume at: after a bad row (kBad, or kOtherWidth for a row that ran
  // past the width) the data ends there (kEnd).
  RowStatus next_row(RunPainter out, RunList* line = nullptr);
  // White rows (rows that end at their EOL), as many as come next: taken
  // without painting, for rows that are white already. How many.
  std::int64_t take_white_rows();

 private:
  RowStatus decode(RunPainter& out, RunList* line);
  MhRows rows_;
  bool first_ = true;
};

enum class MrRows : std::uint8_t {
  kToEol,         // rows end at their EOL, a tag bit after it
  kEolThenWidth,  // fill, an EOL and the tag bit before every row, which ends at the width
};

class MrDecoder : public RowDecoderBase {
 public:
  // With `lines` the decoder works in the caller's line pair (one that a
  // caller keeps from decoder to decoder, used by one at a time) rather
  // than in one of its own.
  MrDecoder(const BitReader& in, std::int32_t width, std::uint8_t invert,
            MrRows rows = MrRows::kToEol, Recovery recovery = Recovery::kReport,
            LinePair* lines = nullptr);
  bool allocated() const { return allocated_; }
  // Finds the first one-dimensional row (the first that needs no
  // reference); false when there is none.
  bool start();
  // Recovery: the next EOL followed by a 1 tag bit, after a bad code and
  // (Recovery::kRecover) after a row of another width.
  RowStatus next_row(RunPainter out);
  int tag() const { return tag_; }  // of the last row: 1 one-dimensional
  void set_width(std::int32_t width);
  // White rows under a white row (rows that end at their EOL), as many as
  // come next: taken without painting, for rows that are white already.
  std::int64_t take_white_rows();

 private:
  bool find_1d_row();
  bool take_white_2d_row();
  LinePair own_lines_;
  LinePair& lines_;
  MrRows rows_;
  Recovery recovery_;
  int tag_ = 1;
  bool tag_due_ = false;  // the tag of the next row is still to be read
  bool accept_ = false;   // the last row becomes the reference when the next begins
  bool allocated_ = false;
};

enum class T6Search { kFirst, kNext, kHere };

class T6Decoder : public RowDecoderBase {
 public:
  // With `raw` the data is taken from the reader's position and recovery
  // goes on after the bad code; otherwise a start is a run of at least
  // `flag_number` 0xFF bytes (find_start). `lines` as for MrDecoder.
  T6Decoder(const BitReader& in, std::int32_t width, std::uint8_t invert, bool raw = true,
            std::uint8_t flag_number = 3, Recovery recovery = Recovery::kReport,
            LinePair* lines = nullptr);
  bool allocated() const { return allocated_; }
  // Recovery: the next start, rows from white again.
  RowStatus next_row(RunPainter out);
  // White rows under a white row, as many as come next (each a V0 code
  // alone): taken without painting, for rows that are white already. How many.
  std::int64_t take_white_rows();
  // Moves to where T.6 data starts (a run of 0xFF bytes, then a byte whose
  // bits after its leading ones begin 000 or 001) and begins rows from
  // white there; false at the end of the data.
  bool find_start(T6Search mode);
  // The byte where the last start's 0xFF run begins.
  std::int64_t start_offset() const { return start_offset_; }

 private:
  LinePair own_lines_;
  LinePair& lines_;
  bool raw_;
  std::uint8_t flags_;
  Recovery recovery_;
  std::int64_t search_from_ = 0;  // byte the next kNext search begins at
  std::int64_t start_offset_ = 0;
  bool allocated_ = false;
};

// No pixels at all: the painter of a row that is only measured.
inline RunPainter no_row() {
  return RunPainter(nullptr, 0);
}

}  // namespace orvane::codec
