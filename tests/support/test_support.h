#pragma once
// Helpers shared by the test folders.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/page_bitmap.h"

namespace orvane::test {

class TempDir;

// A one-bit image as netpbm stores it: 1 = black, rows padded to a byte.
struct Pbm {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bits;  // height * ((width + 7) / 8), 1 = black
  int row_bytes() const { return (width + 7) / 8; }
};

// Reads a P4 (raw) or P1 (plain) PBM file; gzip-compressed files ending in
// ".gz" are read too. Fails the current test on error.
Pbm read_pbm(const std::filesystem::path& path);
void write_pbm(const std::filesystem::path& path, const Pbm& image);

// The page as a PBM (1 = black), padding bits cleared.
Pbm to_pbm(const PageBitmap& page);

// Compares pixel by pixel (padding ignored) and reports the first differing
// row and byte. On a mismatch writes the actual image next to the build tree
// as `<name>.actual.pbm` to look at.
::testing::AssertionResult same_pixels(const Pbm& expected, const Pbm& actual,
                                       const std::string& name = "image");

std::filesystem::path fixture(const std::string& relative);

std::vector<std::uint8_t> read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// A path quoted for the shell (paths of the tests hold no quote).
std::string shell_quoted(const std::filesystem::path& path);

// The directories of a TIFF file: tag -> values (RATIONAL as two values,
// ASCII skipped). Bounded and loop-safe; enough for files written by libtiff
// and by us.
using TiffTags = std::map<std::uint16_t, std::vector<std::uint32_t>>;
std::vector<TiffTags> tiff_directories(const std::vector<std::uint8_t>& file);
// The strips of the first directory, back to back.
std::vector<std::uint8_t> tiff_strip_data(const std::vector<std::uint8_t>& file);
// The pages of a TIFF file as libtiff decodes them (netpbm's tifftopnm), one
// per directory; a page libtiff cannot decode comes back empty.
std::vector<Pbm> tifftopnm_pages(const TempDir& dir, const std::filesystem::path& tif);

// Runs a shell command (test oracles only); returns its exit status.
int run(const std::string& command);
// Runs a command and returns what it printed on stdout.
std::string run_output(const std::string& command);

// A fresh folder removed when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace orvane::test
