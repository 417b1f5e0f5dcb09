#include "formats/dcx_reader.h"

#include <algorithm>
#include <span>
#include <string>

#include "base/byte_order.h"
#include "base/coding_mode.h"
#include "base/limits.h"

namespace orvane {

namespace {

// A page that cannot be shown: no pixels and no size, so the record does not
// take it for a page.
void drop_page(PageBitmap& page) {
  page.release_pixels();
  page.width = 0;
  page.height = 0;
}

std::int16_t le16s(const std::uint8_t* p) {
  return std::int16_t(le16(p));
}

// PCX run-length rows (ZSoft PCX version 3.0 encoding): `rows` rows of
// `row_size` bytes, of which one plane's `line_bytes` are decoded and the
// rest padded with 0.
void decode_pcx_rows(std::span<const std::uint8_t> coded, std::int32_t rows,
                     std::int32_t line_bytes, std::int32_t row_size, std::int32_t width,
                     std::span<std::uint8_t> pixels) {
  std::size_t in = 0;
  std::size_t out = 0;
  const std::size_t room = pixels.size();
  for (std::int32_t r = 0; r < rows; ++r) {
    // The counter runs in bytes of one plane; a run may carry it past the
    // line, and the rows then follow one another as stored.
    std::int64_t counter = 0;
    while (counter < line_bytes && in < coded.size()) {
      const std::uint8_t b = coded[in++];
      if (b <= 0xC0) {  // 0xC0 itself is a literal: a run of 0 is not a run
        if (counter <= width && out < room) pixels[out++] = b;
        ++counter;
        continue;
      }
      const std::int64_t count = b - 0xC0;
      if (in >= coded.size()) break;
      const std::uint8_t value = coded[in++];
      if (counter <= width) {
        const std::size_t n = std::size_t(std::min<std::int64_t>(count, std::int64_t(room - out)));
        std::fill_n(pixels.begin() + std::ptrdiff_t(out), n, value);
        out += n;
      }
      counter += count;
    }
    // PCX rows are an even number of bytes; what the line did not fill is 0.
    if (counter < row_size) {
      const std::int64_t pad = row_size - counter;
      const std::size_t n = std::size_t(std::min<std::int64_t>(pad, std::int64_t(room - out)));
      std::fill_n(pixels.begin() + std::ptrdiff_t(out), n, std::uint8_t(0));
      out += n;
    }
  }
}

}  // namespace

ReaderResult DcxReader::recognise() {
  if (!is_open()) return ReaderResult::kNoFile;
  std::array<std::uint8_t, 4> sig{};
  if (file_.read_at(0, sig) < sig.size()) {
    close();
    return ReaderResult::kUnreadable;
  }
  if (le32(sig.data()) != kSignature) {
    close();
    return ReaderResult::kBadSignature;
  }
  return ReaderResult::kOk;
}

std::uint16_t DcxReader::build_page_table() {
  clear_pages();
  if (!is_open()) return 0;
  const std::int64_t size = file_size();
  // The list may be unterminated; it can hold no more entries than the
  // file has words, and never more than the page table holds.
  std::array<std::uint8_t, 4> word{};
  for (std::int64_t at = 4;; at += 4) {
    if (file_.read_at(at, word) < word.size()) break;
    const std::uint32_t offset = le32(word.data());
    // An offset outside the file cannot start a page; taking it for the end
    // of the list keeps the bytes of a page from being read as offsets.
    if (offset == 0 || std::int64_t(offset) >= size) break;
    if (add_page(offset) != 0) break;
  }
  if (page_count_ == 0) close();
  return page_count_;
}

bool DcxReader::page_range(std::uint32_t index, std::int64_t& start, std::int64_t& end) const {
  if (index >= page_count_) return false;
  start = pages_[index];
  end = index + 1 < page_count_ ? std::int64_t(pages_[index + 1]) : file_.size();
  end = std::min(end, file_.size());
  // A next offset at or below this one, or too few bytes for the PCX header,
  // leaves nothing to decode.
  return end > start && end - start >= std::int64_t(kPcxHeaderSize);
}

bool DcxReader::pcx_geometry(const std::uint8_t* h, PcxGeometry& out) {
  out.width = std::int32_t(le16s(h + 8)) - le16s(h + 4) + 1;
  out.height = std::int32_t(le16s(h + 10)) - le16s(h + 6) + 1;
  out.planes = std::int8_t(h[65]);
  out.line_bytes = le16s(h + 66);
  out.row_size = out.planes * out.line_bytes;
  if (out.row_size % 2 != 0) ++out.row_size;
  // The stored row is what conversion writes as the page's width, so it has
  // to fit the widest page however few pixels the header's width asks for.
  return out.width >= 1 && out.height >= 1 && out.planes >= 1 && out.line_bytes >= 1 &&
         out.row_size <= limits::kMaxRowBytes && out.width <= limits::kMaxPageSide &&
         std::int64_t(out.height) * out.row_size <= limits::kMaxPageBytes;
}

std::optional<Refusal> DcxReader::colour_page(const std::uint8_t* header, const PcxGeometry& g) {
  // A fax page is one plane of one bit; the rows of any other PCX page
  // decode to noise.
  if (g.planes == 1 && header[3] == 1) return {};
  return Refusal(limits::Limit::kNotFaxPage, "a colour PCX page, " + std::to_string(g.planes) +
                                                 (g.planes == 1 ? " plane of " : " planes of ") +
                                                 std::to_string(int(std::int8_t(header[3]))) +
                                                 " bits");
}

Status DcxReader::load_page(std::uint32_t index, PageBitmap& page) {
  if (!is_open()) return Refusal(limits::Limit::kFile);
  std::int64_t start = 0, end = 0;
  // The header first: a page refused by its header costs no read of its data.
  if (!page_range(index, start, end) || file_.read_at(start, header_) < kPcxHeaderSize) {
    drop_page(page);
    return Refusal(limits::Limit::kDamaged, "its PCX header lies past the end of the file");
  }
  const std::uint8_t* h = header_.data();
  PcxGeometry g;
  if (!pcx_geometry(h, g)) {
    drop_page(page);
    if (g.width >= 1 && g.height >= 1 && g.planes >= 1 && g.line_bytes >= 1)
      return Refusal(limits::Limit::kPage);
    return Refusal(limits::Limit::kDamaged, "its PCX header states no size");
  }
  if (std::optional<Refusal> colour = colour_page(h, g)) {
    drop_page(page);
    return *colour;
  }
  Status read = read_coded(start, end - start);
  if (read && coded_.size() < kPcxHeaderSize)
    read = Refusal(limits::Limit::kDamaged, "its PCX data lies past the end of the file");
  if (read) read = page.allocate_pixels(std::int64_t(g.height) * g.row_size);
  if (!read) {
    free_coded();
    drop_page(page);
    return read;
  }
  page.type = 0;
  // Pixels beyond the stored row do not exist; a width past it would send
  // the display outside the row.
  page.width = std::min(g.width, g.row_size * 8);
  page.height = g.height;
  page.row_bytes = g.row_size;
  page.planes = std::int16_t(g.planes);
  page.bits_per_pixel = std::int8_t(h[3]);
  page.coded_length = std::uint32_t(coded_.size());
  // One density for both directions: the header's vertical one.
  page.xres = page.yres = le16(h + 14);
  page.unit = 2;
  page.coding = kCodingPcxRle;
  decode_pcx_rows(std::span(coded_).subspan(kPcxHeaderSize), g.height, g.line_bytes, g.row_size,
                  g.width, page.pixels);
  return {};
}

bool DcxReader::page_facts(std::uint32_t index, PageFacts& out) {
  std::int64_t start = 0, end = 0;
  std::array<std::uint8_t, kPcxHeaderSize> h{};
  PcxGeometry g;
  if (!is_open() || !page_range(index, start, end) || file_.read_at(start, h) < h.size() ||
      !pcx_geometry(h.data(), g))
    return false;
  // PCX rows are bytes of pixels, most significant first: there is no fill
  // order to state, so the bit order stays unknown as loading leaves it.
  out = {.width = std::uint32_t(std::min(g.width, g.row_size * 8)),
         .height = std::uint32_t(g.height),
         .xres = le16(h.data() + 14),
         .yres = le16(h.data() + 14),
         .unit = 2,
         .coding = kCodingPcxRle,
         .bit_order = 0,
         .refusal = colour_page(h.data(), g)};
  return true;
}

}  // namespace orvane
