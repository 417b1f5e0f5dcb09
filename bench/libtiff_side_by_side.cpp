// Our coders side by side with libtiff's on the same pages, each ratio taken
// within one run (libtiff's time / ours: above 1 we are faster). libtiff is
// linked here only, as the yardstick; the product never links it.
//   BM_G4Encode         T.6 encoding of text pages, ours against libtiff's G4 encoder
//   BM_G4Decode         T.6 decoding of the same pages
//   BM_PdfOf100PageG4   a 100-page G4 TIFF to PDF, ours (in process) against tiff2pdf
// Run a Release build: cmake -DORVANE_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Release.
#include <benchmark/benchmark.h>
#include <tiffio.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/fax_codec.h"
#include "codec/page_driver.h"
#include "codec/t6_encoder.h"
#include "core/pdf_export.h"
#include "tiff/tiff_reader.h"

namespace {

using namespace orvane;
using Clock = std::chrono::steady_clock;

const std::filesystem::path kSource = ORVANE_SOURCE_DIR;

// The text pages of the sample fax, decoded.
std::vector<PageBitmap> text_pages() {
  TiffReader reader;
  reader.open(kSource / "samples/sample.tif");
  std::vector<PageBitmap> pages;
  if (reader.read_header() != ReaderResult::kOk) return pages;
  for (std::uint16_t i = 0; i < reader.build_page_table(); ++i) {
    pages.emplace_back();
    (void)reader.load_page(i, pages.back());
  }
  return pages;
}

// A TIFF held in memory, for libtiff's client I/O.
struct MemoryFile {
  std::vector<std::uint8_t> bytes;
  toff_t at = 0;
};
tsize_t mem_read(thandle_t h, tdata_t buf, tsize_t n) {
  auto* m = static_cast<MemoryFile*>(h);
  const tsize_t k = std::min<tsize_t>(n, tsize_t(m->bytes.size()) - tsize_t(m->at));
  if (k <= 0) return 0;
  std::memcpy(buf, m->bytes.data() + m->at, std::size_t(k));
  m->at += toff_t(k);
  return k;
}
tsize_t mem_write(thandle_t h, tdata_t buf, tsize_t n) {
  auto* m = static_cast<MemoryFile*>(h);
  if (m->at + toff_t(n) > m->bytes.size()) m->bytes.resize(std::size_t(m->at) + std::size_t(n));
  std::memcpy(m->bytes.data() + m->at, buf, std::size_t(n));
  m->at += toff_t(n);
  return n;
}
toff_t mem_seek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<MemoryFile*>(h);
  m->at = whence == SEEK_SET ? off : whence == SEEK_CUR ? m->at + off : m->bytes.size() + off;
  return m->at;
}
int mem_close(thandle_t) {
  return 0;
}
toff_t mem_size(thandle_t h) {
  return static_cast<MemoryFile*>(h)->bytes.size();
}
int mem_map(thandle_t, tdata_t*, toff_t*) {
  return 0;
}
void mem_unmap(thandle_t, tdata_t, toff_t) {}

TIFF* open_memory(MemoryFile& m, const char* mode) {
  m.at = 0;
  return TIFFClientOpen("memory", mode, &m, mem_read, mem_write, mem_seek, mem_close, mem_size,
                        mem_map, mem_unmap);
}

// libtiff's G4 encoding of one page (its rows with 1 = black) into memory.
std::size_t libtiff_encode(const PageBitmap& page, std::vector<std::uint8_t>& black_rows) {
  MemoryFile m;
  TIFF* t = open_memory(m, "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, page.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, page.height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, page.height);
  TIFFWriteEncodedStrip(t, 0, black_rows.data(), tmsize_t(black_rows.size()));
  TIFFClose(t);
  return m.bytes.size();
}

std::vector<std::uint8_t> black_is_one(const PageBitmap& page) {
  std::vector<std::uint8_t> rows(page.pixels.size());
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = std::uint8_t(~page.pixels[i]);
  return rows;
}

double seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

void report(benchmark::State& state, double ours, double theirs, std::int64_t rows) {
  state.counters["ours_ms"] = 1e3 * ours / double(state.iterations());
  state.counters["libtiff_ms"] = 1e3 * theirs / double(state.iterations());
  state.counters["ratio"] = ours > 0 ? theirs / ours : 0;
  state.SetItemsProcessed(std::int64_t(state.iterations()) * rows);
}

void BM_G4Encode(benchmark::State& state) {
  const std::vector<PageBitmap> pages = text_pages();
  if (pages.empty()) return state.SkipWithError("samples/sample.tif missing");
  std::vector<std::vector<std::uint8_t>> black;
  std::int64_t rows = 0;
  for (const auto& p : pages) {
    black.push_back(black_is_one(p));
    rows += p.height;
  }
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    for (const auto& p : pages) {
      benchmark::DoNotOptimize(codec::encode_t6(p.pixels, p.width, p.height, p.row_bytes).size());
    }
    auto t1 = Clock::now();
    for (std::size_t i = 0; i < pages.size(); ++i) {
      benchmark::DoNotOptimize(libtiff_encode(pages[i], black[i]));
    }
    auto t2 = Clock::now();
    ours += seconds(t1 - t0);
    theirs += seconds(t2 - t1);
  }
  report(state, ours, theirs, rows);
}
BENCHMARK(BM_G4Encode)->Unit(benchmark::kMillisecond);

void BM_G4Decode(benchmark::State& state) {
  const std::vector<PageBitmap> pages = text_pages();
  if (pages.empty()) return state.SkipWithError("samples/sample.tif missing");
  std::vector<std::vector<std::uint8_t>> coded;
  std::vector<MemoryFile> tiffs;
  std::int64_t rows = 0;
  for (const auto& p : pages) {
    coded.push_back(codec::encode_t6(p.pixels, p.width, p.height, p.row_bytes));
    auto black = black_is_one(p);
    MemoryFile m;
    TIFF* t = open_memory(m, "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, p.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, p.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, p.height);
    TIFFWriteEncodedStrip(t, 0, black.data(), tmsize_t(black.size()));
    TIFFClose(t);
    tiffs.push_back(std::move(m));
    rows += p.height;
  }
  double ours = 0, theirs = 0;
  std::vector<std::uint8_t> out(pages[0].pixels.size() * 2);
  for (auto _ : state) {
    auto t0 = Clock::now();
    for (std::size_t i = 0; i < pages.size(); ++i) {
      codec::FaxCodec codec;
      codec::configure_for_t6(codec, coded[i], 1, 0, 0, 3);
      codec.set_size(pages[i].width, pages[i].height);
      PageBitmap page;
      benchmark::DoNotOptimize(codec::decode_t6_page(codec, page));
    }
    auto t1 = Clock::now();
    for (auto& m : tiffs) {
      TIFF* t = open_memory(m, "r");
      benchmark::DoNotOptimize(TIFFReadEncodedStrip(t, 0, out.data(), tmsize_t(out.size())));
      TIFFClose(t);
    }
    auto t2 = Clock::now();
    ours += seconds(t1 - t0);
    theirs += seconds(t2 - t1);
  }
  report(state, ours, theirs, rows);
}
BENCHMARK(BM_G4Decode)->Unit(benchmark::kMillisecond);

// PDF of a 100-page G4 TIFF (the sample's pages, 50 times over) against
// tiff2pdf's, which includes starting its process (a few milliseconds).
void BM_PdfOf100PageG4(benchmark::State& state) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("orvane-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string g4 = (dir / "g4.tif").string(), hundred = (dir / "hundred.tif").string();
  std::string cmd = "tiffcp -c g4 '" + (kSource / "samples/sample.tif").string() + "' '" + g4 + "'";
  std::string all = "tiffcp";
  for (int i = 0; i < 50; ++i) all += " '" + g4 + "'";
  if (std::system(cmd.c_str()) != 0 || std::system((all + " '" + hundred + "'").c_str()) != 0) {
    state.SkipWithError("tiffcp failed");
    return;
  }
  const std::string t2p = "tiff2pdf -o '" + (dir / "t2p.pdf").string() + "' '" + hundred + "'";
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    benchmark::DoNotOptimize(export_pdf_file(hundred, {}, dir / "ours.pdf"));
    auto t1 = Clock::now();
    benchmark::DoNotOptimize(std::system(t2p.c_str()));
    auto t2 = Clock::now();
    ours += seconds(t1 - t0);
    theirs += seconds(t2 - t1);
  }
  report(state, ours, theirs, 100);
  state.counters["ours_bytes"] = double(std::filesystem::file_size(dir / "ours.pdf"));
  state.counters["tiff2pdf_bytes"] = double(std::filesystem::file_size(dir / "t2p.pdf"));
  state.counters["tiff_bytes"] = double(std::filesystem::file_size(hundred));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_PdfOf100PageG4)->Unit(benchmark::kMillisecond);

}  // namespace
