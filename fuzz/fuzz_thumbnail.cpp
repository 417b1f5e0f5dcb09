// orvane-thumbnailer's road for one file: classified, its first page
// loaded, scaled down by area averaging at the page's true aspect and
// written as a grey PNG. The picture must fit the size asked for, and what
// is written must be a PNG.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "fuzz_support.h"
#include "thumbnailer/grey_png.h"
#include "thumbnailer/thumbnail.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvane;
  if (size < 1) return 0;
  const ScratchDir& dir = fuzz::scratch();
  // The first byte picks the name ending classification starts from, and
  // the size asked for; the rest is the file.
  static const char* const kNames[] = {"input.tif", "input.dcx", "input.g3", "input.fax"};
  const std::filesystem::path input = dir.root() / kNames[data[0] % 4];
  const int longest = 1 + (data[0] >> 2) * 8;  // 1 to 505 pixels
  fuzz::write_file(input, data + 1, size - 1);
  const thumbnailer::Thumbnail thumbnail = thumbnailer::make_thumbnail(input, longest);
  std::error_code ec;
  std::filesystem::remove(input, ec);
  if (!thumbnail.error.empty()) return 0;
  const GreyImage& image = thumbnail.image;
  FUZZ_CHECK(image.width >= 1 && image.height >= 1);
  FUZZ_CHECK(image.width <= longest && image.height <= longest);
  FUZZ_CHECK(image.pixels.size() == std::size_t(image.width) * std::size_t(image.height));
  const std::filesystem::path output = dir.root() / "output.png";
  FUZZ_CHECK(thumbnailer::write_grey_png(image, output).empty());
  std::ifstream png(output, std::ios::binary);
  char head[8] = {};
  png.read(head, 8);
  FUZZ_CHECK(std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0);
  std::filesystem::remove(output, ec);
  return 0;
}
