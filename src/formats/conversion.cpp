#include "formats/conversion.h"

#include <new>
#include <vector>

#include "base/coding_mode.h"
#include "base/format_reader.h"
#include "formats/packbits_encoder.h"

namespace orvane {

namespace {

bool writable_coding(std::uint8_t coding) {
  return coding != kCodingUnknown && coding != kCodingPcxRle && coding <= kCodingPackBits;
}

PageResult write_page(TiffWriter& writer, std::span<const std::uint8_t> data, std::uint8_t coding,
                      std::uint16_t fill_order, std::uint32_t width, std::uint32_t length,
                      std::uint16_t index, std::uint16_t count, std::uint32_t xres,
                      std::uint32_t yres, std::uint16_t unit) {
  if (!writer.set_coding_by_mode(coding, 0)) return PageResult::kSkipped;
  writer.set_fill_order(fill_order);
  writer.set_size(width, length);
  writer.set_page_number(index, count);
  const std::uint32_t directory = writer.write_page_data(data, xres, yres, unit);
  writer.write_directory(directory);
  return writer.failed() ? PageResult::kFailed : PageResult::kWritten;
}

}  // namespace

PageResult write_packed_page(TiffWriter& writer, PageBitmap& page, std::uint16_t index,
                             std::uint16_t count) {
  if (writer.failed()) {
    page.release_pixels();
    return PageResult::kFailed;
  }
  const std::int64_t bytes = checked_page_bytes(page.height, page.row_bytes);
  if (!page.has_pixels() || page.height < 1 || page.row_bytes < 1 || bytes <= 0 ||
      std::int64_t(page.pixels.size()) < bytes) {
    page.release_pixels();
    return PageResult::kSkipped;
  }
  const std::span<std::uint8_t> pixels(page.pixels.data(), std::size_t(bytes));
  for (std::uint8_t& b : pixels) b = std::uint8_t(~b);

  std::vector<std::uint8_t> packed;
  std::int64_t packed_size = -1;
  try {
    packed.resize(pixels.size());
    packed_size = packbits_encode(pixels, std::size_t(page.row_bytes), packed);
  } catch (const std::bad_alloc&) {
    packed_size = -1;  // written uncompressed instead
  }
  const bool use_packed = packed_size >= 0;
  const std::span<const std::uint8_t> data =
      use_packed ? std::span<const std::uint8_t>(packed.data(), std::size_t(packed_size))
                 : std::span<const std::uint8_t>(pixels);
  const PageResult result =
      write_page(writer, data, use_packed ? kCodingPackBits : kCodingUncompressed, 1,
                 std::uint32_t(page.row_bytes) * 8, std::uint32_t(page.height), index, count,
                 page.xres, page.yres, 2);
  page.release_pixels();
  return result;
}

PageResult write_pass_through_page(TiffWriter& writer, const PassThroughPage& page,
                                   std::uint16_t index, std::uint16_t count) {
  if (writer.failed()) return PageResult::kFailed;
  if (page.coded.empty() || page.width == 0 || page.length == 0 || !writable_coding(page.coding))
    return PageResult::kSkipped;
  // FillOrder has only the values 1 and 2 (TIFF 6.0 section 8); a bit order
  // that was never found is written as the default.
  const std::uint16_t fill_order = page.bit_order == kBitOrderLsbFirst ? 2 : 1;
  return write_page(writer, page.coded, page.coding, fill_order, page.width, page.length, index,
                    count, page.xres, page.yres, page.unit);
}

TiffOutput::TiffOutput(const std::filesystem::path& path, const WorkControl* control)
    : control_(control) {
  created_ = writer_.create(path);
  if (!created_) return;
  writer_.write_header();
  writer_.reset_entries();
}

TiffOutput::~TiffOutput() {
  if (!closed_) close();
}

PageResult TiffOutput::count(PageResult result) {
  if (result == PageResult::kSkipped) ++skipped_;
  return result;
}

PageResult TiffOutput::packed_page(PageBitmap& page, std::uint16_t index, std::uint16_t count) {
  return this->count(write_packed_page(writer_, page, index, count));
}

PageResult TiffOutput::pass_through_page(const PassThroughPage& page, std::uint16_t index,
                                         std::uint16_t count) {
  return this->count(write_pass_through_page(writer_, page, index, count));
}

bool TiffOutput::close() {
  if (closed_) return closed_ok_;
  closed_ = true;
  if (!created_) return closed_ok_ = false;
  if (skipped_ != 0 && writer_.pages_written() != 0) writer_.renumber_pages();
  return closed_ok_ = writer_.close();
}

ConvertResult convert_by_decoding(FormatReader& reader, const std::filesystem::path& output,
                                  std::uint16_t page_count) {
  TiffOutput out(output, reader.control());
  PageBitmap page;
  for (std::uint16_t i = 0; i < page_count && out.ok(); ++i) {
    page.release_pixels();
    reader.load_page(i, page);
    out.packed_page(page, i, page_count);
    out.page_done(i, page_count);
  }
  return out.close() ? ConvertResult::kOk : ConvertResult::kWriteFailed;
}

}  // namespace orvane
