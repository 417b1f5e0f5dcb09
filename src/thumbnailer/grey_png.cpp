#include "thumbnailer/grey_png.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/atomic_output.h"

namespace orvane::thumbnailer {

namespace {

bool write_png(const GreyImage& image, std::FILE* f) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8,
               PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < image.height; ++y)
    png_write_row(png, image.pixels.data() + std::size_t(y) * std::size_t(image.width));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

std::string write_grey_png(const GreyImage& image, const std::filesystem::path& output) {
  if (image.width < 1 || image.height < 1) return "no picture to write";
  AtomicOutput out(output);
  if (!out.ok()) return "cannot be written: " + out.error().message();
  errno = 0;
  std::FILE* f = std::fopen(out.temp_path().c_str(), "wb");
  if (!f) return "cannot be written: " + std::string(std::strerror(errno));
  const bool written = write_png(image, f);
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed)
    return "cannot be written" + (errno ? ": " + std::string(std::strerror(errno)) : std::string());
  return out.commit() ? std::string() : "cannot be written: " + out.error().message();
}

}  // namespace orvane::thumbnailer
