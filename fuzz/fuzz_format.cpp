// One file as one format, the road a file takes in the viewer:
// classification by name, open as the format, load the pages, convert to
// TIFF, and open that TIFF again. The format comes from the registry at
// start: ORVANE_FUZZ_FORMAT names its row (slug or number, see
// fuzz_formats.h), and the input gets the row's first name ending.
// scripts/fuzz runs this once per row that fuzz_format_list prints.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/format_reader.h"
#include "base/limits.h"
#include "core/classify.h"
#include "core/fax_file.h"
#include "core/tiff_export.h"
#include "fuzz_formats.h"
#include "fuzz_support.h"

namespace {

// Pages visited per input; more pages only repeat the same code.
constexpr std::uint32_t kPagesVisited = 8;

void check_page(const orvane::FaxFile& fax) {
  if (!fax.page_valid()) return;
  const orvane::PageBitmap& page = fax.page();
  FUZZ_CHECK(page.width >= 1 && page.height >= 1);
  FUZZ_CHECK(page.width <= orvane::limits::kMaxPageSide);
  FUZZ_CHECK(page.height <= orvane::limits::kMaxPageSide);
  FUZZ_CHECK(page.row_bytes >= orvane::row_bytes_for(page.width));
  FUZZ_CHECK(page.pixels.size() >= std::size_t(page.height) * std::size_t(page.row_bytes));
  FUZZ_CHECK(std::int64_t(page.pixels.size()) <= orvane::limits::kMaxPageBytes);
}

// The decoding parameters an input is read with, from its size, so that a
// seed keeps its parameters and the fuzzer still meets every choice: the
// pagination of bare data, the bit order (one order of two costs half the
// trial decodings of finding it), T.6 taken from the first byte, whether
// widths other than the standard ones are looked for, and how many rows
// must decode alike.
orvane::DecodingParameters parameters_for(std::size_t size) {
  orvane::DecodingParameters p;
  p.split_at_page_ends = size % 2 == 1;
  p.bit_order = std::uint8_t(size / 2 % 3);
  p.raw_file = size / 6 % 4 == 3;
  p.nonstandard_widths = size / 24 % 2 == 0;
  // Trial decoding tries up to `threshold` rows at every place data might
  // start: the default for one input in four, few rows for the others.
  p.threshold = size / 48 % 4 == 0 ? 50 : 8;
  return p;
}

const orvane::FormatRow* fuzzed_row = nullptr;
std::string input_name;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  (void)argc;
  (void)argv;
  using namespace orvane;
  const char* key = std::getenv("ORVANE_FUZZ_FORMAT");
  fuzzed_row = key ? fuzz::find_fuzzed_format(key) : nullptr;
  if (!fuzzed_row) {
    std::fprintf(stderr, "fuzz_format: set ORVANE_FUZZ_FORMAT to one of:");
    for (const FormatRow* row : fuzz::fuzzed_formats())
      std::fprintf(stderr, " %s", fuzz::format_slug(row->name).c_str());
    std::fprintf(stderr, "\n");
    std::exit(2);
  }
  input_name = "input." + std::string(*fuzzed_row->endings.begin());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvane;
  const ScratchDir& dir = fuzz::scratch();
  const std::filesystem::path input = dir.root() / input_name;
  fuzz::write_file(input, data, size);
  // Classification names a verdict or a row of the registry.
  const std::int32_t classified = classify(input);
  FUZZ_CHECK(classified == kFormatNotFax || classified == kFormatUnsupported ||
             find_format(classified) != nullptr);

  const std::int32_t format = fuzzed_row->number;
  FaxFile fax;
  fax.set_working_paths(dir.paths());
  fax.set_parameters(parameters_for(size));
  if (fax.open(input, format) != OpenResult::kOk) return 0;
  const std::uint32_t pages = std::min<std::uint32_t>(fax.page_count(), kPagesVisited);
  for (std::uint32_t i = 0; i < pages; ++i) {
    if (i > 0) fax.load_page(format, i);
    check_page(fax);
    // What the headers state, read apart from loading, is what loading gave.
    PageFacts facts;
    if (fax.page_facts(i, facts) && facts.width != 0 && fax.page_valid())
      FUZZ_CHECK(facts.width == std::uint32_t(fax.page().width));
  }

  // What conversion writes must be a TIFF this program reads again.
  const std::filesystem::path output = dir.root() / "output.tif";
  if (export_tiff(fax, format, output, TiffPages::kKeepCoded) == ConvertResult::kOk) {
    FaxFile again;
    again.set_working_paths(dir.paths());
    FUZZ_CHECK(again.open(output, kFormatTiff) == OpenResult::kOk);
    check_page(again);
  }
  std::error_code ec;
  std::filesystem::remove(output, ec);
  return 0;
}
