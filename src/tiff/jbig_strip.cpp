#include "tiff/jbig_strip.h"

// JBIG-KIT's header declares C functions without saying so.
extern "C" {
#include <jbig.h>
}

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/coding_mode.h"
#include "base/limits.h"
#include "codec/fax_codec.h"
#include "codec/row_writer.h"
#include "tiff/tiff_tags.h"

namespace orvane {

namespace {

// ITU-T T.82 section 6.2: the bi-level image header.
constexpr std::size_t kBihSize = 20;
constexpr std::uint8_t kVlength = 0x20;  // options bit: the height may shrink later (NEWLEN)

std::uint32_t be32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Frees the decoder however the decoding ends.
struct JbigDecoder {
  jbg_dec_state state{};
  JbigDecoder() { jbg_dec_init(&state); }
  ~JbigDecoder() { jbg_dec_free(&state); }
  JbigDecoder(const JbigDecoder&) = delete;
  JbigDecoder& operator=(const JbigDecoder&) = delete;
};

Refusal damaged(const std::string& why) {
  return Refusal(limits::Limit::kDamaged, why);
}

}  // namespace

bool is_jbig_compression(std::uint16_t compression) {
  return compression == kCompressionJbig || compression == kCompressionT85;
}

Status decode_jbig_page(std::span<const std::uint8_t> bie, const TiffPage& desc, PageBitmap& page) {
  page.release_pixels();
  page.height = 0;
  if (bie.size() < kBihSize) return damaged("its JBIG data has no complete header");
  // libtiff writes (and reads) the BIE of a FillOrder 1 page with every
  // byte's bits reversed, other writers store it as it is, and FillOrder
  // does not tell them apart. The header does: a fax BIE has one plane,
  // and its plane count reversed reads 128.
  std::vector<std::uint8_t> data(bie.begin(), bie.end());
  if (data[2] == 0x80 && data[0] == 0)
    for (std::uint8_t& b : data) b = codec::reverse_bits(b);
  const std::uint8_t* bih = data.data();
  const unsigned planes = bih[2];
  if (planes != 1)
    return Refusal(limits::Limit::kNotBilevel, "JBIG data with " + std::to_string(planes) +
                                                   " bit planes: a grey picture, not a fax");
  const std::uint32_t xd = be32(bih + 4), yd = be32(bih + 8);
  const bool vlength = (bih[19] & kVlength) != 0;
  // A height that may shrink later (a sender that did not know it) is the
  // one thing the header may overstate; the decoded height is checked after.
  if (xd != desc.image_width || (yd != desc.image_length && !(vlength && yd > desc.image_length)))
    return damaged("its JBIG data is " + std::to_string(xd) + " x " + std::to_string(yd) +
                   ", the directory says " + std::to_string(desc.image_width) + " x " +
                   std::to_string(desc.image_length));
  const std::int32_t width = std::int32_t(desc.image_width);
  const std::int32_t rows = std::int32_t(desc.image_length);
  const std::int32_t row_bytes = row_bytes_for(width);
  const std::int64_t bytes = checked_page_size(width, rows, row_bytes);
  if (bytes <= 0) return Refusal(limits::Limit::kPage);

  // libjbig allocates the image at the height the header announces; a
  // height to be corrected later is announced as the directory's, which
  // the correction (NEWLEN) may not pass anyway.
  if (yd != desc.image_length) {
    data[8] = std::uint8_t(desc.image_length >> 24);
    data[9] = std::uint8_t(desc.image_length >> 16);
    data[10] = std::uint8_t(desc.image_length >> 8);
    data[11] = std::uint8_t(desc.image_length);
  }
  JbigDecoder dec;
  // libjbig allocates the whole image as the header states it; past the
  // directory's size it stops instead.
  jbg_dec_maxsize(&dec.state, desc.image_width, desc.image_length);
  std::size_t used = 0;
  const int result = jbg_dec_in(&dec.state, data.data(), data.size(), &used);
  if (result != JBG_EOK && result != JBG_EOK_INTR)
    return damaged(std::string("its JBIG data does not decode: ") + jbg_strerror(result));
  if (jbg_dec_getplanes(&dec.state) != 1)
    return Refusal(limits::Limit::kNotBilevel, "JBIG data with more than one bit plane");
  if (jbg_dec_getwidth(&dec.state) != desc.image_width ||
      jbg_dec_getheight(&dec.state) != desc.image_length)
    return damaged("its JBIG data ends at another height than the directory's");
  const unsigned char* image = jbg_dec_getimage(&dec.state, 0);
  if (image == nullptr || jbg_dec_getsize(&dec.state) < std::uint64_t(bytes))
    return damaged("its JBIG data holds no image");

  page.type = 0;
  page.width = width;
  page.height = rows;
  page.row_bytes = row_bytes;
  page.planes = 1;
  page.bits_per_pixel = 1;
  page.coded_length = std::uint32_t(std::min<std::size_t>(bie.size(), 0xFFFFFFFFu));
  const codec::WidthClass wc = codec::width_class(width);
  page.xres = wc.dpi;
  page.width_class = wc.paper;
  page.yres = 100;
  page.unit = 2;
  page.bit_order = std::uint8_t(bie[2] == 0x80 ? kBitOrderLsbFirst : kBitOrderMsbFirst);
  page.coding = kCodingJbig;
  page.invert = std::uint8_t(desc.photometric);
  if (Status room = page.allocate_pixels(bytes); !room) {
    page.height = 0;
    return room;
  }
  // The decoded bytes are the page's samples, read by PhotometricInterpretation
  // as libtiff reads them: under 0 (WhiteIsZero, the fax default) a set bit
  // is black, as JBIG draws it, and our bitmaps keep 1 for white.
  const std::uint8_t flip = desc.photometric == 0 ? 0xFF : 0x00;
  for (std::int64_t i = 0; i < bytes; ++i) page.pixels[std::size_t(i)] = image[i] ^ flip;
  return {};
}

}  // namespace orvane
