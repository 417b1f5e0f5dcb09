#include "tiff/tiff_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "base/byte_order.h"
#include "base/coding_mode.h"
#include "base/limits.h"
#include "base/pass_through_page.h"
#include "codec/page_driver.h"
#include "tiff/jbig_strip.h"
#include "tiff/tiff_strip.h"
#include "tiff/tiff_tags.h"

namespace orvane {

namespace {

// The coding a CCITT Compression stands for (T4Options bit 0: 2D rows);
// kCodingUnknown for every other Compression.
std::uint8_t coding_of_compression(std::uint16_t compression, std::uint32_t t4_options) {
  switch (compression) {
    case kCompressionCcittRle: return kCodingMhByte;
    case kCompressionCcittT4: return (t4_options & 1) ? kCodingT4_2D : kCodingT4_1D;
    case kCompressionCcittT6: return kCodingT6;
    case kCompressionCcittRleW: return kCodingMhWord;
    case kCompressionJbig:
    case kCompressionT85: return kCodingJbig;
    default: return kCodingUnknown;
  }
}

}  // namespace

std::uint16_t TiffReader::u16(const std::uint8_t* p) const {
  return big_endian_ ? be16(p) : le16(p);
}
std::uint32_t TiffReader::u32(const std::uint8_t* p) const {
  return big_endian_ ? be32(p) : le32(p);
}

bool TiffReader::read_u32_at(std::int64_t position, std::uint32_t& out) {
  std::uint8_t b[4];
  if (file_.read_at(position, b) != 4) return false;
  out = u32(b);
  return true;
}

bool TiffReader::read_u16_at(std::int64_t position, std::uint16_t& out) {
  std::uint8_t b[2];
  if (file_.read_at(position, b) != 2) return false;
  out = u16(b);
  return true;
}

ReaderResult TiffReader::read_header() {
  if (!is_open()) return ReaderResult::kNoFile;
  std::uint8_t h[8];
  if (file_.read_at(0, h) != 8) {
    close();
    return ReaderResult::kUnreadable;
  }
  if ((h[0] == 'I' && h[1] == 'I') || (h[0] == 'F' && h[1] == 'F')) {
    big_endian_ = false;
  } else if (h[0] == 'M' && h[1] == 'M') {
    big_endian_ = true;
  } else {
    close();
    return ReaderResult::kBadSignature;
  }
  version_ = u16(h + 2);
  if (version_ != 42) {
    close();
    return ReaderResult::kBadSignature;
  }
  first_directory_ = u32(h + 4);
  return ReaderResult::kOk;
}

std::uint16_t TiffReader::build_page_table() {
  clear_pages();
  std::uint32_t position = first_directory_;
  if (position != 0) add_page(position);
  // A position listed before would make the chain endless; the walk ends
  // at the first directory the full table cannot take (noting the cut).
  while (position != 0) {
    std::uint16_t n = 0;
    if (!read_u16_at(position, n)) break;
    std::uint32_t next = 0;
    if (!read_u32_at(std::int64_t(position) + 2 + 12 * std::int64_t(n), next)) break;
    if (next == 0) break;
    if (is_listed(next)) break;
    if (add_page(next) != 0) break;
    position = next;
  }
  return page_count();
}

int TiffReader::read_directory(std::uint32_t position) {
  if (position == 0) return -1;
  std::uint16_t n = 0;
  if (!read_u16_at(position, n)) return -2;
  std::vector<std::uint8_t> raw;
  try {
    raw.resize(std::size_t(n) * 12);
    entries_.resize(n);
  } catch (const std::bad_alloc&) {
    entries_.clear();
    return -3;
  }
  if (file_.read_at(std::int64_t(position) + 2, raw) != raw.size()) {
    entries_.clear();
    return -4;
  }
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t* e = raw.data() + 12 * i;
    entries_[i].tag = u16(e);
    entries_[i].type = u16(e + 2);
    entries_[i].count = u32(e + 4);
    std::memcpy(entries_[i].value, e + 8, 4);
  }
  if (!read_u32_at(std::int64_t(position) + 2 + 12 * std::int64_t(n), next_directory_)) return -5;
  return n;
}

bool TiffReader::read_rational(std::uint32_t position, std::uint32_t out[2]) {
  std::uint8_t b[8];
  if (file_.read_at(position, b) != 8) return false;
  out[0] = u32(b);
  out[1] = u32(b + 4);
  return true;
}

namespace {

// Bytes of one value of a TIFF 6.0 field type (section 2); 0 for unknown types.
std::uint32_t type_size(std::uint16_t type) {
  switch (type) {
    case 1:             // BYTE
    case 2:             // ASCII
    case 6:             // SBYTE
    case 7: return 1;   // UNDEFINED
    case 3:             // SHORT
    case 8: return 2;   // SSHORT
    case 4:             // LONG
    case 9:             // SLONG
    case 11: return 4;  // FLOAT
    case 5:             // RATIONAL
    case 10:            // SRATIONAL
    case 12: return 8;  // DOUBLE
    default: return 0;
  }
}

}  // namespace

std::uint16_t TiffReader::first_value(const TiffEntry& e) {
  if (std::uint64_t(e.count) * type_size(e.type) <= 4) return first_short(e);
  // Values that do not fit are at the position the field holds, whatever
  // their type (see strip_table_entry); one that cannot be read counts as
  // 0, which no field read this way accepts.
  if (e.type == kTypeLong) {
    std::uint32_t v = 0;
    if (!read_u32_at(long_value(e), v)) return 0;
    return std::uint16_t(std::min<std::uint32_t>(v, 0xFFFF));
  }
  std::uint16_t v = 0;
  if (!read_u16_at(long_value(e), v)) return 0;
  return v;
}

void TiffReader::parse_directory(TiffPage& page) {
  for (const TiffEntry& e : entries_) {
    // As fax writers use the types (TIFF 6.0 section 2): sizes are LONG
    // or else the first SHORT, the other single values the first SHORT
    // (or the LONG for the option words), whatever type a writer chose.
    const std::uint32_t long_or_short = e.type == kTypeLong ? long_value(e) : first_short(e);
    switch (e.tag) {
      case kTagImageWidth: page.image_width = long_or_short; break;
      case kTagImageLength: page.image_length = long_or_short; break;
      case kTagRowsPerStrip: page.rows_per_strip = long_or_short; break;
      case kTagBitsPerSample:
        page.bits_per_sample = first_value(e);
        page.samples = std::max(page.samples, e.count);
        break;
      case kTagSamplesPerPixel:
        page.samples = std::max<std::uint32_t>(page.samples, first_value(e));
        break;
      case kTagCompression: page.compression = first_value(e); break;
      case kTagPhotometric: page.photometric = first_value(e); break;
      case kTagFillOrder: page.fill_order = first_value(e); break;
      case kTagOrientation: page.orientation = first_value(e); break;
      case kTagResolutionUnit: page.resolution_unit = first_value(e); break;
      case kTagT4Options: page.t4_options = long_value(e); break;
      case kTagT6Options: page.t6_options = long_value(e); break;
      case kTagPageNumber:
        page.page_number[0] = first_short(e);
        page.page_number[1] = second_short(e);
        break;
      case kTagStripOffsets:
        page.strip_count = e.count;
        page.strip_offsets_type = e.type;
        page.strip_offsets_value = e.count == 1 ? long_or_short : long_value(e);
        break;
      case kTagStripByteCounts:
        page.strip_byte_counts_type = e.type;
        page.strip_byte_counts_value = e.count == 1 ? long_or_short : long_value(e);
        break;
      case kTagXResolution: read_rational(long_value(e), page.x_resolution); break;
      case kTagYResolution: read_rational(long_value(e), page.y_resolution); break;
      case kTagTileWidth:
      case kTagTileOffsets: page.tiled = true; break;
      case kTagBadFaxLines: page.bad_fax_lines = long_or_short; break;
      case kTagCleanFaxData: page.clean_fax_data = first_value(e); break;
      case kTagConsecutiveBadFaxLines: page.consecutive_bad_fax_lines = long_or_short; break;
      default: break;
    }
  }
}

// The value field of a strip table: one entry in place, two SHORTs in place,
// or the 32-bit position of an array. A table that does not fit in the field
// is always at the 32-bit position the field holds, whatever the table's
// type: reading that position as a SHORT would break big-endian files and
// any table placed beyond 64 KiB.
bool TiffReader::strip_table_entry(std::uint32_t value, std::uint16_t type, std::uint32_t count,
                                   std::uint32_t index, std::uint32_t& out) {
  if (count == 1) {
    out = value;
    return true;
  }
  if (count == 2 && type == kTypeShort) {
    std::uint8_t field[4];
    // The field was converted as a LONG; lay it out again as stored.
    if (big_endian_) {
      field[0] = std::uint8_t(value >> 24), field[1] = std::uint8_t(value >> 16);
      field[2] = std::uint8_t(value >> 8), field[3] = std::uint8_t(value);
    } else {
      put_le32(field, value);
    }
    out = u16(field + 2 * index);
    return true;
  }
  if (type == kTypeLong) return read_u32_at(std::int64_t(value) + 4 * std::int64_t(index), out);
  std::uint16_t v = 0;
  if (!read_u16_at(std::int64_t(value) + 2 * std::int64_t(index), v)) return false;
  out = v;
  return true;
}

bool TiffReader::strip_position(std::uint32_t index, const TiffPage& page, std::uint32_t& position,
                                std::uint32_t& byte_count) {
  if (index >= page.strip_count) return false;
  if (!strip_table_entry(page.strip_offsets_value, page.strip_offsets_type, page.strip_count, index,
                         position) ||
      !strip_table_entry(page.strip_byte_counts_value, page.strip_byte_counts_type,
                         page.strip_count, index, byte_count)) {
    // A table that cannot be read ends the page like a zero byte count.
    position = 0;
    byte_count = 0;
    return false;
  }
  // efax writing to a pipe cannot go back to fill in the count and leaves
  // it 0; libtiff reads such a page's only strip to the end of the file.
  if (page.strip_count == 1 && byte_count == 0 && position < file_size())
    byte_count = std::uint32_t(std::min<std::int64_t>(file_size() - position, UINT32_MAX));
  return true;
}

int TiffReader::read_page_data(const TiffPage& page) {
  free_coded();
  strip_sizes_.clear();
  if (page.image_length == 0) return -1;
  std::int64_t total = 0;
  std::vector<std::uint32_t> positions;
  for (std::uint32_t i = 0; i < page.strip_count; ++i) {
    std::uint32_t pos = 0, count = 0;
    if (!strip_position(i, page, pos, count)) break;
    // Bytes past the end of the file cannot be copied; a strip is taken
    // only as far as the file holds it.
    const std::int64_t avail = std::max<std::int64_t>(0, file_size() - std::int64_t(pos));
    const std::uint32_t take = std::uint32_t(std::min<std::int64_t>(count, avail));
    // As when a page is assembled: the strips of one page hold no more than
    // the file, so a table naming the same bytes again ends the page there.
    if (total + take > file_size()) break;
    total += take;
    if (total > limits::kMaxCodedPageBytes) return -1;
    try {
      positions.push_back(pos);
      strip_sizes_.push_back(take);
    } catch (const std::bad_alloc&) {
      return -1;
    }
  }
  if (total == 0) return -1;
  try {
    coded_.resize(std::size_t(total));
  } catch (const std::bad_alloc&) {
    free_coded();
    return -1;
  }
  std::size_t at = 0;
  for (std::size_t i = 0; i < positions.size(); ++i) {
    const std::size_t got =
        file_.read_at(positions[i], std::span<std::uint8_t>(coded_.data() + at, strip_sizes_[i]));
    // A short read leaves zeros; the size is what the file was measured to hold.
    at += strip_sizes_[i];
    (void)got;
  }
  return 0;
}

namespace {

// Compression values the strip decoder handles (TIFF 6.0 sections 3, 10, 11
// and the 32771 word-aligned Modified Huffman variant).
bool is_fax_compression(std::uint16_t compression) {
  switch (compression) {
    case kCompressionNone:
    case kCompressionCcittRle:
    case kCompressionCcittT4:
    case kCompressionCcittT6:
    case kCompressionCcittRleW:
    case kCompressionPackBits:
    case kCompressionJbig:
    case kCompressionT85: return true;
    default: return false;
  }
}

}  // namespace

namespace {

// The colour models of PhotometricInterpretation (TIFF 6.0 sections 5-6 and
// 21-23); 0, 1 and 4 (a transparency mask) are black and white.
const char* colour_model(std::uint16_t photometric) {
  switch (photometric) {
    case 2: return "RGB";
    case 3: return "palette";
    case 5: return "CMYK";
    case 6: return "YCbCr";
    case 8:
    case 9:
    case 10: return "CIE L*a*b*";
    default: return nullptr;
  }
}

std::string n(std::uint64_t v) {
  return std::to_string(v);
}

}  // namespace

Status TiffReader::check_page(const TiffPage& desc) const {
  using limits::Limit;
  // Say why, so the user learns whether the file is a TIFF of another kind
  // or a damaged fax.
  if (desc.strip_count == 0)
    return desc.tiled ? Refusal(Limit::kTiled) : Refusal(Limit::kDamaged, "StripOffsets missing");
  if (desc.image_width == 0 || desc.image_length == 0)
    return Refusal(Limit::kDamaged, desc.image_width == 0 ? "ImageWidth 0" : "ImageLength 0");
  if (desc.bits_per_sample != 1 || desc.samples != 1) {
    return Refusal(Limit::kNotBilevel,
                   "BitsPerSample " + n(desc.bits_per_sample) +
                       (desc.samples != 1 ? " x " + n(desc.samples) : std::string()) +
                       ": a colour or grey picture, not a black-and-white fax");
  }
  if (const char* model = colour_model(desc.photometric)) {
    return Refusal(Limit::kNotFaxPage, "PhotometricInterpretation " + n(desc.photometric) + " (" +
                                           model +
                                           "): a colour picture, not a black-and-white fax");
  }
  if (!is_fax_compression(desc.compression)) return Refusal(Limit::kNotFaxCoding, desc.compression);
  // T.6 bit 0 has no meaning and must be 0 (TIFF 6.0 section 11); data
  // that sets it is coded in a way nobody defined.
  if (desc.compression == kCompressionCcittT6 && (desc.t6_options & 1))
    return Refusal(Limit::kNotFaxPage,
                   "T6Options " + n(desc.t6_options) + ": its unused bit 0 is set");
  if (checked_page_size(desc.image_width, desc.image_length,
                        (std::int64_t(desc.image_width) + 7) / 8) <= 0)
    return Refusal(Limit::kPage);
  return {};
}

Status TiffReader::assemble_strips(const TiffPage& desc, PageBitmap& page) {
  const std::int64_t row_bytes = (std::int64_t(desc.image_width) * desc.bits_per_sample + 7) / 8;
  const std::int64_t bytes = checked_page_size(desc.image_width, desc.image_length, row_bytes);
  page.release_pixels();
  // The page's pixels: the first strip's own when they can hold the whole
  // page (a single-strip page is then decoded straight into it), otherwise
  // a buffer of their own that the strips are copied into.
  // Rows of CCITT strips start white, so later strips decode straight into
  // the page's rows.
  const int background = strip_background(desc);
  auto make_room = [&]() -> Status {
    if (page.has_pixels()) return {};
    return page.allocate_pixels(bytes, std::uint8_t(background < 0 ? 0 : background));
  };
  if (bytes <= 0) {
    // Too large to hold, or nothing to hold: the page did not load.
    page.height = 0;
    return Refusal(limits::Limit::kPage);
  }
  // Why no row came of the strips, when none does.
  std::optional<Refusal> failure;
  std::int64_t height = 0;
  // The strips of a sound file never overlap, so together they hold no more
  // than the file; a table naming the same bytes over and over would have
  // them decoded once per entry.
  std::int64_t strip_bytes = 0;
  for (std::uint32_t i = 0; i < desc.strip_count && height < desc.image_length; ++i) {
    std::uint32_t position = 0, count = 0;
    if (!strip_position(i, desc, position, count) || count == 0) break;
    if (Status read = read_coded(position, count); !read) {
      failure = read.refusal();
      break;
    }
    // A strip the file does not hold ends the page like a byte count of 0:
    // its rows would be made up, not read.
    if (coded_.empty()) {
      failure = Refusal(limits::Limit::kDamaged, "its strips lie past the end of the file");
      break;
    }
    strip_bytes += std::int64_t(coded_.size());
    if (strip_bytes > file_size()) break;
    if (height > 0 && background >= 0 && make_room()) {
      const std::int32_t rows = decode_tiff_strip_into(page, std::int32_t(height), coded_, desc);
      if (rows > 0) height += rows;
      continue;
    }
    PageBitmap strip;
    decode_tiff_strip(strip, coded_, desc, i);
    if (i == 0) {
      // Every field of the first strip but its pixels describes the page.
      std::vector<std::uint8_t> page_pixels = std::move(page.pixels);
      std::vector<std::uint8_t> strip_pixels = std::move(strip.pixels);
      page = strip;
      page.pixels = std::move(page_pixels);
      strip.pixels = std::move(strip_pixels);
      page.height = 0;
    }
    if (!strip.has_pixels() || strip.height <= 0) continue;
    const std::int64_t rows = std::min<std::int64_t>(strip.height, desc.image_length - height);
    if (height == 0 && !page.has_pixels() && strip.row_bytes == row_bytes &&
        std::int64_t(strip.pixels.size()) >= bytes) {
      page.pixels = std::move(strip.pixels);
      page.pixels.resize(std::size_t(bytes));
      height = rows;
      continue;
    }
    if (!make_room()) break;
    const std::size_t copy_row = std::size_t(std::min<std::int64_t>(row_bytes, strip.row_bytes));
    for (std::int64_t r = 0; r < rows; ++r) {
      const std::size_t from = std::size_t(r) * std::size_t(strip.row_bytes);
      if (from + copy_row > strip.pixels.size()) break;
      std::memcpy(page.pixels.data() + std::size_t(height + r) * std::size_t(row_bytes),
                  strip.pixels.data() + from, copy_row);
    }
    height += rows;
  }
  if (Status room = make_room(); !room) {
    page.release_pixels();
    height = 0;
    failure = room.refusal();
  }
  page.height = std::int32_t(height);
  page.row_bytes = std::int32_t(row_bytes);
  free_coded();
  if (height > 0) return {};
  // No strip decoded: the directory's width goes with its row bytes, not the
  // 0 of a strip bitmap nothing was decoded into.
  page.width = std::int32_t(desc.image_width);
  return failure ? *failure
                 : Refusal(limits::Limit::kDamaged, "none of its strips holds a row that decodes");
}

Status TiffReader::load_page(std::uint32_t index, PageBitmap& page) {
  if (!is_open()) return Refusal(limits::Limit::kFile);
  if (const int entries = read_directory(page_position(index)); entries <= 0) {
    page.release_pixels();
    page.width = page.height = page.row_bytes = 0;
    return Refusal(limits::Limit::kDamaged,
                   entries == 0 ? "its directory has no entries" : "its directory cannot be read");
  }
  TiffPage desc;
  parse_directory(desc);
  Status loaded = check_page(desc);
  if (loaded && is_jbig_compression(desc.compression)) {
    // One BIE for the page, however many strips carry it.
    loaded = read_page_data(desc) == 0
                 ? decode_jbig_page(coded_, desc, page)
                 : Status(Refusal(limits::Limit::kDamaged, "its strips cannot be read"));
    free_coded();
    if (!loaded) page.width = page.height = page.row_bytes = 0;
  } else if (loaded) {
    loaded = assemble_strips(desc, page);
  } else {
    // No page, rather than the previous page shown under this page's
    // number; nothing is allocated for it.
    page.release_pixels();
    page.width = page.height = page.row_bytes = 0;
  }
  page.unit = std::uint8_t(desc.resolution_unit & 0xFF);
  page.xres = desc.x_resolution[1] ? std::uint16_t(desc.x_resolution[0] / desc.x_resolution[1]) : 0;
  page.yres =
      desc.y_resolution[1] ? std::uint16_t(desc.y_resolution[0] / desc.y_resolution[1]) : page.xres;
  return loaded;
}

bool TiffReader::page_facts(std::uint32_t index, PageFacts& out) {
  if (!is_open() || read_directory(page_position(index)) <= 0) return false;
  TiffPage desc;
  parse_directory(desc);
  const auto ratio = [](const std::uint32_t r[2]) {
    return std::uint16_t(r[1] ? std::min<std::uint32_t>(r[0] / r[1], 0xFFFF) : 0);
  };
  out = {.width = desc.image_width,
         .height = desc.image_length,
         .xres = ratio(desc.x_resolution),
         .yres = desc.y_resolution[1] ? ratio(desc.y_resolution) : ratio(desc.x_resolution),
         .unit = std::uint8_t(desc.resolution_unit & 0xFF),
         .coding = coding_of_compression(desc.compression, desc.t4_options),
         .bit_order = desc.fill_order == 2 ? kBitOrderLsbFirst : kBitOrderMsbFirst,
         .reception = {.bad_lines = desc.bad_fax_lines,
                       .consecutive_bad = desc.consecutive_bad_fax_lines,
                       .clean = desc.clean_fax_data}};
  if (Status fit = check_page(desc); !fit) out.refusal = fit.refusal();
  for (const TiffEntry& e : entries_) {
    if (e.tag == kTagDateTime) out.date_time = ascii_field(e, 64);
    if (e.tag == kTagImageDescription) out.description = ascii_field(e, 4096);
  }
  return true;
}

std::string TiffReader::ascii_field(const TiffEntry& e, std::uint32_t most) {
  if (e.type != kTypeAscii || e.count == 0) return {};
  const std::uint32_t count = std::min(e.count, most);
  std::string text(count, '\0');
  if (e.count <= 4) {
    std::memcpy(text.data(), e.value, count);
  } else if (file_.read_at(long_value(e),
                           std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(text.data()),
                                                   count)) != count) {
    return {};
  }
  text.resize(std::min(text.find('\0'), text.size()));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool TiffReader::coded_page(std::uint32_t index, PassThroughPage& out) {
  if (!is_open() || read_directory(page_position(index)) <= 0) return false;
  TiffPage desc;
  parse_directory(desc);
  const std::uint8_t coding = coding_of_compression(desc.compression, desc.t4_options);
  // JBIG pages go out as the pixels they decode to, coded again.
  if (coding == kCodingUnknown || coding == kCodingJbig) return false;
  if (desc.bits_per_sample != 1 || read_page_data(desc) != 0) return false;
  const auto ratio = [](const std::uint32_t r[2]) { return r[1] ? r[0] / r[1] : 0; };
  out = {.coded = coded_,
         .coding = coding,
         .bit_order = desc.fill_order == 1 ? kBitOrderMsbFirst : kBitOrderLsbFirst,
         .width = desc.image_width,
         .length = desc.image_length,
         .xres = ratio(desc.x_resolution),
         .yres = ratio(desc.y_resolution),
         .unit = desc.resolution_unit};
  return true;
}

}  // namespace orvane
