#include "core/pdf_export.h"

#include <new>
#include <vector>

#include "codec/ccitt_filter_check.h"
#include "codec/fax_codec.h"
#include "codec/t6_encoder.h"
#include "base/atomic_output.h"
#include "core/classify.h"
#include "base/coding_mode.h"
#include "core/format_registry.h"
#include "core/scratch_dir.h"
#include "formats/conversion.h"
#include "formats/pdf_writer.h"

namespace orvane {

namespace {

constexpr const char* kProducer = "Orvane " ORVANE_VERSION;

// The page's own coded data in `data` (most significant bit first, as PDF
// reads it) when a CCITTFaxDecode filter decodes it to exactly `page`.
bool keep_coded_data(FormatReader& reader, std::uint32_t index, const PageBitmap& page,
                     std::vector<std::uint8_t>& data, codec::CcittFilterParameters& filter) {
  PassThroughPage coded;
  if (!reader.coded_page(index, coded) || coded.coded.empty()) return false;
  try {
    data.assign(coded.coded.begin(), coded.coded.end());
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (coded.bit_order == kBitOrderLsbFirst) {
    for (std::uint8_t& b : data) b = codec::reverse_bits(b);
  }
  return codec::check_ccitt_filter_stream(data, coded.coding, page, filter);
}

// The page as shown, encoded as G4 into `data`; false when it cannot be.
bool encode_page(const PageBitmap& page, std::vector<std::uint8_t>& data,
                 codec::CcittFilterParameters& filter) {
  data = codec::encode_t6(page.pixels, page.width, page.height, page.row_bytes);
  if (data.empty()) return false;
  filter = {};
  filter.k = -1;
  filter.columns = page.width;
  filter.rows = page.height;
  return true;
}

}  // namespace

int export_pdf(FaxFile& fax, std::int32_t format, const std::filesystem::path& output,
               const ExportProgress& progress, ExportSummary* summary) {
  FormatReader& reader = fax.reader_for(format);
  if (!reader.is_open()) return kConvertNoFile;
  ExportSummary done;
  const auto finish = [&](int rc) {
    if (summary) *summary = done;
    return rc;
  };
  AtomicOutput out(output);
  if (!out.ok()) {
    done.write_error = out.error();
    return finish(kConvertWriteFailed);
  }
  errno = 0;
  PdfWriter pdf;
  if (!pdf.create(out.temp_path())) {
    done.write_error = last_write_error();
    return finish(kConvertWriteFailed);
  }
  std::vector<std::uint8_t> data;
  int rc = for_each_loaded_page(fax, format, progress, done, [&](std::uint32_t i) {
    const PageBitmap& page = fax.page();
    PdfFaxPage pdf_page;
    if (keep_coded_data(reader, i, page, data, pdf_page.filter)) {
      ++done.pages_kept_coded;
    } else if (!encode_page(page, data, pdf_page.filter)) {
      ++done.pages_skipped;
      return 0;
    }
    const PageSizePoints size =
        page_size_points(page.width, page.height, page.xres, page.yres, page.unit);
    pdf_page.data = data;
    pdf_page.width_points = size.width;
    pdf_page.height_points = size.height;
    if (!pdf.add_page(pdf_page)) {
      done.write_error = last_write_error();
      return kConvertWriteFailed;
    }
    ++done.pages_written;
    return 0;
  });
  if (rc == 0 && done.pages_written == 0) rc = kConvertNoPages;
  if (rc != 0) return finish(rc);
  if (!pdf.close(kProducer)) {
    done.write_error = last_write_error();
    return finish(kConvertWriteFailed);
  }
  if (!out.commit()) {
    done.write_error = out.error();
    return finish(kConvertWriteFailed);
  }
  return finish(kConvertOk);
}

int export_pdf_file(const std::filesystem::path& input, const DecodingParameters& params,
                    const std::filesystem::path& output, const ExportProgress& progress,
                    ExportSummary* summary) {
  const std::int32_t format = classify(input);
  if (format == kFormatNotFax || format == kFormatUnsupported) return kConvertNoFile;
  ScratchDir scratch;
  if (!scratch.ok()) return kConvertWriteFailed;
  FaxFile fax;
  fax.set_working_paths(scratch.paths());
  fax.set_parameters(params);
  if (fax.open(input, format) != 0) return kConvertNoFile;
  return export_pdf(fax, format, output, progress, summary);
}

}  // namespace orvane
