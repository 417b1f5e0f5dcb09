// One file as a TIFF fax (the format most PDFs are made from) exported to
// PDF, the road `orvane-cli convert --to pdf` and the viewer's Export take:
// pages kept coded where a PDF reader decodes them to the page as shown,
// every other page decoded and encoded again as G4. What is written must be
// a whole PDF, and the tally must add up to the pages the file has.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "core/fax_file.h"
#include "core/format_registry.h"
#include "core/pdf_export.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvane;
  const ScratchDir& dir = fuzz::scratch();
  const std::filesystem::path input = dir.root() / "input.tif";
  fuzz::write_file(input, data, size);
  FaxFile fax;
  fax.set_working_paths(dir.paths());
  if (fax.open(input, kFormatTiff, nullptr, FaxFile::FirstPage::kSkip) != OpenResult::kOk) return 0;
  const std::filesystem::path output = dir.root() / "output.pdf";
  ExportSummary summary;
  PdfExportOptions options;
  options.jobs = size % 3 == 0 ? 2 : 1;  // the workers' hand-over too, now and then
  const ConvertResult rc = export_pdf(fax, kFormatTiff, output, {}, &summary, options);
  if (rc == ConvertResult::kOk) {
    FUZZ_CHECK(summary.pages_written >= 1);
    FUZZ_CHECK(summary.pages_written + summary.pages_skipped == fax.page_count());
    FUZZ_CHECK(summary.left_out.size() == summary.pages_skipped);
    std::ifstream pdf(output, std::ios::binary);
    char head[5] = {};
    pdf.read(head, 5);
    FUZZ_CHECK(std::memcmp(head, "%PDF-", 5) == 0);
  } else {
    std::error_code ec;
    FUZZ_CHECK(!std::filesystem::exists(output, ec));  // no partial output
  }
  std::error_code ec;
  std::filesystem::remove(output, ec);
  return 0;
}
