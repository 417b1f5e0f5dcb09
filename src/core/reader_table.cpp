#include "core/reader_table.h"

#include "core/fax_format.h"
#include "formats/raw_fax_reader.h"
#include "tiff/tiff_reader.h"

namespace orvane {

std::int32_t reader_slot(std::int32_t format) {
  if (is_raw_format(format)) return kFormatRawFax;
  if (is_tiff_format(format)) return kFormatTiff;
  return format;
}

std::unique_ptr<FormatReader> make_reader(std::int32_t slot) {
  switch (slot) {
    case kFormatRawFax: return std::make_unique<RawFaxReader>();
    case kFormatTiff: return std::make_unique<TiffReader>();
    default: return nullptr;
  }
}

}  // namespace orvane
