#include "core/grey_page.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace orvane {

namespace {

constexpr std::uint8_t kUnitPixel = 1;
constexpr std::uint8_t kUnitInch = 2;
constexpr std::uint8_t kUnitCentimetre = 3;

// Positions are in page pixels with 16 fractional bits.
constexpr int kFraction = 16;
constexpr std::int64_t kOne = std::int64_t(1) << kFraction;

// Edges of the picture's cells along one side, in fixed point.
std::vector<std::int64_t> cell_edges(int source, int cells) {
  std::vector<std::int64_t> edges(std::size_t(cells) + 1);
  for (int i = 0; i <= cells; ++i) edges[std::size_t(i)] = std::int64_t(i) * source * kOne / cells;
  return edges;
}

// White pixels of one row before each position, in fixed point, from the
// row's bytes: whole bytes counted once per row, the rest per lookup.
class RowCoverage {
 public:
  explicit RowCoverage(int width) : width_(width), before_byte_(std::size_t(width + 7) / 8 + 1) {}

  void load(const std::uint8_t* row) {
    row_ = row;
    std::uint32_t sum = 0;
    const std::size_t whole = std::size_t(width_) / 8;
    for (std::size_t i = 0; i < whole; ++i) {
      before_byte_[i] = sum;
      sum += std::uint32_t(std::popcount(unsigned(row[i])));
    }
    before_byte_[whole] = sum;
  }

  // Integral of the white pixels from 0 to `x` (fixed point, x <= width).
  std::int64_t before(std::int64_t x) const {
    const std::int64_t whole = x >> kFraction;
    if (whole >= width_) return std::int64_t(count_before(width_)) << kFraction;
    const int px = int(whole);
    const bool white = (row_[px / 8] >> (7 - px % 8)) & 1;
    return (std::int64_t(count_before(px)) << kFraction) + (white ? (x & (kOne - 1)) : 0);
  }

 private:
  std::uint32_t count_before(int x) const {
    const int bits = x % 8;
    const std::uint32_t bytes = before_byte_[std::size_t(x / 8)];
    return bits == 0 ? bytes
                     : bytes + std::uint32_t(std::popcount(unsigned(row_[x / 8] >> (8 - bits))));
  }

  int width_;
  std::vector<std::uint32_t> before_byte_;
  const std::uint8_t* row_ = nullptr;
};

// Dots per unit along each side as the page is shown.
void shown_resolutions(const PageFields& page, double& x, double& y) {
  x = y = 1;
  if (page.unit == kUnitPixel) {
    x = 200;
    y = 100;
  } else if ((page.unit == kUnitInch || page.unit == kUnitCentimetre) && page.xres && page.yres) {
    x = page.xres;
    y = page.yres;
  }
}

}  // namespace

GreySize true_aspect_size(const PageFields& page, int longest) {
  if (page.width < 1 || page.height < 1 || longest < 1) return {};
  double xres = 1, yres = 1;
  shown_resolutions(page, xres, yres);
  // The page at its finer resolution along both sides.
  const double finer = std::max(xres, yres);
  const double across = page.width * finer / xres;
  const double down = page.height * finer / yres;
  const double scale = std::min(1.0, double(longest) / std::max(across, down));
  return {std::max(1, int(std::lround(across * scale))),
          std::max(1, int(std::lround(down * scale)))};
}

GreyImage area_average(const PageBitmap& page, GreySize size) {
  return area_average_part(page, size, {0, 0, size.width, size.height});
}

GreyImage area_average_part(const PageBitmap& page, GreySize size, GreyRect part) {
  const int w = page.width;
  const int h = page.height;
  if (!page.has_pixels() || w < 1 || h < 1 || size.width < 1 || size.height < 1) return {};
  if (std::int64_t(page.row_bytes) * h > std::int64_t(page.pixels.size()) ||
      page.row_bytes < row_bytes_for(w))
    return {};
  const int x0 = std::max(0, part.x), y0 = std::max(0, part.y);
  const int x1 = int(std::min<std::int64_t>(size.width, std::int64_t(part.x) + part.width));
  const int y1 = int(std::min<std::int64_t>(size.height, std::int64_t(part.y) + part.height));
  if (x1 <= x0 || y1 <= y0) return {};
  const int out_width = x1 - x0;
  GreyImage out{out_width, y1 - y0,
                std::vector<std::uint8_t>(std::size_t(out_width) * std::size_t(y1 - y0))};
  const std::vector<std::int64_t> xs = cell_edges(w, size.width);
  const std::vector<std::int64_t> ys = cell_edges(h, size.height);
  RowCoverage coverage(w);
  // The white share of each cell in the present page row, 0 to kOne, and
  // its sum over the rows of the present cell row, weighted by overlap.
  std::vector<std::uint64_t> across(static_cast<std::size_t>(out_width));
  std::vector<std::uint64_t> sum(std::size_t(out_width), 0);

  int y = y0;
  // From the page row the first picture row starts in.
  for (int r = int(ys[std::size_t(y0)] >> kFraction); r < h && y < y1; ++r) {
    coverage.load(page.row(r));
    std::int64_t left = coverage.before(xs[std::size_t(x0)]);
    for (std::size_t c = 0; c < across.size(); ++c) {
      const std::size_t cell = std::size_t(x0) + c;
      const std::int64_t right = coverage.before(xs[cell + 1]);
      across[c] = std::uint64_t(right - left) * std::uint64_t(kOne) /
                  std::uint64_t(xs[cell + 1] - xs[cell]);
      left = right;
    }
    // This page row covers [r, r + 1); it adds to every picture row it
    // overlaps, each of which is written once its last page row is in.
    const std::int64_t top = std::int64_t(r) << kFraction;
    const std::int64_t bottom = top + kOne;
    while (y < y1) {
      const std::int64_t cell_top = ys[std::size_t(y)];
      const std::int64_t cell_bottom = ys[std::size_t(y) + 1];
      const std::int64_t overlap = std::min(bottom, cell_bottom) - std::max(top, cell_top);
      if (overlap > 0)
        for (std::size_t c = 0; c < sum.size(); ++c) sum[c] += across[c] * std::uint64_t(overlap);
      if (cell_bottom > bottom) break;
      const std::uint64_t height = std::uint64_t(cell_bottom - cell_top);
      std::uint8_t* line = out.pixels.data() + std::size_t(y - y0) * std::size_t(out_width);
      for (std::size_t c = 0; c < sum.size(); ++c) {
        // sum / height is the white share, 0 to kOne; then 0 to 255, rounded.
        const std::uint64_t share = std::min<std::uint64_t>(sum[c] / height, kOne);
        line[c] = std::uint8_t((share * 255 + kOne / 2) >> kFraction);
        sum[c] = 0;
      }
      ++y;
    }
  }
  return out;
}

}  // namespace orvane
