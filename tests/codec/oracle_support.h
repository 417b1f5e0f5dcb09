#pragma once
// Test images and a minimal classic-TIFF strip reader for checking the
// decoders against netpbm and libtiff (used as independent oracles).
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tiff/tiff_page.h"

namespace orvane::codec::test {

inline bool get_pixel(const orvane::test::Pbm& img, int x, int y) {
  return (img.bits[std::size_t(y) * std::size_t(img.row_bytes()) + std::size_t(x / 8)] >>
          (7 - x % 8)) &
         1;
}
inline void set_pixel(orvane::test::Pbm& img, int x, int y, bool black) {
  std::uint8_t& b = img.bits[std::size_t(y) * std::size_t(img.row_bytes()) + std::size_t(x / 8)];
  const auto m = std::uint8_t(0x80 >> (x % 8));
  b = black ? std::uint8_t(b | m) : std::uint8_t(b & ~m);
}

// Run lengths of row y, alternating white, black, ... from white.
inline std::vector<int> row_runs(const orvane::test::Pbm& img, int y) {
  std::vector<int> runs;
  bool colour = false;
  int n = 0;
  for (int x = 0; x < img.width; ++x) {
    if (get_pixel(img, x, y) != colour) {
      runs.push_back(n);
      n = 0;
      colour = !colour;
    }
    ++n;
  }
  runs.push_back(n);
  return runs;
}

// A page with the things fax pages are made of, in bands: text (`text` is
// pasted across when given), rules, an all-white and an all-black band, a
// dithered area, random long runs and black pixels at both edges.
inline orvane::test::Pbm make_page(int width, int height, unsigned seed,
                                   const orvane::test::Pbm* text = nullptr) {
  orvane::test::Pbm img;
  img.width = width;
  img.height = height;
  img.bits.assign(std::size_t(img.row_bytes()) * std::size_t(height), 0);
  std::mt19937 rng(seed);
  const int band = std::max(1, height / 8);
  for (int y = 0; y < height; ++y) {
    const int kind = (y / band) % 8;
    if (kind == 0 && text != nullptr && text->width > 0) {
      const int ty = y % text->height;
      for (int x = 0; x < width; ++x) set_pixel(img, x, y, get_pixel(*text, x % text->width, ty));
    } else if (kind == 1) {
      // rules: a black row, thin vertical rules, a row black at both edges
      for (int x = 0; x < width; ++x) {
        bool black = (y % band == 0) || (x % 97 == 0) || (x % 97 == 1 && y % 3 == 0);
        if (y % band == 2) black = (x == 0 || x == width - 1);
        set_pixel(img, x, y, black);
      }
    } else if (kind == 3) {
      for (int x = 0; x < width; ++x) set_pixel(img, x, y, true);
    } else if (kind == 4) {
      for (int x = 0; x < width; ++x) set_pixel(img, x, y, (rng() & 1) != 0);
    } else if (kind == 5 || kind == 6) {
      // random runs, long enough for every make-up code on wide pages
      int x = 0;
      bool colour = (rng() & 1) != 0;
      const int longest = kind == 5 ? std::min(width, 3000) : 40;
      while (x < width) {
        const int n = 1 + int(rng() % unsigned(longest));
        for (int i = 0; i < n && x < width; ++i, ++x) set_pixel(img, x, y, colour);
        colour = !colour;
      }
    } else if (kind == 7) {
      // vertical structure that 2D coding follows with V codes
      const int shift = int(rng() % 5) - 2;
      for (int x = 0; x < width; ++x) {
        set_pixel(img, x, y, ((x + shift + y / 3) / 7) % 3 == 0);
      }
    }
    // kind 2: all white
  }
  return img;
}

// The strips of the first image of a classic TIFF file, and the fields the
// codec needs. Enough for files written by libtiff's tools; no checks
// beyond what keeps the test from reading outside the file.
struct TiffStrips {
  TiffPage desc;
  std::vector<std::vector<std::uint8_t>> strips;
};

inline bool read_tiff_strips(const std::vector<std::uint8_t>& f, TiffStrips& out) {
  if (f.size() < 8) return false;
  const bool le = f[0] == 'I';
  auto u16 = [&](std::size_t o) -> std::uint32_t {
    if (o + 2 > f.size()) return 0;
    return le ? f[o] | f[o + 1] << 8 : f[o] << 8 | f[o + 1];
  };
  auto u32 = [&](std::size_t o) -> std::uint32_t {
    if (o + 4 > f.size()) return 0;
    return le ? std::uint32_t(u16(o) | u16(o + 2) << 16) : std::uint32_t(u16(o) << 16 | u16(o + 2));
  };
  auto values = [&](std::size_t entry) {
    const std::uint32_t type = u16(entry + 2), count = u32(entry + 4);
    const std::size_t size = type == 3 ? 2 : 4;
    std::size_t at = count * size <= 4 ? entry + 8 : u32(entry + 8);
    std::vector<std::uint32_t> v;
    for (std::uint32_t i = 0; i < count && at + size <= f.size(); ++i, at += size) {
      v.push_back(size == 2 ? u16(at) : u32(at));
    }
    return v;
  };
  const std::size_t ifd = u32(4);
  const std::uint32_t n = u16(ifd);
  std::vector<std::uint32_t> offsets, counts;
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::size_t e = ifd + 2 + 12 * i;
    const std::vector<std::uint32_t> v = values(e);
    if (v.empty()) continue;
    switch (u16(e)) {
      case 256: out.desc.image_width = v[0]; break;
      case 257: out.desc.image_length = v[0]; break;
      case 258: out.desc.bits_per_sample = std::uint16_t(v[0]); break;
      case 259: out.desc.compression = std::uint16_t(v[0]); break;
      case 262: out.desc.photometric = std::uint16_t(v[0]); break;
      case 266: out.desc.fill_order = std::uint16_t(v[0]); break;
      case 273: offsets = v; break;
      case 278: out.desc.rows_per_strip = v[0]; break;
      case 279: counts = v; break;
      case 292: out.desc.t4_options = v[0]; break;
      case 293: out.desc.t6_options = v[0]; break;
      default: break;
    }
  }
  if (offsets.size() != counts.size() || offsets.empty()) return false;
  out.desc.strip_count = std::uint32_t(offsets.size());
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    if (std::size_t(offsets[i]) + counts[i] > f.size()) return false;
    out.strips.emplace_back(f.begin() + offsets[i], f.begin() + offsets[i] + counts[i]);
  }
  return true;
}

}  // namespace orvane::codec::test
