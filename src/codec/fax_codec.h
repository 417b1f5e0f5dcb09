#pragma once
// The read cursor every CCITT decoder works on: bit fetching in both bit
// orders, end of data, alignment and the EOL search (ITU-T T.4 4.1.2).
#include <cstdint>
#include <span>

#include "base/work_control.h"

namespace orvane::codec {

// Byte-load status values, kept in current_byte and passed up by every read.
inline constexpr int kNoData = -1;
inline constexpr int kBeforeStart = -2;
inline constexpr int kPastEnd = -3;

// Decoder results shared by the 1D, 2D and analysis code.
inline constexpr int END_OF_DATA = -11;    // the data ended inside a row
inline constexpr int BAD_CODE = -12;       // no code word of the table in use
inline constexpr int EOL_SEEN = -13;       // an EOL where a run was expected
inline constexpr int END_AFTER_ROW = -14;  // data ended after exactly width pixels

struct FaxCodec {
  const std::uint8_t* data = nullptr;  // coded bytes, not owned
  std::int32_t length = 0;
  std::int32_t position = 0;            // index of the current byte
  std::int32_t start_offset = 0;        // where T.6 data begins (Find T.6 start)
  std::int16_t current_byte = kNoData;  // byte at position after bit-order correction, or a status
  std::uint8_t bit_order = 1;           // 1 as stored; anything else: bytes bit-reversed on load
  std::uint8_t bits_used = 0;           // bits of current_byte consumed, 0..7
  std::uint8_t raw_flag = 0;            // T.6 taken from the cursor, no start search
  std::uint8_t coding_mode = 0;         // CodingMode the page decoder dispatches on
  std::uint8_t invert = 0;              // see write_run: a run is set when colour ^ invert == 0
  std::int32_t width = 0;               // line width in pixels
  std::int32_t height = 0;              // rows the page bitmap is allocated for
  std::uint8_t t6_options = 0;
  std::uint8_t flag_number = 3;          // 0xFF run length in front of T.6 data
  std::int32_t search_position = 0;      // where the next T.6 start search begins
  const WorkControl* control = nullptr;  // long work (analysis, extraction): stop and progress
  std::uint32_t rows_unreported = 0;     // rows tried since keep_going() last reported

  bool stop_requested() const { return control && control->stop_requested(); }
  // Asked between rows of long work: false once the caller wants a stop.
  // Every few thousand rows it also says how far into the data the cursor
  // is, so that a trial decoding that runs through a whole large stream
  // in vain shows its progress too.
  bool keep_going() {
    if (!control) return true;
    if (control->stop_requested()) return false;
    if (++rows_unreported >= 4096) {
      rows_unreported = 0;
      control->report(position, length);
    }
    return true;
  }

  // Points the cursor at byte 0 of `bytes`; start offset 0.
  void open(std::span<const std::uint8_t> bytes, std::uint8_t order);
  // As open, keeping the bit order and start offset.
  void rewind(std::span<const std::uint8_t> bytes);
  // Open, width/height/raw flag 0, search position 0, coding and invert set.
  void configure(std::span<const std::uint8_t> bytes, std::uint8_t order, std::uint8_t coding,
                 std::uint8_t invert_flag);
  void set_size(std::int32_t w, std::int32_t h) {
    width = w;
    height = h;
  }
  std::span<const std::uint8_t> bytes() const { return {data, data ? std::size_t(length) : 0}; }

  // Loads the byte at position (after adding 1 with `advance`); returns it or a status.
  int load_byte(bool advance);
  // Next n bits (1..8), first bit most significant, or a negative status.
  int read_bits(int n);
  void unread_bits(int n);
  // To the next byte boundary; with `word` also to an even byte index.
  void align(bool word);
  // Skips one 16-bit word at a byte boundary.
  void skip_word();
  // Moves just past the next EOL (eleven or more zeros, then a 1). 0 or a status.
  int find_eol();
};

// Reverses the bits of a byte (one table lookup).
std::uint8_t reverse_bits(std::uint8_t b);

}  // namespace orvane::codec
