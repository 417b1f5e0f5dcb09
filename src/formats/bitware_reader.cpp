#include "formats/bitware_reader.h"

#include <algorithm>
#include <cstring>

#include "base/byte_order.h"
#include "base/limits.h"

namespace orvane {

std::uint16_t bitware_vertical_resolution(std::uint8_t code) {
  return code == 0 ? 100 : code == 1 ? 200 : 400;
}

ReaderResult BitwareReader::recognise() {
  if (!is_open()) return ReaderResult::kNoFile;
  header_.fill(0);
  count_ = 0;
  if (file_.read_at(0, header_) != header_.size()) {
    close();
    return ReaderResult::kUnreadable;
  }
  if (std::memcmp(header_.data(), "BIT  FAX", 8) != 0) {
    close();
    return ReaderResult::kBadSignature;
  }
  return ReaderResult::kOk;
}

std::uint16_t BitwareReader::build_page_table() {
  // Never more than any reader lists (fewer in fuzz builds).
  count_ = std::min<std::uint16_t>(
      {le16(header_.data() + 9), kMaxPages, std::uint16_t(limits::kMaxPages)});
  put_le16(header_.data() + 9, count_);
  return count_;
}

bool BitwareReader::locate_page(std::uint32_t index, PageSource& out, std::int64_t& offset,
                                std::int64_t& length) {
  if (index >= count_) return false;
  const std::uint8_t* entry = header_.data() + 16 + 16 * std::size_t(index);
  length = le32(entry + 4);
  offset = le32(entry + 8);
  if (offset == 0 || offset >= file_size() || length == 0) return false;
  out.width = le16(entry);
  out.rows = le16(entry + 2);
  out.yres = bitware_vertical_resolution(header_[14]);
  return true;
}

}  // namespace orvane
