#include "app/display_image.h"

#include <algorithm>
#include <cstring>

#include "app/area_average.h"

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

QImage scaled_page(const QImage& page, QSize size, qreal ratio, bool reversed) {
  if (page.isNull() || size.isEmpty()) return {};
  const QSize device(std::max(1, qRound(size.width() * ratio)),
                     std::max(1, qRound(size.height() * ratio)));
  QImage scaled = area_average(page, device);
  if (reversed) scaled.invertPixels();
  scaled.setDevicePixelRatio(ratio);
  return scaled;
}

}  // namespace orvane::app
