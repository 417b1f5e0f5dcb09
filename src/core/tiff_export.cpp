#include "core/tiff_export.h"

#include <new>
#include <vector>

#include "base/coding_mode.h"
#include "base/page_turn.h"
#include "codec/ccitt_filter_check.h"
#include "codec/fax_codec.h"
#include "codec/t6_encoder.h"
#include "core/fax_metadata.h"
#include "core/page_ocr.h"
#include "tiff/tiff_writer.h"

namespace orvane {

namespace {

enum class PageResult {
  kWritten,
  kSkipped,  // nothing written for this page; the file is still sound
  kFailed,   // the writer failed; the file is not usable
};

// One TIFF strip holding the whole page on view.
PageResult write_strip(TiffWriter& writer, std::span<const std::uint8_t> data, std::uint8_t coding,
                       std::uint16_t photometric, std::uint8_t bit_order, const PageBitmap& page,
                       std::uint16_t index, std::uint16_t count) {
  if (writer.failed()) return PageResult::kFailed;
  if (data.empty() || !writer.set_coding_by_mode(coding, photometric)) return PageResult::kSkipped;
  writer.set_fill_order(bit_order == kBitOrderLsbFirst ? 2 : 1);
  writer.set_size(std::uint32_t(page.width), std::uint32_t(page.height));
  writer.set_page_number(index, count);
  // The resolution the view draws the page with, so that every reader
  // shows it at the same size (a page that states none gets one).
  const Dpi dpi = shown_dpi(page);
  const std::uint32_t directory = writer.write_page_data(data, dpi.x, dpi.y, 2);
  writer.write_directory(directory);
  return writer.failed() ? PageResult::kFailed : PageResult::kWritten;
}

// The buffers one export reuses from page to page.
class PageStrip {
 public:
  // The page's own coded data when it decodes, as any CCITT reader reads
  // it, to exactly `page`: then coded() describes it.
  bool keep_coded(FormatReader& reader, std::uint32_t index, const PageBitmap& page) {
    if (!reader.coded_page(index, coded_) || coded_.coded.empty()) return false;
    try {
      msb_.assign(coded_.coded.begin(), coded_.coded.end());
    } catch (const std::bad_alloc&) {
      return false;
    }
    if (coded_.bit_order == kBitOrderLsbFirst) {
      for (std::uint8_t& b : msb_) b = codec::reverse_bits(b);
    }
    codec::CcittFilterParameters filter;
    return check_.check(msb_, coded_.coding, page, filter);
  }
  const PassThroughPage& coded() const { return coded_; }

  // The page's pixels as T.6 (set bits are white, which T.6 codes as white
  // runs and PhotometricInterpretation 0 shows as white); empty when the
  // page cannot be coded.
  std::span<const std::uint8_t> encode(const PageBitmap& page) {
    try {
      g4_ = codec::encode_t6(page.pixels, page.width, page.height, page.row_bytes);
    } catch (const std::bad_alloc&) {
      g4_.clear();
    }
    return g4_;
  }
  std::span<const std::uint8_t> none() { return {}; }

 private:
  PassThroughPage coded_;
  std::vector<std::uint8_t> msb_;
  std::vector<std::uint8_t> g4_;
  codec::CcittFilterCheck check_;
};

}  // namespace

ConvertResult export_tiff(FaxFile& fax, std::int32_t format, const std::filesystem::path& output,
                          TiffPages pages, const ExportProgress& progress, ExportSummary* summary,
                          const std::filesystem::path& source, bool upright) {
  FormatReader& reader = fax.reader_for(format);
  if (!reader.is_open()) return ConvertResult::kNoFile;
  PageOrientation orientation;
  if (upright && !orientation.start()) return ConvertResult::kWriteFailed;
  ExportOutput out(output, summary);
  ExportSummary& done = out.done;
  if (!out.ok()) return out.failed();
  TiffWriter tiff;
  if (!tiff.create(out.temp_path())) return out.failed();
  tiff.write_header();
  tiff.reset_entries();
  const auto count = std::uint16_t(fax.page_count());
  PageStrip strip;
  PageWalk walk(progress, done, count);
  const FaxMetadata meta = fax_metadata(fax, source);
  const std::string fax_date = meta.created ? tiff_date(*meta.created) : std::string();
  ConvertResult rc = for_each_loaded_page(fax, walk, [&](std::uint32_t i, const PageBitmap& page) {
    PageFacts facts;
    fax.page_facts(i, facts);
    const std::optional<DocumentDate> date = parse_tiff_date(facts.date_time);
    tiff.set_date_time(date ? tiff_date(*date) : fax_date);
    tiff.set_description(facts.description);
    PageResult r;
    const int turns = upright ? orientation.upright_turns(page) : 0;
    const bool kept =
        turns == 0 && pages == TiffPages::kKeepCoded && strip.keep_coded(reader, i, page);
    if (turns != 0) {
      // The page's own data is of the page as it came: an upright page is
      // coded from its pixels.
      const PageBitmap turned_page = turned(page, turns);
      r = write_strip(tiff, turned_page.has_pixels() ? strip.encode(turned_page) : strip.none(),
                      kCodingT6, 0, kBitOrderMsbFirst, turned_page, std::uint16_t(i), count);
    } else if (kept) {
      const PassThroughPage& coded = strip.coded();
      r = write_strip(tiff, coded.coded, coded.coding, page.invert ? 1 : 0, coded.bit_order, page,
                      std::uint16_t(i), count);
    } else {
      r = write_strip(tiff, strip.encode(page), kCodingT6, 0, kBitOrderMsbFirst, page,
                      std::uint16_t(i), count);
    }
    if (r == PageResult::kFailed) return ConvertResult::kWriteFailed;
    if (r == PageResult::kSkipped) {
      walk.leave_out(i, Refusal(limits::Limit::kNone, "it could not be written as a TIFF page"));
    } else {
      walk.written(kept);
    }
    return ConvertResult::kOk;
  });
  // Pages left out make the output number the pages it wrote again.
  if (done.pages_skipped > 0 && tiff.pages_written() != 0) tiff.renumber_pages();
  const bool closed = tiff.close();
  if (rc == ConvertResult::kWriteFailed || !closed) return out.failed();
  if (rc != ConvertResult::kOk) return rc;
  return out.commit();
}

}  // namespace orvane
