#include "core/pdf_export.h"

#include <new>
#include <optional>
#include <vector>

#include "base/coding_mode.h"
#include "codec/ccitt_filter_check.h"
#include "codec/fax_codec.h"
#include "codec/t6_encoder.h"
#include "core/classify.h"
#include "core/format_registry.h"
#include "core/scratch_dir.h"
#include "formats/conversion.h"
#include "formats/pdf_writer.h"
#include "tiff/tiff_reader.h"

namespace orvane {

namespace {

constexpr const char* kProducer = "Orvane " ORVANE_VERSION;

// The buffers one export reuses from page to page.
class PageCoder {
 public:
  // The page's own coded data, read as PDF reads it (most significant bit
  // first), in data(); false when the reader has none or it is not CCITT.
  bool take_coded(FormatReader& reader, std::uint32_t index) {
    if (!reader.coded_page(index, coded_) || coded_.coded.empty()) return false;
    try {
      data_.assign(coded_.coded.begin(), coded_.coded.end());
    } catch (const std::bad_alloc&) {
      return false;
    }
    if (coded_.bit_order == kBitOrderLsbFirst) {
      for (std::uint8_t& b : data_) b = codec::reverse_bits(b);
    }
    return true;
  }

  // The page's coded data when a CCITTFaxDecode filter decodes it to exactly
  // `page`.
  bool keep_coded(FormatReader& reader, std::uint32_t index, const PageBitmap& page,
                  codec::CcittFilterParameters& filter) {
    return take_coded(reader, index) && check_.check(data_, coded_.coding, page, filter);
  }

  // A single-strip TIFF page whose stream decodes cleanly as a filter reads
  // it: the TIFF reader builds its page from that same stream with the
  // same row rules, so the rows checked are the page and it need not be
  // decoded again. (Strips are decoded apart, each to its own row count, so
  // a page of several is checked against its loaded rows instead.) Fills
  // `page` with the fields the reader would give it, without pixels.
  bool keep_tiff_unloaded(TiffReader& tiff, std::uint32_t index, PageBitmap& page,
                          codec::CcittFilterParameters& filter) {
    if (tiff.read_directory(tiff.page_position(index)) <= 0) return false;
    TiffPage desc;
    tiff.parse_directory(desc);
    // A page the reader refuses is left to the page loop, which leaves it
    // out and says why.
    if (tiff.refuse_page(desc) || desc.strip_count != 1 || desc.photometric > 1) return false;
    if (!take_coded(tiff, index)) return false;
    const auto width = std::int32_t(desc.image_width), rows = std::int32_t(desc.image_length);
    if (!check_.check_clean(data_, coded_.coding, width, rows, std::uint8_t(desc.photometric),
                            filter))
      return false;
    // The resolution as the reader's page load takes it.
    page.width = width;
    page.height = rows;
    page.unit = std::uint8_t(desc.resolution_unit & 0xFF);
    page.xres =
        desc.x_resolution[1] ? std::uint16_t(desc.x_resolution[0] / desc.x_resolution[1]) : 0;
    page.yres = desc.y_resolution[1] ? std::uint16_t(desc.y_resolution[0] / desc.y_resolution[1])
                                     : page.xres;
    return true;
  }

  // The page as shown, encoded as G4 into data(); false when it cannot be.
  bool encode(const PageBitmap& page, codec::CcittFilterParameters& filter) {
    if (page.row_bytes != row_bytes_for(page.width) ||
        page.pixels.size() < std::size_t(page.height) * std::size_t(page.row_bytes))
      return false;
    if (!encoder_ || encoder_width_ != page.width) {
      encoder_.emplace(page.width);
      encoder_width_ = page.width;
    }
    if (!encoder_->ok()) return false;
    data_.clear();
    try {
      for (std::int32_t y = 0; y < page.height; ++y) encoder_->encode_row(page.row(y), data_);
      encoder_->finish(data_);
    } catch (const std::bad_alloc&) {
      return false;
    }
    filter = {};
    filter.k = -1;
    filter.columns = page.width;
    filter.rows = page.height;
    return true;
  }

  std::span<const std::uint8_t> data() const { return data_; }

 private:
  PassThroughPage coded_;
  std::vector<std::uint8_t> data_;
  codec::CcittFilterCheck check_;
  std::optional<codec::T6Encoder> encoder_;
  std::int32_t encoder_width_ = 0;
};

}  // namespace

ConvertResult export_pdf(FaxFile& fax, std::int32_t format, const std::filesystem::path& output,
                         const ExportProgress& progress, ExportSummary* summary) {
  FormatReader& reader = fax.reader_for(format);
  if (!reader.is_open()) return ConvertResult::kNoFile;
  ExportOutput out(output, summary);
  ExportSummary& done = out.done;
  if (!out.ok()) return out.failed();
  PdfWriter pdf;
  if (!pdf.create(out.temp_path())) return out.failed();
  PageCoder coder;
  const auto add = [&](const PageBitmap& page, const codec::CcittFilterParameters& filter) {
    const PageSizePoints size =
        page_size_points(page.width, page.height, page.xres, page.yres, page.unit);
    PdfFaxPage pdf_page;
    pdf_page.data = coder.data();
    pdf_page.filter = filter;
    pdf_page.width_points = size.width;
    pdf_page.height_points = size.height;
    if (!pdf.add_page(pdf_page)) return out.failed();
    ++done.pages_written;
    return ConvertResult::kOk;
  };
  auto* tiff = dynamic_cast<TiffReader*>(&reader);
  PageBitmap unloaded;
  ConvertResult rc = for_each_page(
      fax, progress, done,
      [&](std::uint32_t i) -> std::optional<ConvertResult> {
        codec::CcittFilterParameters filter;
        if (!tiff || !coder.keep_tiff_unloaded(*tiff, i, unloaded, filter)) return std::nullopt;
        ++done.pages_kept_coded;
        return add(unloaded, filter);
      },
      [&](std::uint32_t i, const PageBitmap& page) {
        codec::CcittFilterParameters filter;
        if (coder.keep_coded(reader, i, page, filter)) {
          ++done.pages_kept_coded;
        } else if (!coder.encode(page, filter)) {
          done.leave_out(i);
          return ConvertResult::kOk;
        }
        return add(page, filter);
      });
  if (rc == ConvertResult::kOk && done.pages_written == 0) rc = ConvertResult::kNoPages;
  if (rc != ConvertResult::kOk) return rc;
  if (!pdf.close(kProducer)) return out.failed();
  return out.commit();
}

ConvertResult export_pdf_file(const std::filesystem::path& input, const DecodingParameters& params,
                              const std::filesystem::path& output, const ExportProgress& progress,
                              ExportSummary* summary, const WorkControl* open_control) {
  const std::int32_t format = classify(input);
  if (format == kFormatNotFax || format == kFormatUnsupported) return ConvertResult::kNoFile;
  ScratchDir scratch;
  if (!scratch.ok()) return ConvertResult::kWriteFailed;
  FaxFile fax;
  fax.set_working_paths(scratch.paths());
  fax.set_parameters(params);
  const OpenResult opened = fax.open(input, format, open_control);
  if (opened == OpenResult::kStopped) return ConvertResult::kStopped;
  if (opened != OpenResult::kOk) return ConvertResult::kNoFile;
  return export_pdf(fax, format, output, progress, summary);
}

}  // namespace orvane
