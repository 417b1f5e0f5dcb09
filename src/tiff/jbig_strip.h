#pragma once
// JBIG pages in TIFF (Compression 34661, and 9 for the T.85 profile of
// TIFF-FX): the BIE of the page's strips decoded by libjbig into a bitmap.
#include <cstdint>
#include <span>

#include "base/page_bitmap.h"
#include "base/result.h"
#include "tiff/tiff_page.h"

namespace orvane {

// True for the Compression values that hold a JBIG BIE.
bool is_jbig_compression(std::uint16_t compression);

// Decodes `bie` (a whole bi-level image entity, the page's strips back to
// back) into `page`, every field set as for a strip decoded here. The BIE's
// header is checked against the directory first: more than one bit plane,
// or a size other than ImageWidth x ImageLength, is refused with its reason
// before libjbig allocates anything; so is data libjbig cannot decode.
Status decode_jbig_page(std::span<const std::uint8_t> bie, const TiffPage& desc, PageBitmap& page);

}  // namespace orvane
