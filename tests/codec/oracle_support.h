#pragma once
// Test images and a minimal classic-TIFF strip reader for checking the
// decoders against netpbm and libtiff (used as independent oracles).
#include <cstdint>
#include <random>
#include <string>
#include <type_traits>
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
  const auto dirs = orvane::test::tiff_directories(f);
  if (dirs.empty()) return false;
  const orvane::test::TiffTags& tags = dirs[0];
  auto field = [&](std::uint16_t tag, auto& into) {
    if (const auto it = tags.find(tag); it != tags.end() && !it->second.empty())
      into = static_cast<std::remove_reference_t<decltype(into)>>(it->second[0]);
  };
  field(256, out.desc.image_width);
  field(257, out.desc.image_length);
  field(258, out.desc.bits_per_sample);
  field(259, out.desc.compression);
  field(262, out.desc.photometric);
  field(266, out.desc.fill_order);
  field(278, out.desc.rows_per_strip);
  field(292, out.desc.t4_options);
  field(293, out.desc.t6_options);
  if (!tags.count(273) || !tags.count(279)) return false;
  const auto &offsets = tags.at(273), &counts = tags.at(279);
  if (offsets.size() != counts.size() || offsets.empty()) return false;
  out.desc.strip_count = std::uint32_t(offsets.size());
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    if (std::size_t(offsets[i]) + counts[i] > f.size()) return false;
    out.strips.emplace_back(f.begin() + offsets[i], f.begin() + offsets[i] + counts[i]);
  }
  return true;
}

}  // namespace orvane::codec::test
