#include "formats/raw_scratch_files.h"

#include <algorithm>
#include <cerrno>

#include "base/byte_order.h"
#include "base/coding_mode.h"
#include "base/limits.h"

namespace orvane {

RawScratchFiles::RawScratchFiles(std::filesystem::path row_file, std::filesystem::path index_file)
    : row_path_(std::move(row_file)), index_path_(std::move(index_file)) {}

bool RawScratchFiles::noted(bool ok) {
  if (!ok && error_ == 0) error_ = errno;
  return ok;
}

bool RawScratchFiles::clear() {
  summary_ = {};
  coding_ = 0;
  coded_rows_.clear();
  index_rows_ = false;
  rows_.reset();
  index_.reset();
  errno = 0;
  return noted(FileHandle(std::fopen(row_path_.c_str(), "wb")) &&
               FileHandle(std::fopen(index_path_.c_str(), "wb")));
}

bool RawScratchFiles::write_at_start(std::FILE* f, std::span<const std::uint8_t> bytes) {
  return std::fseek(f, 0, SEEK_SET) == 0 &&
         std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() &&
         std::fseek(f, 0, SEEK_END) == 0;
}

bool RawScratchFiles::begin(const PageBitmap& descriptor, std::span<const std::uint8_t>) {
  rows_.reset(std::fopen(row_path_.c_str(), "wb"));
  index_.reset(std::fopen(index_path_.c_str(), "wb"));
  if (!noted(rows_ && index_)) return false;
  // Rows come one at a time: a large buffer keeps that to few writes (but
  // none larger than the largest row file).
  std::setvbuf(
      rows_.get(), nullptr, _IOFBF,
      std::size_t(std::min<std::int64_t>(
          std::int64_t(1) << 20, limits::kMaxRowFileBytes + std::int64_t(kDescriptorSize))));
  coded_rows_.clear();
  index_rows_ = descriptor.coding != kCodingT6;
  header_.fill(0);
  put_le32(&header_[codec::kIndexWidthAt], std::uint32_t(descriptor.width));
  header_[codec::kIndexBitOrderAt] = descriptor.bit_order;
  header_[codec::kIndexCodingAt] = descriptor.coding;
  header_[codec::kIndexWidthClassAt] = descriptor.width_class;
  const bool rows_ok = write_at_start(rows_.get(), store_descriptor(descriptor));
  return noted(write_at_start(index_.get(), header_) && rows_ok);
}

bool RawScratchFiles::row(std::span<const std::uint8_t> row, const codec::RowBits& coded) {
  // Rows whose places cannot be kept only cost the page its own coded data.
  if (index_rows_) index_rows_ = coded_rows_.add(coded);
  return noted(rows_ && std::fwrite(row.data(), 1, row.size(), rows_.get()) == row.size());
}

bool RawScratchFiles::segment(const codec::SegmentEntry& entry) {
  const auto bytes = codec::store_entry(entry);
  return noted(index_ && std::fwrite(bytes.data(), 1, bytes.size(), index_.get()) == bytes.size());
}

bool RawScratchFiles::finish(const PageBitmap& descriptor,
                             const codec::ExtractionSummary& summary) {
  if (!rows_ || !index_) return false;
  summary_ = summary;
  coding_ = descriptor.coding;
  put_le32(&header_[codec::kIndexEntryCountAt], summary.entries);
  put_le32(&header_[codec::kIndexTotalRowsAt], summary.total_rows);
  if (summary.entries > 0) {
    put_le32(&header_[codec::kIndexLongestAt], summary.longest);
    put_le16(&header_[codec::kIndexVresAt], descriptor.yres);
  }
  bool ok = write_at_start(index_.get(), header_);
  ok = write_at_start(rows_.get(), store_descriptor(descriptor)) && ok;
  ok = std::fclose(rows_.release()) == 0 && ok;
  ok = std::fclose(index_.release()) == 0 && ok;
  return noted(ok);
}

}  // namespace orvane
