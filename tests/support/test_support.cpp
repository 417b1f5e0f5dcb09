#include "support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/wait.h>
#include <algorithm>

namespace orvane::test {
namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> read_maybe_gzip(const fs::path& path) {
  if (path.extension() == ".gz") {
    const std::string text = run_output("gzip -dc '" + path.string() + "'");
    return std::vector<std::uint8_t>(text.begin(), text.end());
  }
  return read_file(path);
}

// Skips white space and comments of a PBM header.
void skip_space(const std::vector<std::uint8_t>& b, std::size_t& i) {
  while (i < b.size()) {
    if (b[i] == '#') {
      while (i < b.size() && b[i] != '\n') ++i;
    } else if (b[i] == ' ' || b[i] == '\t' || b[i] == '\n' || b[i] == '\r') {
      ++i;
    } else {
      break;
    }
  }
}

int read_number(const std::vector<std::uint8_t>& b, std::size_t& i) {
  skip_space(b, i);
  int v = 0;
  while (i < b.size() && b[i] >= '0' && b[i] <= '9') v = v * 10 + (b[i++] - '0');
  return v;
}

}  // namespace

Pbm read_pbm(const fs::path& path) {
  Pbm img;
  const std::vector<std::uint8_t> b = read_maybe_gzip(path);
  if (b.size() < 3 || b[0] != 'P' || (b[1] != '4' && b[1] != '1')) {
    ADD_FAILURE() << "not a PBM file: " << path;
    return img;
  }
  const bool plain = b[1] == '1';
  std::size_t i = 2;
  img.width = read_number(b, i);
  img.height = read_number(b, i);
  const std::size_t rb = std::size_t(img.row_bytes());
  img.bits.assign(rb * std::size_t(img.height), 0);
  if (!plain) {
    ++i;  // the single white-space byte after the height
    if (b.size() < i + img.bits.size()) {
      ADD_FAILURE() << "short PBM file: " << path;
      return img;
    }
    std::copy(b.begin() + std::ptrdiff_t(i), b.begin() + std::ptrdiff_t(i + img.bits.size()),
              img.bits.begin());
  } else {
    for (int y = 0; y < img.height; ++y) {
      for (int x = 0; x < img.width; ++x) {
        skip_space(b, i);
        if (i >= b.size()) return img;
        if (b[i++] == '1') img.bits[std::size_t(y) * rb + std::size_t(x / 8)] |= 0x80 >> (x % 8);
      }
    }
  }
  return img;
}

void write_pbm(const fs::path& path, const Pbm& image) {
  std::ofstream out(path, std::ios::binary);
  out << "P4\n" << image.width << " " << image.height << "\n";
  out.write(reinterpret_cast<const char*>(image.bits.data()), std::streamsize(image.bits.size()));
}

Pbm to_pbm(const PageBitmap& page) {
  Pbm img;
  img.width = page.width;
  img.height = page.height;
  const std::size_t rb = std::size_t(img.row_bytes());
  img.bits.assign(rb * std::size_t(std::max(0, img.height)), 0);
  if (!page.has_pixels()) return img;
  for (int y = 0; y < page.height; ++y) {
    const std::uint8_t* src = page.row(y);
    for (std::size_t x = 0; x < rb; ++x) img.bits[std::size_t(y) * rb + x] = std::uint8_t(~src[x]);
    if (page.width % 8) img.bits[std::size_t(y) * rb + rb - 1] &= std::uint8_t(0xFF00 >> (page.width % 8));
  }
  return img;
}

::testing::AssertionResult same_pixels(const Pbm& expected, const Pbm& actual,
                                       const std::string& name) {
  auto fail = [&](const std::string& why) {
    write_pbm(fs::path(ORVANE_BINARY_DIR) / (name + ".actual.pbm"), actual);
    return ::testing::AssertionFailure() << name << ": " << why << " (actual image written to "
                                         << ORVANE_BINARY_DIR << "/" << name << ".actual.pbm)";
  };
  if (expected.width != actual.width || expected.height != actual.height) {
    std::ostringstream s;
    s << "size " << actual.width << "x" << actual.height << ", expected " << expected.width << "x"
      << expected.height;
    return fail(s.str());
  }
  const int rb = expected.row_bytes();
  const std::uint8_t last_mask =
      expected.width % 8 ? std::uint8_t(0xFF00 >> (expected.width % 8)) : std::uint8_t(0xFF);
  for (int y = 0; y < expected.height; ++y) {
    for (int x = 0; x < rb; ++x) {
      const std::uint8_t mask = x == rb - 1 ? last_mask : 0xFF;
      const std::size_t k = std::size_t(y) * std::size_t(rb) + std::size_t(x);
      if ((expected.bits[k] & mask) != (actual.bits[k] & mask)) {
        std::ostringstream s;
        s << "first difference at row " << y << ", byte " << x << ": expected 0x" << std::hex
          << int(expected.bits[k] & mask) << ", got 0x" << int(actual.bits[k] & mask);
        return fail(s.str());
      }
    }
  }
  return ::testing::AssertionSuccess();
}

fs::path fixture(const std::string& relative) { return fs::path(ORVANE_FIXTURES_DIR) / relative; }

std::vector<std::uint8_t> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

int run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string run_output(const std::string& command) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return out;
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe.get())) > 0) out.append(buf, n);
  return out;
}

TempDir::TempDir() {
  std::string templ = (fs::temp_directory_path() / "orvane-test-XXXXXX").string();
  if (!mkdtemp(templ.data())) ADD_FAILURE() << "cannot create a temporary folder";
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

}  // namespace orvane::test
