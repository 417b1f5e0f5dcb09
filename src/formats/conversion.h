#pragma once
// The page steps every converter shares when it writes a TIFF fax file:
// a decoded page inverted and PackBits-packed (decode-and-pack), or a page's
// coded data copied unchanged (pass-through), and TiffOutput, which owns the
// writer for one conversion.
//
// Usage in a converter:
//   TiffOutput out(output_path);
//   if (!out.ok()) return ConvertResult::kWriteFailed;        // nothing was written
//   for (i ...) out.pass_through_page({.coded = coded(), .coding = 7, .bit_order = 2,
//                                      .width = w, .length = rows,
//                                      .xres = 200, .yres = y}, i, count);
//   return out.close() ? ConvertResult::kOk : ConvertResult::kWriteFailed;
//
// Pages that cannot be written (no pixels, no data, a coding TIFF cannot name)
// are left out; TiffOutput then renumbers the PageNumber fields of the pages
// it did write as 0..n-1 of n when it closes.
#include <cstdint>
#include <filesystem>
#include <span>

#include "base/format_reader.h"
#include "base/page_bitmap.h"
#include "base/pass_through_page.h"
#include "tiff/tiff_writer.h"

namespace orvane {

enum class PageResult {
  kWritten,
  kSkipped,  // nothing written for this page; the file is still sound
  kFailed,   // the writer failed; the file is not usable
};

// Decode-and-pack: inverts the page's pixels (a set bit becomes black, as
// PhotometricInterpretation 0 wants), PackBits-encodes them and writes them
// with Compression 32773, or uncompressed when the packed form does not fit
// in the raw size. FillOrder 1, ImageWidth = row bytes x 8, ImageLength =
// height, the page's resolutions, inch. The page's pixels are freed in every
// case. A page without pixels (or with fewer than height x row bytes) is
// skipped: its pixels are never read.
PageResult write_packed_page(TiffWriter& writer, PageBitmap& page, std::uint16_t index,
                             std::uint16_t count);

// Pass-through: writes the coded data as the page's single strip with the
// Compression that its coding mode names and FillOrder from its bit order.
// Skipped when the data is empty, the width or length is 0, or the coding is
// 0 (unknown), 2 (PCX run-length) or not a CodingMode.
PageResult write_pass_through_page(TiffWriter& writer, const PassThroughPage& page,
                                   std::uint16_t index, std::uint16_t count);

// One TIFF output file for one conversion: creates the file, writes the
// header and the fixed entries, counts pages written and left out.
class TiffOutput {
 public:
  // `control` (may be null) is asked between pages: a stop request makes
  // ok() false, and every page written or left out reports progress.
  explicit TiffOutput(const std::filesystem::path& path, const WorkControl* control = nullptr);
  ~TiffOutput();
  TiffOutput(const TiffOutput&) = delete;
  TiffOutput& operator=(const TiffOutput&) = delete;

  // False when the file could not be created, a write has failed or a stop
  // was asked for; a converter stops as soon as this is false.
  bool ok() const {
    return created_ && !writer_.failed() && !(control_ && control_->stop_requested());
  }

  PageResult packed_page(PageBitmap& page, std::uint16_t index, std::uint16_t count);
  PageResult pass_through_page(const PassThroughPage& page, std::uint16_t index,
                               std::uint16_t count);
  // For converters that set the fields themselves (TIFF to TIFF). Pages
  // written this way are counted by the writer; call note_skipped() for a
  // page left out so that close() renumbers.
  TiffWriter& writer() { return writer_; }
  void note_skipped() { ++skipped_; }
  // Page `index` of `count` is done (written or left out).
  void page_done(std::uint16_t index, std::uint16_t count) const {
    if (control_) control_->report(std::int64_t(index) + 1, count);
  }

  std::size_t pages_written() const { return writer_.pages_written(); }
  std::size_t pages_skipped() const { return skipped_; }

  // Renumbers the pages when some were left out, then closes the file. True
  // when the file was created and every write succeeded (a file with no page
  // is the 8-byte header alone; check pages_written()).
  bool close();

 private:
  PageResult count(PageResult result);

  TiffWriter writer_;
  const WorkControl* control_ = nullptr;
  bool created_ = false;
  bool closed_ = false;
  bool closed_ok_ = false;
  std::size_t skipped_ = 0;
};

// The whole pass-through conversion of a reader that reads its pages one at
// a time (WinFax, QRN-FAX): `read(i, page)` brings page i's coded data into
// the reader and describes it in `page`, or returns false to leave the page
// out. ConvertResult::kOk, or ConvertResult::kWriteFailed when the file could not be created
// or written.
template <typename ReadPage>
ConvertResult convert_by_pass_through(const FormatReader& reader,
                                      const std::filesystem::path& output, std::uint16_t page_count,
                                      ReadPage&& read) {
  TiffOutput out(output, reader.control());
  for (std::uint16_t i = 0; i < page_count && out.ok(); ++i) {
    PassThroughPage page;
    if (read(i, page)) {
      out.pass_through_page(page, i, page_count);
    } else {
      out.note_skipped();
    }
    out.page_done(i, page_count);
  }
  return out.close() ? ConvertResult::kOk : ConvertResult::kWriteFailed;
}

// The whole decode-and-pack conversion (DCX, Apro): loads every page with the
// reader and writes it with write_packed_page. ConvertResult::kOk, or
// ConvertResult::kWriteFailed when the file could not be created or written.
ConvertResult convert_by_decoding(FormatReader& reader, const std::filesystem::path& output,
                                  std::uint16_t page_count);

}  // namespace orvane
