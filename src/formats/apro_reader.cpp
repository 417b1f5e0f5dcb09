#include "formats/apro_reader.h"

#include <algorithm>
#include <cstring>

#include "base/byte_order.h"
#include "base/coding_mode.h"
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

ReaderResult AproReader::recognise() {
  if (!is_open()) return ReaderResult::kNoFile;
  header_.fill(0);
  if (file_.read_at(0, header_) < header_.size()) {
    close();
    return ReaderResult::kUnreadable;
  }
  if (std::memcmp(header_.data(), "APF10", 5) != 0) {
    close();
    return ReaderResult::kBadSignature;
  }
  return ReaderResult::kOk;
}

std::uint16_t AproReader::build_page_table() {
  clear_pages();
  if (!is_open()) return 0;
  header_.fill(0);
  file_.read_at(0, header_);
  std::int64_t position = le32(header_.data() + 34);
  add_page(std::uint32_t(position));
  const std::int16_t stated = std::int16_t(le16(header_.data() + 32));
  std::array<std::uint8_t, kPageHeaderSize> page_header{};
  for (int i = 1; i < stated; ++i) {
    if (file_.read_at(position, page_header) < page_header.size()) break;
    position += std::int64_t(le32(page_header.data())) + std::int64_t(kPageHeaderSize);
    // A page that would start outside the file cannot be read; listing it
    // would only give a page that never loads.
    if (position >= file_size()) break;
    if (add_page(std::uint32_t(position)) != 0) break;
  }
  return page_count_;
}

ReaderResult AproReader::read_page_header(std::uint32_t index, std::int64_t& length,
                                          std::uint8_t& flags) {
  if (!is_open() || index >= page_count_) return ReaderResult::kNoFile;
  const std::int64_t position = pages_[index];
  std::array<std::uint8_t, kPageHeaderSize> page_header{};
  if (file_.read_at(position, page_header) < page_header.size()) return ReaderResult::kUnreadable;
  length = le32(page_header.data());
  // A length the rest of the file cannot hold is a broken page, not a
  // reason to allocate it.
  if (length > file_size() - position - std::int64_t(kPageHeaderSize))
    return ReaderResult::kUnreadable;
  flags = page_header[4] & (kFine | kWide | kRowWords);
  return ReaderResult::kOk;
}

Status AproReader::read_page(std::uint32_t index) {
  std::int64_t length = 0;
  std::uint8_t flags = 0;
  const ReaderResult rc = read_page_header(index, length, flags);
  if (rc == ReaderResult::kNoFile) return Refusal(limits::Limit::kFile);
  Status read =
      rc == ReaderResult::kOk
          ? read_coded(pages_[index] + std::int64_t(kPageHeaderSize), length)
          : Status(limits::Limit::kDamaged, "its page header states more data than the file holds");
  if (!read) {
    free_coded();
    return read;
  }
  flags_ = flags;
  return {};
}

bool AproReader::page_facts(std::uint32_t index, PageFacts& out) {
  std::int64_t length = 0;
  std::uint8_t flags = 0;
  if (read_page_header(index, length, flags) != ReaderResult::kOk) return false;
  // No row count is stored: the rows are counted while decoding.
  out = {.width = (flags & kWide) ? 2048u : 1728u,
         .height = 0,
         .xres = 200,
         .yres = std::uint16_t((flags & kFine) ? 200 : 100),
         .unit = 2,
         .coding = kCodingT4_1D,
         .bit_order = kBitOrderLsbFirst};
  return true;
}

Status AproReader::load_page(std::uint32_t index, PageBitmap& page) {
  if (!is_open()) return Refusal(limits::Limit::kFile);
  if (Status read = read_page(index); !read) {
    drop_page(page);
    return read;
  }
  codec::FaxCodec codec;
  codec.configure(coded_, kBitOrderLsbFirst, kCodingT4_1D, 0);
  codec.set_size((flags_ & kWide) ? 2048 : 1728, kMaxRows);
  codec::decode_prefixed_row_page(codec, page, (flags_ & kRowWords) != 0);
  if (!page.has_pixels()) {
    drop_page(page);
    return missing_pixels(codec.width, codec.height);
  }
  page.unit = 2;
  page.xres = 200;
  page.yres = (flags_ & kFine) ? 200 : 100;
  return {};
}

}  // namespace orvane
