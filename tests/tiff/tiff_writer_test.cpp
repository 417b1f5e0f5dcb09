#include "tiff/tiff_writer.h"

#include <sys/mman.h>

#include <cstring>
#include <ctime>
#include <regex>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "support/test_support.h"

namespace orvane {
namespace {

using test::Pbm;
using test::TempDir;

struct Field {
  std::uint16_t tag = 0, type = 0;
  std::uint32_t count = 0, value = 0;
};

// A directory as the file holds it, read straight from its bytes.
struct Directory {
  std::vector<Field> fields;
  std::uint32_t next = 0;
  const Field* find(std::uint16_t tag) const {
    for (const Field& f : fields)
      if (f.tag == tag) return &f;
    return nullptr;
  }
  std::uint32_t value(std::uint16_t tag) const {
    const Field* f = find(tag);
    return f ? f->value : 0xDEADBEEF;
  }
};

Directory read_directory(const std::vector<std::uint8_t>& file, std::uint32_t at) {
  Directory d;
  if (file.size() < std::size_t(at) + 2) {
    ADD_FAILURE() << "directory at " << at << " is past the end";
    return d;
  }
  const std::uint16_t n = le16(&file[at]);
  if (file.size() < std::size_t(at) + 2 + 12u * n + 4) {
    ADD_FAILURE() << "directory at " << at << " is cut short";
    return d;
  }
  for (std::uint16_t i = 0; i < n; ++i) {
    const std::uint8_t* e = &file[at + 2 + 12u * i];
    d.fields.push_back({le16(e), le16(e + 2), le32(e + 4), le32(e + 8)});
  }
  d.next = le32(&file[at + 2 + 12u * n]);
  return d;
}

std::vector<std::uint8_t> pattern(std::size_t n, unsigned seed) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = std::uint8_t((i * 31 + seed * 7) ^ (i >> 5));
  return bytes;
}

// Writes one page the way every converter does.
std::uint32_t write_page(TiffWriter& w, std::span<const std::uint8_t> data, std::uint8_t mode,
                         std::uint16_t index, std::uint16_t count, std::uint32_t width = 1728,
                         std::uint32_t length = 100) {
  EXPECT_TRUE(w.set_coding_by_mode(mode, 0));
  w.set_fill_order(1);
  w.set_size(width, length);
  w.set_page_number(index, count);
  const std::uint32_t directory = w.write_page_data(data, 204, 196, 2);
  w.write_directory(directory);
  return directory;
}

void start(TiffWriter& w, const std::filesystem::path& path) {
  ASSERT_TRUE(w.create(path));
  w.write_header();
  w.reset_entries();
}

TEST(TiffWriterLayout, OnePageOf5000BytesSitsWhereTheLayoutSays) {
  TempDir dir;
  const auto data = pattern(5000, 1);
  TiffWriter w;
  start(w, dir / "one.tif");
  EXPECT_EQ(write_page(w, data, 5, 0, 1, 1728, 1100), 5066u);
  ASSERT_TRUE(w.close());

  const auto file = test::read_file(dir / "one.tif");
  ASSERT_EQ(file.size(), 5066u + 246u);
  EXPECT_EQ(file[0], 'I');
  EXPECT_EQ(file[1], 'I');
  EXPECT_EQ(le16(&file[2]), 42);
  EXPECT_EQ(le32(&file[4]), 5066u);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), file.begin() + 8));
  EXPECT_EQ(le32(&file[5008]), 204u);
  EXPECT_EQ(le32(&file[5012]), 1u);
  EXPECT_EQ(le32(&file[5016]), 196u);
  EXPECT_EQ(le32(&file[5020]), 1u);
  const std::string software(reinterpret_cast<const char*>(&file[5024]), 22);
  EXPECT_EQ(software, std::string("Veldmark Studio") + std::string(7, '\0'));
  EXPECT_EQ(file[5046 + 19], 0);

  const Directory d = read_directory(file, 5066);
  ASSERT_EQ(d.fields.size(), 20u);
  EXPECT_EQ(le32(&file[5066 + 2 + 240]), 0u);
  const std::vector<Field> expected = {
      {254, 4, 1, 2},    {256, 4, 1, 1728},     {257, 4, 1, 1100},  {258, 3, 1, 1},
      {259, 3, 1, 3},    {262, 3, 1, 0},        {266, 3, 1, 1},     {273, 4, 1, 8},
      {274, 3, 1, 1},    {277, 3, 1, 1},        {278, 4, 1, 1100},  {279, 4, 1, 5000},
      {282, 5, 1, 5008}, {283, 5, 1, 5016},     {284, 3, 1, 1},     {292, 4, 1, 4},
      {296, 3, 1, 2},    {297, 3, 2, 1u << 16}, {305, 2, 16, 5024}, {306, 2, 20, 5046}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("entry " + std::to_string(i + 1));
    EXPECT_EQ(d.fields[i].tag, expected[i].tag);
    EXPECT_EQ(d.fields[i].type, expected[i].type);
    EXPECT_EQ(d.fields[i].count, expected[i].count);
    EXPECT_EQ(d.fields[i].value, expected[i].value);
  }
}

TEST(TiffWriterLayout, DateTimeIsTheLocalTimeOfWriting) {
  TempDir dir;
  const auto data = pattern(10, 2);
  TiffWriter w;
  start(w, dir / "t.tif");
  const std::time_t before = std::time(nullptr);
  write_page(w, data, 1, 0, 1);
  const std::time_t after = std::time(nullptr);
  ASSERT_TRUE(w.close());
  const auto file = test::read_file(dir / "t.tif");
  const std::uint32_t at = read_directory(file, le32(&file[4])).value(306);
  ASSERT_LT(std::size_t(at) + 20, file.size());
  const std::string text(reinterpret_cast<const char*>(&file[at]), 19);
  EXPECT_EQ(file[at + 19], 0);
  ASSERT_TRUE(std::regex_match(text, std::regex(R"(\d{4}:\d\d:\d\d \d\d:\d\d:\d\d)"))) << text;
  std::tm tm{};
  tm.tm_isdst = -1;
  ASSERT_EQ(std::sscanf(text.c_str(), "%d:%d:%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                        &tm.tm_hour, &tm.tm_min, &tm.tm_sec),
            6);
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  const std::time_t written = std::mktime(&tm);
  EXPECT_GE(written, before - 1);
  EXPECT_LE(written, after + 1);
}

TEST(TiffWriterLayout, LaterPagesAppendAndChainFromThePreviousDirectory) {
  TempDir dir;
  const auto first = pattern(5000, 1), second = pattern(777, 2), third = pattern(3, 3);
  TiffWriter w;
  start(w, dir / "three.tif");
  write_page(w, first, 5, 0, 3);
  EXPECT_EQ(write_page(w, second, 6, 1, 3), 5312u + 777 + 58);
  const std::uint32_t third_dir = write_page(w, third, 7, 2, 3);
  ASSERT_TRUE(w.close());
  EXPECT_EQ(w.pages_written(), 3u);

  const auto file = test::read_file(dir / "three.tif");
  const Directory d1 = read_directory(file, 5066);
  EXPECT_EQ(d1.next, 5312u + 777 + 58);
  const Directory d2 = read_directory(file, d1.next);
  EXPECT_EQ(d2.value(273), 5312u);
  EXPECT_EQ(d2.value(279), 777u);
  EXPECT_TRUE(std::equal(second.begin(), second.end(), file.begin() + 5312));
  EXPECT_EQ(d2.next, third_dir);
  const Directory d3 = read_directory(file, third_dir);
  EXPECT_EQ(d3.next, 0u);
  EXPECT_EQ(file.size(), std::size_t(third_dir) + 246);
  // Page index in the low SHORT, page count in the high one: 00 00 03 00
  // and 02 00 03 00 in the file.
  EXPECT_EQ(d1.value(297), 0u | (3u << 16));
  EXPECT_EQ(d3.value(297), 2u | (3u << 16));
}

TEST(TiffWriterLayout, AFileWithoutPagesIsTheHeaderAlone) {
  TempDir dir;
  TiffWriter w;
  start(w, dir / "empty.tif");
  ASSERT_TRUE(w.close());
  const std::vector<std::uint8_t> expected = {'I', 'I', 42, 0, 8, 0, 0, 0};
  EXPECT_EQ(test::read_file(dir / "empty.tif"), expected);
}

struct CodingCase {
  std::uint8_t mode;
  std::uint16_t compression, options_tag;
  std::uint32_t options;
};

// Entry 16 holds T4Options or T6Options when the Compression defines it;
// otherwise the directory goes without (options_tag 0) and has 19 entries.
void expect_options(const Directory& d, std::uint16_t options_tag, std::uint32_t options) {
  if (options_tag == 0) {
    EXPECT_EQ(d.fields.size(), 19u);
    EXPECT_EQ(d.find(292), nullptr);
    EXPECT_EQ(d.find(293), nullptr);
    return;
  }
  ASSERT_EQ(d.fields.size(), 20u);
  EXPECT_EQ(d.fields[15].tag, options_tag);
  EXPECT_EQ(d.fields[15].value, options);
}

TEST(TiffWriterCoding, CodingModesMapToCompressionAndOptions) {
  // Options tag 0: the page carries no T4/T6Options entry (only Compression
  // 3 and 4 define one), so its directory has 19 entries.
  const CodingCase cases[] = {{1, 1, 0, 0},   {3, 2, 0, 0},   {4, 32771, 0, 0}, {5, 3, 292, 4},
                              {6, 3, 292, 5}, {7, 4, 293, 0}, {8, 32773, 0, 0}};
  TempDir dir;
  const auto data = pattern(16, 5);
  for (const CodingCase& c : cases) {
    SCOPED_TRACE("coding mode " + std::to_string(c.mode));
    TiffWriter w;
    start(w, dir / "c.tif");
    ASSERT_TRUE(w.set_coding_by_mode(c.mode, 1));
    w.set_size(64, 2);
    w.write_directory(w.write_page_data(data, 200, 200, 2));
    ASSERT_TRUE(w.close());
    const auto file = test::read_file(dir / "c.tif");
    const Directory d = read_directory(file, le32(&file[4]));
    EXPECT_EQ(d.value(259), c.compression);
    expect_options(d, c.options_tag, c.options);
    EXPECT_EQ(d.value(262), 1u);  // photometric given with the mode
  }
}

TEST(TiffWriterCoding, ModesWithoutACompressionAreRefusedAndChangeNothing) {
  TiffWriter w;
  ASSERT_TRUE(w.set_coding_by_mode(6, 0));
  for (std::uint8_t mode : {0, 2, 9, 255}) {
    EXPECT_FALSE(w.set_coding_by_mode(mode, 1)) << int(mode);
  }
  TempDir dir;
  start(w, dir / "r.tif");
  ASSERT_TRUE(w.set_coding_by_mode(6, 0));
  EXPECT_FALSE(w.set_coding_by_mode(2, 1));
  const auto data = pattern(4, 1);
  w.write_directory(w.write_page_data(data, 200, 200, 2));
  ASSERT_TRUE(w.close());
  const auto file = test::read_file(dir / "r.tif");
  const Directory d = read_directory(file, le32(&file[4]));
  EXPECT_EQ(d.value(259), 3u);
  EXPECT_EQ(d.value(292), 5u);
  EXPECT_EQ(d.value(262), 0u);
}

TEST(TiffWriterFailures, CreateInAMissingFolderWritesNothing) {
  TempDir dir;
  TiffWriter w;
  EXPECT_FALSE(w.create(dir / "no" / "such.tif"));
  w.write_header();
  w.reset_entries();
  const auto data = pattern(20, 1);
  write_page(w, data, 5, 0, 1);
  EXPECT_TRUE(w.failed());
  EXPECT_FALSE(w.close());
  EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

TEST(TiffWriterFailures, AFullDeviceIsReportedOnClose) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  TiffWriter w;
  start(w, "/dev/full");
  const auto data = pattern(5000, 1);
  write_page(w, data, 5, 0, 1);
  EXPECT_TRUE(w.failed());
  EXPECT_FALSE(w.close());
}

TEST(TiffWriterFailures, ADirectoryOnlyWhereItsDataSaidItWouldBe) {
  TempDir dir;
  const auto data = pattern(20, 1);
  TiffWriter w;
  start(w, dir / "d.tif");
  ASSERT_TRUE(w.set_coding_by_mode(5, 0));
  const std::uint32_t at = w.write_page_data(data, 200, 200, 2);
  w.write_directory(at + 1);
  EXPECT_TRUE(w.failed());
  EXPECT_FALSE(w.close());
}

TEST(TiffWriterFailures, PositionsPast4GiBFailInsteadOfWrapping) {
  // Address space only: the pages are never touched because the writer
  // refuses them before writing a byte.
  const std::size_t size = (std::size_t(1) << 32) + 4096;
  void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (map == MAP_FAILED) GTEST_SKIP() << "no address space for the test";
  const auto* base = static_cast<const std::uint8_t*>(map);
  TempDir dir;
  for (const std::size_t length : {std::size_t(0xFFFFFFFFu) - 200, size}) {
    SCOPED_TRACE(length);
    TiffWriter w;
    start(w, dir / "big.tif");
    ASSERT_TRUE(w.set_coding_by_mode(5, 0));
    EXPECT_EQ(w.write_page_data(std::span(base, length), 200, 200, 2), 0u);
    EXPECT_TRUE(w.failed());
    EXPECT_FALSE(w.close());
    EXPECT_EQ(std::filesystem::file_size(dir / "big.tif"), 8u);
  }
  munmap(map, size);
}

TEST(TiffWriterPages, RenumberingRewritesEveryPageNumber) {
  TempDir dir;
  const auto data = pattern(20, 1);
  TiffWriter w;
  start(w, dir / "n.tif");
  const std::uint32_t a = write_page(w, data, 5, 0, 4);
  const std::uint32_t b = write_page(w, data, 5, 3, 4);
  ASSERT_TRUE(w.renumber_pages());
  const std::uint32_t c = write_page(w, data, 5, 2, 3);  // still appends after renumbering
  ASSERT_TRUE(w.close());
  const auto file = test::read_file(dir / "n.tif");
  EXPECT_EQ(read_directory(file, a).value(297), 0u | (2u << 16));
  EXPECT_EQ(read_directory(file, b).value(297), 1u | (2u << 16));
  EXPECT_EQ(read_directory(file, b).next, c);
  EXPECT_EQ(file.size(), std::size_t(c) + 246);
}

// --- libtiff as the independent reader --------------------------------------

// What tiffinfo (reading every strip) and tiffdump print on stderr.
std::string oracle_complaints(const std::filesystem::path& tif) {
  const std::string q = "'" + tif.string() + "'";
  return test::run_output("{ tiffinfo -D " + q + " 2>&1 >/dev/null; tiffdump " + q +
                          " 2>&1 >/dev/null; }");
}

// Every page of the file as libtiff decodes it (tifftopnm writes one PBM per
// directory, back to back).
std::vector<Pbm> decode_with_libtiff(const std::filesystem::path& tif, TempDir& dir) {
  const auto out = dir / "decoded.pbm";
  EXPECT_EQ(
      test::run("tifftopnm -quiet '" + tif.string() + "' > '" + out.string() + "' 2>/dev/null"), 0);
  const auto bytes = test::read_file(out);
  std::vector<Pbm> pages;
  std::size_t i = 0;
  while (i + 2 < bytes.size() && bytes[i] == 'P' && bytes[i + 1] == '4') {
    Pbm p;
    int consumed = 0;
    const std::string head(reinterpret_cast<const char*>(&bytes[i]),
                           std::min<std::size_t>(64, bytes.size() - i));
    if (std::sscanf(head.c_str(), "P4 %d %d%n", &p.width, &p.height, &consumed) != 2) break;
    i += std::size_t(consumed) + 1;
    const std::size_t n = std::size_t(p.row_bytes()) * std::size_t(p.height);
    if (bytes.size() - i < n) break;
    p.bits.assign(bytes.begin() + std::ptrdiff_t(i), bytes.begin() + std::ptrdiff_t(i + n));
    i += n;
    pages.push_back(std::move(p));
  }
  return pages;
}

Pbm sample_image() {
  Pbm img;
  img.width = 200;
  img.height = 60;
  img.bits.assign(std::size_t(img.row_bytes()) * 60, 0);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x)
      if ((x / 9 + y / 7) % 3 == 0 || x == y || (x > 150 && y > 40))
        img.bits[std::size_t(y * img.row_bytes() + x / 8)] |= std::uint8_t(0x80 >> (x % 8));
  return img;
}

TEST(TiffWriterOracle, LibtiffDecodesEveryKindOfPage) {
  TempDir dir;
  const Pbm img = sample_image();
  test::write_pbm(dir / "src.pbm", img);
  const std::string src = "'" + (dir / "src.pbm").string() + "'";
  ASSERT_EQ(test::run("pbmtog3 -nofixedwidth -align8 " + src + " > '" + (dir / "msb.g3").string() +
                      "' 2>/dev/null"),
            0);
  ASSERT_EQ(test::run("pbmtog3 -nofixedwidth -align8 -reversebits " + src + " > '" +
                      (dir / "lsb.g3").string() + "' 2>/dev/null"),
            0);
  ASSERT_EQ(test::run("convert " + src + " 'group4:" + (dir / "page.g4").string() + "'"), 0);
  const auto msb = test::read_file(dir / "msb.g3");
  const auto lsb = test::read_file(dir / "lsb.g3");
  const auto g4 = test::read_file(dir / "page.g4");
  ASSERT_FALSE(msb.empty());
  ASSERT_FALSE(g4.empty());

  struct Page {
    std::span<const std::uint8_t> data;
    std::uint8_t mode;
    std::uint16_t fill_order;
  };
  const Page pages[] = {{img.bits, 1, 1}, {msb, 5, 1}, {lsb, 5, 2}, {g4, 7, 1}};
  const auto tif = dir / "all.tif";
  TiffWriter w;
  start(w, tif);
  for (std::uint16_t i = 0; i < 4; ++i) {
    ASSERT_TRUE(w.set_coding_by_mode(pages[i].mode, 0));
    w.set_fill_order(pages[i].fill_order);
    w.set_size(std::uint32_t(img.width), std::uint32_t(img.height));
    w.set_page_number(i, 4);
    w.write_directory(w.write_page_data(pages[i].data, 204, 98, 2));
  }
  ASSERT_TRUE(w.close());

  EXPECT_EQ(oracle_complaints(tif), "");
  const std::string info = test::run_output("tiffinfo '" + tif.string() + "' 2>/dev/null");
  EXPECT_NE(info.find("Software: Veldmark Studio"), std::string::npos) << info;
  EXPECT_NE(info.find("Page Number: 3-4"), std::string::npos) << info;
  const std::vector<Pbm> decoded = decode_with_libtiff(tif, dir);
  ASSERT_EQ(decoded.size(), 4u);
  for (std::size_t i = 0; i < decoded.size(); ++i)
    EXPECT_TRUE(test::same_pixels(img, decoded[i], "writer_page" + std::to_string(i)));
}

}  // namespace
}  // namespace orvane
