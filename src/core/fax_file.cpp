#include "core/fax_file.h"

#include "core/at_work.h"
#include "core/format_registry.h"
#include "formats/raw_fax_reader.h"
#include "tiff/tiff_reader.h"

namespace orvane {

namespace {

// Formats 2, 5, 6 ... have no reader of their own. They are never produced by
// classification; a caller passing one gets a reader that has no file, so
// every page load finds nothing.
class NoReader final : public FormatReader {
 public:
  std::uint16_t build_page_table() override { return 0; }
  Status load_page(std::uint32_t, PageBitmap&) override {
    return Refusal(limits::Limit::kFile, "a fax format this program does not read");
  }
};

}  // namespace

FaxFile::FaxFile() = default;
FaxFile::~FaxFile() = default;

void FaxFile::set_parameters(const DecodingParameters& params) {
  params_ = params;
  page_count_ = 0;
}

FormatReader& FaxFile::reader_for(std::int32_t format) {
  const std::int32_t slot = reader_slot(format);
  auto it = readers_.find(slot);
  if (it == readers_.end()) {
    std::unique_ptr<FormatReader> reader = make_reader(slot);
    if (!reader) reader = std::make_unique<NoReader>();
    it = readers_.emplace(slot, std::move(reader)).first;
  }
  return *it->second;
}

TiffReader& FaxFile::tiff_reader() {
  return static_cast<TiffReader&>(reader_for(kFormatTiff));
}

RawFaxReader& FaxFile::raw_reader() {
  return static_cast<RawFaxReader&>(reader_for(kFormatRawFax));
}

OpenResult FaxFile::open(const std::filesystem::path& path, std::int32_t format,
                         const WorkControl* control, FirstPage first) {
  page_.clear();
  format_ = format;
  first_ = first;
  open_refusal_.reset();
  if (is_raw_format(format)) return open_raw(path, control);
  if (format == kFormatAtWork) return open_at_work(path);
  return open_with_reader(path, format);
}

OpenResult FaxFile::open_with_reader(const std::filesystem::path& path, std::int32_t format) {
  FormatReader& reader = reader_for(format);
  reader.open(path);
  if (!reader.is_open()) return OpenResult::kFailed;
  page_count_ = 0;
  if (reader.recognise() == ReaderResult::kOk) {
    page_count_ = reader.build_page_table();
    page_valid_ = reader.valid_after_count(page_count_);
    // A file whose page list ended before its first page says why.
    if (page_count_ == 0) open_refusal_ = reader.page_list_end();
  }
  load_first(format);
  return OpenResult::kOk;
}

OpenResult FaxFile::open_at_work(const std::filesystem::path& path) {
  tiff_reader().close();
  if (Status converted = convert_at_work_file(path, paths_.temp_tiff); !converted) {
    open_refusal_ = converted.refusal();
    page_count_ = 0;
    load_first(kFormatAtWork);
    return OpenResult::kOk;
  }
  return open_with_reader(paths_.temp_tiff, kFormatAtWork);
}

OpenResult FaxFile::open_raw(const std::filesystem::path& path, const WorkControl* control) {
  RawFaxReader& raw = raw_reader();
  raw.open(path);
  if (!raw.is_open()) return OpenResult::kFailed;
  raw.set_scratch_paths(paths_.row_file, paths_.page_index);
  raw.set_parameters(params_.threshold, params_.flag_number, params_.min_width, params_.raw_file);
  raw.set_split_at_page_ends(params_.split_at_page_ends);
  raw.set_control(control);
  const int analysed = raw.analyse(params_.bit_order, params_.nonstandard_widths);
  raw.set_control(nullptr);
  raw_analysed_ = analysed >= 0;
  if (control && control->stop_requested()) {
    raw.close();
    raw_analysed_ = false;
    page_count_ = 0;
    page_valid_ = false;
    return OpenResult::kStopped;
  }
  if (!raw_analysed_) {
    page_count_ = 0;
    page_valid_ = false;
    open_refusal_ = raw.analysis_refusal();
  } else {
    raw.read_descriptor(page_);
    if (params_.vres_override > 0) page_.yres = params_.vres_override;
    raw.page_geometry(page_.width_class, page_.yres);
    page_count_ = raw.count_pages();
    page_valid_ = true;
  }
  load_first(kFormatRawFax);
  return OpenResult::kOk;
}

void FaxFile::load_first(std::int32_t format) {
  if (first_ == FirstPage::kSkip && page_count_ > 0) {
    page_valid_ = false;
    return;
  }
  load(format, 0);
}

void FaxFile::load_page(std::int32_t format, std::uint32_t index) {
  load(format, index);
}

LoadedPage FaxFile::load_value(std::int32_t format, std::uint32_t index, PageBitmap start) {
  LoadedPage loaded;
  loaded.page = std::move(start);
  FormatReader& reader = reader_for(format);
  reader.set_analysis(params_.threshold, params_.flag_number);
  // Why an open found no page is why no page loads.
  if (open_refusal_) {
    loaded.refusal = open_refusal_;
  } else if (index >= page_count_) {
    loaded.refusal = Refusal();  // no such page: nothing more to say
  } else if (Status read = reader.load_page(index, loaded.page); !read) {
    loaded.refusal = read.refusal();
  } else if (!loaded.page.is_valid() || !loaded.page.has_pixels()) {
    // A page without pixels (out of memory, refused size) is no page either.
    loaded.refusal = missing_pixels(loaded.page.width, loaded.page.height);
  } else {
    loaded.refusal.reset();
    loaded.text = reader.page_text(index);
  }
  // A page that is not there has no size to show or write.
  if (loaded.refusal) {
    loaded.page.release_pixels();
    loaded.page.width = loaded.page.height = loaded.page.row_bytes = 0;
  }
  return loaded;
}

void FaxFile::load(std::int32_t format, std::uint32_t index) {
  take_page(load_value(format, index, std::move(page_)));
}

void FaxFile::take_page(LoadedPage&& loaded) {
  page_ = std::move(loaded.page);
  page_text_ = std::move(loaded.text);
  page_valid_ = loaded.valid();
  page_refusal_ = std::move(loaded.refusal);
}

LoadedPage FaxFile::read_page(std::uint32_t index) {
  // The record's page lends its fields (bare data keeps the resolution the
  // record noted), never its pixels.
  if (format_ == kFormatNotFax || format_ == kFormatUnsupported) return {};
  return load_value(format_, index, page_.fields_only());
}

bool FaxFile::page_facts(std::uint32_t index, PageFacts& out) {
  if (format_ == kFormatNotFax || format_ == kFormatUnsupported || index >= page_count_)
    return false;
  if (is_raw_format(format_) && !raw_analysed_) return false;
  return reader_for(format_).page_facts(index, out);
}

std::string FaxFile::stated_text(std::uint32_t index) {
  if (format_ == kFormatNotFax || format_ == kFormatUnsupported || index >= page_count_) return {};
  return reader_for(format_).page_text(index);
}

std::uint16_t FaxFile::recount_raw_pages() {
  RawFaxReader& raw = raw_reader();
  raw.page_geometry(page_.width_class, page_.yres);
  page_count_ = raw.count_pages();
  return page_count_;
}

FaxFile::RawDecoding FaxFile::raw_decoding() {
  if (!is_raw_format(format_) || !raw_analysed_) return {};
  const RawFaxReader& raw = raw_reader();
  return {raw.extraction_summary().total_rows, raw.extraction_summary().troubles,
          raw.decodes_badly()};
}

std::uint8_t FaxFile::raw_t6_order_from_first_byte() {
  if (!is_raw_format(format_)) return 0;
  return raw_reader().t6_order_from_first_byte();
}

}  // namespace orvane
