// Stream analysis on unknown data, then a page decoded with what it found,
// as the Bitware and Quick Link readers do. Byte 0 of the input sets the
// threshold (1..64) and the flag number (bits 6-7), byte 1 the minimum width
// of the any-width searches (16 x (byte + 1)); the rest is the data.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/coding_mode.h"
#include "base/limits.h"
#include "codec/page_driver.h"
#include "codec/stream_analysis.h"
#include "fuzz_support.h"

namespace {

// Rows decoded after a guess; the guess is about the data, not its height.
constexpr std::int32_t kRows = 256;

void check_codec(const orvane::codec::FaxCodec& codec, std::span<const std::uint8_t> bytes) {
  FUZZ_CHECK(codec.data == bytes.data() || bytes.empty());
  FUZZ_CHECK(codec.length == std::int32_t(bytes.size()) || bytes.size() > INT32_MAX);
  // A failed search leaves -1; an accepted one a width a page can have.
  FUZZ_CHECK(codec.width >= -1 && codec.width <= orvane::limits::kMaxPageSide);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvane;
  using namespace orvane::codec;
  if (size < 2) return 0;
  const std::uint16_t threshold = std::uint16_t(1 + (data[0] & 63));
  const std::uint8_t flag_number = std::uint8_t(data[0] >> 6);
  const std::int32_t min_width = 16 * (std::int32_t(data[1]) + 1);
  const std::span<const std::uint8_t> bytes(data + 2, size - 2);

  FaxCodec codec;
  codec.configure(bytes, 1, kCodingT4_1D, 0);
  for (std::uint8_t order : {std::uint8_t(1), std::uint8_t(2)}) {
    analyse_mh_any_width(codec, order, threshold, min_width);
    check_codec(codec, bytes);
    analyse_mr_any_width(codec, order, threshold, min_width);
    check_codec(codec, bytes);
  }

  StreamGuess guess;
  guess.threshold = threshold;
  guess.flag_number = flag_number;
  if (guess_coding(codec, guess)) {
    check_codec(codec, bytes);
    FUZZ_CHECK(guess.coding == kCodingT4_1D || guess.coding == kCodingT4_2D);
    FUZZ_CHECK(guess.width >= 1 && guess.width <= limits::kMaxPageSide);
    codec.bit_order = guess.bit_order;
    codec.coding_mode = guess.coding;
    codec.set_size(guess.width, kRows);
    PageBitmap page;
    decode_by_coding_mode(codec, page);
  }

  FaxCodec t6;
  configure_for_t6(t6, bytes, 1, 0, 0, flag_number);
  if (guess_t6(t6, guess)) {
    FUZZ_CHECK(guess.coding == kCodingT6);
    FUZZ_CHECK(guess.start_offset >= 0 && std::size_t(guess.start_offset) <= bytes.size());
    t6.bit_order = guess.bit_order;
    t6.rewind(bytes);
    t6.set_size(guess.width, kRows);
    PageBitmap page;
    decode_t6_page(t6, page);
  }
  return 0;
}
