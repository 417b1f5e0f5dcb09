#include "formats/quicklink_reader.h"

#include <algorithm>
#include <cstring>

#include "base/byte_order.h"
#include "base/limits.h"

namespace orvane {

namespace {

constexpr std::size_t kOffsetTable = 32;

}  // namespace

std::uint16_t quicklink_vertical_resolution(std::uint16_t code) {
  return code == 1 ? 200 : code == 2 ? 100 : 400;
}

ReaderResult QuickLinkReader::recognise() {
  if (!is_open()) return ReaderResult::kNoFile;
  header_.fill(0);
  count_ = 0;
  file_.read_at(0, header_);
  // "QLIIFAX" as a NUL-terminated string: the eighth byte must be 0.
  if (std::memcmp(header_.data(), "QLIIFAX", 8) != 0) {
    close();
    return ReaderResult::kUnreadable;
  }
  return ReaderResult::kOk;
}

std::uint16_t QuickLinkReader::build_page_table() {
  // Never more than any reader lists (fewer in fuzz builds).
  count_ = std::min<std::uint16_t>(
      {le16(header_.data() + 8), kMaxPages, std::uint16_t(limits::kMaxPages)});
  put_le16(header_.data() + 8, count_);
  return count_;
}

bool QuickLinkReader::locate_page(std::uint32_t index, PageSource& out, std::int64_t& offset,
                                  std::int64_t& length) {
  if (index >= count_) return false;
  const auto slot = [&](std::uint32_t i) -> std::int64_t {
    return le32(header_.data() + kOffsetTable + 4 * std::size_t(i));
  };
  offset = slot(index);
  if (offset == 0 || offset >= file_size()) return false;
  std::int64_t end = file_size();
  if (index + 1 < kMaxPages && slot(index + 1) != 0) end = slot(index + 1);
  // A next offset below this one would give a negative length.
  if (end <= offset) return false;
  out.rows = index + 1 == count_ ? le16(header_.data() + 10) : le32(header_.data() + 12);
  out.yres = quicklink_vertical_resolution(le16(header_.data() + 16));
  length = end - offset;
  return true;
}

}  // namespace orvane
