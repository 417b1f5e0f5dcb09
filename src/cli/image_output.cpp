#include "cli/image_output.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/atomic_output.h"
#include "cli/output_checks.h"

namespace orvane::cli {

namespace {

// One page row as image bytes: width pixels, padding bits cleared; `black_is_one`
// for PBM, where 1 is black (the page has 1 for white).
void image_row(const PageBitmap& page, int y, bool black_is_one, std::vector<std::uint8_t>& out) {
  const std::size_t n = std::size_t((page.width + 7) / 8);
  const std::uint8_t* src = page.row(y);
  for (std::size_t x = 0; x < n; ++x) out[x] = black_is_one ? std::uint8_t(~src[x]) : src[x];
  if (page.width % 8) {
    const std::uint8_t keep = std::uint8_t(0xFF00 >> (page.width % 8));
    // Padding as white in both forms.
    out[n - 1] = black_is_one ? std::uint8_t(out[n - 1] & keep) : std::uint8_t(out[n - 1] | ~keep);
  }
}

bool write_pbm(const PageBitmap& page, std::FILE* f) {
  std::fprintf(f, "P4\n%d %d\n", page.width, page.height);
  std::vector<std::uint8_t> row(std::size_t((page.width + 7) / 8));
  for (int y = 0; y < page.height; ++y) {
    image_row(page, y, true, row);
    if (std::fwrite(row.data(), 1, row.size(), f) != row.size()) return false;
  }
  return true;
}

// libpng's faults end the write through our own handler, which says
// nothing: the caller reports the one line, with the system's reason.
[[noreturn]] void png_fault(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}
void png_warning(png_structp, png_const_charp) {}

bool write_png(const PageBitmap& page, std::FILE* f) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_fault, png_warning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<std::uint8_t> row(std::size_t((page.width + 7) / 8));
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, png_uint_32(page.width), png_uint_32(page.height), 1, PNG_COLOR_TYPE_GRAY,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (page.unit == 2 && page.xres && page.yres) {
    png_set_pHYs(png, info, png_uint_32(page.xres / 0.0254 + 0.5),
                 png_uint_32(page.yres / 0.0254 + 0.5), PNG_RESOLUTION_METER);
  }
  png_write_info(png, info);
  for (int y = 0; y < page.height; ++y) {
    image_row(page, y, false, row);  // gray 1 is white, as in the page
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

std::optional<ImageKind> image_kind(const std::filesystem::path& output) {
  const std::string e = lower_extension(output);
  if (e == ".pbm") return ImageKind::kPbm;
  if (e == ".png") return ImageKind::kPng;
  return std::nullopt;
}

std::string write_page_image(const PageBitmap& page, const std::filesystem::path& output,
                             ImageKind kind) {
  if (!page.has_pixels() || !page.is_valid()) return "no page to write";
  std::optional<AtomicOutput> out_store;
  if (output == "-") {
    out_store.emplace(AtomicOutput::StandardOutput{});
  } else {
    out_store.emplace(output);
  }
  AtomicOutput& out = *out_store;
  errno = 0;
  if (!out.ok()) return "the image could not be written: " + out.error().message();
  std::FILE* f = std::fopen(out.temp_path().c_str(), "wb");
  if (!f) return "the image could not be written: " + std::string(std::strerror(errno));
  const bool ok = kind == ImageKind::kPng ? write_png(page, f) : write_pbm(page, f);
  const bool closed = std::fclose(f) == 0;
  if (!ok || !closed)
    return "the image could not be written" +
           (errno ? ": " + std::string(std::strerror(errno)) : std::string());
  return out.commit() ? std::string() : "the image could not be written: " + out.error().message();
}

}  // namespace orvane::cli
