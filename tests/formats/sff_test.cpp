// SFF files built here from netpbm's Modified Huffman rows, checked against
// sfftobmp (which draws low-resolution pages unstretched with -r) and, for
// the damaged files it cannot draw, against the rows they were built from.
#include <gtest/gtest.h>

#include <string>

#include "formats/container_writers.h"
#include "formats/sff_reader.h"
#include "support/test_support.h"

namespace orvane {
namespace {

using test::Bits;
using test::Bytes;
using test::Pbm;
using OpenSff = test::OpenedReader<SffReader>;

// A row's codes as SFF stores them: least significant bit first.
Bytes lsb_bytes(const Bits& row) {
  Bytes out((row.bits.size() + 7) / 8, 0);
  for (std::size_t i = 0; i < row.bits.size(); ++i)
    if (row.bits[i]) out[i / 8] = std::uint8_t(out[i / 8] | 1 << (i % 8));
  return out;
}

struct SffPage {
  std::uint8_t vres = 0;
  std::uint16_t width = 1728;
  Bytes records;  // everything after the page header

  void row(const Bits& bits, bool long_form = false) {
    const Bytes b = lsb_bytes(bits);
    if (!long_form && b.size() >= 1 && b.size() <= 216) {
      records.push_back(std::uint8_t(b.size()));
    } else {
      records.insert(records.end(), {0, std::uint8_t(b.size()), std::uint8_t(b.size() >> 8)});
    }
    test::append(records, b);
  }
  void raw_row(const Bytes& b) {
    records.push_back(std::uint8_t(b.size()));
    test::append(records, b);
  }
  void white(int rows) { records.push_back(std::uint8_t(216 + rows)); }
  void repeat() { records.insert(records.end(), {255, 0}); }
  void user_data(std::uint8_t n) {
    records.insert(records.end(), {255, n});
    for (std::uint8_t i = 0; i < n; ++i) records.push_back(std::uint8_t(0xA0 + i));
  }
};

// The document header (first page header at `first`, user bytes before it),
// page headers chained by offsets from the start of the file, and the
// end-of-document record.
Bytes sff_file(const std::vector<SffPage>& pages, std::uint16_t first = 20) {
  Bytes f(first, 0);
  std::memcpy(f.data(), "Sfff", 4);
  f[4] = 1;
  test::put16(f, 8, std::uint16_t(pages.size()));
  test::put16(f, 10, first);
  std::vector<std::size_t> headers;
  for (const SffPage& p : pages) {
    headers.push_back(f.size());
    Bytes h(18, 0);
    h[0] = 254;
    h[1] = 16;
    h[2] = p.vres;
    test::put16(h, 6, p.width);
    test::append(f, h);
    test::append(f, p.records);
  }
  for (std::size_t i = 0; i < headers.size(); ++i) {
    test::put32(f, headers[i] + 10, i == 0 ? 1 : std::uint32_t(headers[i - 1]));
    test::put32(f, headers[i] + 14, i + 1 < headers.size() ? std::uint32_t(headers[i + 1]) : 1);
  }
  if (!headers.empty()) test::put32(f, 12, std::uint32_t(headers.back()));
  f.insert(f.end(), {254, 0});
  test::put32(f, 16, std::uint32_t(f.size()));
  return f;
}

// The pages sfftobmp draws from `file`, unstretched.
std::vector<Pbm> sfftobmp_pages(const test::TempDir& dir, const Bytes& file, std::size_t count) {
  test::write_file(dir / "in.sff", file);
  const std::string cmd = "sfftobmp -q -r -p '" + (dir / "in.sff").string() + "' -o '" +
                          (dir / "out.pbm").string() + "' >/dev/null 2>&1";
  EXPECT_EQ(test::run(cmd), 0) << cmd;
  std::vector<Pbm> pages;
  for (std::size_t i = 1; i <= count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "out_%03zu.pbm", i);
    pages.push_back(test::read_pbm(dir / name));
  }
  return pages;
}

// Each image's rows, every one ending in a black pixel so that its codes
// can be cut out of netpbm's stream.
std::vector<Bits> rows_of(const test::TempDir& dir, const Pbm& image) {
  return test::mh_rows(test::pbmtog3(dir, image, false));
}

// sfftobmp writes short PBM files for widths that are not whole bytes, so
// those pages are checked against the rows they were built from instead.
TEST(SffFiles, EveryRecordTypeAtBothResolutionsAndOddWidthsDrawsLikeSfftobmp) {
  test::TempDir dir;
  std::vector<SffPage> pages;
  std::vector<Pbm> built;
  struct Shape {
    int width;
    std::uint8_t vres;
  };
  unsigned seed = 31;
  for (Shape s : {Shape{1728, 0}, Shape{1000, 1}, Shape{2432, 1}, Shape{8, 0}, Shape{4000, 0},
                  Shape{1001, 1}, Shape{9, 0}}) {
    const Pbm image = test::test_image(s.width, 40, seed++, true);
    const std::vector<Bits> rows = rows_of(dir, image);
    ASSERT_EQ(rows.size(), 40u);
    SffPage p{.vres = s.vres, .width = std::uint16_t(s.width), .records = {}};
    Pbm expected{.width = s.width, .height = 0, .bits = {}};
    const auto add = [&](int r) {  // row r of the image, or white for -1
      if (r < 0) {
        expected.bits.insert(expected.bits.end(), std::size_t(image.row_bytes()), 0);
      } else {
        const auto at = image.bits.begin() + r * image.row_bytes();
        expected.bits.insert(expected.bits.end(), at, at + image.row_bytes());
      }
      ++expected.height;
    };
    // Short and long row records, white rows one at a time and 37 at once,
    // repeated rows and user data between them.
    for (int r = 0; r < int(rows.size()); ++r) {
      p.row(rows[std::size_t(r)], r % 5 == 1);
      add(r);
      if (r % 9 == 2) {
        p.repeat();
        add(r);
      }
      if (r % 11 == 3) {
        p.white(r == 3 ? 37 : 1);
        for (int w = 0; w < (r == 3 ? 37 : 1); ++w) add(-1);
      }
      if (r % 13 == 4) p.user_data(std::uint8_t(r));
    }
    pages.push_back(p);
    built.push_back(expected);
  }
  const Bytes file = sff_file(pages, 26);
  const std::vector<Pbm> drawn =
      sfftobmp_pages(dir, sff_file({pages.begin(), pages.end() - 2}), pages.size() - 2);
  OpenSff f(file);
  ASSERT_EQ(f.pages, pages.size());
  EXPECT_FALSE(f.reader.list_end());
  EXPECT_EQ(f.reader.hint_mismatches(), 0u);
  for (std::uint32_t i = 0; i < pages.size(); ++i) {
    const PageBitmap page = f.load(i);
    const std::string name = "sff" + std::to_string(i);
    if (i < drawn.size()) {
      EXPECT_TRUE(test::same_pixels(drawn[i], test::to_pbm(page), name));
    }
    EXPECT_TRUE(test::same_pixels(built[i], test::to_pbm(page), name));
    EXPECT_EQ(page.xres, 203);
    EXPECT_EQ(page.yres, pages[i].vres ? 196 : 98);
  }
}

// Files that end early or lie about their pages: the page list and the
// pages are what a receiver would have shown.
TEST(SffFiles, DamagedFilesKeepWhatArrived) {
  test::TempDir dir;
  const Pbm image = test::test_image(1728, 6, 5, true);
  const std::vector<Bits> rows = rows_of(dir, image);
  ASSERT_EQ(rows.size(), 6u);
  SffPage good;
  for (const Bits& r : rows) good.row(r);
  const Bytes two = sff_file({good, good});
  const std::size_t second_header = 20 + 18 + good.records.size();

  struct Case {
    const char* name;
    Bytes file;
    std::uint16_t pages;
    const char* list_end;  // the reason the list ended, if any
    std::int32_t last_rows;
  };
  Bytes cut_header(two.begin(), two.begin() + std::ptrdiff_t(second_header + 9));
  Bytes cut_row(two.begin(), two.end() - 5);  // the last row loses its tail
  Bytes no_end(two.begin(), two.end() - 2);   // no end-of-document record
  Bytes far_first = two;
  test::put16(far_first, 10, 60000);
  Bytes no_header_there = two;
  test::put16(no_header_there, 10, 21);
  Bytes lying = two;
  test::put16(lying, 8, 7);                                 // page count
  test::put32(lying, 20 + 14, 3);                           // next page
  test::put32(lying, std::size_t(second_header) + 14, 20);  // points back at the first: a loop
  const Case cases[] = {
      {"second header cut", cut_header, 1, "page header 2 lies past the end of the file", 6},
      {"last row cut", cut_row, 2, nullptr, 6},
      {"no end record", no_end, 2, nullptr, 6},
      {"first header past the end", far_first, 0,
       "the first page header lies past the end of the file", 0},
      {"first header not there", no_header_there, 0,
       "there is no page header where the document header places the first one", 0},
      {"offsets that lie are not followed", lying, 2, nullptr, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenSff f(c.file);
    ASSERT_EQ(f.pages, c.pages);
    if (c.list_end) {
      ASSERT_TRUE(f.reader.list_end());
      EXPECT_EQ(f.reader.list_end()->cause(), c.list_end);
    } else {
      EXPECT_FALSE(f.reader.list_end());
    }
    if (c.pages == 0) continue;
    const PageBitmap page = f.load(c.pages - 1u);
    ASSERT_EQ(page.height, c.last_rows);
    // Every row that arrived whole is the row sent.
    const int whole = std::string(c.name) == "last row cut" ? 5 : 6;
    EXPECT_TRUE(test::same_pixels(test::top_rows(image, whole),
                                  test::top_rows(test::to_pbm(page), whole), c.name));
  }
  OpenSff lying_file(lying);
  EXPECT_EQ(lying_file.reader.hint_mismatches(), 3u);
}

// Rows that arrive damaged: a row marked bad repeats the row before, codes
// that make no row leave white where they fail, and a page header for a
// coding other than Modified Huffman refuses the page with its reason.
TEST(SffFiles, BadRowsAndOtherCodings) {
  test::TempDir dir;
  const Pbm image = test::test_image(1728, 3, 9, true);
  const std::vector<Bits> rows = rows_of(dir, image);
  ASSERT_EQ(rows.size(), 3u);
  SffPage p;
  p.repeat();  // nothing before it: white
  p.row(rows[0]);
  p.repeat();
  p.raw_row({0x00, 0x00, 0x00});  // zeros: no code at all
  p.row(rows[1]);
  p.records.insert(p.records.end(), {0, 0, 0});  // a long row record of no bytes
  SffPage mr = p;
  Bytes file = sff_file({p, mr});
  file[20 + 18 + p.records.size() + 4] = 1;  // page 2 claims MR coding
  OpenSff f(file);
  ASSERT_EQ(f.pages, 2);
  const Pbm got = test::to_pbm(f.load(0));
  ASSERT_EQ(got.height, 6);
  const auto row = [](const Pbm& img, int r) {
    return Bytes(img.bits.begin() + r * img.row_bytes(),
                 img.bits.begin() + (r + 1) * img.row_bytes());
  };
  const Bytes white(std::size_t(got.row_bytes()), 0);
  EXPECT_EQ(row(got, 0), white);
  EXPECT_EQ(row(got, 1), row(image, 0));
  EXPECT_EQ(row(got, 2), row(image, 0));
  EXPECT_EQ(row(got, 3), white);
  EXPECT_EQ(row(got, 4), row(image, 1));
  PageBitmap page;
  const Status refused = f.reader.load_page(1, page);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.refusal().cause(), "SFF coding 1 is not Modified Huffman");
  EXPECT_FALSE(page.has_pixels());
}

}  // namespace
}  // namespace orvane
