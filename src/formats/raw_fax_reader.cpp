#include "formats/raw_fax_reader.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "base/binary_file.h"
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
// How much of the stream read stays in memory behind the decoding (the
// trials and the extraction report where they are every 4096 rows).
constexpr std::int64_t kKeptBehind = std::int64_t(1) << 20;
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
  coded_rows_.clear();
}

int RawFaxReader::analyse(std::uint8_t bit_order_choice, bool nonstandard_widths) {
  total_rows_ = 0;
  coded_rows_.clear();
  page_starts_.clear();
  summary_ = {};
  coding_ = 0;
  analysis_refusal_ = {};
  if (!is_open()) return -1;
  const std::int64_t size = file_size();
  if (size <= 0) {
    close();
    return -1;
  }
  // The stream is mapped, not read: its pages come in as the decoding
  // reaches them and go back behind it.
  if (Status read = map_whole(limits::kMaxFileBytes, control());
      !read || mapped_bytes().bytes().empty()) {
    if (!read) analysis_refusal_ = read.refusal();
    unmap();
    return stop_requested() ? drop_stopped_work() : -1;
  }
  const std::span<const std::uint8_t> data = mapped_bytes().bytes();
  const MappedBytes& mapped = mapped_bytes();
  WorkControl reading(
      [&mapped](std::int64_t done, std::int64_t) { mapped.release(0, done - kKeptBehind); });
  codec::FaxCodec analysis;
  analysis.configure(data, kBitOrderMsbFirst, kCodingT4_1D, 0);
  analysis.control = control();
  analysis.reading = &reading;
  codec::FaxCodec t6;
  codec::configure_for_t6(t6, data, kBitOrderMsbFirst, 0, 0, flag_number_);
  t6.raw_flag = raw_file_ ? 1 : 0;
  t6.control = control();
  t6.reading = &reading;

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
  PageEndSplitter splitter(scratch, &scratch.coded_rows());
  codec::ExtractionSink& sink =
      split_at_page_ends_ ? static_cast<codec::ExtractionSink&>(splitter) : scratch;
  const int result = codec::extract_cleanest(analysis, t6, sink, options, orders);
  // Rows that could not be kept say nothing about the data: name the fault.
  if (result < 0 && scratch.error() != 0) analysis_refusal_ = scratch_refusal(scratch.error());
  if (split_at_page_ends_ && result >= 0) page_starts_ = splitter.page_starts();
  if (result >= 0) {
    summary_ = scratch.summary();
    coding_ = scratch.coding();
    coded_rows_ = std::move(scratch.coded_rows());
  }
  // Pages are served from the row file; conversion copies a page's rows
  // out of the stream, which stays mapped for it.
  mapped.release(0, std::int64_t(data.size()));
  if (stop_requested()) {
    unmap();
    return drop_stopped_work();
  }
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

Status RawFaxReader::load_page(std::uint32_t index, PageBitmap& page) {
  // Every failure leaves the page without pixels and without rows, so that
  // it does not count as loaded.
  const Refusal lost(limits::Limit::kFile,
                     "its decoded rows are no longer in the temporary folder");
  BinaryFile rows_file;
  if (!rows_file.open(row_file_)) {
    page.release_pixels();
    page.height = 0;
    return lost;
  }
  const std::uint16_t noted_xres = page.xres;
  page.release_pixels();
  std::array<std::uint8_t, kDescriptorSize> bytes{};
  if (rows_file.read_at(0, bytes) != bytes.size()) {
    page.height = 0;
    return lost;
  }
  load_descriptor(page, bytes);

  // The row file is ours, but it lives in a scratch folder: take nothing in
  // it on trust.
  total_rows_ = std::uint32_t(std::max(page.height, 0));
  std::uint32_t first = 0, rows = 0;
  if (page.width < 1 || page.width > limits::kMaxPageSide ||
      page.row_bytes != row_bytes_for(page.width) || !page_extent(index, first, rows)) {
    page.height = 0;
    return lost;
  }
  const std::int32_t height = std::int32_t(std::min<std::uint32_t>(rows, limits::kMaxPageSide));
  page.xres = std::max<std::uint16_t>(noted_xres, 200);
  if (const std::uint16_t v = vres_of_a4_length(rows_per_page_)) page.yres = v;

  const std::int64_t size = checked_page_bytes(height, page.row_bytes);
  if (Status room = size > 0 ? page.allocate_pixels(size) : Status(pixels_refusal(-1)); !room) {
    page.height = 0;
    return room;
  }
  // Rows past the end of a short file stay white.
  std::fill(page.pixels.begin(), page.pixels.end(), std::uint8_t{0xFF});
  rows_file.read_at(std::int64_t(kDescriptorSize) + std::int64_t(first) * page.row_bytes,
                    page.pixels);
  page.height = height;
  return {};
}

bool RawFaxReader::coded_page(std::uint32_t index, PassThroughPage& out) {
  PageBitmap desc;
  if (!is_open() || rows_per_page_ == 0 || read_descriptor(desc) != 0 ||
      (desc.coding != kCodingT4_1D && desc.coding != kCodingT4_2D) || desc.width < 1)
    return false;
  std::uint32_t first = 0, count = 0;
  if (!page_extent(index, first, count)) return false;
  if (mapped_bytes().bytes().empty() && !map_whole(limits::kMaxFileBytes)) return false;
  const std::span<const std::uint8_t> stream = mapped_bytes().bytes();
  const bool copied =
      coded_rows_.page(stream, desc.bit_order != kBitOrderLsbFirst, first, count, page_data_);
  // The page's part of the stream is not needed again soon.
  mapped_bytes().release(0, std::int64_t(stream.size()));
  if (!copied) return false;
  out = {};
  out.coded = page_data_;
  out.coding = desc.coding;
  out.bit_order = kBitOrderMsbFirst;
  out.width = std::uint32_t(desc.width);
  out.length = count;
  return true;
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

}  // namespace orvane
