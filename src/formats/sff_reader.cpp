#include "formats/sff_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string>

#include "base/byte_order.h"
#include "base/coding_mode.h"
#include "base/limits.h"
#include "codec/page_rows.h"
#include "codec/row_decoders.h"

namespace orvane {

namespace {

constexpr std::uint8_t kPageHeader = 254;
constexpr std::uint8_t kLongRow = 0;
constexpr std::uint8_t kLastShortRow = 216;
constexpr std::uint8_t kLastWhiteSkip = 253;

// The file read a block at a time for the walk over its records, so that a
// file of millions of one-byte records costs no read per record.
class BlockedBytes {
 public:
  explicit BlockedBytes(BinaryFile& file) : file_(file), size_(file.size()) {}
  // The byte at `at`, or -1 past the end of the file.
  int at(std::int64_t at) {
    if (at < 0 || at >= size_) return -1;
    if (at < start_ || at >= start_ + std::int64_t(filled_)) {
      start_ = at;
      filled_ = file_.read_at(at, block_);
      if (filled_ == 0) return -1;
    }
    return block_[std::size_t(at - start_)];
  }

 private:
  BinaryFile& file_;
  std::int64_t size_;
  std::int64_t start_ = 0;
  std::size_t filled_ = 0;
  std::array<std::uint8_t, 64 * 1024> block_{};
};

// One record of a page's data.
struct Record {
  enum Kind : std::uint8_t { kRow, kWhite, kCopy, kSkip, kPage, kEnd, kCut } kind = kCut;
  std::int64_t data = 0;   // kRow: where the coded row starts
  std::int64_t bytes = 0;  // kRow: its byte count; kWhite: the white rows
  std::int64_t next = 0;   // where the next record starts
};

// The record at `at`. kEnd at the end of the data or at the
// end-of-document record; kCut for a record the end of the data cuts off.
template <class Bytes>
Record read_record(Bytes& bytes, std::int64_t at) {
  Record r;
  const int type = bytes.at(at);
  if (type < 0) {
    r.kind = Record::kEnd;
    return r;
  }
  r.data = at + 1;
  if (type == kLongRow) {
    const int lo = bytes.at(at + 1), hi = bytes.at(at + 2);
    if (hi < 0) return r;
    r.kind = Record::kRow;
    r.data = at + 3;
    r.bytes = lo | hi << 8;
  } else if (type <= kLastShortRow) {
    r.kind = Record::kRow;
    r.bytes = type;
  } else if (type <= kLastWhiteSkip) {
    r.kind = Record::kWhite;
    r.bytes = type - kLastShortRow;
    r.next = at + 1;
    return r;
  } else if (type == kPageHeader) {
    const int length = bytes.at(at + 1);
    if (length < 0) return r;
    r.kind = length == 0 ? Record::kEnd : Record::kPage;
    r.next = at + 2 + length;
    return r;
  } else {  // 255: a damaged row (count 0) or user data
    const int count = bytes.at(at + 1);
    if (count < 0) return r;
    r.kind = count == 0 ? Record::kCopy : Record::kSkip;
    r.next = at + 2 + count;
    if (bytes.at(r.next - 1) < 0) r.kind = Record::kCut;
    return r;
  }
  r.next = r.data + r.bytes;
  // A row the end of the data cuts short is still a row: what arrived of
  // it is decoded, as a receiver shows a transmission that broke off.
  return r;
}

// The bytes of a page read into memory, with the same access.
struct MemoryBytes {
  std::span<const std::uint8_t> bytes;
  std::int64_t base = 0;  // file position of bytes[0]
  int at(std::int64_t at) const {
    const std::int64_t i = at - base;
    return i < 0 || i >= std::int64_t(bytes.size()) ? -1 : bytes[std::size_t(i)];
  }
};

std::uint16_t vertical_dpi(std::uint8_t code) {
  return code == 0 ? 98 : 196;
}

// A page header's fields the reader checks: 0 (Modified Huffman) is the
// only coding the format has.
std::uint8_t header_coding(const std::uint8_t* h) {
  return h[4];
}
std::uint16_t header_width(const std::uint8_t* h) {
  return le16(h + 6);
}

}  // namespace

ReaderResult SffReader::recognise() {
  if (!is_open()) return ReaderResult::kNoFile;
  std::array<std::uint8_t, kDocumentHeaderSize> h{};
  if (file_.read_at(0, h) < h.size()) {
    close();
    return ReaderResult::kUnreadable;
  }
  if (std::memcmp(h.data(), "Sfff", 4) != 0) {
    close();
    return ReaderResult::kBadSignature;
  }
  return ReaderResult::kOk;
}

std::uint16_t SffReader::build_page_table() {
  clear_pages();
  spans_.clear();
  list_end_.reset();
  hint_mismatches_ = 0;
  if (!is_open()) return 0;
  std::array<std::uint8_t, kDocumentHeaderSize> doc{};
  if (file_.read_at(0, doc) < doc.size()) {
    close();
    return 0;
  }
  const std::int64_t size = file_size();
  const std::int64_t first = le16(doc.data() + 10);
  BlockedBytes bytes(file_);
  // The first page header is the one offset that has to be followed: it
  // is the only way past the user data after the document header.
  if (first < std::int64_t(kDocumentHeaderSize) || bytes.at(first) != kPageHeader) {
    list_end_ = Refusal(limits::Limit::kDamaged,
                        first >= size ? "the first page header lies past the end of the file"
                                      : "there is no page header where the document header "
                                        "places the first one");
    close();
    return 0;
  }
  std::int64_t at = first;
  std::int64_t stop = size;  // where the last page's records end
  for (;;) {
    const Record r = read_record(bytes, at);
    if (r.kind == Record::kEnd) {
      stop = std::min(at, size);
      break;
    }
    if (r.kind == Record::kPage) {
      // A header the file cuts off states no page: the list ends with
      // the pages before it.
      if (r.next - at < std::int64_t(kPageHeaderSize) || r.next > size) {
        const std::string which = "page header " + std::to_string(spans_.size() + 1);
        list_end_ = Refusal(limits::Limit::kDamaged, r.next > size
                                                         ? which + " lies past the end of the file"
                                                         : which + " is too short to hold a page");
        stop = at;
        break;
      }
      if (!spans_.empty()) spans_.back().end = at;
      if (add_page(std::uint32_t(at)) != 0) {
        stop = at;
        break;
      }
      spans_.push_back({at, r.next, size});
    }
    // A record the end of the file cuts off is the last; what arrived of
    // a row in it is still decoded.
    if (r.kind == Record::kCut) break;
    at = r.next;
  }
  if (!spans_.empty()) spans_.back().end = stop;

  // What the headers claim. A page count and a last page header of 0 mean
  // "not known" (a document written while it was received); a next-page
  // offset of 0 or 1 means "none" or "not known".
  const std::uint16_t count = le16(doc.data() + 8);
  const std::uint32_t last = le32(doc.data() + 12);
  if (count != 0 && count != spans_.size()) ++hint_mismatches_;
  if (last != 0 && !spans_.empty() && last != spans_.back().header) ++hint_mismatches_;
  // The next-page offsets are taken from the start of the file or from the
  // page's own header, as writers differ; the last page has none.
  for (std::size_t i = 0; i < spans_.size(); ++i) {
    std::array<std::uint8_t, kPageHeaderSize> h{};
    if (file_.read_at(spans_[i].header, h) < h.size()) continue;
    const std::uint32_t next = le32(h.data() + 14);
    if (next <= 1) continue;
    const bool last_page = i + 1 == spans_.size();
    const std::int64_t found = last_page ? -1 : spans_[i + 1].header;
    if (last_page || (next != found && next != found - spans_[i].header)) ++hint_mismatches_;
  }
  if (spans_.empty()) close();
  return page_count_;
}

bool SffReader::read_page_header(std::uint32_t index, std::uint8_t (&h)[kPageHeaderSize]) {
  if (!is_open() || index >= spans_.size()) return false;
  return file_.read_at(spans_[index].header, h) == kPageHeaderSize;
}

Status SffReader::load_page(std::uint32_t index, PageBitmap& page) {
  std::uint8_t h[kPageHeaderSize];
  auto refuse = [&](Refusal why) {
    free_coded();
    page.release_pixels();
    page.width = 0;
    page.height = 0;
    return Status(std::move(why));
  };
  if (!read_page_header(index, h)) return refuse(Refusal(limits::Limit::kFile));
  if (header_coding(h) != 0)
    return refuse(
        Refusal(limits::Limit::kNotFaxCoding,
                "SFF coding " + std::to_string(header_coding(h)) + " is not Modified Huffman"));
  const std::int32_t width = header_width(h);
  if (width < 1) return refuse(Refusal(limits::Limit::kDamaged, "its page header states no width"));
  const PageSpan& span = spans_[index];
  Status read = read_coded(span.data, span.end - span.data);
  if (!read) return refuse(read.refusal());
  const MemoryBytes bytes{coded_, span.data};

  // The rows first, counted: the page header's count is 0 on a page
  // written as it was received.
  std::int64_t rows = 0;
  for (std::int64_t at = span.data;;) {
    const Record r = read_record(bytes, at);
    if (r.kind == Record::kEnd || r.kind == Record::kCut || r.kind == Record::kPage) break;
    if (r.kind == Record::kRow || r.kind == Record::kCopy) ++rows;
    if (r.kind == Record::kWhite) rows += r.bytes;
    at = r.next;
  }
  if (rows == 0) return refuse(Refusal(limits::Limit::kDamaged, "the page has no rows"));
  const std::int32_t row_bytes = row_bytes_for(width);
  const std::int64_t total = checked_page_size(width, rows, row_bytes);
  if (total < 0) return refuse(Refusal(limits::Limit::kPage));
  const std::uint8_t white = codec::page_background(0);
  if (Status got = page.allocate_pixels(total, white); !got) return refuse(got.refusal());

  page.type = 0;
  page.width = width;
  page.height = std::int32_t(rows);
  page.row_bytes = row_bytes;
  page.planes = 1;
  page.bits_per_pixel = 1;
  page.coded_length = std::uint32_t(coded_.size());
  page.xres = 203;
  page.yres = vertical_dpi(h[2]);
  page.unit = 2;
  page.bit_order = kBitOrderLsbFirst;
  page.coding = kCodingT4_1D;
  page.width_class = 0;
  page.invert = 0;

  std::int64_t r = 0;
  for (std::int64_t at = span.data; r < rows;) {
    const Record rec = read_record(bytes, at);
    if (rec.kind == Record::kEnd || rec.kind == Record::kCut || rec.kind == Record::kPage) break;
    at = rec.next;
    if (rec.kind == Record::kWhite) {
      r += rec.bytes;  // white already
    } else if (rec.kind == Record::kCopy) {
      if (r > 0)
        std::memcpy(page.row(std::int32_t(r)), page.row(std::int32_t(r - 1)),
                    std::size_t(row_bytes));
      ++r;
    } else if (rec.kind == Record::kRow) {
      const std::int64_t from =
          std::clamp<std::int64_t>(rec.data - span.data, 0, std::int64_t(coded_.size()));
      const std::int64_t to =
          std::clamp<std::int64_t>(from + rec.bytes, from, std::int64_t(coded_.size()));
      const std::span<const std::uint8_t> coded_row(coded_.data() + from, std::size_t(to - from));
      const codec::BitReader in(coded_row, true);
      codec::MhDecoder dec(in, width, 0, codec::MhRows::kToWidth);
      std::uint8_t* row = page.row(std::int32_t(r));
      const codec::RowStatus got =
          dec.next_row(codec::RunPainter(row, std::uint32_t(row_bytes), true));
      // What a row that broke off did not reach stays white.
      if (got != codec::RowStatus::kRow && got != codec::RowStatus::kLastRow) {
        const std::int64_t reached = std::clamp<std::int64_t>(dec.pixels(), 0, width);
        for (std::int64_t x = reached; x < width; ++x) row[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
      }
      ++r;
    }
  }
  free_coded();
  return {};
}

bool SffReader::page_facts(std::uint32_t index, PageFacts& out) {
  std::uint8_t h[kPageHeaderSize];
  if (!read_page_header(index, h) || header_coding(h) != 0 || header_width(h) == 0) return false;
  out = {.width = header_width(h),
         .height = le16(h + 8),
         .xres = 203,
         .yres = vertical_dpi(h[2]),
         .unit = 2,
         .coding = kCodingT4_1D,
         .bit_order = kBitOrderLsbFirst};
  return true;
}

}  // namespace orvane
