#pragma once
// DCX: a multi-page container of PCX images. A 4-byte signature, a list of
// page offsets ended by 0, then one PCX image (128-byte header and
// run-length coded rows) per page.
#include <array>
#include <cstdint>
#include <filesystem>

#include "base/format_reader.h"
#include "base/page_bitmap.h"

namespace orvane {

class DcxReader : public FormatReader {
 public:
  static constexpr std::uint32_t kSignature = 0x3ADE68B1;
  static constexpr std::size_t kPcxHeaderSize = 128;

  // 0, -1 no file, -2 fewer than 4 bytes, -3 wrong signature (file closed
  // on either rejection).
  ReaderResult recognise() override;
  // Reads the offset list from byte 4 up to a 0, an offset outside the file
  // or the end of the file. A count of 0 closes the file.
  std::uint16_t build_page_table() override;
  bool valid_after_count(std::uint16_t count) const override { return count > 0; }
  // Decodes the page's PCX rows as they are stored (1 = white for one-bit
  // pages). A page whose bytes run backwards, are shorter than the PCX
  // header or whose header gives an impossible size leaves no bitmap.
  Status load_page(std::uint32_t index, PageBitmap& page) override;
  // Size, density and coding from the page's PCX header alone.
  bool page_facts(std::uint32_t index, PageFacts& out) override;

 private:
  // What a PCX header says about the page's rows.
  struct PcxGeometry {
    std::int32_t width = 0;  // Xmax - Xmin + 1, as the header states it
    std::int32_t height = 0;
    std::int32_t planes = 0;
    std::int32_t line_bytes = 0;  // of one plane
    std::int32_t row_size = 0;    // all planes, made even
  };
  // False when the header gives a size no page may have.
  static bool pcx_geometry(const std::uint8_t* header, PcxGeometry& out);
  // Why a page of this header is no fax page (more planes or bits than one).
  static std::optional<Refusal> colour_page(const std::uint8_t* header, const PcxGeometry& g);
  // The byte range [start, end) of page `index`, or false when it has no
  // usable data.
  bool page_range(std::uint32_t index, std::int64_t& start, std::int64_t& end) const;

  std::array<std::uint8_t, kPcxHeaderSize> header_{};  // PCX header of the page read last
};

}  // namespace orvane
