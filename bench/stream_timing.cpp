// Times the trial decoding of bare fax data against plain decoding:
//
//  - junk: the analyses a bare page (guess_coding, then guess_t6) and a raw
//    stream (extract, then extract_t6, both bit orders) run before giving up
//    on 100 MiB of 0x00 bytes and of 0xFF bytes;
//  - a 100-page bare stream (the six 1728-wide pages of bench/make-pages in
//    turn, their G3 strips one after another): analysis plus extraction
//    into the row and index files, against decoding the same pages one by
//    one into a page bitmap. Both are timed in turns, round after round.
//
//   stream-timing PAGE_DIR [ROUNDS [SCRATCH_DIR]]
//
// libtiff only reads the coded strips out of the page set.
#include <tiffio.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "base/coding_mode.h"
#include "base/page_bitmap.h"
#include "codec/fax_codec.h"
#include "codec/page_driver.h"
#include "codec/raw_extraction.h"
#include "codec/stream_analysis.h"
#include "formats/raw_scratch_files.h"

namespace {

using namespace orvane;
// CPU time of this thread (user and system), as compare-libtiff: on a
// shared machine the wall clock counts waits for a core.
struct Clock {
  using time_point = double;
  static double now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
  }
};

double seconds_since(double start) {
  return Clock::now() - start;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

bool read_strip(const std::string& path, std::vector<std::uint8_t>& out) {
  TIFF* tiff = TIFFOpen(path.c_str(), "rm");
  if (tiff == nullptr) return false;
  out.resize(TIFFGetStrileByteCount(tiff, 0));
  const bool ok = TIFFNumberOfStrips(tiff) == 1 &&
                  TIFFReadRawStrip(tiff, 0, out.data(), tmsize_t(out.size())) >= 0;
  TIFFClose(tiff);
  return ok;
}

// The analyses of a bare page: MH/MR guesses, then T.6.
bool page_analysis(std::span<const std::uint8_t> data) {
  codec::StreamGuess guess;
  codec::FaxCodec codec;
  codec.configure(data, kBitOrderMsbFirst, kCodingT4_1D, 0);
  if (codec::guess_coding(codec, guess)) return true;
  codec::FaxCodec t6;
  codec::configure_for_t6(t6, data, kBitOrderMsbFirst, 0, 0, 3);
  return codec::guess_t6(t6, guess);
}

// The analyses and extraction of a raw stream, as its reader runs them
// when the bit order is not given (LSB first, then MSB first), or with the
// order given.
int stream_extraction(std::span<const std::uint8_t> data, const std::filesystem::path& rows,
                      const std::filesystem::path& index, bool order_given = false) {
  codec::FaxCodec analysis;
  analysis.configure(data, kBitOrderMsbFirst, kCodingT4_1D, 0);
  codec::FaxCodec t6;
  codec::configure_for_t6(t6, data, kBitOrderMsbFirst, 0, 0, 3);
  codec::ExtractionOptions options;
  RawScratchFiles files(rows, index);
  const std::vector<std::uint8_t> orders =
      order_given ? std::vector<std::uint8_t>{kBitOrderMsbFirst}
                  : std::vector<std::uint8_t>{kBitOrderLsbFirst, kBitOrderMsbFirst};
  return codec::extract_cleanest(analysis, t6, files, options, orders);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: stream-timing PAGE_DIR [ROUNDS [SCRATCH_DIR]]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::filesystem::path scratch =
      argc > 3 ? std::filesystem::path(argv[3]) : std::filesystem::temp_directory_path();
  const std::filesystem::path row_file = scratch / "stream-timing.rows";
  const std::filesystem::path index_file = scratch / "stream-timing.index";
  TIFFSetWarningHandler(nullptr);

  // Junk.
  constexpr std::size_t kJunk = 100u << 20;
  for (std::uint8_t fill : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
    const std::vector<std::uint8_t> junk(kJunk, fill);
    auto start = Clock::now();
    const bool page = page_analysis(junk);
    const double page_s = seconds_since(start);
    start = Clock::now();
    const int stream = stream_extraction(junk, row_file, index_file);
    const double stream_s = seconds_since(start);
    std::printf("100 MiB of 0x%02X: page analysis %.1f ms (%s), stream analysis %.1f ms (%s)\n",
                fill, 1e3 * page_s, page ? "accepted" : "given up", 1e3 * stream_s,
                stream >= 0 ? "accepted" : "given up");
  }

  // 100 pages.
  const char* const kPages[] = {"blank", "cover", "letter", "dense", "halftone", "dither"};
  for (const char* coding : {"g3-1d", "g3-2d"}) {
    std::vector<std::vector<std::uint8_t>> strips;
    for (const char* name : kPages) {
      std::vector<std::uint8_t> strip;
      const std::string path = dir + "/" + name + "-" + coding + ".tif";
      if (!read_strip(path, strip)) {
        std::fprintf(stderr, "stream-timing: cannot read %s (run bench/make-pages)\n",
                     path.c_str());
        return 2;
      }
      strips.push_back(std::move(strip));
    }
    std::vector<std::uint8_t> stream;
    std::vector<std::span<const std::uint8_t>> pages;
    for (int i = 0; i < 100; ++i) {
      const auto& s = strips[std::size_t(i) % strips.size()];
      stream.insert(stream.end(), s.begin(), s.end());
    }
    for (std::size_t at = 0, i = 0; i < 100; ++i) {
      const auto& s = strips[i % strips.size()];
      pages.emplace_back(stream.data() + at, s.size());
      at += s.size();
    }
    const std::uint8_t mode = coding[3] == '1' ? kCodingT4_1D : kCodingT4_2D;
    std::vector<double> plain, extraction, known_order;
    PageBitmap page;
    std::int64_t rows = 0;
    int extracted = 0;
    for (int round = 0; round < rounds; ++round) {
      auto decode = [&] {
        const auto start = Clock::now();
        rows = 0;
        for (const auto& p : pages) {
          codec::FaxCodec codec;
          codec.configure(p, kBitOrderMsbFirst, mode, 0);
          codec.set_size(1728, 2200);
          codec::decode_by_coding_mode(codec, page);
          rows += page.height;
        }
        plain.push_back(seconds_since(start));
      };
      auto extract = [&] {
        const auto start = Clock::now();
        extracted = stream_extraction(stream, row_file, index_file);
        extraction.push_back(seconds_since(start));
      };
      auto extract_known = [&] {
        const auto start = Clock::now();
        stream_extraction(stream, row_file, index_file, true);
        known_order.push_back(seconds_since(start));
      };
      if (round % 2 == 0) {
        decode();
        extract();
        extract_known();
      } else {
        extract_known();
        extract();
        decode();
      }
    }
    std::error_code ec;
    const auto row_bytes = std::filesystem::file_size(row_file, ec);
    std::printf(
        "100 pages %s (%zu bytes): plain decode %.1f ms (%lld rows), analysis + extraction "
        "%.1f ms (result %d, %llu row bytes): %.2fx; with the bit order given %.1f ms: %.2fx\n",
        coding, stream.size(), 1e3 * median(plain), static_cast<long long>(rows),
        1e3 * median(extraction), extracted, static_cast<unsigned long long>(row_bytes),
        median(extraction) / median(plain), 1e3 * median(known_order),
        median(known_order) / median(plain));
  }
  std::filesystem::remove(row_file);
  std::filesystem::remove(index_file);
  return 0;
}
