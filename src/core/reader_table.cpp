#include "core/reader_table.h"

#include "core/fax_format.h"
#include "formats/apro_reader.h"
#include "formats/bitware_reader.h"
#include "formats/dcx_reader.h"
#include "formats/qrnfax_reader.h"
#include "formats/quicklink_reader.h"
#include "formats/raw_fax_reader.h"
#include "formats/winfax_reader.h"
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
    case kFormatApro: return std::make_unique<AproReader>();
    case kFormatDcx: return std::make_unique<DcxReader>();
    case kFormatWinFax: return std::make_unique<WinFaxReader>();
    case kFormatQrnFax: return std::make_unique<QrnFaxReader>();
    case kFormatBitware: return std::make_unique<BitwareReader>();
    case kFormatQuickLink: return std::make_unique<QuickLinkReader>();
    default: return nullptr;
  }
}

}  // namespace orvane
