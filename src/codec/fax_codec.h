#pragma once
// What a CCITT decoder is told about its data: the coded bytes, their bit
// order, coding, size and the T.6 start rules. The reading itself is done
// by a BitReader over these bytes (reader()).
#include <cstdint>
#include <span>

#include "base/work_control.h"

namespace orvane::codec {

class BitReader;

// Where one row's codes lie in the coded data, as bit positions counted in
// the data's bit order: from the first bit of the row's own codes (after
// the EOL and tag bit in front of it) up to, not including, the bit after
// the last one read for it (after the EOL that ends it, where one does).
struct RowBits {
  std::int64_t start = 0;
  std::int64_t end = 0;
};

struct FaxCodec {
  const std::uint8_t* data = nullptr;  // coded bytes, not owned
  std::int32_t length = 0;
  std::uint8_t bit_order = 1;    // 1 as stored (MSB first); anything else: LSB first
  std::uint8_t coding_mode = 0;  // CodingMode the page decoder dispatches on
  std::uint8_t invert = 0;       // a run is set when colour ^ invert == 0
  std::int32_t width = 0;        // line width in pixels
  std::int32_t height = 0;       // rows the page bitmap is allocated for
  std::uint8_t t6_options = 0;
  std::uint8_t flag_number = 3;   // 0xFF run length in front of T.6 data
  std::uint8_t raw_flag = 0;      // T.6 taken from byte 0, no start search
  std::int32_t start_offset = 0;  // T.6 analysis: where the accepted data begins
  // MH/MR analyses: give up once the data can no longer decode cleanly
  // (see stream_analysis.h); gave_up tells that one did.
  bool clean_only = false;
  bool gave_up = false;
  const WorkControl* control = nullptr;  // long work (analysis, extraction): stop and progress
  // Told the progress as control is, for a caller that follows the reading
  // itself (hands back the data read); never asked for a stop.
  const WorkControl* reading = nullptr;

  bool stop_requested() const { return control && control->stop_requested(); }

  // The data and bit order, start offset 0.
  void open(std::span<const std::uint8_t> bytes, std::uint8_t order);
  // Other data, the rest kept.
  void rewind(std::span<const std::uint8_t> bytes);
  // Open, width/height/raw flag 0, coding and invert set.
  void configure(std::span<const std::uint8_t> bytes, std::uint8_t order, std::uint8_t coding,
                 std::uint8_t invert_flag);
  void set_size(std::int32_t w, std::int32_t h) {
    width = w;
    height = h;
  }
  std::span<const std::uint8_t> bytes() const { return {data, data ? std::size_t(length) : 0}; }
  // A reader over the bytes in their bit order.
  BitReader reader() const;
};

// Asked between rows of long work: false once the caller wants a stop.
// Every 4096 rows it also says how far into the data the work is, so that
// a trial that runs through a whole large stream in vain shows progress.
class Pacer {
 public:
  explicit Pacer(const FaxCodec& codec)
      : control_(codec.control), reading_(codec.reading), length_(codec.length) {}
  bool keep_going(std::int64_t bit_position) {
    if (control_ == nullptr && reading_ == nullptr) return true;
    if (control_ && control_->stop_requested()) return !(stopped_ = true);
    if (++rows_ >= 4096) {
      rows_ = 0;
      if (control_) control_->report(bit_position / 8, length_);
      if (reading_) reading_->report(bit_position / 8, length_);
    }
    return true;
  }
  bool stopped() const { return stopped_; }

 private:
  const WorkControl* control_;
  const WorkControl* reading_;
  std::int64_t length_;
  std::uint32_t rows_ = 0;
  bool stopped_ = false;
};

// Reverses the bits of a byte.
std::uint8_t reverse_bits(std::uint8_t b);

}  // namespace orvane::codec
