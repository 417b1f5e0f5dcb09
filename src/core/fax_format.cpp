#include "core/fax_format.h"

namespace orvane {

std::string_view format_name(std::int32_t format) {
  switch (format) {
    case kFormatNotFax: return "not a fax file";
    case kFormatUnsupported: return "unsupported fax format";
    case kFormatApro: return "Apro";
    case kFormatAtWork: return "At Work";
    case kFormatBitware: return "Bitware";
    case kFormatDcx: return "DCX";
    case kFormatFaxWizard: return "FaxWizard";
    case kFormatWinFax: return "WinFax";
    case kFormatQuickLink: return "Quick Link II";
    case kFormatTiff: return "TIFF";
    case kFormatZetafax: return "Zetafax";
    case kFormatQrnFax: return "QRN-FAX";
    default: return "raw fax data";
  }
}

}  // namespace orvane
