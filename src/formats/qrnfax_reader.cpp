#include "formats/qrnfax_reader.h"

#include <algorithm>
#include <cstring>

#include "base/byte_order.h"
#include "base/coding_mode.h"
#include "base/limits.h"
#include "codec/fax_codec.h"
#include "codec/page_driver.h"

namespace orvane {

namespace {

void drop_page(PageBitmap& page) {
  page.release_pixels();
  page.width = 0;
  page.height = 0;
}

}  // namespace

ReaderResult QrnFaxReader::check_header(std::int64_t position) {
  if (!is_open()) return ReaderResult::kNoFile;
  header_.fill(0);
  file_.read_at(position, header_);
  return std::memcmp(header_.data(), "QRN-FAX", 7) == 0 ? ReaderResult::kOk
                                                        : ReaderResult::kUnreadable;
}

std::uint16_t QrnFaxReader::build_page_table() {
  clear_pages();
  std::int64_t position = 0;
  while (position < file_size() && position <= 0xFFFFFFFF &&
         check_header(position) == ReaderResult::kOk) {
    // A chain that points back would never end by itself.
    if (is_listed(std::uint32_t(position))) break;
    if (add_page(std::uint32_t(position)) != 0) break;
    position = std::int64_t(le32(header_.data() + 8)) + std::int64_t(le32(header_.data() + 12));
  }
  if (page_count_ == 0) close();
  return page_count_;
}

Status QrnFaxReader::read_page(std::uint32_t index, Page& out) {
  if (!is_open() || index >= page_count_) return Refusal(limits::Limit::kFile);
  const std::int64_t position = pages_[index];
  if (check_header(position) != ReaderResult::kOk)
    return Refusal(limits::Limit::kDamaged, "its page header cannot be read");
  const std::uint8_t* h = header_.data();
  out.width = le32(h + 16) ? le32(h + 16) : kDefaultWidth;
  out.rows = le32(h + 20) ? le32(h + 20) : kDefaultRows;
  // The codec reads every value but 1 least significant bit first; the page
  // and the converted file's FillOrder say the same.
  out.bit_order = h[26] == kBitOrderMsbFirst ? kBitOrderMsbFirst : kBitOrderLsbFirst;
  out.coding = h[27];
  out.xres = h[28];
  out.yres = h[29];
  std::int64_t length = le32(h + 12);
  if (length > file_size()) length = std::max<std::int64_t>(0, file_size() - position - 64);
  return read_coded(position + std::int64_t(kHeaderSize), length);
}

bool QrnFaxReader::page_facts(std::uint32_t index, PageFacts& out) {
  if (!is_open() || index >= page_count_ || check_header(pages_[index]) != ReaderResult::kOk)
    return false;
  const std::uint8_t* h = header_.data();
  out = {.width = le32(h + 16) ? le32(h + 16) : std::uint32_t(kDefaultWidth),
         .height = le32(h + 20) ? le32(h + 20) : std::uint32_t(kDefaultRows),
         .xres = h[28],
         .yres = h[29],
         .unit = 2,
         .coding = h[27],
         .bit_order = h[26] == kBitOrderMsbFirst ? kBitOrderMsbFirst : kBitOrderLsbFirst};
  return true;
}

Status QrnFaxReader::load_page(std::uint32_t index, PageBitmap& page) {
  if (!is_open()) return Refusal(limits::Limit::kFile);
  Page p;
  Status read = read_page(index, p);
  // A size beyond what a page may be is refused before the codec sizes its
  // bitmap from it.
  if (read && checked_page_size(p.width, p.rows, (std::int64_t(p.width) + 7) / 8) < 0)
    read = Refusal(limits::Limit::kPage);
  if (!read) {
    drop_page(page);
    return read;
  }
  codec::FaxCodec codec;
  if (p.coding >= kCodingMhByte && p.coding <= kCodingT4_2D) {
    codec.configure(coded_, p.bit_order, p.coding, 0);
    codec.set_size(std::int32_t(p.width), std::int32_t(p.rows));
    codec::decode_by_coding_mode(codec, page);
  } else if (p.coding == kCodingT6) {
    codec::configure_for_t6(codec, coded_, p.bit_order, 0, 0, 3);
    codec.set_size(std::int32_t(p.width), std::int32_t(p.rows));
    codec::decode_t6_page(codec, page);
  } else {
    // A coding we do not decode: no page to show.
    drop_page(page);
    return Refusal(limits::Limit::kNotFaxCoding, "coding " + std::to_string(p.coding) +
                                                     " is not a fax coding this program reads");
  }
  if (!page.has_pixels()) {
    drop_page(page);
    return missing_pixels(p.width, p.rows);
  }
  page.unit = 2;
  page.xres = p.xres;
  page.yres = p.yres;
  return {};
}

bool QrnFaxReader::coded_page(std::uint32_t index, PassThroughPage& out) {
  Page p;
  if (!read_page(index, p)) return false;
  // The data goes in as the header names it, also for codings this
  // program does not decode; a coding TIFF has no Compression for is left out.
  out = {.coded = coded_,
         .coding = p.coding,
         .bit_order = p.bit_order,
         .width = p.width,
         .length = p.rows,
         .xres = p.xres,
         .yres = p.yres};
  return true;
}

}  // namespace orvane
