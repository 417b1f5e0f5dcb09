#include "support/test_support.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

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
    if (page.width % 8)
      img.bits[std::size_t(y) * rb + rb - 1] &= std::uint8_t(0xFF00 >> (page.width % 8));
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

fs::path fixture(const std::string& relative) {
  return fs::path(ORVANE_FIXTURES_DIR) / relative;
}

std::vector<std::uint8_t> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string shell_quoted(const fs::path& path) {
  // Appended, not added: GCC 12 at -O3 warns falsely about operator+ with a
  // one-character literal.
  std::string s(1, '\'');
  s.append(path.string());
  s.push_back('\'');
  return s;
}

std::vector<TiffTags> tiff_directories(const std::vector<std::uint8_t>& f) {
  std::vector<TiffTags> dirs;
  if (f.size() < 8) return dirs;
  const bool big = f[0] == 'M';
  auto u16 = [&](std::size_t at) -> std::uint32_t {
    if (at + 2 > f.size()) return 0;
    return big ? std::uint32_t(f[at] << 8 | f[at + 1]) : std::uint32_t(f[at] | f[at + 1] << 8);
  };
  auto u32 = [&](std::size_t at) -> std::uint32_t {
    if (at + 4 > f.size()) return 0;
    return big ? (u16(at) << 16 | u16(at + 2)) : (u16(at) | u16(at + 2) << 16);
  };
  std::set<std::uint32_t> seen;
  for (std::uint32_t at = u32(4); at != 0 && at < f.size() && seen.insert(at).second;) {
    TiffTags tags;
    const std::uint32_t n = u16(at);
    for (std::uint32_t i = 0; i < n; ++i) {
      const std::size_t e = at + 2 + 12 * std::size_t(i);
      const std::uint16_t tag = std::uint16_t(u16(e)), type = std::uint16_t(u16(e + 2));
      const std::uint32_t count = u32(e + 4);
      const std::size_t size = type == 3 ? 2 : type == 4 ? 4 : type == 5 ? 8 : 0;
      if (size == 0 || count > 4096) continue;
      const std::size_t base = size * count <= 4 ? e + 8 : u32(e + 8);
      std::vector<std::uint32_t> values;
      for (std::uint32_t k = 0; k < count; ++k) {
        if (type == 3) values.push_back(u16(base + 2 * k));
        if (type == 4) values.push_back(u32(base + 4 * k));
        if (type == 5) {
          values.push_back(u32(base + 8 * k));
          values.push_back(u32(base + 8 * k + 4));
        }
      }
      tags[tag] = values;
    }
    dirs.push_back(tags);
    at = u32(at + 2 + 12 * std::size_t(n));
  }
  return dirs;
}

std::vector<std::uint8_t> tiff_strip_data(const std::vector<std::uint8_t>& f) {
  std::vector<std::uint8_t> data;
  const auto dirs = tiff_directories(f);
  if (dirs.empty() || !dirs[0].count(273) || !dirs[0].count(279)) return data;
  const auto& offsets = dirs[0].at(273);
  const auto& counts = dirs[0].at(279);
  for (std::size_t i = 0; i < offsets.size() && i < counts.size(); ++i) {
    if (std::size_t(offsets[i]) + counts[i] > f.size()) break;
    data.insert(data.end(), f.begin() + offsets[i], f.begin() + offsets[i] + counts[i]);
  }
  return data;
}

std::vector<Pbm> tifftopnm_pages(const TempDir& dir, const fs::path& tif) {
  std::vector<Pbm> pages;
  const auto dirs = tiff_directories(read_file(tif));
  for (std::size_t i = 0; i < dirs.size(); ++i) {
    const auto one = dir / "page.tif", pbm = dir / "page.pbm";
    fs::remove(pbm);
    run("tiffcp " + shell_quoted(tif.string() + "," + std::to_string(i)) + " " + shell_quoted(one) +
        " 2>/dev/null && tifftopnm -quiet " + shell_quoted(one) + " > " + shell_quoted(pbm) +
        " 2>/dev/null");
    pages.push_back(fs::exists(pbm) && fs::file_size(pbm) > 0 ? read_pbm(pbm) : Pbm{});
  }
  return pages;
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
