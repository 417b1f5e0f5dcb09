#include "formats/winfax_reader.h"

#include <algorithm>

#include "base/byte_order.h"
#include "base/coding_mode.h"
#include "codec/fax_codec.h"
#include "codec/page_driver.h"

namespace orvane {

namespace {

constexpr std::uint16_t kHorizontalResolution = 200;

void drop_page(PageBitmap& page) {
  page.release_pixels();
  page.width = 0;
  page.height = 0;
}

}  // namespace

std::uint16_t winfax_vertical_resolution(std::uint8_t code) {
  return code == 0 ? 100 : code == 1 ? 200 : 400;
}

ReaderResult WinFaxReader::check_header(std::int64_t position) {
  if (!is_open()) return ReaderResult::kNoFile;
  header_.fill(0);
  file_.read_at(position, header_);
  return header_[0] == 0x0B && header_[1] == 0x23 ? ReaderResult::kOk : ReaderResult::kUnreadable;
}

std::uint16_t WinFaxReader::build_page_table() {
  clear_pages();
  std::int64_t position = 0;
  while (check_header(position) == ReaderResult::kOk) {
    // A chain that points back would never end by itself.
    if (is_listed(std::uint32_t(position))) break;
    if (add_page(std::uint32_t(position)) != 0) break;
    const std::uint8_t* h = header_.data();
    const std::int64_t next = std::int64_t(le32(h + 116)) + std::int64_t(h[113]) * h[114] +
                              std::int64_t(le32(h + 89)) + std::int64_t(le32(h + 105));
    if (next >= file_size() || next > 0xFFFFFFFF) break;
    position = next;
  }
  if (page_count_ == 0) close();
  return page_count_;
}

ReaderResult WinFaxReader::read_header(std::uint32_t index, Page& out) {
  if (!is_open() || index >= page_count_) return ReaderResult::kNoFile;
  if (check_header(pages_[index]) != ReaderResult::kOk) return ReaderResult::kUnreadable;
  const std::uint8_t* h = header_.data();
  out.width = le16(h + 3) ? le16(h + 3) : kDefaultWidth;
  out.rows = le16(h + 5) ? le16(h + 5) : kDefaultRows;
  out.mmr = h[7] != 0;
  out.yres = winfax_vertical_resolution(h[115]);
  return ReaderResult::kOk;
}

Status WinFaxReader::read_page(std::uint32_t index, Page& out) {
  if (read_header(index, out) != ReaderResult::kOk)
    return Refusal(limits::Limit::kDamaged, "its page header cannot be read");
  const std::int64_t position = pages_[index];
  const std::uint8_t* h = header_.data();
  std::int64_t length = le32(h + 116);
  if (length > file_size()) length = std::max<std::int64_t>(0, file_size() - position - 128);
  return read_coded(position + std::int64_t(kHeaderSize), length);
}

Status WinFaxReader::load_page(std::uint32_t index, PageBitmap& page) {
  if (!is_open()) return Refusal(limits::Limit::kFile);
  Page p;
  if (Status read = read_page(index, p); !read) {
    drop_page(page);
    return read;
  }
  codec::FaxCodec codec;
  if (p.mmr) {
    codec::configure_for_t6(codec, coded_, kBitOrderLsbFirst, 0, 0, 3);
    codec.set_size(p.width, p.rows);
    codec::decode_t6_page(codec, page);
  } else {
    codec.configure(coded_, kBitOrderLsbFirst, kCodingT4_1D, 0);
    codec.set_size(p.width, p.rows);
    codec::decode_by_coding_mode(codec, page);
  }
  // Bad data costs rows, never the page; only a page without pixels (out
  // of memory) is dropped.
  if (!page.has_pixels()) {
    drop_page(page);
    return missing_pixels(p.width, p.rows);
  }
  page.unit = 2;
  page.xres = kHorizontalResolution;
  page.yres = p.yres;
  return {};
}

bool WinFaxReader::page_facts(std::uint32_t index, PageFacts& out) {
  Page p;
  if (read_header(index, p) != ReaderResult::kOk) return false;
  // The stated rows are those conversion writes; decoding stops earlier
  // when the data ends first.
  out = {.width = std::uint32_t(p.width),
         .height = std::uint32_t(p.rows),
         .xres = kHorizontalResolution,
         .yres = p.yres,
         .unit = 2,
         .coding = p.mmr ? kCodingT6 : kCodingT4_1D,
         .bit_order = kBitOrderLsbFirst};
  return true;
}

std::string WinFaxReader::page_text(std::uint32_t index) {
  if (!is_open() || index >= page_count_ || check_header(pages_[index]) != ReaderResult::kOk)
    return {};
  const auto first = header_.begin() + 9;
  return std::string(first, std::find(first, header_.end(), std::uint8_t(0)));
}

bool WinFaxReader::coded_page(std::uint32_t index, PassThroughPage& out) {
  Page p;
  // A page whose header cannot be read again is left out.
  if (!read_page(index, p)) return false;
  // MMR pages are T.6 (Compression 4); Modified Huffman pages with EOLs
  // are T.4 one-dimensional (Compression 3). The stated row count is
  // written whatever the data holds.
  out = {.coded = coded_,
         .coding = p.mmr ? kCodingT6 : kCodingT4_1D,
         .bit_order = kBitOrderLsbFirst,
         .width = std::uint32_t(p.width),
         .length = std::uint32_t(p.rows),
         .xres = kHorizontalResolution,
         .yres = p.yres};
  return true;
}

}  // namespace orvane
