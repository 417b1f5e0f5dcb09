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

// Page setup of the uncompressed and PackBits strip decoders. The pixels'
// bytes are left as they are when the bitmap already has the page's size
// (a page decoded again): the decoders write every byte. -2 for a sample
// depth other than 1, -1 when the size is refused or not allocated.
int setup_strip(PageBitmap& page, std::size_t length, std::uint16_t photometric,
                std::uint16_t bits_per_sample, std::uint16_t fill_order, std::int32_t width,
                std::int32_t rows, std::uint8_t coding) {
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
  if (bytes <= 0 ||
      (page.pixels.size() != std::size_t(bytes) && !page.allocate_pixels(bytes, kWhite))) {
    page.release_pixels();
    page.height = 0;
    return -1;
  }
  return 0;
}

// The bits of each byte of `w` in reverse order (FillOrder 2).
std::uint64_t reverse_bits_in_bytes(std::uint64_t w) {
  w = (w >> 1 & 0x5555555555555555u) | (w & 0x5555555555555555u) << 1;
  w = (w >> 2 & 0x3333333333333333u) | (w & 0x3333333333333333u) << 2;
  return (w >> 4 & 0x0F0F0F0F0F0F0F0Fu) | (w & 0x0F0F0F0F0F0F0F0Fu) << 4;
}

// `n` bytes of strip data into the page's polarity: each reversed when
// kReverse, then XORed with `flip` (0xFF for WhiteIsZero data, which turns
// into our 1 = white), eight bytes at a time.
template <bool kReverse>
void copy_to_page(std::uint8_t* out, const std::uint8_t* in, std::size_t n, std::uint64_t flip) {
  if (!kReverse && flip == 0) {
    std::memcpy(out, in, n);
    return;
  }
  const auto word = [&](std::size_t k) {
    std::uint64_t w;
    std::memcpy(&w, in + k, 8);
    if constexpr (kReverse) w = reverse_bits_in_bytes(w);
    w ^= flip;
    std::memcpy(out + k, &w, 8);
  };
  if (n < 8) {
    for (std::size_t k = 0; k < n; ++k) {
      const std::uint8_t b = kReverse ? codec::reverse_bits(in[k]) : in[k];
      out[k] = std::uint8_t(b ^ flip);
    }
    return;
  }
  // The last word may overlap the one before: it writes the same bytes.
  for (std::size_t k = 0; k + 8 < n; k += 8) word(k);
  word(n - 8);
}

// `n` bytes of `byte`, a word at a time. A repeat run is at most 128 bytes,
// where the string store the compiler makes of a memset of unknown length
// costs more to start than the run takes to write.
void fill_run(std::uint8_t* out, std::size_t n, std::uint8_t byte) {
  if (n < 8) {
    for (std::size_t k = 0; k < n; ++k) out[k] = byte;
    return;
  }
  const std::uint64_t w = 0x0101010101010101u * byte;
  for (std::size_t k = 0; k + 8 < n; k += 8) std::memcpy(out + k, &w, 8);
  std::memcpy(out + n - 8, &w, 8);
}

// TIFF 6.0 section 9 (PackBits) into `out`; the bytes written.
template <bool kReverse>
std::size_t unpack_packbits(std::span<const std::uint8_t> data, std::uint8_t* out,
                            std::size_t space, std::uint64_t flip) {
  const auto byte = [&](std::size_t i) {
    return kReverse ? codec::reverse_bits(data[i]) : data[i];
  };
  std::size_t o = 0;
  std::size_t i = 0;
  while (i < data.size() && o < space) {
    const auto h = std::int8_t(byte(i));
    const std::size_t left = data.size() - i;
    if (h == -128) {
      i += 1;
    } else if (h < 0) {
      if (left < 2) break;
      const std::size_t n = std::min<std::size_t>(std::size_t(1 - h), space - o);
      fill_run(out + o, n, std::uint8_t(byte(i + 1) ^ flip));
      o += n;
      i += 2;
    } else {
      const std::size_t n = std::min({std::size_t(h) + 1, space - o, left - 1});
      copy_to_page<kReverse>(out + o, data.data() + i + 1, n, flip);
      o += n;
      if (left < std::size_t(h) + 2) break;
      i += std::size_t(h) + 2;
    }
  }
  return o;
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
  const int setup = setup_strip(page, data.size(), photometric, bits_per_sample, fill_order, width,
                                rows, kCodingUncompressed);
  if (setup < 0) return setup;
  const std::size_t n = std::min(data.size(), page.pixels.size());
  std::uint8_t* out = page.pixels.data();
  // Photometric 0 (WhiteIsZero) data turns into our 1 = white.
  const std::uint64_t flip = photometric == 0 ? ~std::uint64_t(0) : 0;
  if (fill_order != 1) {
    copy_to_page<true>(out, data.data(), n, flip);
  } else {
    copy_to_page<false>(out, data.data(), n, flip);
  }
  // Rows the data does not reach (a file cut short, a strip byte count too
  // small) are paper: white, as in a page of CCITT strips.
  std::memset(out + n, kWhite, page.pixels.size() - n);
  return 0;
}

int decode_packbits_strip(std::span<const std::uint8_t> data, std::uint16_t photometric,
                          std::uint16_t bits_per_sample, std::uint16_t fill_order,
                          std::int32_t width, std::int32_t rows, PageBitmap& page) {
  const int setup = setup_strip(page, data.size(), photometric, bits_per_sample, fill_order, width,
                                rows, kCodingPackBits);
  if (setup < 0) return setup;
  // Photometric 0 (WhiteIsZero) data turns into our 1 = white as it is
  // written. FillOrder 2 bytes are reversed as they are read; the caller's
  // data stays as it is, so decoding the same strip twice gives the same page.
  const std::uint64_t flip = photometric == 0 ? ~std::uint64_t(0) : 0;
  std::uint8_t* out = page.pixels.data();
  const std::size_t space = page.pixels.size();
  const std::size_t written = fill_order != 1 ? unpack_packbits<true>(data, out, space, flip)
                                              : unpack_packbits<false>(data, out, space, flip);
  // The rows no data reaches are white whatever the photometric.
  std::memset(out + written, kWhite, space - written);
  return written == space ? 1 : 0;
}

}  // namespace orvane
