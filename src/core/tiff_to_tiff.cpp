#include "core/tiff_to_tiff.h"

#include <algorithm>
#include <span>
#include <vector>

#include "base/format_reader.h"
#include "formats/conversion.h"
#include "tiff/tiff_reader.h"
#include "tiff/tiff_writer.h"

namespace orvane {

namespace {

std::uint32_t ratio(const std::uint32_t r[2]) {
  return r[1] ? r[0] / r[1] : 0;
}

// Each strip of a page is written as a strip of its own: strips of a T.6
// page are coded separately and would not decode as one. A page without a
// byte of data (no rows, or strips the file does not hold) is not written.
bool copy_page(TiffReader& reader, TiffWriter& writer, const TiffPage& desc, std::uint16_t index,
               std::uint16_t count) {
  if (reader.read_page_data(desc) != 0) return false;
  const auto& sizes = reader.strip_byte_counts();
  if (sizes.size() > 1) {
    std::vector<std::uint32_t> offsets(sizes.size());
    std::uint32_t at = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      offsets[i] = at;
      at += sizes[i];
    }
    const std::uint32_t rps = std::min<std::uint32_t>(desc.rows_per_strip, 0xFFFF);
    writer.set_strips(std::uint16_t(rps), std::move(offsets),
                      std::vector<std::uint32_t>(sizes.begin(), sizes.end()));
  }
  writer.set_coding_by_compression(desc.compression, desc.t4_options, desc.t6_options);
  // BlackIsZero data written as WhiteIsZero would show inverted; values other
  // than 0 and 1 are read as 0 (see decode_tiff_strip), so written as 0.
  writer.set_photometric(desc.photometric == 1 ? 1 : 0);
  // FillOrder is 1 or 2 (TIFF 6.0 section 8); any value but 1 was read
  // least significant bit first, and is written as the 2 that says so.
  writer.set_fill_order(desc.fill_order == 1 ? 1 : 2);
  writer.set_size(desc.image_width, desc.image_length);
  writer.set_page_number(index, count);
  const std::uint32_t dir = writer.write_page_data(reader.coded(), ratio(desc.x_resolution),
                                                   ratio(desc.y_resolution), desc.resolution_unit);
  writer.write_directory(dir);
  reader.free_coded();
  return true;
}

}  // namespace

ConvertResult copy_tiff_pages(TiffReader& reader, const std::filesystem::path& output) {
  const std::uint16_t count = reader.build_page_table();
  // Pages left out make the output renumber the pages it wrote.
  TiffOutput out(output, reader.control());
  if (!out.ok()) return ConvertResult::kWriteFailed;
  for (std::uint16_t i = 0; i < count; ++i) {
    if (reader.read_directory(reader.page_position(i)) <= 0) {
      return out.close() ? ConvertResult::kBadPage : ConvertResult::kWriteFailed;
    }
    TiffPage desc;
    reader.parse_directory(desc);
    // A page the reader refuses is no page to copy either.
    if (reader.refuse_page(desc) || !copy_page(reader, out.writer(), desc, i, count))
      out.note_skipped();
    out.page_done(i, count);
    if (!out.ok()) break;
  }
  return out.close() ? ConvertResult::kOk : ConvertResult::kWriteFailed;
}

ConvertResult copy_tiff_file(const std::filesystem::path& source,
                             const std::filesystem::path& output, const WorkControl* control) {
  TiffReader reader;
  reader.set_control(control);
  reader.open(source);
  if (!reader.is_open()) return ConvertResult::kNoFile;
  if (reader.read_header() != ReaderResult::kOk) return ConvertResult::kNoSource;
  if (reader.build_page_table() == 0) return ConvertResult::kNoSource;
  return copy_tiff_pages(reader, output);
}

ConvertResult TiffReader::convert(const std::filesystem::path& output, std::uint16_t) {
  return copy_tiff_pages(*this, output);
}

}  // namespace orvane
