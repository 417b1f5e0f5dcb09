#pragma once
#include <cstdint>
#include <string_view>

namespace orvane {

// Format numbers chosen by classification. Stored in no file, but reported by
// orvane-cli and passed to every dispatch, so the numbers are fixed.
enum FaxFormat : std::int32_t {
  kFormatNotFax = -2,      // not a fax file: nothing is opened
  kFormatUnsupported = -1, // a fax format we do not open
  kFormatRawFax = 0,
  kFormatApro = 1,
  kFormatAtWork = 3,
  kFormatBitware = 4,
  kFormatDcx = 7,
  kFormatFaxWizard = 10,
  kFormatWinFax = 11,
  kFormatQuickLink = 14,
  kFormatTiff = 16,
  kFormatZetafax = 17,
  kFormatQrnFax = 18,
};

// Every value outside 1..18 is read as raw fax data.
inline bool is_raw_format(std::int32_t format) { return format < 1 || format > 18; }

// True for the formats read by the TIFF reader.
inline bool is_tiff_format(std::int32_t format) {
  return format == kFormatAtWork || format == kFormatFaxWizard || format == kFormatTiff ||
         format == kFormatZetafax;
}

// Short display name ("TIFF", "DCX", "raw fax data", ...).
std::string_view format_name(std::int32_t format);

}  // namespace orvane
