#include "cli/decoding_options.h"

namespace orvane::cli {

void DecodingOptions::add_to(CLI::App& command) {
  command.add_option("--bit-order", bit_order, "Bit order of bare fax data")
      ->check(CLI::IsMember({"auto", "msb", "lsb"}))
      ->capture_default_str()
      ->group("Decoding");
  // A threshold of 0 would accept a width before a single row decoded.
  command.add_option("--threshold", threshold, "Rows that must decode alike before a guess holds")
      ->check(CLI::Range(1, 65535))
      ->capture_default_str()
      ->group("Decoding");
  command.add_option("--flag-num", flag_num, "Run of 0xFF bytes expected in front of T.6 data")
      ->check(CLI::Range(0, 255))
      ->capture_default_str()
      ->group("Decoding");
  command
      .add_option("--min-width", min_width, "Rows must be longer than this for non-standard widths")
      ->check(CLI::Range(1, 32767))
      ->capture_default_str()
      ->group("Decoding");
  command
      .add_flag("--no-nonstandard-widths", no_nonstandard_widths,
                "Accept only standard fax line widths")
      ->group("Decoding");
  command.add_flag("--raw-t6", raw_t6, "Bare fax data is a T.6 stream from its first byte")
      ->group("Decoding");
  command.add_option("--vres", vres, "Vertical resolution (dpi) for bare fax data; 0 = found")
      ->check(CLI::Range(0, 65535))
      ->capture_default_str()
      ->group("Decoding");
  command
      .add_option("--paginate", paginate,
                  "Pages of bare fax data: fixed standard lengths, or rtc (ending at each RTC "
                  "or EOFB)")
      ->check(CLI::IsMember({"fixed", "rtc"}))
      ->capture_default_str()
      ->group("Decoding");
}

DecodingParameters DecodingOptions::parameters() const {
  DecodingParameters p;
  p.bit_order = bit_order == "msb" ? 1 : bit_order == "lsb" ? 2 : 0;
  p.threshold = std::uint16_t(threshold);
  p.flag_number = std::uint8_t(flag_num);
  p.min_width = std::int16_t(min_width);
  p.nonstandard_widths = !no_nonstandard_widths;
  p.raw_file = raw_t6;
  p.vres_override = std::uint16_t(vres);
  p.split_at_page_ends = paginate == "rtc";
  return p;
}

}  // namespace orvane::cli
