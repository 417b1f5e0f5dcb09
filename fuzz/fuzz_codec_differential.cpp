// Our CCITT decoders against libtiff's: a page drawn from the input is
// coded (by libtiff, or for T.6 by our encoder too), the coded strip is
// mutated or not, and both decode it. Where libtiff reports neither error
// nor warning and ours reports no bad row and every row, the pixels must be
// the same. libtiff is linked into this target only.
//   0  coding: TIFF Compression 2, 3 (1D), 3 (2D), 3 (1D, EOLs byte-aligned), 4
//   1  bit 0 fill order 2, bit 1 mutate the coded strip, bit 2 our T.6 encoder
//   2-3 width - 1 (little-endian, up to 2047), 4 height - 1
//   the rest: the rows' bytes, repeated; the last bytes of it name the mutations.
#include <tiffio.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "base/page_bitmap.h"
#include "codec/code_tables.h"
#include "codec/fax_codec.h"
#include "codec/t6_encoder.h"
#include "fuzz_support.h"
#include "tiff/tiff_page.h"
#include "tiff/tiff_strip.h"

namespace {

using namespace orvane;

// A TIFF file in memory for libtiff's client I/O.
struct MemoryFile {
  std::vector<std::uint8_t> bytes;
  toff_t at = 0;
};

tmsize_t mem_read(thandle_t h, void* buf, tmsize_t n) {
  auto* f = static_cast<MemoryFile*>(h);
  const toff_t left = f->at < f->bytes.size() ? f->bytes.size() - f->at : 0;
  const tmsize_t k = tmsize_t(std::min<toff_t>(toff_t(n), left));
  if (k > 0) std::memcpy(buf, f->bytes.data() + f->at, std::size_t(k));
  f->at += toff_t(k);
  return k;
}
tmsize_t mem_write(thandle_t h, void* buf, tmsize_t n) {
  auto* f = static_cast<MemoryFile*>(h);
  if (f->bytes.size() < f->at + toff_t(n)) f->bytes.resize(std::size_t(f->at + toff_t(n)));
  std::memcpy(f->bytes.data() + f->at, buf, std::size_t(n));
  f->at += toff_t(n);
  return n;
}
toff_t mem_seek(thandle_t h, toff_t off, int whence) {
  auto* f = static_cast<MemoryFile*>(h);
  if (whence == SEEK_CUR) off += f->at;
  if (whence == SEEK_END) off += f->bytes.size();
  return f->at = off;
}
int mem_close(thandle_t) {
  return 0;
}
toff_t mem_size(thandle_t h) {
  return static_cast<MemoryFile*>(h)->bytes.size();
}
int mem_map(thandle_t, void**, toff_t*) {
  return 0;
}
void mem_unmap(thandle_t, void*, toff_t) {}

TIFF* open_memory(MemoryFile& f, const char* mode) {
  f.at = 0;
  return TIFFClientOpen("memory", mode, &f, mem_read, mem_write, mem_seek, mem_close, mem_size,
                        mem_map, mem_unmap);
}

bool libtiff_complained = false;
void complain(const char*, const char*, va_list) {
  libtiff_complained = true;
}

struct Setup {
  std::uint16_t compression;
  std::uint32_t t4_options;
};
constexpr Setup kSetups[] = {{COMPRESSION_CCITTRLE, 0},
                             {COMPRESSION_CCITTFAX3, 0},
                             {COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING},
                             {COMPRESSION_CCITTFAX3, GROUP3OPT_FILLBITS},
                             {COMPRESSION_CCITTFAX4, 0}};

// A one-strip min-is-white TIFF of the page; `raw` is written as the coded
// strip when given, else libtiff codes `rows` (1 = black).
bool write_tiff(MemoryFile& f, const Setup& s, int fill_order, std::uint32_t width,
                std::uint32_t height, std::vector<std::uint8_t>& rows,
                const std::vector<std::uint8_t>* raw) {
  f = MemoryFile{};
  TIFF* t = open_memory(f, "w");
  if (t == nullptr) return false;
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_COMPRESSION, s.compression);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_FILLORDER, fill_order);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, height);
  if (s.compression == COMPRESSION_CCITTFAX3) TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, s.t4_options);
  const bool ok = raw ? TIFFWriteRawStrip(t, 0, const_cast<std::uint8_t*>(raw->data()),
                                          tmsize_t(raw->size())) >= 0
                      : TIFFWriteEncodedStrip(t, 0, rows.data(), tmsize_t(rows.size())) >= 0;
  TIFFClose(t);
  return ok;
}

// Two kinds of corrupt T.6 data that we read by the coding rules and
// libtiff reads otherwise, so that the pages part from that row on:
// - a pass that takes a0 to the row's end: no encoder codes one there. We
//   read on until a vertical or horizontal code ends the row (the row end is
//   a changing element still to be coded); libtiff ends the row at once.
// - a reference line with an empty run after its first: b1 is the first
//   changing element right of a0, so two at one place are passed together;
//   libtiff does not look for b1 right of a0 until the row has a run.
// This walks the modes by the book, slowly, only when the pages differ, and
// gives the first such row or -1.
class ModeWalker {
 public:
  ModeWalker(const std::vector<std::uint8_t>& coded, bool lsb) : coded_(coded), lsb_(lsb) {}

  int first_row_read_otherwise(std::int32_t width, std::int32_t height) {
    std::vector<std::int32_t> ref{width, width}, cur;
    for (std::int32_t y = 0; y < height; ++y) {
      if (std::adjacent_find(ref.begin(), ref.end() - 2) != ref.end() - 2) return y;
      std::int32_t a0 = -1;
      int colour = 0;
      cur.clear();
      while (a0 < width) {
        const int mode = code(codec::tables::kModeCodes);
        if (mode < 0) return -1;
        std::size_t i = 0;
        while (i < ref.size() && (ref[i] <= a0 || int(i % 2) != colour)) ++i;
        const std::int32_t b1 = i < ref.size() ? ref[i] : width;
        const std::int32_t b2 = i + 1 < ref.size() ? ref[i + 1] : width;
        if (mode == codec::tables::kPass) {
          a0 = b2;
          if (a0 >= width) return y;
        } else if (mode == codec::tables::kHorizontal) {
          const std::int32_t r1 = run(colour), r2 = run(colour ^ 1);
          if (r1 < 0 || r2 < 0) return -1;
          a0 = std::max(a0, 0) + r1;
          cur.push_back(a0);
          a0 += r2;
          cur.push_back(a0);
        } else if (mode <= codec::tables::kVL3) {
          static constexpr int kShift[] = {0, 1, 2, 3, -1, -2, -3};
          a0 = b1 + kShift[mode];
          cur.push_back(a0);
          colour ^= 1;
        } else {
          return -1;
        }
      }
      ref = cur;
      ref.push_back(width);
      ref.push_back(width);
    }
    return -1;
  }

 private:
  int bit(std::size_t at) const {
    const std::uint8_t b = coded_[at / 8];
    return lsb_ ? (b >> (at % 8)) & 1 : (b >> (7 - at % 8)) & 1;
  }
  template <std::size_t N>
  int code(const codec::tables::CodeWord (&list)[N]) {
    for (const auto& c : list) {
      const std::size_t n = std::strlen(c.bits);
      if (at_ + n > coded_.size() * 8) continue;
      std::size_t k = 0;
      while (k < n && bit(at_ + k) == c.bits[k] - '0') ++k;
      if (k == n) {
        at_ += n;
        return c.value;
      }
    }
    return -1;
  }
  std::int32_t run(int colour) {
    std::int32_t total = 0;
    for (;;) {
      int v = colour ? code(codec::tables::kBlackCodes) : code(codec::tables::kWhiteCodes);
      if (v < 0) v = code(codec::tables::kExtendedMakeupCodes);
      if (v < 0) return -1;
      total += v;
      if (v < 64) return total;
    }
  }

  const std::vector<std::uint8_t>& coded_;
  bool lsb_;
  std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kHeader = 5;
  if (size < kHeader + 1) return 0;
  TIFFSetErrorHandler(complain);
  TIFFSetWarningHandler(complain);
  const Setup& setup = kSetups[data[0] % std::size(kSetups)];
  const int fill_order = (data[1] & 1) ? 2 : 1;
  const bool mutate = (data[1] & 2) != 0;
  const bool our_encoder = (data[1] & 4) != 0 && setup.compression == COMPRESSION_CCITTFAX4;
  const std::uint32_t width = 1 + ((data[2] | data[3] << 8) & 0x7FF);
  const std::uint32_t height = 1 + data[4];
  const std::span<const std::uint8_t> body(data + kHeader, size - kHeader);
  const std::size_t row_bytes = (width + 7) / 8;

  // The page, 1 = black, padding bits clear.
  std::vector<std::uint8_t> rows(row_bytes * height);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = body[i % body.size()];
  if (width % 8 != 0)
    for (std::size_t y = 0; y < height; ++y)
      rows[y * row_bytes + row_bytes - 1] &= std::uint8_t(0xFF00 >> (width % 8));

  std::vector<std::uint8_t> coded;
  MemoryFile file;
  if (our_encoder) {
    std::vector<std::uint8_t> white(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) white[i] = std::uint8_t(~rows[i]);
    coded =
        codec::encode_t6(white, std::int32_t(width), std::int32_t(height), std::int64_t(row_bytes));
    if (fill_order == 2)
      for (auto& b : coded) b = codec::reverse_bits(b);
  } else {
    std::vector<std::uint8_t> copy = rows;
    if (!write_tiff(file, setup, fill_order, width, height, copy, nullptr)) return 0;
    TIFF* t = open_memory(file, "r");
    if (t == nullptr) return 0;
    coded.resize(std::size_t(TIFFRawStripSize(t, 0)));
    const bool read = TIFFReadRawStrip(t, 0, coded.data(), tmsize_t(coded.size())) >= 0;
    TIFFClose(t);
    if (!read) return 0;
  }
  if (coded.empty()) return 0;
  if (mutate) {
    // Up to four bytes from the end of the input: where (scaled) and what to flip.
    for (std::size_t k = 0; k + 1 < std::min<std::size_t>(body.size(), 8); k += 2) {
      const std::size_t at = body[body.size() - 1 - k] * coded.size() / 256;
      coded[at] ^= body[body.size() - 2 - k] | 1;
    }
  }

  // libtiff's decoding of the strip.
  libtiff_complained = false;
  std::vector<std::uint8_t> scratch(rows.size());
  if (!write_tiff(file, setup, fill_order, width, height, scratch, &coded)) return 0;
  std::vector<std::uint8_t> theirs(rows.size());
  TIFF* t = open_memory(file, "r");
  if (t == nullptr) return 0;
  const tmsize_t got = TIFFReadEncodedStrip(t, 0, theirs.data(), tmsize_t(theirs.size()));
  TIFFClose(t);

  // Ours.
  TiffPage desc;
  desc.image_width = width;
  desc.image_length = height;
  desc.bits_per_sample = 1;
  desc.compression = setup.compression;
  desc.photometric = 0;
  desc.fill_order = std::uint16_t(fill_order);
  desc.t4_options = setup.t4_options;
  desc.rows_per_strip = height;
  desc.strip_count = 1;
  PageBitmap page;
  const int r = decode_tiff_strip(page, coded, desc, 0);
  FUZZ_CHECK(page.height >= 0 && std::uint32_t(page.height) <= height);
  if (got < 0 || libtiff_complained || r != 0 || std::uint32_t(page.height) != height) return 0;
  // Both decoded the page cleanly: same pixels (ours has white set), up to
  // the corrupt T.6 row where the two readings part.
  FUZZ_CHECK(page.row_bytes == std::int64_t(row_bytes));
  const std::uint8_t last_mask = width % 8 ? std::uint8_t(0xFF00 >> (width % 8)) : 0xFF;
  auto same_row = [&](std::uint32_t y) {
    const std::uint8_t* a = page.row(std::int32_t(y));
    const std::uint8_t* b = theirs.data() + y * row_bytes;
    for (std::size_t i = 0; i < row_bytes; ++i) {
      const std::uint8_t mask = i + 1 == row_bytes ? last_mask : 0xFF;
      if (((a[i] ^ ~b[i]) & mask) != 0) return false;
    }
    return true;
  };
  std::uint32_t y = 0;
  while (y < height && same_row(y)) ++y;
  if (y < height && setup.compression == COMPRESSION_CCITTFAX4) {
    const int parted = ModeWalker(coded, fill_order == 2)
                           .first_row_read_otherwise(std::int32_t(width), std::int32_t(height));
    FUZZ_CHECK(parted >= 0 && y >= std::uint32_t(parted));
    return 0;
  }
  FUZZ_CHECK(y == height);
  // Unmutated, both must give back the page that was coded.
  if (!mutate) FUZZ_CHECK(std::memcmp(theirs.data(), rows.data(), rows.size()) == 0);
  return 0;
}
