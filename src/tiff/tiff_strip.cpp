#include "tiff/tiff_strip.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/coding_mode.h"
#include "base/limits.h"
#include "codec/fax_codec.h"
#include "codec/page_driver.h"
#include "codec/page_rows.h"
#include "codec/row_writer.h"
#include "tiff/tiff_tags.h"

namespace orvane {

namespace {

// A byte of eight white pixels in the strip decoders' bitmaps (1 = white).
constexpr std::uint8_t kWhite = 0xFF;

std::int32_t to_int32(std::uint64_t v) {
  return std::int32_t(std::min<std::uint64_t>(v, std::numeric_limits<std::int32_t>::max()));
}

// The row coding of a Modified Huffman or T.4 strip.
std::uint8_t t4_family_coding(const TiffPage& desc) {
  switch (desc.compression) {
    case kCompressionCcittRleW: return kCodingMhWord;
    case kCompressionCcittT4: return (desc.t4_options & 1) ? kCodingT4_2D : kCodingT4_1D;
    default: return kCodingMhByte;
  }
}

// Page setup of the uncompressed and PackBits strip decoders, every byte
// `fill` to start with. -2 for a sample depth other than 1, -1 when the
// size is refused or not allocated.
int setup_strip(PageBitmap& page, std::size_t length, std::uint16_t photometric,
                std::uint16_t bits_per_sample, std::uint16_t fill_order, std::int32_t width,
                std::int32_t rows, std::uint8_t coding, std::uint8_t fill = 0) {
  page.type = 0;
  page.width = width;
  page.height = rows;
  page.row_bytes = row_bytes_for(width);
  page.planes = 1;
  page.bits_per_pixel = std::int16_t(bits_per_sample);
  page.coded_length = std::uint32_t(std::min<std::size_t>(length, 0xFFFFFFFFu));
  const codec::WidthClass wc = codec::width_class(width);
  page.xres = wc.dpi;
  page.width_class = wc.paper;
  page.yres = 100;
  page.unit = 2;
  page.bit_order = std::uint8_t(fill_order);
  page.coding = coding;
  page.invert = std::uint8_t(photometric);
  if (bits_per_sample != 1) return -2;
  const std::int64_t bytes = checked_page_size(width, rows, page.row_bytes);
  if (bytes <= 0 || !page.allocate_pixels(bytes, fill)) {
    page.release_pixels();
    page.height = 0;
    return -1;
  }
  return 0;
}

}  // namespace

int decode_tiff_strip(PageBitmap& page, std::span<const std::uint8_t> strip, const TiffPage& desc,
                      std::uint32_t strip_index) {
  if (desc.bits_per_sample != 1) return -2;
  const std::uint8_t order = desc.fill_order == 1 ? 1 : 2;
  const std::uint8_t invert_flag = desc.photometric == 1 ? 1 : 0;
  const std::int32_t width = to_int32(desc.image_width);
  const std::int32_t length = to_int32(desc.image_length);
  // No coded row takes less than one bit (a T.6 row can be a single V0
  // code), so a CCITT strip delivers at most as many rows as it has bits:
  // its bitmap needs no more, however tall the page. A page too large to
  // hold is still refused as a whole.
  const std::int32_t coded_rows =
      checked_page_bytes(length, row_bytes_for(width)) > 0
          ? std::int32_t(std::min<std::uint64_t>(std::uint64_t(length), strip.size() * 8ull))
          : length;
  codec::FaxCodec codec;
  switch (desc.compression) {
    case kCompressionCcittRle:
    case kCompressionCcittT4:
    case kCompressionCcittRleW: {
      codec.configure(strip, order, t4_family_coding(desc), invert_flag);
      codec.set_size(width, coded_rows);
      return codec::decode_by_coding_mode(codec, page);
    }
    case kCompressionCcittT6:
      codec::configure_for_t6(codec, strip, order, std::uint8_t(desc.t6_options), invert_flag, 3);
      codec.set_size(width, coded_rows);
      return codec::decode_t6_page(codec, page);
    case kCompressionNone:
    case kCompressionPackBits: {
      // Every strip holds RowsPerStrip rows but the last, which holds the rest.
      const std::uint32_t per_strip = desc.rows_per_strip == 0
                                          ? desc.image_length
                                          : std::min(desc.rows_per_strip, desc.image_length);
      std::uint32_t rows = per_strip;
      if (desc.strip_count > 0 && strip_index == desc.strip_count - 1 && per_strip > 0) {
        const std::uint32_t rest = desc.image_length % per_strip;
        rows = rest == 0 ? per_strip : rest;
      }
      if (desc.compression == kCompressionNone) {
        return decode_uncompressed_strip(strip, desc.photometric, desc.bits_per_sample,
                                         desc.fill_order, width, to_int32(rows), page);
      }
      return decode_packbits_strip(strip, desc.photometric, desc.bits_per_sample, desc.fill_order,
                                   width, to_int32(rows), page);
    }
    default: return -3;
  }
}

namespace {

bool is_ccitt(const TiffPage& desc) {
  if (desc.bits_per_sample != 1) return false;
  switch (desc.compression) {
    case kCompressionCcittRle:
    case kCompressionCcittT4:
    case kCompressionCcittT6:
    case kCompressionCcittRleW: return true;
    default: return false;
  }
}

}  // namespace

int strip_background(const TiffPage& desc) {
  return is_ccitt(desc) ? codec::page_background(desc.photometric == 1 ? 1 : 0) : -1;
}

int decode_tiff_strip_into(PageBitmap& page, std::int32_t first_row,
                           std::span<const std::uint8_t> strip, const TiffPage& desc) {
  const std::int32_t width = to_int32(desc.image_width);
  const std::int64_t row_bytes = row_bytes_for(width);
  if (!is_ccitt(desc) || first_row < 0 || page.row_bytes != row_bytes || row_bytes <= 0) return -1;
  // The rows the page has left, and no more than the strip has bits (see
  // decode_tiff_strip).
  const std::int64_t page_rows =
      std::min<std::int64_t>(desc.image_length, std::int64_t(page.pixels.size()) / row_bytes);
  const std::int64_t left = page_rows - first_row;
  const std::int64_t rows = std::min<std::int64_t>(left, std::int64_t(strip.size()) * 8);
  if (rows <= 0) return -1;
  const std::uint8_t order = desc.fill_order == 1 ? 1 : 2;
  const std::uint8_t invert_flag = desc.photometric == 1 ? 1 : 0;
  codec::FaxCodec codec;
  if (desc.compression == kCompressionCcittT6) {
    codec::configure_for_t6(codec, strip, order, std::uint8_t(desc.t6_options), invert_flag, 3);
  } else {
    codec.configure(strip, order, t4_family_coding(desc), invert_flag);
  }
  codec.set_size(width, std::int32_t(rows));
  const codec::RowTarget target{page.row(first_row), row_bytes, std::int32_t(rows)};
  std::int32_t decoded = 0;
  codec::decode_into(codec, target, desc.compression == kCompressionCcittT6, decoded);
  return decoded;
}

int decode_uncompressed_strip(std::span<const std::uint8_t> data, std::uint16_t photometric,
                              std::uint16_t bits_per_sample, std::uint16_t fill_order,
                              std::int32_t width, std::int32_t rows, PageBitmap& page) {
  // Rows the data does not reach (a file cut short, a strip byte count too
  // small) are paper: white, as in a page of CCITT strips.
  const int setup = setup_strip(page, data.size(), photometric, bits_per_sample, fill_order, width,
                                rows, kCodingUncompressed, kWhite);
  if (setup < 0) return setup;
  const std::size_t n = std::min(data.size(), page.pixels.size());
  std::uint8_t* out = page.pixels.data();
  for (std::size_t i = 0; i < n; ++i) {
    std::uint8_t b = data[i];
    // Photometric 0 (WhiteIsZero) data turns into our 1 = white.
    if (photometric == 0) b = std::uint8_t(~b);
    if (fill_order != 1) b = codec::reverse_bits(b);
    out[i] = b;
  }
  return 0;
}

int decode_packbits_strip(std::span<const std::uint8_t> data, std::uint16_t photometric,
                          std::uint16_t bits_per_sample, std::uint16_t fill_order,
                          std::int32_t width, std::int32_t rows, PageBitmap& page) {
  // Photometric 0 (WhiteIsZero) data turns into our 1 = white as it is
  // written; the rows no data reaches are white whatever the photometric.
  const std::uint8_t flip = photometric == 0 ? 0xFF : 0x00;
  const int setup = setup_strip(page, data.size(), photometric, bits_per_sample, fill_order, width,
                                rows, kCodingPackBits, kWhite);
  if (setup < 0) return setup;
  // FillOrder 2 bytes are reversed as they are read; the caller's data stays
  // as it is, so decoding the same strip twice gives the same page.
  const bool reverse = fill_order != 1;
  auto in = [&](std::size_t i) {
    return std::uint8_t((reverse ? codec::reverse_bits(data[i]) : data[i]) ^ flip);
  };
  std::uint8_t* out = page.pixels.data();
  const std::size_t space = page.pixels.size();
  std::size_t o = 0;
  std::size_t i = 0;
  int result = -1;
  // TIFF 6.0 section 9 (PackBits).
  while (i < data.size()) {
    if (o >= space) {
      result = 1;
      break;
    }
    const auto h = std::int8_t(reverse ? codec::reverse_bits(data[i]) : data[i]);
    const std::size_t left = data.size() - i;
    if (h == -128) {
      i += 1;
    } else if (h < 0) {
      if (left < 2) break;
      const std::size_t n = std::min<std::size_t>(std::size_t(1 - h), space - o);
      std::memset(out + o, in(i + 1), n);
      o += n;
      i += 2;
    } else {
      const std::size_t n = std::min({std::size_t(h) + 1, space - o, left - 1});
      if (!reverse && flip == 0) {
        std::memcpy(out + o, data.data() + i + 1, n);
      } else {
        for (std::size_t k = 0; k < n; ++k) out[o + k] = in(i + 1 + k);
      }
      o += n;
      if (left < std::size_t(h) + 2) break;
      i += std::size_t(h) + 2;
    }
  }
  if (result < 0) result = o == space ? 1 : 0;
  return result;
}

}  // namespace orvane
