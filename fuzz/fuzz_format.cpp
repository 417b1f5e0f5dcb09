// One file as one format number, the road a file takes in the viewer:
// classification by name, open as the format, load the pages, convert to
// TIFF, and open that TIFF again. Compiled once per format number
// (ORVANE_FUZZ_FORMAT, with the format's usual file name ending in
// ORVANE_FUZZ_EXTENSION); the list lives in fuzz/CMakeLists.txt.
#include <cstddef>
#include <cstdint>

#include "base/format_reader.h"
#include "base/limits.h"
#include "core/classify.h"
#include "core/fax_file.h"
#include "fuzz_support.h"

#ifndef ORVANE_FUZZ_FORMAT
#error "ORVANE_FUZZ_FORMAT must name the format number"
#endif

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvane;
  const ScratchDir& dir = fuzz::scratch();
  const std::filesystem::path input = dir.root() / ("input." ORVANE_FUZZ_EXTENSION);
  fuzz::write_file(input, data, size);
  const std::int32_t classified = classify(input);
  FUZZ_CHECK(classified >= -2 && classified <= 18);

  constexpr std::int32_t format = ORVANE_FUZZ_FORMAT;
  FaxFile fax;
  fax.set_working_paths(dir.paths());
  fax.set_parameters(DecodingParameters{});
  if (fax.open(input, format) != OpenResult::kOk) return 0;
  check_page(fax);
  const std::uint32_t pages = std::min<std::uint32_t>(fax.page_count(), kPagesVisited);
  for (std::uint32_t i = 1; i < pages; ++i) {
    fax.load_page(format, i);
    check_page(fax);
  }

  // What conversion writes must be a TIFF this program reads again.
  const std::filesystem::path output = dir.root() / "output.tif";
  if (fax.convert(output, format) == ConvertResult::kOk) {
    FaxFile again;
    again.set_working_paths(dir.paths());
    FUZZ_CHECK(again.open(output, 16) == OpenResult::kOk);
    check_page(again);
  }
  std::error_code ec;
  std::filesystem::remove(output, ec);
  return 0;
}
