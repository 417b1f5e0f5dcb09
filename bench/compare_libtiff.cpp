// Decodes the same coded strips with libtiff and with our codec, checks that
// the pixels agree, and prints libtiff's time over ours for every page and
// coding (above 1: we are faster). The two decoders are timed in turns,
// round after round, by the CPU time they take, so that a busy machine
// slows both alike; the ratio of the medians is what counts, not the times
// themselves.
//
//   compare-libtiff PAGE_DIR [ROUNDS [PAGE]]   (pages made by bench/make-pages)
//
// PAGE (such as letter-g4) limits the run to one page, one decode a sample:
// for instruction counts under valgrind --tool=callgrind (ROUNDS 1), or
// to compare two builds on one page.
//
// This program links libtiff; the product never does.
#include <tiffio.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "base/page_bitmap.h"
#include "codec/page_driver.h"
#include "tiff/tiff_page.h"
#include "tiff/tiff_strip.h"

namespace {

// The CPU time of this thread, not the wall clock: on a shared machine a
// sample that waits for a core would count the wait, which hits either side
// at random and swamps the difference being measured.
struct Clock {
  using duration = std::chrono::nanoseconds;
  struct time_point {
    duration since;
    duration operator-(const time_point& o) const { return since - o.since; }
  };
  static time_point now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return {std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec)};
  }
};

const char* const kPages[] = {"blank", "cover", "letter", "dense", "halftone", "dither", "a3"};
const char* const kCodings[] = {"g4", "g3-2d", "g3-1d", "packbits"};

struct CodedPage {
  TIFF* tiff = nullptr;
  orvane::TiffPage desc;
  std::vector<std::vector<std::uint8_t>> strips;
  std::vector<std::uint8_t> theirs;  // libtiff's rows, one strip after another
  std::vector<double> their_times, our_times;
  int repeats = 1;  // decodes per timed sample, so that a sample is not too short to time
};

bool open_page(const std::string& path, CodedPage& p) {
  p.tiff = TIFFOpen(path.c_str(), "rm");
  if (p.tiff == nullptr) return false;
  auto& d = p.desc;
  std::uint16_t u16 = 0;
  std::uint32_t u32 = 0;
  TIFFGetField(p.tiff, TIFFTAG_IMAGEWIDTH, &d.image_width);
  TIFFGetField(p.tiff, TIFFTAG_IMAGELENGTH, &d.image_length);
  if (TIFFGetFieldDefaulted(p.tiff, TIFFTAG_BITSPERSAMPLE, &u16)) d.bits_per_sample = u16;
  if (TIFFGetField(p.tiff, TIFFTAG_COMPRESSION, &u16)) d.compression = u16;
  if (TIFFGetField(p.tiff, TIFFTAG_PHOTOMETRIC, &u16)) d.photometric = u16;
  if (TIFFGetFieldDefaulted(p.tiff, TIFFTAG_FILLORDER, &u16)) d.fill_order = u16;
  if (TIFFGetField(p.tiff, TIFFTAG_GROUP3OPTIONS, &u32)) d.t4_options = u32;
  if (TIFFGetField(p.tiff, TIFFTAG_GROUP4OPTIONS, &u32)) d.t6_options = u32;
  if (TIFFGetFieldDefaulted(p.tiff, TIFFTAG_ROWSPERSTRIP, &u32)) d.rows_per_strip = u32;
  d.strip_count = TIFFNumberOfStrips(p.tiff);
  for (std::uint32_t s = 0; s < d.strip_count; ++s) {
    std::vector<std::uint8_t> raw(TIFFGetStrileByteCount(p.tiff, s));
    if (TIFFReadRawStrip(p.tiff, s, raw.data(), tmsize_t(raw.size())) < 0) return false;
    p.strips.push_back(std::move(raw));
  }
  p.theirs.assign(std::size_t(TIFFStripSize(p.tiff)) * d.strip_count, 0);
  return true;
}

// Seconds per decode of the whole page.
double decode_theirs(CodedPage& p) {
  const auto start = Clock::now();
  const tmsize_t strip_size = TIFFStripSize(p.tiff);
  for (int i = 0; i < p.repeats; ++i) {
    for (std::uint32_t s = 0; s < p.desc.strip_count; ++s) {
      TIFFReadEncodedStrip(p.tiff, s, p.theirs.data() + std::size_t(strip_size) * s, strip_size);
    }
  }
  return std::chrono::duration<double>(Clock::now() - start).count() / p.repeats;
}

double decode_ours(CodedPage& p, std::vector<orvane::PageBitmap>& out) {
  const auto start = Clock::now();
  out.resize(p.desc.strip_count);
  for (int i = 0; i < p.repeats; ++i) {
    for (std::uint32_t s = 0; s < p.desc.strip_count; ++s) {
      orvane::decode_tiff_strip(out[s], p.strips[s], p.desc, s);
    }
  }
  return std::chrono::duration<double>(Clock::now() - start).count() / p.repeats;
}

// Ours keeps white as 1 bits for PhotometricInterpretation 0, libtiff hands
// the data over as coded (0 = white); padding bits past the width are not
// compared.
bool same_pixels(const CodedPage& p, const std::vector<orvane::PageBitmap>& ours) {
  const std::size_t row_bytes = (p.desc.image_width + 7) / 8;
  const unsigned pad = unsigned(row_bytes * 8 - p.desc.image_width);
  const auto last_mask = std::uint8_t(0xFF << pad);
  const std::uint8_t flip = p.desc.photometric == 0 ? 0xFF : 0x00;
  std::size_t row = 0;
  for (const auto& strip : ours) {
    for (std::int32_t r = 0; r < strip.height && row < p.desc.image_length; ++r, ++row) {
      const std::uint8_t* a = strip.row(r);
      const std::uint8_t* b = p.theirs.data() + row * row_bytes;
      for (std::size_t i = 0; i < row_bytes; ++i) {
        const std::uint8_t mask = i + 1 == row_bytes ? last_mask : 0xFF;
        if (((a[i] ^ flip ^ b[i]) & mask) != 0) return false;
      }
    }
  }
  return row == p.desc.image_length;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: compare-libtiff PAGE_DIR [ROUNDS]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 21;
  const std::string only = argc > 3 ? argv[3] : "";
  TIFFSetWarningHandler(nullptr);

  std::vector<CodedPage> pages(std::size(kPages) * std::size(kCodings));
  for (std::size_t i = 0; i < std::size(kPages); ++i) {
    for (std::size_t j = 0; j < std::size(kCodings); ++j) {
      const std::string path = dir + "/" + kPages[i] + "-" + kCodings[j] + ".tif";
      if (!open_page(path, pages[i * std::size(kCodings) + j])) {
        std::fprintf(stderr, "compare-libtiff: cannot read %s (run bench/make-pages)\n",
                     path.c_str());
        return 2;
      }
    }
  }

  bool all_same = true;
  std::vector<orvane::PageBitmap> ours;
  // About 5 ms per sample on either side.
  for (CodedPage& p : pages) {
    if (!only.empty()) break;  // one page under a profiler: one decode each
    const double once = std::min(decode_theirs(p), decode_ours(p, ours));
    p.repeats = std::clamp(int(0.005 / std::max(once, 1e-7)), 1, 1000);
  }
  for (int round = 0; round < rounds; ++round) {
    for (std::size_t k = 0; k < pages.size(); ++k) {
      CodedPage& p = pages[k];
      const std::string name =
          std::string(kPages[k / std::size(kCodings)]) + "-" + kCodings[k % std::size(kCodings)];
      if (!only.empty() && name != only) continue;
      // Alternate who goes first, so neither always meets a warm cache.
      if ((round + k) % 2 == 0) {
        p.their_times.push_back(decode_theirs(p));
        p.our_times.push_back(decode_ours(p, ours));
      } else {
        p.our_times.push_back(decode_ours(p, ours));
        p.their_times.push_back(decode_theirs(p));
      }
      if (round == 0 && !same_pixels(p, ours)) {
        std::fprintf(stderr, "pixels differ: %s\n", name.c_str());
        all_same = false;
      }
    }
  }

  if (!only.empty()) {
    for (std::size_t k = 0; k < pages.size(); ++k) {
      if (pages[k].our_times.empty()) continue;
      std::printf("%s: libtiff %.3f ms, ours %.3f ms, ratio %.2f\n", only.c_str(),
                  1e3 * median(pages[k].their_times), 1e3 * median(pages[k].our_times),
                  median(pages[k].their_times) / median(pages[k].our_times));
    }
    return all_same ? 0 : 1;
  }
  std::printf("libtiff time / ours, median of %d interleaved rounds (above 1: ours faster)\n\n",
              rounds);
  std::printf("| page | G4 | G3 2D | G3 1D | PackBits |\n|---|---|---|---|---|\n");
  for (std::size_t i = 0; i < std::size(kPages); ++i) {
    std::printf("| %s |", kPages[i]);
    for (std::size_t j = 0; j < std::size(kCodings); ++j) {
      const CodedPage& p = pages[i * std::size(kCodings) + j];
      std::printf(" %.2f |", median(p.their_times) / median(p.our_times));
    }
    std::printf("\n");
  }
  std::printf("\nours, ms per page (median):\n");
  for (std::size_t i = 0; i < std::size(kPages); ++i) {
    std::printf("| %s |", kPages[i]);
    for (std::size_t j = 0; j < std::size(kCodings); ++j) {
      std::printf(" %.2f |", 1e3 * median(pages[i * std::size(kCodings) + j].our_times));
    }
    std::printf("\n");
  }
  for (CodedPage& p : pages) TIFFClose(p.tiff);
  std::printf("\npixels %s\n", all_same ? "identical" : "DIFFER");
  return all_same ? 0 : 1;
}
