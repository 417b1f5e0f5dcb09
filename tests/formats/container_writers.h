#pragma once
// Test-side writers for the fax containers no tool writes (WinFax, Apro,
// QRN-FAX) and for hand-made DCX/PCX cases, plus the glue that makes CCITT
// payloads with netpbm and libtiff and reads TIFF files back. Header only:
// the test folder builds *_test.cpp files alone.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/format_reader.h"
#include "support/test_support.h"

namespace orvane::test {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = std::uint8_t(v);
  b[at + 1] = std::uint8_t(v >> 8);
}
inline void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}
inline void append(Bytes& to, const Bytes& from) {
  to.insert(to.end(), from.begin(), from.end());
}

inline Bytes reverse_bits(Bytes bytes) {
  for (auto& b : bytes) {
    std::uint8_t r = 0;
    for (int i = 0; i < 8; ++i) r = std::uint8_t(r | (((b >> i) & 1) << (7 - i)));
    b = r;
  }
  return bytes;
}

// ---------------------------------------------------------------- images

// A deterministic page: black blocks, slanted strokes and a speckled band, so
// that rows have long and short runs and differ from the row above (which is
// what exercises the two-dimensional codes). With `black_last_pixel` every
// row ends white, black (see mh_rows).
inline Pbm test_image(int width, int height, unsigned seed, bool black_last_pixel = false) {
  Pbm img;
  img.width = width;
  img.height = height;
  img.bits.assign(std::size_t(img.row_bytes()) * std::size_t(height), 0);
  auto set = [&](int x, int y, bool black) {
    auto& byte = img.bits[std::size_t(y) * std::size_t(img.row_bytes()) + std::size_t(x / 8)];
    const std::uint8_t bit = std::uint8_t(0x80 >> (x % 8));
    byte = black ? std::uint8_t(byte | bit) : std::uint8_t(byte & ~bit);
  };
  std::uint32_t state = seed * 2654435761u + 12345u;
  auto next = [&] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  for (int k = 0; k < 12; ++k) {  // blocks
    const int x0 = int(next() % std::uint32_t(width - 40)),
              y0 = int(next() % std::uint32_t(height));
    const int w = 3 + int(next() % 300), h = 1 + int(next() % 20);
    for (int y = y0; y < std::min(height, y0 + h); ++y)
      for (int x = x0; x < std::min(width, x0 + w); ++x) set(x, y, true);
  }
  for (int k = 0; k < 6; ++k) {  // strokes
    const int x0 = int(next() % std::uint32_t(width - 200));
    const int slope = int(next() % 5) - 2;
    for (int y = 0; y < height; ++y)
      for (int t = 0; t < 4; ++t) {
        const int x = x0 + 100 + slope * y + t;
        if (x >= 0 && x < width) set(x, y, true);
      }
  }
  for (int y = height / 3; y < std::min(height, height / 3 + 6); ++y)  // speckles
    for (int x = 0; x < width; ++x)
      if (next() % 5 == 0) set(x, y, true);
  if (black_last_pixel)
    for (int y = 0; y < height; ++y) {
      set(width - 2, y, false);
      set(width - 1, y, true);
    }
  return img;
}

inline Pbm inverted(Pbm img) {
  for (auto& b : img.bits) b = std::uint8_t(~b);
  // Padding bits carry no meaning; keep them clear for comparisons.
  if (img.width % 8)
    for (int y = 0; y < img.height; ++y)
      img.bits[std::size_t(y + 1) * std::size_t(img.row_bytes()) - 1] &=
          std::uint8_t(0xFF00 >> (img.width % 8));
  return img;
}

// The first `rows` rows of an image.
inline Pbm top_rows(const Pbm& img, int rows) {
  Pbm out = img;
  out.height = rows;
  out.bits.resize(std::size_t(out.row_bytes()) * std::size_t(rows));
  return out;
}

// ---------------------------------------------------------------- tools

// Modified Huffman with EOLs as netpbm writes it (RTC at the end).
inline Bytes pbmtog3(const TempDir& dir, const Pbm& img, bool reversebits) {
  write_pbm(dir / "g3in.pbm", img);
  const auto out = dir / "g3out.g3";
  const std::string cmd = "pbmtog3 -nofixedwidth " +
                          std::string(reversebits ? "-reversebits " : "") + "'" +
                          (dir / "g3in.pbm").string() + "' > '" + out.string() + "' 2>/dev/null";
  EXPECT_EQ(run(cmd), 0) << cmd;
  return read_file(out);
}

// CCITT strip data made by libtiff: `compression` is a tiffcp -c argument
// ("g3", "g3:2d", "g4"); `lsb_first` asks for FillOrder 2. One strip.
inline Bytes tiffcp_ccitt(const TempDir& dir, const Pbm& img, const std::string& compression,
                          bool lsb_first) {
  write_pbm(dir / "cin.pbm", img);
  const std::string in = (dir / "cin.tif").string(), out = (dir / "cout.tif").string();
  const std::string cmd = "pnmtotiff -miniswhite '" + (dir / "cin.pbm").string() + "' > '" + in +
                          "' 2>/dev/null && tiffcp -c " + compression + " -r 100000 " +
                          (lsb_first ? "-f lsb2msb " : "") + "'" + in + "' '" + out + "'";
  EXPECT_EQ(run(cmd), 0) << cmd;
  return tiff_strip_data(read_file(out));
}

// ------------------------------------------------- Modified Huffman rows

// A bit string, most significant bit first.
struct Bits {
  std::vector<bool> bits;
  void push(bool b) { bits.push_back(b); }
};

// The rows of a Modified Huffman stream (most significant bit first) without
// their EOLs. Where a row's codes end cannot be told from the bits alone (a
// code may end in zeros, like fill), so the image must have been made with
// black_last_pixel: every row then ends with the black run of 1, code 010.
inline std::vector<Bits> mh_rows(const Bytes& stream) {
  std::vector<bool> s;
  for (auto b : stream)
    for (int i = 7; i >= 0; --i) s.push_back((b >> i) & 1);
  std::vector<Bits> rows;
  std::size_t i = 0, zeros = 0;
  std::size_t row_start = std::size_t(-1), last_one = 0;
  for (; i < s.size(); ++i) {
    if (!s[i]) {
      ++zeros;
      continue;
    }
    if (zeros >= 11) {  // an EOL ends here
      if (row_start != std::size_t(-1) && last_one >= row_start) {
        Bits row;
        for (std::size_t k = row_start; k < last_one + 2; ++k) row.push(s[k]);
        rows.push_back(row);
      }
      row_start = i + 1;
      last_one = 0;
      zeros = 0;
      continue;
    }
    if (row_start != std::size_t(-1)) last_one = i;
    zeros = 0;
  }
  return rows;
}

// Rows packed back to back: each padded to a byte (Compression 2) or to an
// even byte index (Compression 32771), or with a 16-bit word in front of the
// first row and after every row (the rows of Apro pages). Most significant
// bit first.
enum class RowPacking { kByte, kWord, kPrefixWords };
inline Bytes pack_rows(const std::vector<Bits>& rows, RowPacking packing) {
  Bytes out;
  std::uint16_t tag = 0xA55A;
  auto word = [&] {
    out.push_back(std::uint8_t(tag));
    out.push_back(std::uint8_t(tag >> 8));
    tag = std::uint16_t(tag * 31 + 7);
  };
  if (packing == RowPacking::kPrefixWords) word();
  for (const auto& row : rows) {
    std::uint8_t byte = 0;
    int used = 0;
    for (bool b : row.bits) {
      byte = std::uint8_t(byte | (b ? 0x80 >> used : 0));
      if (++used == 8) {
        out.push_back(byte);
        byte = 0;
        used = 0;
      }
    }
    if (used) out.push_back(byte);
    if (packing == RowPacking::kWord && out.size() % 2) out.push_back(0);
    if (packing == RowPacking::kPrefixWords) word();
  }
  return out;
}

// ---------------------------------------------------------------- DCX/PCX

struct PcxPage {
  std::int16_t xmin = 0, ymin = 0, xmax = 0, ymax = 0;
  std::uint16_t resolution = 200;  // offset 14
  std::uint8_t planes = 1;
  std::int16_t line_bytes = 0;
  std::uint8_t bits_per_pixel = 1;
  Bytes coded{};
};

inline Bytes pcx_image(const PcxPage& p) {
  Bytes b(128, 0);
  b[0] = 0x0A;
  b[1] = 5;
  b[2] = 1;
  b[3] = p.bits_per_pixel;
  put16(b, 4, std::uint16_t(p.xmin));
  put16(b, 6, std::uint16_t(p.ymin));
  put16(b, 8, std::uint16_t(p.xmax));
  put16(b, 10, std::uint16_t(p.ymax));
  put16(b, 12, p.resolution);
  put16(b, 14, p.resolution);
  b[65] = p.planes;
  put16(b, 66, std::uint16_t(p.line_bytes));
  append(b, p.coded);
  return b;
}

// Signature, offsets (ended by 0 unless `terminated` is false), pages.
inline Bytes dcx_file(const std::vector<Bytes>& pages, bool terminated = true) {
  Bytes f(4 + 4 * pages.size() + (terminated ? 4 : 0), 0);
  put32(f, 0, 0x3ADE68B1);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    put32(f, 4 + 4 * i, std::uint32_t(f.size()));
    append(f, pages[i]);
  }
  return f;
}

// ---------------------------------------------------------------- WinFax

struct WinFaxPage {
  Bytes coded{};
  std::uint16_t width = 1728;  // 0 = default
  std::uint16_t rows = 0;      // 0 = default
  bool mmr = false;
  std::uint8_t resolution_code = 1;
  std::string text{};
  std::uint8_t factor_a = 0, factor_b = 0;  // A x B filler bytes after the data
};

inline Bytes winfax_header(const WinFaxPage& p, std::uint32_t position) {
  Bytes h(128, 0);
  h[0] = 0x0B;
  h[1] = 0x23;
  put16(h, 3, p.width);
  put16(h, 5, p.rows);
  h[7] = p.mmr ? 1 : 0;
  std::memcpy(h.data() + 9, p.text.data(), std::min<std::size_t>(p.text.size(), 80));
  // next = length + A x B + first term + second term
  put32(h, 89, position);
  put32(h, 105, 128);
  h[113] = p.factor_a;
  h[114] = p.factor_b;
  h[115] = p.resolution_code;
  put32(h, 116, std::uint32_t(p.coded.size()));
  return h;
}

inline Bytes winfax_file(const std::vector<WinFaxPage>& pages) {
  Bytes f;
  for (const auto& p : pages) {
    append(f, winfax_header(p, std::uint32_t(f.size())));
    append(f, p.coded);
    f.resize(f.size() + std::size_t(p.factor_a) * p.factor_b, 0xEE);
  }
  return f;
}

// ---------------------------------------------------------------- Apro

struct AproPage {
  Bytes coded{};  // least significant bit first
  std::uint8_t flags = 0;
};

// The header states `stated_count` pages, or the number of pages given.
inline Bytes apro_file(const std::vector<AproPage>& pages,
                       std::optional<std::int16_t> stated_count = std::nullopt) {
  Bytes f(64, 0);
  std::memcpy(f.data(), "APF10", 5);
  put16(f, 32, std::uint16_t(stated_count.value_or(std::int16_t(pages.size()))));
  put32(f, 34, 64);
  for (const auto& p : pages) {
    Bytes h(16, 0);
    put32(h, 0, std::uint32_t(p.coded.size()));
    h[4] = p.flags;
    append(f, h);
    append(f, p.coded);
  }
  return f;
}

// ---------------------------------------------------------------- QRN-FAX

struct QrnPage {
  Bytes coded{};
  std::uint32_t width = 1728;  // 0 = default
  std::uint32_t rows = 0;      // 0 = default
  std::uint8_t bit_order = 1;
  std::uint8_t coding = 5;
  std::uint8_t xres = 204;
  std::uint8_t yres = 196;
};

inline Bytes qrn_header(const QrnPage& p, std::uint32_t data_position) {
  Bytes h(64, 0);
  std::memcpy(h.data(), "QRN-FAX", 7);
  put32(h, 8, data_position);
  put32(h, 12, std::uint32_t(p.coded.size()));
  put32(h, 16, p.width);
  put32(h, 20, p.rows);
  h[26] = p.bit_order;
  h[27] = p.coding;
  h[28] = p.xres;
  h[29] = p.yres;
  return h;
}

inline Bytes qrn_file(const std::vector<QrnPage>& pages) {
  Bytes f;
  for (const auto& p : pages) {
    append(f, qrn_header(p, std::uint32_t(f.size() + 64)));
    append(f, p.coded);
  }
  return f;
}

// ------------------------------------------------- Bitware, Quick Link II

// T.6 data as fax stream files carry it: a run of 0xFF bytes in front of the
// first coded bit, which is how the start search finds it.
inline Bytes with_flag_run(const Bytes& t6, std::size_t flags = 4) {
  Bytes b(flags, 0xFF);
  append(b, t6);
  return b;
}

struct BitwarePage {
  Bytes coded{};               // empty: data offset 0 (no page)
  std::uint16_t width = 1728;  // stated width (the reader finds its own)
  std::uint16_t rows = 0;
};

// The 2048-byte header ("BIT  FAX", count at 9, resolution code at 14,
// 16-byte directory entries from 16), then the pages' data back to back.
inline Bytes bitware_file(const std::vector<BitwarePage>& pages, std::uint8_t resolution_code = 1,
                          std::optional<std::uint16_t> stated_count = std::nullopt) {
  Bytes f(2048, 0);
  std::memcpy(f.data(), "BIT  FAX", 8);
  put16(f, 9, stated_count.value_or(std::uint16_t(pages.size())));
  f[14] = resolution_code;
  for (std::size_t i = 0; i < pages.size() && i < 127; ++i) {
    const std::size_t e = 16 + 16 * i;
    put16(f, e, pages[i].width);
    put16(f, e + 2, pages[i].rows);
    put32(f, e + 4, std::uint32_t(pages[i].coded.size()));
    put32(f, e + 8, pages[i].coded.empty() ? 0 : std::uint32_t(f.size()));
    append(f, pages[i].coded);
  }
  return f;
}

struct QuickLinkLayout {
  std::uint16_t last_rows = 0;   // offset 10: rows of the last page
  std::uint32_t other_rows = 0;  // offset 12: rows of every other page
  std::uint16_t resolution_code = 1;
  std::optional<std::uint16_t> stated_count{};
};

// The 1532-byte header ("QLIIFAX\0", count at 8, row counts at 10 and 12,
// resolution code at 16, 375 offsets from 32), then the pages back to back;
// an empty page gets offset 0.
inline Bytes quicklink_file(const std::vector<Bytes>& pages, const QuickLinkLayout& l) {
  Bytes f(1532, 0);
  std::memcpy(f.data(), "QLIIFAX", 8);
  put16(f, 8, l.stated_count.value_or(std::uint16_t(pages.size())));
  put16(f, 10, l.last_rows);
  put32(f, 12, l.other_rows);
  put16(f, 16, l.resolution_code);
  for (std::size_t i = 0; i < pages.size() && i < 375; ++i) {
    put32(f, 32 + 4 * i, pages[i].empty() ? 0 : std::uint32_t(f.size()));
    append(f, pages[i]);
  }
  return f;
}

// ---------------------------------------------------------------- damage

// Opens `rounds` damaged copies of a valid file (bytes overwritten, the file
// cut short) with `reader` and runs every operation on them. Whatever the
// damage, the reader must neither crash nor hang nor read outside its
// buffers (the sanitizers watch), and a loaded page must be consistent,
// also with what the reader states about it without decoding.
inline void exercise_damaged(FormatReader& reader, const Bytes& valid, unsigned seed, int rounds) {
  TempDir dir;
  std::uint32_t state = seed;
  auto next = [&] {
    state = state * 1103515245u + 12345u;
    return state >> 8;
  };
  for (int round = 0; round < rounds; ++round) {
    Bytes f = valid;
    const int hits = 1 + int(next() % 8);
    // Half the damage goes to the first bytes, where the headers are.
    for (int k = 0; k < hits; ++k) {
      const std::size_t span = next() % 2 ? std::min<std::size_t>(f.size(), 256) : f.size();
      f[next() % span] = std::uint8_t(next());
    }
    if (next() % 4 == 0) f.resize(next() % f.size());
    write_file(dir / "damaged", f);
    reader.open(dir / "damaged");
    if (reader.recognise() != ReaderResult::kOk) continue;
    const std::uint16_t pages = reader.build_page_table();
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(pages, 4); ++i) {
      PageBitmap page;
      (void)reader.load_page(i, page);
      if (page.has_pixels()) {
        EXPECT_GE(page.pixels.size(), std::size_t(page.height) * std::size_t(page.row_bytes));
        EXPECT_LE(page.width, page.row_bytes * 8);
      }
      // The header read again on its own states the width the page got.
      PageFacts facts;
      if (reader.page_facts(i, facts) && facts.width != 0 && page.has_pixels()) {
        EXPECT_EQ(facts.width, std::uint32_t(page.width));
      }
      reader.page_text(i);
    }
  }
  reader.release();
}

// A reader opened on `bytes` written to a file in a fresh folder: the file
// recognised (readers without a signature accept it) and its pages listed.
template <class Reader>
struct OpenedReader {
  TempDir dir;
  Reader reader;
  ReaderResult recognised = ReaderResult::kNoFile;
  std::uint16_t pages = 0;
  explicit OpenedReader(const Bytes& bytes) {
    write_file(dir / "fax", bytes);
    reader.open(dir / "fax");
    recognised = reader.recognise();
    if (recognised == ReaderResult::kOk) pages = reader.build_page_table();
  }
  PageBitmap load(std::uint32_t i) {
    PageBitmap page;
    (void)reader.load_page(i, page);
    return page;
  }
};

}  // namespace orvane::test
