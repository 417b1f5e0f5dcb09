// JBIG pages in TIFF, made by wrapping the BIEs of JBIG-KIT's pbmtojbg in
// TIFF directories, checked against libtiff's decoding (tifftopnm) and, for
// the BIEs libtiff does not read, against jbgtopbm.
#include <gtest/gtest.h>

#include <string>

#include "base/coding_mode.h"
#include "core/fax_file.h"
#include "formats/container_writers.h"
#include "support/test_support.h"
#include "tiff/jbig_strip.h"
#include "tiff/tiff_builder.h"
#include "tiff/tiff_reader.h"

namespace orvane {
namespace {

using test::Bytes;
using test::Pbm;

// The BIE pbmtojbg makes of `image` (or of a PGM for more planes).
Bytes pbmtojbg(const test::TempDir& dir, const Pbm& image, const std::string& options) {
  test::write_pbm(dir / "in.pbm", image);
  const std::string cmd = "pbmtojbg " + options + " '" + (dir / "in.pbm").string() + "' '" +
                          (dir / "out.jbg").string() + "' 2>/dev/null";
  EXPECT_EQ(test::run(cmd), 0) << cmd;
  return test::read_file(dir / "out.jbg");
}

Pbm jbgtopbm(const test::TempDir& dir, const Bytes& bie) {
  test::write_file(dir / "bie.jbg", bie);
  const std::string cmd = "jbgtopbm '" + (dir / "bie.jbg").string() + "' '" +
                          (dir / "bie.pbm").string() + "' 2>/dev/null";
  EXPECT_EQ(test::run(cmd), 0) << cmd;
  return test::read_pbm(dir / "bie.pbm");
}

struct JbigPage {
  Bytes bie;
  std::uint32_t width = 0, length = 0;
  std::uint16_t compression = 34661;
  std::uint16_t photometric = 0;
  std::uint16_t strips = 1;  // the BIE cut into this many strips
  bool reversed = false;     // stored with each byte's bits reversed, as libtiff writes it
};

// One directory per page, the BIE in its strips.
Bytes jbig_tiff(const std::vector<JbigPage>& pages) {
  test::TiffBuilder b;
  for (JbigPage p : pages) {
    if (p.reversed) p.bie = test::reverse_bits(p.bie);
    std::vector<std::uint32_t> offsets, counts;
    const std::size_t step = (p.bie.size() + p.strips - 1) / p.strips;
    for (std::size_t at = 0; at < p.bie.size(); at += step) {
      const Bytes part(p.bie.begin() + std::ptrdiff_t(at),
                       p.bie.begin() + std::ptrdiff_t(std::min(at + step, p.bie.size())));
      offsets.push_back(b.append(part));
      counts.push_back(std::uint32_t(part.size()));
    }
    const bool one = offsets.size() == 1;
    const auto table = [&](std::uint16_t tag, const std::vector<std::uint32_t>& v) {
      return one ? b.long_entry(tag, v[0])
                 : b.long_entry(tag, b.append_longs(v), std::uint32_t(v.size()));
    };
    b.add_directory({b.long_entry(256, p.width), b.long_entry(257, p.length), b.short_entry(258, 1),
                     b.short_entry(259, p.compression), b.short_entry(262, p.photometric),
                     table(273, offsets), b.short_entry(277, 1), b.long_entry(278, p.length),
                     table(279, counts), b.rational(282, 204, 1), b.rational(283, 196, 1),
                     b.short_entry(296, 2)});
  }
  return b.bytes();
}

TEST(JbigPages, DecodeLikeLibtiffAndJbgtopbm) {
  test::TempDir dir;
  struct Case {
    int width, rows;
    const char* options;
    std::uint16_t compression, photometric, strips;
    bool reversed;  // laid out as libtiff writes it, and checked against libtiff
  };
  // Sizes whose rows are and are not whole bytes; typical prediction and
  // adaptive template moves on and off; stripes of many sizes; both
  // photometrics; one BIE over several strips (which libtiff does not
  // join); the T.85 fax profile with a
  // height announced too large and corrected at the end (NEWLEN); and
  // resolution layers, which libtiff does not decode.
  const Case cases[] = {
      {1728, 120, "-q", 34661, 0, 1, true},
      {1001, 77, "-q -p 0", 34661, 0, 3, false},
      {2432, 64, "-q -s 16 -m 8", 34661, 1, 1, true},
      {9, 300, "-q -s 1", 34661, 0, 1, true},
      {1728, 200, "-f", 9, 0, 1, false},
      {1234, 90, "-f -Y 200", 9, 0, 2, false},
      {1728, 150, "-d 2", 34661, 0, 1, false},
  };
  std::vector<JbigPage> pages;
  std::vector<Pbm> images;
  unsigned seed = 85;
  for (const Case& c : cases) {
    const Pbm image = test::test_image(c.width, c.rows, seed++);
    pages.push_back({.bie = pbmtojbg(dir, image, c.options),
                     .width = std::uint32_t(c.width),
                     .length = std::uint32_t(c.rows),
                     .compression = c.compression,
                     .photometric = c.photometric,
                     .strips = c.strips,
                     .reversed = c.reversed});
    images.push_back(image);
  }
  const Bytes file = jbig_tiff(pages);
  // tiffcp cannot copy a JBIG page out of a file: each goes to tifftopnm alone.
  const auto by_libtiff = [&](const JbigPage& p) {
    test::write_file(dir / "one.tif", jbig_tiff({p}));
    const std::string cmd = "tifftopnm '" + (dir / "one.tif").string() + "' > '" +
                            (dir / "one.pbm").string() + "' 2>/dev/null";
    EXPECT_EQ(test::run(cmd), 0) << cmd;
    return test::read_pbm(dir / "one.pbm");
  };
  test::OpenedReader<TiffReader> f(file);
  ASSERT_EQ(f.pages, pages.size());
  for (std::uint32_t i = 0; i < pages.size(); ++i) {
    const std::string name = "jbig" + std::to_string(i);
    const PageBitmap page = f.load(i);
    EXPECT_EQ(page.coding, kCodingJbig);
    const Pbm got = test::to_pbm(page);
    // libtiff reads the samples by PhotometricInterpretation, as we do, but
    // only BIEs stored as it writes them, bits reversed under FillOrder 1;
    // it has no decoder for Compression 9 nor for resolution layers.
    // jbgtopbm draws the BIEs stored as they are.
    if (pages[i].reversed) {
      EXPECT_TRUE(test::same_pixels(by_libtiff(pages[i]), got, name));
    } else {
      EXPECT_TRUE(test::same_pixels(jbgtopbm(dir, pages[i].bie), got, name));
    }
    EXPECT_TRUE(
        test::same_pixels(pages[i].photometric ? test::inverted(images[i]) : images[i], got, name));
    // No pass-through: a JBIG page is written out as the pixels it shows.
    PassThroughPage coded;
    EXPECT_FALSE(f.reader.coded_page(i, coded));
  }
  // A bare BIE, decoded as a page of its own size.
  const TiffPage desc{.image_width = pages[1].width, .image_length = pages[1].length};
  PageBitmap bare;
  ASSERT_TRUE(decode_jbig_page(pages[1].bie, desc, bare).ok());
  EXPECT_TRUE(test::same_pixels(jbgtopbm(dir, pages[1].bie), test::to_pbm(bare), "bare"));
}

// What the TIFF directory and the BIE must agree on, and the words a page
// is refused with when they do not.
TEST(JbigPages, RefusedWithTheirReason) {
  test::TempDir dir;
  const Pbm image = test::test_image(264, 50, 3);
  const Bytes bie = pbmtojbg(dir, image, "");
  // A grey picture: pbmtojbg codes a PGM's bit planes.
  const std::string grey = "pgmramp -lr 64 16 > '" + (dir / "g.pgm").string() + "' && pbmtojbg '" +
                           (dir / "g.pgm").string() + "' '" + (dir / "g.jbg").string() +
                           "' 2>/dev/null";
  ASSERT_EQ(test::run(grey), 0);
  const Bytes planes = test::read_file(dir / "g.jbg");
  Bytes cut(bie.begin(), bie.begin() + std::ptrdiff_t(bie.size() / 2));
  Bytes garbage = bie;
  for (std::size_t i = 20; i < garbage.size(); ++i) garbage[i] = std::uint8_t(0xFF - i);
  struct Case {
    const char* name;
    Bytes bie;
    std::uint32_t width, length;
    const char* words;
  };
  const Case cases[] = {
      {"eight bit planes", planes, 64, 16,
       "JBIG data with 8 bit planes: a grey picture, not a fax"},
      {"other width", bie, 265, 50, "its JBIG data is 264 x 50, the directory says 265 x 50"},
      {"other height", bie, 264, 49, "its JBIG data is 264 x 50, the directory says 264 x 49"},
      {"header only", Bytes(bie.begin(), bie.begin() + 12), 264, 50,
       "its JBIG data has no complete header"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes file = jbig_tiff({{.bie = c.bie, .width = c.width, .length = c.length}});
    test::OpenedReader<TiffReader> f(file);
    ASSERT_EQ(f.pages, 1);
    PageBitmap page;
    const Status got = f.reader.load_page(0, page);
    ASSERT_FALSE(got.ok());
    EXPECT_EQ(got.refusal().cause(), c.words);
    EXPECT_FALSE(page.has_pixels());
  }
  // Data cut short or garbled is refused in libjbig's words, never drawn.
  for (const Bytes& damaged : {cut, garbage}) {
    test::OpenedReader<TiffReader> f(jbig_tiff({{.bie = damaged, .width = 264, .length = 50}}));
    PageBitmap page;
    const Status got = f.reader.load_page(0, page);
    ASSERT_FALSE(got.ok());
    EXPECT_EQ(got.refusal().cause().rfind("its JBIG data does not decode: ", 0), 0u)
        << got.refusal().cause();
  }
}

// TIFF-F's record of how a page arrived, as page_facts passes it on and
// the window and `info` word it; the count may be a SHORT or a LONG.
TEST(ReceivedPages, TellHowTheyArrived) {
  struct Case {
    int bad, consecutive, clean;  // -1: the tag is left out
    bool bad_as_long;
    const char* words;
  };
  const Case cases[] = {
      {12, 3, 2, true, "received with 12 bad lines (at most 3 in a row)"},
      {1, -1, -1, false, "received with 1 bad line"},
      {0, 0, 0, false, "received clean"},
      {-1, -1, 0, false, "received clean"},
      {-1, -1, 1, false, "received with bad lines, regenerated"},
      {-1, -1, -1, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words);
    test::TiffBuilder b;
    const std::uint32_t strip = b.append(Bytes(8, 0));
    std::vector<test::TiffBuilder::Entry> entries = {
        b.long_entry(256, 64), b.long_entry(257, 1),     b.short_entry(259, 1),
        b.short_entry(262, 0), b.long_entry(273, strip), b.long_entry(279, 8)};
    if (c.bad >= 0)
      entries.push_back(c.bad_as_long ? b.long_entry(326, std::uint32_t(c.bad))
                                      : b.short_entry(326, std::uint16_t(c.bad)));
    if (c.clean >= 0) entries.push_back(b.short_entry(327, std::uint16_t(c.clean)));
    if (c.consecutive >= 0) entries.push_back(b.short_entry(328, std::uint16_t(c.consecutive)));
    b.add_directory(entries);
    test::OpenedReader<TiffReader> f(b.bytes());
    PageFacts facts;
    ASSERT_TRUE(f.reader.page_facts(0, facts));
    EXPECT_EQ(reception_words(facts.reception), c.words);
  }
}

}  // namespace
}  // namespace orvane
