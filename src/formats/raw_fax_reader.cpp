#include "formats/raw_fax_reader.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "base/binary_file.h"
#include "base/byte_order.h"
#include "base/coding_mode.h"
#include "base/limits.h"
#include "base/page_lengths.h"
#include "codec/fax_codec.h"
#include "codec/page_driver.h"
#include "codec/raw_extraction.h"
#include "formats/page_end_splitter.h"
#include "formats/raw_scratch_files.h"
#include "tiff/tiff_writer.h"

namespace orvane {
namespace {

// Decoding that lost its way more than once in this many rows is in doubt.
constexpr std::uint64_t kRowsPerTroubleAtMost = 16;
// How much of a file is decoded to tell whether it is T.6 from its start.
constexpr std::int64_t kT6ProbeBytes = 1024 * 1024;

// Keeps only what an extraction found, not its rows.
class RowCounter final : public codec::ExtractionSink {
 public:
  bool clear() override {
    summary = {};
    return true;
  }
  bool begin(const PageBitmap&, std::span<const std::uint8_t>) override { return true; }
  bool row(std::span<const std::uint8_t>, const codec::RowBits&) override { return true; }
  bool segment(const codec::SegmentEntry&) override { return true; }
  bool finish(const PageBitmap&, const codec::ExtractionSummary& s) override {
    summary = s;
    return true;
  }
  codec::ExtractionSummary summary;
};

// Vertical resolution a standard A4 page length stands for; 0 for any
// other length.
std::uint16_t vres_of_a4_length(std::uint32_t rows) {
  for (std::size_t i = 0; i < kPageRows[0].size(); ++i)
    if (kPageRows[0][i] == rows) return kPageRowsDpi[i];
  return 0;
}

// The bits of a byte that lie at or after bit index `from`, counted in the
// stream's bit order (MSB first: index 0 is the high bit).
std::uint8_t bits_from(int from, bool msb_first) {
  return msb_first ? std::uint8_t(0xFF >> from) : std::uint8_t(0xFF << from);
}
// The bits before bit index `to` (0..8).
std::uint8_t bits_before(int to, bool msb_first) {
  return std::uint8_t(~bits_from(to, msb_first));
}

// Reads the page index whole-header image; false when it is unreadable.
bool read_index_header(std::FILE* f, std::array<std::uint8_t, codec::kIndexHeaderSize>& header) {
  return std::fseek(f, 0, SEEK_SET) == 0 &&
         std::fread(header.data(), 1, header.size(), f) == header.size();
}

bool read_entry(std::FILE* f, std::uint32_t index, codec::SegmentEntry& entry) {
  std::array<std::uint8_t, codec::kIndexEntrySize> bytes{};
  const long at = long(codec::kIndexHeaderSize + std::size_t(index) * codec::kIndexEntrySize);
  if (std::fseek(f, at, SEEK_SET) != 0 ||
      std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
    return false;
  }
  entry = codec::load_entry(bytes);
  return true;
}

}  // namespace

void RawFaxReader::set_scratch_paths(const std::filesystem::path& row_file,
                                     const std::filesystem::path& page_index) {
  row_file_ = row_file;
  page_index_ = page_index;
}

void RawFaxReader::set_parameters(std::uint16_t threshold, std::uint8_t flag_number,
                                  std::int16_t min_width, bool raw_file) {
  threshold_ = threshold;
  flag_number_ = flag_number;
  min_width_ = min_width;
  raw_file_ = raw_file;
  total_rows_ = 0;
  rows_per_page_ = 0;
  rows_indexed_ = false;
}

int RawFaxReader::analyse(std::uint8_t bit_order_choice, bool nonstandard_widths) {
  total_rows_ = 0;
  rows_indexed_ = false;
  page_starts_.clear();
  summary_ = {};
  coding_ = 0;
  if (!is_open()) return -1;
  const std::int64_t size = file_size();
  if (size <= 0) {
    close();
    return -1;
  }
  // The whole stream is held in memory while it is decoded.
  if (!read_coded(0, size, limits::kMaxFileBytes, control()) || coded().empty()) {
    free_coded();
    return stop_requested() ? drop_stopped_work() : -1;
  }
  const std::span<const std::uint8_t> data(coded());
  codec::FaxCodec analysis;
  analysis.configure(data, kBitOrderMsbFirst, kCodingT4_1D, 0);
  analysis.control = control();
  codec::FaxCodec t6;
  codec::configure_for_t6(t6, data, kBitOrderMsbFirst, 0, 0, flag_number_);
  t6.raw_flag = raw_file_ ? 1 : 0;
  t6.control = control();

  codec::ExtractionOptions options;
  options.threshold = threshold_;
  options.flag_number = flag_number_;
  options.nonstandard_widths = nonstandard_widths;
  options.min_width = min_width_;
  std::vector<std::uint8_t> orders;
  if (bit_order_choice == kBitOrderMsbFirst || bit_order_choice == kBitOrderLsbFirst) {
    orders = {bit_order_choice};
  } else {
    orders = {kBitOrderLsbFirst, kBitOrderMsbFirst};
  }

  RawScratchFiles scratch(row_file_, page_index_);
  PageEndSplitter splitter(scratch);
  codec::ExtractionSink& sink =
      split_at_page_ends_ ? static_cast<codec::ExtractionSink&>(splitter) : scratch;
  const int result = codec::extract_cleanest(analysis, t6, sink, options, orders);
  // Rows that could not be kept say nothing about the data: name the fault.
  if (result < 0 && scratch.error() != 0) limits::note_scratch_fault(scratch.error());
  if (split_at_page_ends_ && result >= 0) page_starts_ = splitter.page_starts();
  if (result >= 0) {
    summary_ = scratch.summary();
    coding_ = scratch.coding();
  }
  // Pages are served from the row file; conversion reads the stream again.
  free_coded();
  if (stop_requested()) return drop_stopped_work();
  return result;
}

bool RawFaxReader::decodes_badly(const codec::ExtractionSummary& s, std::uint8_t coding) {
  if (s.total_rows == 0) return false;
  // T.6 data read from a file never loses its way, and has no EOL to find
  // it again: read at a wrong width or in the wrong order, its rows still
  // end at the width, so each place it lost its way hides a stretch of
  // rows of noise that decoded without complaint.
  if (coding == kCodingT6) return s.troubles > 0;
  // A sound T.4 page loses its way seldom (a row hit by noise on the
  // wire); a wrong width or order loses it every few rows.
  return std::uint64_t(s.troubles) * kRowsPerTroubleAtMost > s.total_rows;
}

bool RawFaxReader::decodes_badly() const {
  return decodes_badly(summary_, coding_);
}

std::uint8_t RawFaxReader::t6_order_from_first_byte() {
  if (!is_open()) return 0;
  const std::int64_t size = std::min<std::int64_t>(file_size(), kT6ProbeBytes);
  std::uint8_t best = 0;
  codec::ExtractionSummary best_fit;
  if (size > 0 && read_coded(0, size, limits::kMaxFileBytes) && !coded().empty()) {
    for (const std::uint8_t order : {kBitOrderMsbFirst, kBitOrderLsbFirst}) {
      codec::FaxCodec t6;
      codec::configure_for_t6(t6, coded(), order, 0, 0, flag_number_);
      t6.raw_flag = 1;
      codec::ExtractionOptions options;
      options.threshold = threshold_;
      options.flag_number = flag_number_;
      options.bit_order = order;
      options.min_width = min_width_;
      RowCounter counts;
      if (codec::extract_t6(t6, counts, options) < 0 || counts.summary.total_rows == 0 ||
          decodes_badly(counts.summary, kCodingT6)) {
        continue;
      }
      // The order that loses its way in fewer of its rows; most significant
      // bit first (as the programs that write such data do) on a tie.
      const auto share = [](const codec::ExtractionSummary& s) {
        return double(s.troubles) / double(s.total_rows);
      };
      if (best == 0 || share(counts.summary) < share(best_fit)) {
        best = order;
        best_fit = counts.summary;
      }
    }
  }
  free_coded();
  return best;
}

int RawFaxReader::drop_stopped_work() {
  // Half a row file is no row file, and the rows of an earlier stream are
  // not this one's: nothing stays.
  std::error_code ec;
  std::filesystem::remove(row_file_, ec);
  std::filesystem::remove(page_index_, ec);
  return codec::kExtractionStopped;
}

int RawFaxReader::read_descriptor(PageBitmap& page) {
  BinaryFile rows;
  std::array<std::uint8_t, kDescriptorSize> bytes{};
  if (!rows.open(row_file_) || rows.read_at(0, bytes) != bytes.size()) return -1;
  load_descriptor(page, bytes);
  total_rows_ = std::uint32_t(std::max(page.height, 0));
  return 0;
}

std::uint32_t RawFaxReader::standard_page_rows(std::uint8_t width_class, std::uint16_t vres) {
  if (width_class < 1 || width_class > 3) return kPageRows[0][0];
  const int column = vres <= 100 ? 0 : vres <= 200 ? 1 : vres <= 300 ? 2 : 3;
  return kPageRows[width_class - 1][column];
}

std::uint32_t RawFaxReader::page_geometry(std::uint8_t width_class, std::uint16_t vres) {
  rows_per_page_ = standard_page_rows(width_class, vres);
  return rows_per_page_;
}

std::uint16_t RawFaxReader::count_pages() {
  if (total_rows_ == 0) {
    PageBitmap own;
    if (read_descriptor(own) != 0) return 0;
  }
  if (rows_per_page_ == 0) return 0;
  const std::uint64_t pages =
      split_at_page_ends_ ? page_starts_.size()
                          : (std::uint64_t(total_rows_) + rows_per_page_ - 1) / rows_per_page_;
  return std::uint16_t(std::min<std::uint64_t>(pages, 0xFFFF));
}

bool RawFaxReader::page_extent(std::uint32_t index, std::uint32_t& first,
                               std::uint32_t& rows) const {
  if (rows_per_page_ == 0) return false;
  std::uint64_t begin = 0, end = 0;
  if (split_at_page_ends_) {
    if (index >= page_starts_.size()) return false;
    begin = page_starts_[index];
    end = index + 1 < page_starts_.size() ? page_starts_[index + 1] : total_rows_;
  } else {
    begin = std::uint64_t(index) * rows_per_page_;
    end = begin + rows_per_page_;
  }
  end = std::min<std::uint64_t>(end, total_rows_);
  if (begin >= end) return false;
  first = std::uint32_t(begin);
  rows = std::uint32_t(end - begin);
  return true;
}

RawPageResult RawFaxReader::load_raw_page(std::uint32_t index, PageBitmap& page) {
  // Every failure leaves the page without pixels and without rows, so that
  // it does not count as loaded.
  BinaryFile rows_file;
  if (!rows_file.open(row_file_)) {
    page.release_pixels();
    page.height = 0;
    return RawPageResult::kNoRowFile;
  }
  const std::uint16_t noted_xres = page.xres;
  page.release_pixels();
  std::array<std::uint8_t, kDescriptorSize> bytes{};
  if (rows_file.read_at(0, bytes) != bytes.size()) {
    page.height = 0;
    return RawPageResult::kRowFileEmpty;
  }
  load_descriptor(page, bytes);

  // The row file is ours, but it lives in a scratch folder: take nothing in
  // it on trust.
  total_rows_ = std::uint32_t(std::max(page.height, 0));
  std::uint32_t first = 0, rows = 0;
  if (page.width < 1 || page.width > limits::kMaxPageSide ||
      page.row_bytes != row_bytes_for(page.width) || !page_extent(index, first, rows)) {
    page.height = 0;
    return RawPageResult::kRowFileEmpty;
  }
  const std::int32_t height = std::int32_t(std::min<std::uint32_t>(rows, limits::kMaxPageSide));
  page.xres = std::max<std::uint16_t>(noted_xres, 200);
  if (const std::uint16_t v = vres_of_a4_length(rows_per_page_)) page.yres = v;

  const std::int64_t size = checked_page_bytes(height, page.row_bytes);
  if (size <= 0 || !page.allocate_pixels(size)) {
    page.height = 0;
    return RawPageResult::kNoMemory;
  }
  // Rows past the end of a short file stay white.
  std::fill(page.pixels.begin(), page.pixels.end(), std::uint8_t{0xFF});
  rows_file.read_at(std::int64_t(kDescriptorSize) + std::int64_t(first) * page.row_bytes,
                    page.pixels);
  page.height = height;
  return RawPageResult::kOk;
}

bool RawFaxReader::coded_page(std::uint32_t index, PassThroughPage& out) {
  PageBitmap desc;
  if (!is_open() || rows_per_page_ == 0 || read_descriptor(desc) != 0 ||
      (desc.coding != kCodingT4_1D && desc.coding != kCodingT4_2D) || desc.width < 1)
    return false;
  std::uint32_t first = 0, count = 0;
  if (!page_extent(index, first, count)) return false;
  if (coded().empty() || !rows_indexed_) {
    const std::int64_t size = file_size();
    if (size <= 0 || !read_coded(0, size, limits::kMaxFileBytes, nullptr) || coded().empty())
      return false;
  }
  if (!rows_indexed_) {
    rows_indexed_ = true;
    FileHandle index_file(std::fopen(page_index_.c_str(), "rb"));
    std::array<std::uint8_t, codec::kIndexHeaderSize> header{};
    if (!index_file || !read_index_header(index_file.get(), header)) return false;
    std::vector<codec::SegmentEntry> segments;
    const std::uint32_t entries = le32(&header[codec::kIndexEntryCountAt]);
    codec::SegmentEntry entry;
    for (std::uint32_t i = 0; i < entries && read_entry(index_file.get(), i, entry); ++i) {
      try {
        segments.push_back(entry);
      } catch (const std::bad_alloc&) {
        return false;
      }
    }
    coded_rows_.index(coded(), desc.bit_order != kBitOrderLsbFirst, segments);
  }
  if (!coded_rows_.page(coded(), first, count, page_data_)) return false;
  out = {};
  out.coded = page_data_;
  out.coding = desc.coding;
  out.bit_order = kBitOrderMsbFirst;
  out.width = std::uint32_t(desc.width);
  out.length = count;
  return true;
}

std::vector<std::uint32_t> RawFaxReader::entries_per_page(std::FILE* index, std::uint32_t entries,
                                                          std::uint32_t longest) const {
  // Fixed pages: as many whole segments as fit in a standard page length,
  // and never a segment split (the longest one sets the least page
  // length). Pages split at page ends: the segments of each page, which
  // the split cut so that none runs into the next page.
  const std::uint64_t limit = std::max<std::uint64_t>(rows_per_page_, longest);
  std::vector<std::uint32_t> page_entries;  // at most 1024 pages
  std::uint64_t sum = 0;
  std::uint32_t in_page = 0;
  std::size_t page = 0;
  auto close_page = [&] {
    if (page_entries.size() < limits::kMaxPages) page_entries.push_back(in_page);
    in_page = 0;
  };
  for (std::uint32_t i = 0; i < entries; ++i) {
    codec::SegmentEntry entry;
    if (!read_entry(index, i, entry)) break;
    if (split_at_page_ends_) {
      bool next_page = false;
      while (page + 1 < page_starts_.size() && sum >= page_starts_[page + 1]) {
        ++page;
        next_page = true;
      }
      if (next_page && in_page > 0) close_page();
    } else if (in_page > 0 && sum + entry.rows > limit) {
      close_page();
      sum = 0;
    }
    sum += entry.rows;
    ++in_page;
  }
  if (in_page > 0) close_page();
  return page_entries;
}

ConvertResult RawFaxReader::convert_raw(const std::filesystem::path& output,
                                        const PageBitmap& record_page) {
  if (!is_open()) return ConvertResult::kNoFile;
  if (record_page.coding != kCodingT4_1D && record_page.coding != kCodingT4_2D &&
      record_page.coding != kCodingT6) {
    return ConvertResult::kNoSource;
  }
  const std::int64_t size = file_size();
  // A stopped read is seen by the caller as a stopped conversion.
  if (size <= 0 || !read_coded(0, size, limits::kMaxFileBytes, control()) || coded().empty()) {
    free_coded();
    return ConvertResult::kNoFile;
  }
  const std::vector<std::uint8_t>& raw = coded();

  FileHandle index(std::fopen(page_index_.c_str(), "r+b"));
  std::array<std::uint8_t, codec::kIndexHeaderSize> header{};
  if (!index || !read_index_header(index.get(), header)) {
    free_coded();
    return ConvertResult::kNoSource;
  }
  std::fseek(index.get(), 0, SEEK_END);
  const long index_size = std::ftell(index.get());
  const std::uint64_t room =
      index_size > long(codec::kIndexHeaderSize)
          ? std::uint64_t(index_size - long(codec::kIndexHeaderSize)) / codec::kIndexEntrySize
          : 0;
  const std::uint32_t entries =
      std::uint32_t(std::min<std::uint64_t>(le32(&header[codec::kIndexEntryCountAt]), room));
  const std::vector<std::uint32_t> page_entries =
      entries_per_page(index.get(), entries, le32(&header[codec::kIndexLongestAt]));
  for (std::size_t p = 0; p < limits::kMaxPages; ++p) {
    put_le32(&header[codec::kIndexPageTableAt + 4 * p],
             p < page_entries.size() ? page_entries[p] : 0);
  }
  // The page table is a record for whoever reads the index next; the pages
  // below do not depend on it being written.
  if (std::fseek(index.get(), 0, SEEK_SET) == 0) {
    std::fwrite(header.data(), 1, header.size(), index.get());
    std::fflush(index.get());
  }
  if (page_entries.empty()) {
    free_coded();
    return ConvertResult::kNoSource;
  }

  std::vector<std::uint8_t> data;
  try {
    data.reserve(std::size_t(size));
  } catch (const std::bad_alloc&) {
    free_coded();
    return ConvertResult::kWriteFailed;
  }
  TiffWriter writer;
  if (!writer.create(output)) {
    free_coded();
    return ConvertResult::kWriteFailed;
  }
  writer.write_header();
  writer.reset_entries();
  const bool msb_first = record_page.bit_order == kBitOrderMsbFirst;
  // Pages past the 1024th have no place in the index header and are not
  // written; the page numbers count the pages written.
  const std::uint16_t written = std::uint16_t(page_entries.size());
  std::uint32_t next_entry = 0;
  for (std::uint16_t p = 0; p < written && !stop_requested(); ++p) {
    report(p, written);
    data.clear();
    std::uint64_t rows = 0;
    for (std::uint32_t k = 0; k < page_entries[p]; ++k, ++next_entry) {
      codec::SegmentEntry e;
      if (!read_entry(index.get(), next_entry, e)) break;
      if (e.last_byte < e.first_byte || e.last_byte >= raw.size() || e.start_bit > 7 ||
          e.end_bit > 8) {
        continue;
      }
      const std::size_t n = std::size_t(e.last_byte) - e.first_byte + 1;
      if (data.size() + n > data.capacity()) continue;
      const std::size_t at = data.size();
      data.insert(data.end(), raw.begin() + e.first_byte, raw.begin() + e.last_byte + 1);
      // Bits of the neighbouring segments become zero fill bits.
      data[at] &= bits_from(e.start_bit, msb_first);
      data.back() &= bits_before(e.end_bit, msb_first);
      rows += e.rows;
    }
    writer.set_coding_by_mode(record_page.coding, 0);
    writer.set_fill_order(msb_first ? 1 : 2);
    writer.set_size(std::uint32_t(std::max(record_page.width, 0)),
                    std::uint32_t(std::min<std::uint64_t>(rows, 0xFFFFFFFF)));
    writer.set_page_number(p, written);
    const std::uint32_t at = writer.write_page_data(data, record_page.xres, record_page.yres, 2);
    writer.write_directory(at);
  }
  free_coded();
  return writer.close() ? ConvertResult::kOk : ConvertResult::kWriteFailed;
}

bool RawFaxReader::page_facts(std::uint32_t index, PageFacts& out) {
  PageBitmap page;
  std::uint32_t first = 0, rows = 0;
  if (rows_per_page_ == 0 || read_descriptor(page) != 0 || page.width < 1 ||
      !page_extent(index, first, rows)) {
    return false;
  }
  out = {.width = std::uint32_t(page.width),
         .height = std::min<std::uint32_t>(rows, limits::kMaxPageSide),
         .xres = std::max<std::uint16_t>(page.xres, 200),
         .yres = vres_of_a4_length(rows_per_page_) ? vres_of_a4_length(rows_per_page_) : page.yres,
         .unit = page.unit,
         .coding = page.coding,
         .bit_order = page.bit_order};
  return true;
}

ConvertResult RawFaxReader::convert(const std::filesystem::path& output, std::uint16_t page_count) {
  (void)page_count;  // the pages come from the page index
  if (!is_open()) return ConvertResult::kNoFile;
  // Stand-in for the record's page: the descriptor with the resolutions a
  // loaded page gets.
  PageBitmap page;
  if (read_descriptor(page) != 0) return ConvertResult::kNoFile;
  page.xres = std::max<std::uint16_t>(page.xres, 200);
  if (const std::uint16_t v = vres_of_a4_length(rows_per_page_)) page.yres = v;
  return convert_raw(output, page);
}

}  // namespace orvane
