#include "core/fax_file.h"

#include <cerrno>

#include "core/at_work.h"
#include "base/atomic_output.h"
#include "core/format_registry.h"
#include "core/tiff_to_tiff.h"
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
  void load_page(std::uint32_t, PageBitmap&) override {}
  int convert(const std::filesystem::path&, std::uint16_t) override { return kConvertNoFile; }
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

int FaxFile::open(const std::filesystem::path& path, std::int32_t format) {
  page_.clear();
  limits::clear_note();
  if (is_raw_format(format)) return open_raw(path);
  if (format == kFormatAtWork) return open_at_work(path);
  return open_with_reader(path, format);
}

int FaxFile::open_with_reader(const std::filesystem::path& path, std::int32_t format) {
  FormatReader& reader = reader_for(format);
  reader.open(path);
  if (!reader.is_open()) return -1;
  if (reader.recognise() == kReaderOk) {
    page_count_ = reader.build_page_table();
    page_valid_ = reader.valid_after_count(page_count_);
  }
  return load(format, 0);
}

int FaxFile::open_at_work(const std::filesystem::path& path) {
  tiff_reader().close();
  if (!convert_at_work_file(path, paths_.temp_tiff)) return load(kFormatAtWork, 0);
  return open_with_reader(paths_.temp_tiff, kFormatAtWork);
}

int FaxFile::open_raw(const std::filesystem::path& path) {
  RawFaxReader& raw = raw_reader();
  raw.open(path);
  if (!raw.is_open()) return -1;
  raw.set_scratch_paths(paths_.row_file, paths_.page_index);
  raw.set_parameters(params_.threshold, params_.flag_number, params_.min_width, params_.raw_file);
  raw_analysed_ = raw.analyse(params_.bit_order, params_.nonstandard_widths) >= 0;
  if (!raw_analysed_) {
    page_count_ = 0;
    page_valid_ = false;
  } else {
    raw.read_descriptor(page_);
    if (params_.vres_override > 0) page_.yres = params_.vres_override;
    raw.page_geometry(page_.width_class, page_.yres);
    page_count_ = raw.count_pages();
    page_valid_ = true;
  }
  return load(kFormatRawFax, 0);
}

int FaxFile::load_page(std::int32_t format, std::uint32_t index) {
  limits::clear_note();
  return load(format, index);
}

int FaxFile::load(std::int32_t format, std::uint32_t index) {
  FormatReader& reader = reader_for(format);
  reader.set_analysis(params_.threshold, params_.flag_number);
  // Raw data whose analysis failed has nothing to load.
  if (!is_raw_format(format) || raw_analysed_) {
    reader.load_page(index, page_);
    page_text_ = reader.page_text(index);
  }
  // A page without pixels (out of memory, refused size) is no page either.
  page_valid_ = page_.is_valid() && page_.has_pixels();
  page_limit_ = page_valid_ ? limits::Limit::kNone : limits::noted();
  page_limit_detail_ = page_valid_ ? 0 : limits::noted_detail();
  return 0;
}

std::uint16_t FaxFile::recount_raw_pages() {
  RawFaxReader& raw = raw_reader();
  raw.page_geometry(page_.width_class, page_.yres);
  page_count_ = raw.count_pages();
  return page_count_;
}

int FaxFile::convert(const std::filesystem::path& output, std::int32_t format, TiffSource tiff) {
  write_error_.clear();
  if (format == kFormatTiff && tiff == TiffSource::kRefuse) return kConvertNoFile;
  if (format != kFormatAtWork && !reader_for(format).is_open()) return kConvertNoFile;

  // Written beside the target and put under its name only when complete,
  // so a failed conversion leaves no partial file and an existing target
  // intact.
  AtomicOutput out(output);
  if (!out.ok()) {
    write_error_ = out.error();
    return kConvertWriteFailed;
  }
  int rc;
  errno = 0;  // what a failed write leaves here says why it failed
  if (format == kFormatAtWork) {
    rc = copy_tiff_file(paths_.temp_tiff, out.temp_path());
  } else if (is_raw_format(format)) {
    rc = raw_reader().convert_raw(out.temp_path(), page_);
  } else {
    rc = reader_for(format).convert(out.temp_path(), page_count_);
  }
  if (rc == kConvertWriteFailed && errno != 0)
    write_error_ = std::error_code(errno, std::generic_category());
  if (rc != kConvertOk) return rc;
  // A TIFF without a single page (every page unreadable) is no conversion.
  std::error_code ec;
  if (std::filesystem::file_size(out.temp_path(), ec) <= 8 || ec) return kConvertNoPages;
  if (!out.commit()) {
    write_error_ = out.error();
    return kConvertWriteFailed;
  }
  return kConvertOk;
}

void FaxFile::close_all() {
  for (auto& [slot, reader] : readers_) reader->close();
}

}  // namespace orvane
