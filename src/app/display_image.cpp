#include "app/display_image.h"

#include <algorithm>
#include <cstring>

#include "core/grey_page.h"

namespace orvane::app {

QImage page_image(const PageBitmap& page) {
  if (!page.is_valid() || page.row_bytes <= 0) return {};
  const std::size_t needed = std::size_t(page.row_bytes) * std::size_t(page.height);
  if (page.pixels.size() < needed) return {};
  QImage image(page.width, page.height, QImage::Format_Mono);
  if (image.isNull()) return {};
  image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  const std::size_t copy =
      std::min<std::size_t>(std::size_t(page.row_bytes), std::size_t(image.bytesPerLine()));
  for (int r = 0; r < page.height; ++r) {
    uchar* line = image.scanLine(r);
    std::memcpy(line, page.row(r), copy);
    if (copy < std::size_t(image.bytesPerLine())) {
      std::memset(line + copy, 0, std::size_t(image.bytesPerLine()) - copy);
    }
  }
  return image;
}

namespace {

// Grey to the 32-bit pixels the screen takes without another conversion.
QImage rgb_of(const GreyImage& grey) {
  if (grey.pixels.empty()) return {};
  QImage image(grey.width, grey.height, QImage::Format_RGB32);
  if (image.isNull()) return {};
  for (int y = 0; y < grey.height; ++y) {
    const std::uint8_t* from = grey.pixels.data() + std::size_t(y) * std::size_t(grey.width);
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < grey.width; ++x) line[x] = qRgb(from[x], from[x], from[x]);
  }
  return image;
}

}  // namespace

QSize device_size(QSize size, qreal ratio) {
  return {std::max(1, qRound(size.width() * ratio)), std::max(1, qRound(size.height() * ratio))};
}

QImage scaled_page(const PageBitmap& page, QSize size, qreal ratio, bool reversed) {
  if (size.isEmpty()) return {};
  const QSize device = device_size(size, ratio);
  QImage scaled = rgb_of(area_average(page, {device.width(), device.height()}));
  if (scaled.isNull()) return {};
  if (reversed) scaled.invertPixels();
  scaled.setDevicePixelRatio(ratio);
  return scaled;
}

QImage drawn_part(const PageBitmap& page, QSize device, const QRect& part) {
  if (device.isEmpty() || part.isEmpty()) return {};
  return rgb_of(area_average_part(page, {device.width(), device.height()},
                                  {part.x(), part.y(), part.width(), part.height()}));
}

}  // namespace orvane::app
