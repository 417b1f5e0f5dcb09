#pragma once
// SFF, the structured fax files of ISDN fax cards: a 20-byte document
// header ("Sfff"), then per page a page header record and the page's rows
// as records of their own. Records are one byte of type and its data:
//   1..216   a Modified Huffman row of that many bytes, no EOL
//   0        a row whose byte count follows in two bytes
//   217..253 that many minus 216 white rows
//   254      a page header (its length follows; a length of 0 ends the file)
//   255 0    a row that arrived damaged: shown as the row before
//   255 n    n bytes of user data
// The page headers also point at one another, but receivers write them as
// the pages arrive and leave those offsets 0 or stale, so the pages are
// found as receivers find them: by walking the records in order.
#include <cstdint>
#include <optional>
#include <vector>

#include "base/format_reader.h"
#include "base/page_bitmap.h"

namespace orvane {

class SffReader : public FormatReader {
 public:
  static constexpr std::size_t kDocumentHeaderSize = 20;
  static constexpr std::size_t kPageHeaderSize = 18;  // the record byte and length included

  // 0, -1 no file, -2 shorter than the document header, -3 not "Sfff"
  // (the file is closed on either rejection).
  ReaderResult recognise() override;
  // Walks the records from the first page header to the end of the data. A
  // page header cut off by the end of the file, or no page header where the
  // document header puts the first one, ends the list: why is kept in
  // list_end(). A count of 0 closes the file.
  std::uint16_t build_page_table() override;
  bool valid_after_count(std::uint16_t count) const override { return count > 0; }
  Status load_page(std::uint32_t index, PageBitmap& page) override;
  // Width, rows (when the header states them), resolution and coding from
  // the page header alone.
  bool page_facts(std::uint32_t index, PageFacts& out) override;

  // Why the page list ended before the records did, or nothing when it
  // ended at the end of the data or at the end-of-document record.
  const std::optional<Refusal>& list_end() const { return list_end_; }
  std::optional<Refusal> page_list_end() const override { return list_end_; }
  // What the document header and the page headers claim about the pages
  // that the walk found otherwise (a page count, a last page header or a
  // next-page offset that is not where the walk found the page): none of it
  // is followed, but a file that disagrees with itself is worth telling.
  std::uint32_t hint_mismatches() const { return hint_mismatches_; }

 private:
  struct PageSpan {
    std::int64_t header = 0;  // position of the page header record
    std::int64_t data = 0;    // first record after the page header
    std::int64_t end = 0;     // the next page header, or the end of the records
  };
  // The page header of `index`, read from the file; false when unreadable.
  bool read_page_header(std::uint32_t index, std::uint8_t (&h)[kPageHeaderSize]);

  std::vector<PageSpan> spans_;
  std::optional<Refusal> list_end_;
  std::uint32_t hint_mismatches_ = 0;
};

}  // namespace orvane
