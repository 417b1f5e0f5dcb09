#include "core/g4_tiff_export.h"

#include "base/coding_mode.h"
#include "codec/t6_encoder.h"
#include "formats/conversion.h"

namespace orvane {

ConvertResult export_g4_tiff(FaxFile& fax, std::int32_t format, const std::filesystem::path& output,
                             const ExportProgress& progress, ExportSummary* summary) {
  if (!fax.reader_for(format).is_open()) return ConvertResult::kNoFile;
  ExportOutput out(output, summary);
  ExportSummary& done = out.done;
  if (!out.ok()) return out.failed();
  TiffOutput tiff(out.temp_path());
  if (!tiff.ok()) return out.failed();
  const auto count = std::uint16_t(fax.page_count());
  ConvertResult rc = for_each_loaded_page(fax, format, progress, done, [&](std::uint32_t i) {
    const PageBitmap& page = fax.page();
    const std::vector<std::uint8_t> data =
        codec::encode_t6(page.pixels, page.width, page.height, page.row_bytes);
    // The page as shown: set bits are white, which T.6 codes as white runs
    // and PhotometricInterpretation 0 shows as white.
    const PageResult r = tiff.pass_through_page({.coded = data,
                                                 .coding = kCodingT6,
                                                 .bit_order = kBitOrderMsbFirst,
                                                 .width = std::uint32_t(page.width),
                                                 .length = std::uint32_t(page.height),
                                                 .xres = page.xres,
                                                 .yres = page.yres,
                                                 .unit = page.unit},
                                                std::uint16_t(i), count);
    if (r == PageResult::kFailed) return ConvertResult::kWriteFailed;
    ++(r == PageResult::kSkipped ? done.pages_skipped : done.pages_written);
    return ConvertResult::kOk;
  });
  // Pages that did not load leave the pages written to be numbered again,
  // like those the output refused (which it counts itself).
  if (done.pages_skipped > tiff.pages_skipped()) tiff.note_skipped();
  const bool closed = tiff.close();
  if (rc == ConvertResult::kWriteFailed || !closed) return out.failed();
  if (rc == ConvertResult::kOk && done.pages_written == 0) rc = ConvertResult::kNoPages;
  if (rc != ConvertResult::kOk) return rc;
  return out.commit();
}

}  // namespace orvane
