#include "tiff/tiff_writer.h"

#include <sys/types.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <iterator>
#include <new>

#include "base/byte_order.h"
#include "tiff/tiff_tags.h"

namespace orvane {

namespace {

// Entry numbers (from 0) of the 20-entry directory, in tag order.
enum EntryIndex : int {
  kNewSubfileType,
  kImageWidth,
  kImageLength,
  kBitsPerSample,
  kCompression,
  kPhotometric,
  kFillOrder,
  kImageDescription,  // only on a page that has one
  kStripOffsets,
  kOrientation,
  kSamplesPerPixel,
  kRowsPerStrip,
  kStripByteCounts,
  kXResolution,
  kYResolution,
  kPlanarConfiguration,
  kOptions,  // T4Options (292) or T6Options (293)
  kResolutionUnit,
  kPageNumber,
  kSoftwareEntry,
  kDateTime,
  kEntryCount
};

constexpr std::size_t kSoftwareSize = 22;
constexpr std::size_t kDateTimeSize = 20;
// XResolution, YResolution, Software and DateTime, appended after the data
// (and a page's ImageDescription after them).
constexpr std::uint32_t kValuesSize = 8 + 8 + kSoftwareSize + kDateTimeSize;  // 58
// The longest directory, with every entry.
constexpr std::uint32_t kDirectorySize = 2 + kEntryCount * 12 + 4;  // 258
// The longest ImageDescription written; a longer one is cut.
constexpr std::size_t kMaxDescription = 65535;
// T4Options belongs to Compression 3 and T6Options to 4 (TIFF 6.0 sections
// 11 and 20); readers such as libtiff warn about the field on any other
// page, so there the directory goes without it.
bool carries_options(const std::uint16_t compression, const std::uint16_t options_tag) {
  return (compression == kCompressionCcittT4 && options_tag == kTagT4Options) ||
         (compression == kCompressionCcittT6 && options_tag == kTagT6Options);
}
// Every position stored in the file is a 32-bit LONG.
constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFull;

// "YYYY:MM:DD HH:MM:SS" and a terminating 0 (TIFF 6.0 DateTime), local time.
std::array<std::uint8_t, kDateTimeSize> date_time_now() {
  std::array<std::uint8_t, kDateTimeSize> field{};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return field;
  char text[64];
  std::snprintf(text, sizeof text, "%4d:%02d:%02d %02d:%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  std::memcpy(field.data(), text, std::min(std::strlen(text), kDateTimeSize - 1));
  return field;
}

}  // namespace

TiffWriter::TiffWriter() {
  reset_entries();
}
TiffWriter::~TiffWriter() = default;

bool TiffWriter::create(const std::filesystem::path& path) {
  file_.reset();
  failed_ = false;
  end_ = 0;
  directory_link_ = 0;
  pending_directory_ = 0;
  page_number_fields_.clear();
  for (int attempt = 0; attempt < 2 && !file_; ++attempt) {
    file_.reset(std::fopen(path.c_str(), "wb"));
  }
  if (!file_) failed_ = true;
  return !failed_;
}

void TiffWriter::fail() {
  failed_ = true;
}

bool TiffWriter::seek(std::uint64_t position) {
  if (failed_) return false;
  if (fseeko(file_.get(), off_t(position), SEEK_SET) != 0) {
    fail();
    return false;
  }
  return true;
}

void TiffWriter::write_bytes(std::span<const std::uint8_t> bytes) {
  if (failed_ || bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) fail();
}

void TiffWriter::write_header() {
  if (failed_) return;
  directory_link_ = 8;
  std::uint8_t header[8] = {'I', 'I'};
  put_le16(header + 2, 42);
  put_le32(header + 4, directory_link_);
  if (!seek(0)) return;
  write_bytes(header);
  end_ = 8;
}

void TiffWriter::reset_entries() {
  // Every entry gets its tag and type here so that a directory is well formed
  // even for a field a caller does not set; the fixed ones get their values.
  static constexpr std::uint16_t kTags[kEntryCount] = {
      kTagNewSubfileType,  kTagImageWidth,     kTagImageLength,     kTagBitsPerSample,
      kTagCompression,     kTagPhotometric,    kTagFillOrder,       kTagImageDescription,
      kTagStripOffsets,    kTagOrientation,    kTagSamplesPerPixel, kTagRowsPerStrip,
      kTagStripByteCounts, kTagXResolution,    kTagYResolution,     kTagPlanarConfiguration,
      kTagT4Options,       kTagResolutionUnit, kTagPageNumber,      kTagSoftware,
      kTagDateTime};
  static constexpr std::uint16_t kTypes[kEntryCount] = {
      kTypeLong,     kTypeLong,  kTypeLong,  kTypeShort, kTypeShort, kTypeShort, kTypeShort,
      kTypeAscii,    kTypeLong,  kTypeShort, kTypeShort, kTypeLong,  kTypeLong,  kTypeRational,
      kTypeRational, kTypeShort, kTypeLong,  kTypeShort, kTypeShort, kTypeAscii, kTypeAscii};
  for (int i = 0; i < kEntryCount; ++i) entries_[i] = Entry{kTags[i], kTypes[i], 1, 0};
  entries_[kNewSubfileType].value = 2;  // a page of a multi-page document
  entries_[kBitsPerSample].value = 1;
  entries_[kCompression].value = kCompressionNone;
  entries_[kFillOrder].value = 1;
  entries_[kOrientation].value = 1;
  entries_[kSamplesPerPixel].value = 1;
  entries_[kPlanarConfiguration].value = 1;
  entries_[kResolutionUnit].value = 2;
  entries_[kPageNumber].count = 2;
  entries_[kPageNumber].value = 0 | (1u << 16);
  // The text and its terminating 0 (TIFF 6.0 ASCII); the zeros after it only
  // fill the 22-byte slot, since readers take a 0 inside the count as a
  // second, empty string.
  entries_[kSoftwareEntry].count = std::uint32_t(std::strlen(kSoftware) + 1);
  entries_[kDateTime].count = kDateTimeSize;
  entries_[kImageDescription].count = 0;
}

void TiffWriter::set_date_time(std::string_view text) {
  date_time_.assign(text.substr(0, kDateTimeSize - 1));
}

void TiffWriter::set_description(std::string_view text) {
  text = text.substr(0, std::min(text.find('\0'), kMaxDescription));
  description_.assign(text);
}

bool TiffWriter::set_coding_by_mode(std::uint8_t coding_mode, std::uint16_t photometric) {
  struct Coding {
    std::uint16_t compression, options_tag;
    std::uint32_t options;
  };
  // T4Options bit 0: two-dimensional coding; bit 2: fill bits before EOL
  // (TIFF 6.0 section 11). Unknown (0) and PCX run-length (2) have no
  // TIFF Compression and are refused.
  static constexpr Coding kByMode[] = {
      {0, 0, 0},                                  // kCodingUnknown
      {kCompressionNone, kTagT4Options, 0},       // kCodingUncompressed
      {0, 0, 0},                                  // kCodingPcxRle
      {kCompressionCcittRle, kTagT4Options, 4},   // kCodingMhByte
      {kCompressionCcittRleW, kTagT4Options, 4},  // kCodingMhWord
      {kCompressionCcittT4, kTagT4Options, 4},    // kCodingT4_1D
      {kCompressionCcittT4, kTagT4Options, 5},    // kCodingT4_2D
      {kCompressionCcittT6, kTagT6Options, 0},    // kCodingT6
      {kCompressionPackBits, kTagT4Options, 0}};  // kCodingPackBits
  if (coding_mode >= std::size(kByMode) || kByMode[coding_mode].compression == 0) return false;
  const Coding& c = kByMode[coding_mode];
  entries_[kCompression].value = c.compression;
  entries_[kOptions].tag = c.options_tag;
  entries_[kOptions].value = c.options;
  entries_[kPhotometric].value = photometric;
  return true;
}

void TiffWriter::set_fill_order(std::uint16_t fill_order) {
  entries_[kFillOrder].value = fill_order;
}

void TiffWriter::set_size(std::uint32_t width, std::uint32_t length) {
  entries_[kImageWidth].value = width;
  entries_[kImageLength].value = length;
  entries_[kRowsPerStrip].value = length;
}

void TiffWriter::set_page_number(std::uint16_t index, std::uint16_t count) {
  entries_[kPageNumber].value = std::uint32_t(index) | (std::uint32_t(count) << 16);
}

void TiffWriter::link_from_end(std::uint32_t directory_position) {
  // The 4 bytes before the end are the header's first-directory field or the
  // previous directory's next-directory field (TIFF 6.0 section 2).
  directory_link_ = directory_position;
  std::uint8_t link[4];
  put_le32(link, directory_position);
  if (!seek(end_ - 4)) return;
  write_bytes(link);
  seek(end_);
}

std::uint32_t TiffWriter::write_page_data(std::span<const std::uint8_t> data, std::uint32_t xres,
                                          std::uint32_t yres, std::uint16_t unit) {
  if (failed_ || end_ < 8 || pending_directory_ != 0) {
    fail();
    return 0;
  }

  const std::uint64_t length = data.size();
  // One strip: the page's data, then the values the directory points to.
  const std::uint64_t p = end_;
  const std::uint64_t v = p + length;
  // The description and its 0, padded to an even length: the directory
  // after it starts on a word boundary (TIFF 6.0 section 2).
  // A text of four bytes or fewer goes in the entry itself.
  const bool inline_text = description_.size() + 1 <= 4;
  const std::uint32_t described =
      inline_text ? 0 : std::uint32_t((description_.size() + 2) / 2 * 2);
  const std::uint64_t directory = v + kValuesSize + described;
  if (directory + kDirectorySize > kMaxFileSize) {
    fail();  // a position would no longer fit in 32 bits
    return 0;
  }

  std::vector<std::uint8_t> tail;
  try {
    tail.resize(kValuesSize + described);
  } catch (const std::bad_alloc&) {
    fail();
    return 0;
  }
  std::uint8_t* out = tail.data();
  put_le32(out, xres);
  put_le32(out + 4, 1);
  put_le32(out + 8, yres);
  put_le32(out + 12, 1);
  std::memcpy(out + 16, kSoftware, std::strlen(kSoftware));
  if (date_time_.empty()) {
    const auto date_time = date_time_now();
    std::memcpy(out + 16 + kSoftwareSize, date_time.data(), date_time.size());
  } else {
    std::memcpy(out + 16 + kSoftwareSize, date_time_.data(), date_time_.size());
  }
  if (!inline_text) std::memcpy(out + kValuesSize, description_.data(), description_.size());

  link_from_end(std::uint32_t(directory));
  write_bytes(data);
  write_bytes(tail);
  if (failed_) return 0;
  end_ = directory;
  pending_directory_ = directory;

  entries_[kStripOffsets] = Entry{kTagStripOffsets, kTypeLong, 1, std::uint32_t(p)};
  entries_[kStripByteCounts] = Entry{kTagStripByteCounts, kTypeLong, 1, std::uint32_t(length)};
  entries_[kRowsPerStrip].value = entries_[kImageLength].value;
  entries_[kXResolution].value = std::uint32_t(v);
  entries_[kYResolution].value = std::uint32_t(v + 8);
  entries_[kResolutionUnit].value = unit;
  entries_[kSoftwareEntry].value = std::uint32_t(v + 16);
  entries_[kDateTime].value = std::uint32_t(v + 16 + kSoftwareSize);
  entries_[kImageDescription].count =
      description_.empty() ? 0 : std::uint32_t(description_.size() + 1);
  std::uint8_t in_entry[4] = {};
  if (inline_text) {
    std::memcpy(in_entry, description_.data(), description_.size());
    entries_[kImageDescription].value = le32(in_entry);
  } else {
    entries_[kImageDescription].value = std::uint32_t(v + kValuesSize);
  }
  return std::uint32_t(directory);
}

void TiffWriter::write_directory(std::uint32_t position) {
  // Only the directory the last page's data announced may be written: any
  // other position would break the chain or overwrite data.
  if (failed_ || pending_directory_ == 0 || position != pending_directory_) {
    fail();
    return;
  }
  std::array<std::uint8_t, kDirectorySize> bytes{};
  const bool options =
      carries_options(std::uint16_t(entries_[kCompression].value), entries_[kOptions].tag);
  int written = 0;
  std::uint32_t page_number_field = 0;
  for (int i = 0; i < kEntryCount; ++i) {
    if (i == kOptions && !options) continue;
    if (i == kImageDescription && entries_[i].count == 0) continue;
    std::uint8_t* entry = bytes.data() + 2 + 12 * written;
    if (i == kPageNumber) page_number_field = std::uint32_t(2 + 12 * written + 8);
    put_le16(entry, entries_[i].tag);
    put_le16(entry + 2, entries_[i].type);
    put_le32(entry + 4, entries_[i].count);
    put_le32(entry + 8, entries_[i].value);
    ++written;
  }
  put_le16(bytes.data(), std::uint16_t(written));
  const std::size_t size = std::size_t(2 + 12 * written + 4);
  // The next-directory field stays 0 until another page links to it.
  if (!seek(position)) return;
  write_bytes(std::span<const std::uint8_t>(bytes.data(), size));
  if (!failed_ && std::fflush(file_.get()) != 0) fail();
  if (failed_) return;
  end_ = std::uint64_t(position) + size;
  pending_directory_ = 0;
  page_number_fields_.push_back(position + page_number_field);
}

bool TiffWriter::renumber_pages() {
  if (failed_ || pending_directory_ != 0) return false;
  const std::uint32_t count = std::uint32_t(page_number_fields_.size());
  for (std::size_t k = 0; k < page_number_fields_.size(); ++k) {
    std::uint8_t field[4];
    put_le16(field, std::uint16_t(k));
    put_le16(field + 2, std::uint16_t(count));
    if (!seek(page_number_fields_[k])) return false;
    write_bytes(field);
  }
  seek(end_);
  if (!failed_ && std::fflush(file_.get()) != 0) fail();
  return !failed_;
}

bool TiffWriter::close() {
  if (!file_) return false;
  // A page whose data went out without its directory leaves a dangling link.
  if (pending_directory_ != 0) fail();
  std::FILE* f = file_.release();
  if (std::fclose(f) != 0) fail();
  return !failed_;
}

}  // namespace orvane
