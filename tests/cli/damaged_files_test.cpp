// Damaged and foreign files through every output: what is written holds
// exactly the pages the view shows (read back by libtiff and poppler), the
// pages left out are named with exit status 3, and every page refused
// says why, in info, render and convert alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/run_cli.h"
#include "codec/t6_encoder.h"
#include "formats/container_writers.h"
#include "support/test_support.h"
#include "tiff/tiff_builder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int kWidth = 1728;
constexpr int kRowBytes = kWidth / 8;

// Rows `from`..`from + rows` of page `seed` (set bit white): a black block
// whose place and size tell the pages apart.
Bytes page_rows(int seed, int from, int rows) {
  Bytes px(std::size_t(kRowBytes) * std::size_t(rows), 0xFF);
  for (int y = from; y < from + rows; ++y) {
    if (y < 8 + 9 * seed || y >= 40 + 9 * seed) continue;
    for (int x = 4 + seed; x < 30 + 5 * seed; ++x) px[std::size_t((y - from) * kRowBytes + x)] = 0;
  }
  return px;
}

test::Pbm expected_page(int seed, int rows) {
  test::Pbm p{kWidth, rows, page_rows(seed, 0, rows)};
  for (auto& b : p.bits) b = std::uint8_t(~b);
  return p;
}

// One TIFF page: T.6 strips coded apart, and the fields a test damages.
struct PageSpec {
  int seed = 0;
  std::vector<int> strip_rows = {60};
  std::uint32_t width = kWidth;
  std::uint16_t compression = 4;
  std::uint32_t t6_options = 0;
  std::vector<std::uint16_t> bits = {1};  // BitsPerSample, one per sample
  std::uint16_t photometric = 0;
  int empty_strip = -1;  // this strip's StripByteCounts is 0
  bool strip_offsets = true;
};

void add_page(test::TiffBuilder& t, const PageSpec& p) {
  std::vector<std::uint32_t> offsets, counts;
  int row = 0;
  for (std::size_t s = 0; s < p.strip_rows.size(); ++s) {
    const int rows = p.strip_rows[s];
    const Bytes coded = codec::encode_t6(page_rows(p.seed, row, rows), kWidth, rows, kRowBytes);
    offsets.push_back(t.append(coded));
    counts.push_back(int(s) == p.empty_strip ? 0 : std::uint32_t(coded.size()));
    row += rows;
  }
  const auto table = [&](std::uint16_t tag, const std::vector<std::uint32_t>& v) {
    return v.size() == 1 ? t.long_entry(tag, v[0])
                         : t.long_entry(tag, t.append_longs(v), std::uint32_t(v.size()));
  };
  std::vector<test::TiffBuilder::Entry> e = {t.long_entry(256, p.width),
                                             t.long_entry(257, std::uint32_t(row))};
  e.push_back(p.bits.size() <= 2
                  ? t.short_entry(258, p.bits[0], std::uint32_t(p.bits.size()))
                  : t.long_entry(258, t.append_shorts(p.bits), std::uint32_t(p.bits.size()), 3));
  if (p.compression) e.push_back(t.short_entry(259, p.compression));
  e.push_back(t.short_entry(262, p.photometric));
  if (p.strip_offsets) e.push_back(table(273, offsets));
  if (p.bits.size() > 1) e.push_back(t.short_entry(277, std::uint16_t(p.bits.size())));
  e.push_back(t.long_entry(278, std::uint32_t(p.strip_rows[0])));
  e.push_back(table(279, counts));
  if (p.compression == 4) e.push_back(t.long_entry(293, p.t6_options));
  t.add_directory(e);
}

// A TIFF file of `pages`; `dangling`: one more page listed whose directory
// lies past the end of the file.
Bytes tiff_file(const std::vector<PageSpec>& pages, bool big_endian = false,
                bool dangling = false) {
  test::TiffBuilder t(big_endian);
  for (const PageSpec& p : pages) add_page(t, p);
  if (dangling) t.set_last_next(std::uint32_t(t.bytes().size()) + 4096);
  return t.bytes();
}

std::string q(const fs::path& p) {
  return "'" + p.string() + "'";
}

// Page `index` (from 0) of a TIFF as libtiff decodes it.
test::Pbm libtiff_page(const fs::path& tif, int index, const fs::path& dir) {
  const fs::path one = dir / "one.tif", pbm = dir / "one.pbm";
  fs::remove(one);
  EXPECT_EQ(test::run("tiffcp " + q(tif.string() + "," + std::to_string(index)) + " " + q(one) +
                      " && tifftopnm " + q(one) + " > " + q(pbm) + " 2>/dev/null"),
            0);
  return test::read_pbm(pbm);
}

int tiff_pages(const fs::path& tif) {
  const std::string n =
      test::run_output("tiffinfo " + q(tif) + " 2>/dev/null | grep -c 'Image Width'");
  return n.empty() ? 0 : std::stoi(n);
}

struct Written {
  int seed, rows;
};

TEST(DamagedFiles, EveryOutputHoldsThePagesOnViewAndNamesThoseLeftOut) {
  auto damaged = [](std::vector<PageSpec> pages, int which, auto&& change) {
    change(pages[std::size_t(which)]);
    return pages;
  };
  const std::vector<PageSpec> three = {{.seed = 0}, {.seed = 1}, {.seed = 2}};
  const std::vector<PageSpec> five = {
      {.seed = 0}, {.seed = 1}, {.seed = 2}, {.seed = 3}, {.seed = 4}};
  struct Case {
    std::string name;
    Bytes file;
    std::vector<Written> written;
    std::string left_out;  // the line on stderr, "" when every page went in
  } cases[] = {
      {"lzw-page-2.tif",
       tiff_file(damaged(three, 1, [](PageSpec& p) { p.compression = 5; })),
       {{0, 60}, {2, 60}},
       "page 2 could not be read and was left out"},
      {"deflate-page-3.tif",
       tiff_file(damaged(three, 2, [](PageSpec& p) { p.compression = 8; })),
       {{0, 60}, {1, 60}},
       "page 3 could not be read and was left out"},
      {"t6options-1.tif",
       tiff_file(damaged(three, 1, [](PageSpec& p) { p.t6_options = 1; })),
       {{0, 60}, {2, 60}},
       "page 2 could not be read and was left out"},
      {"no-compression.tif",
       tiff_file(damaged(three, 0, [](PageSpec& p) { p.compression = 0; })),
       {{1, 60}, {2, 60}},
       "page 1 could not be read and was left out"},
      {"bits-2-pages-2-to-4.tif",
       tiff_file([&] {
         auto p = five;
         for (int i : {1, 2, 3}) p[std::size_t(i)].bits = {2};
         return p;
       }()),
       {{0, 60}, {4, 60}},
       "pages 2-4 could not be read and were left out"},
      {"widest-page.tif",
       tiff_file(damaged(three, 2, [](PageSpec& p) { p.width = 4294967295u; })),
       {{0, 60}, {1, 60}},
       "page 3 could not be read and was left out"},
      {"colour-page-big-endian.tif",
       tiff_file(damaged(three, 1,
                         [](PageSpec& p) {
                           p.bits = {8, 8, 8};
                         }),
                 true),
       {{0, 60}, {2, 60}},
       "page 2 could not be read and was left out"},
      {"unreadable-directory.tif",
       tiff_file({{.seed = 0}, {.seed = 1}}, false, true),
       {{0, 60}, {1, 60}},
       "page 3 could not be read and was left out"},
      // Strips of 40 rows: the second's byte count 0 ends the page after
      // the first, so the page is 40 rows high and says so.
      {"second-strip-empty.tif",
       tiff_file({{.seed = 1, .strip_rows = {40, 40, 40}, .empty_strip = 1}}),
       {{1, 40}},
       ""},
      {"three-strips.tif", tiff_file({{.seed = 2, .strip_rows = {20, 20, 20}}}), {{2, 60}}, ""},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::write_file(dir / c.name, c.file);
    for (const std::string how : {"plain.tif", "g4.tif", "out.pdf"}) {
      SCOPED_TRACE(how);
      const fs::path out = dir / how;
      fs::remove(out);
      const test::CliResult r = test::run_cli("convert " + q(dir / c.name) + " -o " + q(out) +
                                              (how == "g4.tif" ? " --g4" : ""));
      EXPECT_EQ(r.code, c.left_out.empty() ? 0 : 3) << r.out;
      if (c.left_out.empty()) {
        EXPECT_EQ(r.out, "");
      } else {
        // One line: the pages left out, then why the first of them is.
        const std::string line = "orvane-cli: " + (dir / c.name).string() + ": " + c.left_out;
        EXPECT_EQ(r.out.rfind(line + "; page ", 0), 0u) << r.out;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
      }
      if (how == "out.pdf") {
        // poppler's own decoding of every image, one per page.
        fs::create_directories(dir / "img");
        ASSERT_EQ(test::run("rm -f " + q(dir / "img") + "/* && pdfimages " + q(out) + " " +
                            q(dir / "img" / "p")),
                  0);
        for (std::size_t k = 0; k < c.written.size(); ++k) {
          char name[32];
          std::snprintf(name, sizeof name, "p-%03zu.pbm", k);
          EXPECT_TRUE(test::same_pixels(expected_page(c.written[k].seed, c.written[k].rows),
                                        test::read_pbm(dir / "img" / name)));
        }
        EXPECT_FALSE(
            fs::exists(dir / "img" / ("p-00" + std::to_string(c.written.size()) + ".pbm")));
        continue;
      }
      ASSERT_EQ(tiff_pages(out), int(c.written.size()));
      for (std::size_t k = 0; k < c.written.size(); ++k) {
        EXPECT_TRUE(test::same_pixels(expected_page(c.written[k].seed, c.written[k].rows),
                                      libtiff_page(out, int(k), dir.path())))
            << "page " << k + 1;
      }
      // What was written reads back whole, with no page left out again.
      EXPECT_EQ(test::run_cli("info --check " + q(out)).code, 0);
    }
  }
  // Several files: one that could not be read outweighs one with pages left out.
  const test::CliResult both =
      test::run_cli("convert " + q(dir / "lzw-page-2.tif") + " " + q(dir / "three-strips.tif") +
                    " --out-dir " + q(dir / "all"));
  EXPECT_EQ(both.code, 3) << both.out;
  EXPECT_EQ(test::run_cli("convert " + q(dir / "lzw-page-2.tif") + " " + q(dir / "missing.tif") +
                          " --out-dir " + q(dir / "all2"))
                .code,
            2);
}

TEST(DamagedFiles, RefusedPagesSayWhyInEveryCommand) {
  const auto one = [](auto&& change, bool big_endian = false) {
    PageSpec p;
    change(p);
    return tiff_file({p}, big_endian);
  };
  test::PcxPage colour{.xmax = 15, .ymax = 3, .planes = 3, .line_bytes = 16, .bits_per_pixel = 8};
  colour.coded = Bytes(64, 0x11);
  struct Case {
    std::string name;
    Bytes file;
    std::string reason;  // after "page 1 does not decode: "
  } cases[] = {
      {"lzw.tif", one([](PageSpec& p) { p.compression = 5; }),
       "Compression 5 (LZW) is not a fax coding"},
      {"no-compression.tif", one([](PageSpec& p) { p.compression = 0; }),
       "Compression 0 (not stated) is not a fax coding"},
      {"rgb.tif",
       one(
           [](PageSpec& p) {
             p.bits = {8, 8, 8};
           },
           true),
       "BitsPerSample 8 x 3: a colour or grey picture, not a black-and-white fax"},
      {"grey.tif", one([](PageSpec& p) { p.bits = {8}; }),
       "BitsPerSample 8: a colour or grey picture, not a black-and-white fax"},
      {"palette.tif", one([](PageSpec& p) { p.photometric = 3; }),
       "PhotometricInterpretation 3 (palette): a colour picture, not a black-and-white fax"},
      {"no-strips.tif", one([](PageSpec& p) { p.strip_offsets = false; }), "StripOffsets missing"},
      {"width-0.tif", one([](PageSpec& p) { p.width = 0; }), "ImageWidth 0"},
      {"t6options.tif", one([](PageSpec& p) { p.t6_options = 1; }),
       "T6Options 1: its unused bit 0 is set"},
      {"colour.dcx", test::dcx_file({test::pcx_image(colour)}),
       "a colour PCX page, 3 planes of 8 bits"},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::write_file(dir / c.name, c.file);
    const std::string line = (dir / c.name).string() +
                             ": no page could be read: page 1 does not decode: " + c.reason + "\n";
    const test::CliResult info = test::run_cli("info " + q(dir / c.name));
    EXPECT_EQ(info.code, 1);
    EXPECT_NE(info.out.find("  page 1 does not decode: " + c.reason + "\n"), std::string::npos)
        << info.out;
    const test::CliResult render =
        test::run_cli("render " + q(dir / c.name) + " -o " + q(dir / "p.png"));
    EXPECT_EQ(render.code, 1);
    EXPECT_EQ(render.out, "orvane-cli: " + (dir / c.name).string() +
                              ": page 1 does not decode: " + c.reason + "\n");
    for (const std::string out : {"x.tif", "x.pdf"}) {
      const test::CliResult convert =
          test::run_cli("convert " + q(dir / c.name) + " -o " + q(dir / out));
      EXPECT_EQ(convert.code, 1);
      EXPECT_EQ(convert.out, "orvane-cli: " + line);
      EXPECT_FALSE(fs::exists(dir / out));
    }
  }
  // At Work files without their converter.
  test::write_file(dir / "fax.awd", {1, 2, 3});
  const test::CliResult awd = test::run_cli("info " + q(dir / "fax.awd"), {}, "PATH=/usr/bin:/bin");
  EXPECT_EQ(awd.code, 1);
  EXPECT_EQ(awd.out, (dir / "fax.awd").string() +
                         ": At Work, 0 pages\norvane-cli: " + (dir / "fax.awd").string() +
                         ": At Work files are read through the outside converter AWDVSTUB.EXE, "
                         "which was not found on PATH\n");
}

}  // namespace
}  // namespace orvane
