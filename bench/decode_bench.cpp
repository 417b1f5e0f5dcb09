// Speed of the hot paths on a real page: decoding each coding, finding the
// coding of bare data, and packing a page for conversion. Run a Release
// build: cmake -DORVANE_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Release.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/binary_file.h"
#include "codec/fax_codec.h"
#include "codec/stream_analysis.h"
#include "tiff/tiff_reader.h"

namespace {

using namespace orvane;

const std::filesystem::path kSource = ORVANE_SOURCE_DIR;

// Loads page 0 of a TIFF fixture through the whole reader.
void BM_LoadTiffPage(benchmark::State& state, const std::string& name) {
  TiffReader reader;
  reader.open(kSource / "tests/fixtures/tiff" / name);
  if (reader.read_header() != ReaderResult::kOk || reader.build_page_table() == 0) {
    state.SkipWithError("fixture missing");
    return;
  }
  PageBitmap page;
  for (auto _ : state) {
    (void)reader.load_page(0, page);
    benchmark::DoNotOptimize(page.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * std::int64_t(page.height));  // rows
}
BENCHMARK_CAPTURE(BM_LoadTiffPage, g3_1d, std::string("text-1728-g3-1d.tif"));
BENCHMARK_CAPTURE(BM_LoadTiffPage, g3_2d, std::string("text-1728-g3-2d.tif"));
BENCHMARK_CAPTURE(BM_LoadTiffPage, g4, std::string("text-1728-g4.tif"));
BENCHMARK_CAPTURE(BM_LoadTiffPage, g4_dither, std::string("dither-1728-g4.tif"));
BENCHMARK_CAPTURE(BM_LoadTiffPage, packbits, std::string("text-1728-packbits.tif"));

// A full fine-resolution sample page (1728 x 2200).
void BM_LoadSamplePage(benchmark::State& state) {
  TiffReader reader;
  reader.open(kSource / "samples/sample.tif");
  reader.read_header();
  reader.build_page_table();
  PageBitmap page;
  for (auto _ : state) {
    (void)reader.load_page(1, page);
    benchmark::DoNotOptimize(page.pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * std::int64_t(page.height));
}
BENCHMARK(BM_LoadSamplePage);

// Guessing width, bit order and coding of a bare MH page.
void BM_GuessCoding(benchmark::State& state) {
  BinaryFile file;
  file.open(kSource / "samples/sample.g3");
  std::vector<std::uint8_t> data(std::size_t(file.size()));
  file.read_at(0, data);
  codec::FaxCodec codec;
  for (auto _ : state) {
    codec.configure(data, 1, 5, 0);
    codec::StreamGuess guess;
    benchmark::DoNotOptimize(codec::guess_coding(codec, guess));
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(data.size()));
}
BENCHMARK(BM_GuessCoding);

}  // namespace
