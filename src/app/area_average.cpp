#include "app/area_average.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

namespace orvane::app {

namespace {

// Positions are in source pixels with 16 fractional bits.
constexpr int kFraction = 16;
constexpr std::int64_t kOne = std::int64_t(1) << kFraction;

// Edges of the output cells along one side, in fixed point.
std::vector<std::int64_t> cell_edges(int source, int cells) {
  std::vector<std::int64_t> edges(std::size_t(cells) + 1);
  for (int i = 0; i <= cells; ++i) {
    edges[std::size_t(i)] = std::int64_t(i) * source * kOne / cells;
  }
  return edges;
}

// 2^32 / span: a division per cell once, multiplications per pixel after.
std::vector<std::uint64_t> reciprocals(const std::vector<std::int64_t>& edges) {
  std::vector<std::uint64_t> r(edges.size() - 1);
  for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
    r[i] = (std::uint64_t(1) << 32) / std::uint64_t(edges[i + 1] - edges[i]);
  }
  return r;
}

// White pixels of one row before each position, in fixed point, from the
// row's bytes: whole bytes counted once per row, the rest per lookup.
class RowCoverage {
 public:
  explicit RowCoverage(int width) : width_(width), bytes_(std::size_t(width + 7) / 8 + 1) {}

  void load(const uchar* row) {
    row_ = row;
    std::uint32_t sum = 0;
    const std::size_t n = std::size_t(width_ + 7) / 8;
    for (std::size_t i = 0; i < n; ++i) {
      bytes_[i] = sum;
      sum += std::uint32_t(std::popcount(unsigned(row[i])));
    }
    bytes_[n] = sum;
  }

  // Integral of the white pixels from 0 to `x` (fixed point).
  std::int64_t before(std::int64_t x) const {
    const std::int64_t whole = x >> kFraction;
    if (whole >= width_) return std::int64_t(count_before(width_)) << kFraction;
    const std::int64_t part = x & (kOne - 1);
    const int px = int(whole);
    const bool white = (row_[px / 8] >> (7 - px % 8)) & 1;
    return (std::int64_t(count_before(px)) << kFraction) + (white ? part : 0);
  }

 private:
  std::uint32_t count_before(int x) const {
    const int byte = x / 8;
    const int bits = x % 8;
    if (bits == 0) return bytes_[std::size_t(byte)];
    return bytes_[std::size_t(byte)] +
           std::uint32_t(std::popcount(unsigned(row_[byte] >> (8 - bits))));
  }

  int width_;
  std::vector<std::uint32_t> bytes_;
  const uchar* row_ = nullptr;
};

}  // namespace

QImage area_average(const QImage& mono, QSize size) {
  const int w = mono.width();
  const int h = mono.height();
  const int cols = size.width();
  const int rows = size.height();
  if (mono.isNull() || size.isEmpty()) return {};
  // 32-bit pixels: what the screen takes without another conversion.
  QImage out(size, QImage::Format_RGB32);
  if (out.isNull()) return {};

  // A colour table of 1 = black means the bits count black: flip at the end.
  const bool ones_white = mono.colorCount() < 2 || qGray(mono.color(1)) > qGray(mono.color(0));
  const std::vector<std::int64_t> xs = cell_edges(w, cols);
  const std::vector<std::int64_t> ys = cell_edges(h, rows);
  const std::vector<std::uint64_t> per_width = reciprocals(xs);
  RowCoverage coverage(w);
  // The white share of each cell in the present source row, 0 to kOne.
  std::vector<std::uint32_t> across(static_cast<std::size_t>(cols));
  std::vector<std::uint64_t> sum(std::size_t(cols), 0);

  int y = 0;
  for (int r = 0; r < h && y < rows; ++r) {
    coverage.load(mono.constScanLine(r));
    std::int64_t left = coverage.before(xs[0]);
    for (int c = 0; c < cols; ++c) {
      const std::int64_t right = coverage.before(xs[std::size_t(c) + 1]);
      across[std::size_t(c)] = std::uint32_t(
          (std::uint64_t(right - left) * per_width[std::size_t(c)]) >> (32 - kFraction));
      left = right;
    }
    // This source row covers [r, r + 1); it adds to every output row it
    // overlaps, each of which is written once its last source row is in.
    const std::int64_t top = std::int64_t(r) << kFraction;
    const std::int64_t bottom = top + kOne;
    while (y < rows) {
      const std::int64_t cell_top = ys[std::size_t(y)];
      const std::int64_t cell_bottom = ys[std::size_t(y) + 1];
      const std::int64_t overlap = std::min(bottom, cell_bottom) - std::max(top, cell_top);
      if (overlap > 0) {
        for (int c = 0; c < cols; ++c) {
          sum[std::size_t(c)] += std::uint64_t(across[std::size_t(c)]) * std::uint64_t(overlap);
        }
      }
      if (cell_bottom > bottom) break;
      // sum / height, 0 to kOne, then 0 to 255.
      const std::uint64_t per_height =
          (std::uint64_t(1) << 32) / std::uint64_t(cell_bottom - cell_top);
      auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
      for (int c = 0; c < cols; ++c) {
        const std::uint64_t share = ((sum[std::size_t(c)] >> 8) * per_height) >> 24;
        int grey = int((std::min<std::uint64_t>(share, kOne) * 255 + kOne / 2) >> kFraction);
        if (!ones_white) grey = 255 - grey;
        line[c] = qRgb(grey, grey, grey);
        sum[std::size_t(c)] = 0;
      }
      ++y;
    }
  }
  return out;
}

}  // namespace orvane::app
