#pragma once
// Writes PDF 1.4 files of fax pages: each page one image whose data is
// CCITT-coded and read through the CCITTFaxDecode filter, drawn over the
// whole page. Objects are written as the pages come, followed by the page
// tree, the catalog, the document's information dictionary and its XMP
// metadata in step with it, the cross-reference table and the trailer with
// the file ID (PDF 1.4 sections 3.4 and 3.6).
//
// Every file keeps the rules of PDF/A-2b that a writer of fax pages can
// keep by itself (fonts embedded, no encryption, LZW, JavaScript or
// transparency, a binary comment after the header, a file ID, metadata in
// step); given the sRGB profile it also carries the output intent and
// declares itself PDF/A-2b.
//
// Failures are sticky: after a failed write every call does nothing and
// close() returns false.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_handle.h"
#include "codec/ccitt_filter_check.h"
#include "formats/pdf_metadata.h"
#include "formats/pdf_text_layer.h"

namespace orvane {

// One page: its CCITT data (most significant bit first), the filter's
// parameters (Columns and Rows are the image's size), and the page size in
// points (1/72 inch), and the words laid invisibly over it (none: a
// picture only). A page shown turned (`quarter_turns` clockwise, its
// /Rotate) keeps its image as it is; its words are placed on the page as
// it is shown, upright, whose width and height swap for an odd count.
struct PdfFaxPage {
  std::span<const std::uint8_t> data;
  codec::CcittFilterParameters filter;
  double width_points = 0;
  double height_points = 0;
  std::span<const PdfTextLine> text;
  int quarter_turns = 0;  // 0 to 3
};

class PdfWriter {
 public:
  PdfWriter();
  ~PdfWriter();
  PdfWriter(const PdfWriter&) = delete;
  PdfWriter& operator=(const PdfWriter&) = delete;

  // Creates `path` (replacing any file) and writes the header. False when
  // it cannot be created.
  bool create(const std::filesystem::path& path);
  // Appends one page. False (and the writer failed) when the page has no
  // data or no size, or a write failed.
  bool add_page(const PdfFaxPage& page);
  std::size_t pages_written() const { return page_objects_.size(); }
  // Writes the page tree, catalog, information dictionary and metadata,
  // cross-reference table and trailer, and closes the file. With an ICC
  // profile (sRGB) the file is PDF/A-2b: the profile is its output intent.
  // False when any write failed.
  bool close(const PdfDocumentInfo& info, std::span<const std::uint8_t> pdfa_profile = {});
  bool failed() const { return failed_; }

 private:
  std::uint32_t begin_object();
  std::uint32_t reserve_object();
  void begin_object(std::uint32_t number);
  void write(std::string_view text);
  void write(std::span<const std::uint8_t> bytes);
  // The page's content stream object: the image, and its words compressed.
  std::uint32_t write_contents(const PdfFaxPage& page);
  // A stream object (as `number` when it is reserved, else a new one) with
  // the dictionary `entries` besides its Length and Filter.
  std::uint32_t write_stream(std::string_view entries, std::string_view data, bool deflate,
                             std::uint32_t number = 0);
  // The text layer's font: the Type 0 font, its CIDFont, descriptor, font
  // program and ToUnicode map.
  void write_font();

  FileHandle file_;
  bool failed_ = false;
  std::uint64_t offset_ = 0;
  std::vector<std::uint64_t> object_offsets_;  // by object number - 1
  std::vector<std::uint32_t> page_objects_;
  std::uint32_t catalog_ = 0, pages_ = 0;
  std::uint32_t font_ = 0;  // reserved with the first page that has text, written by close()
  TextLayerCodes font_codes_;
  std::vector<std::uint8_t> deflated_;
  Md5 id_;  // of every byte written: the file ID
};

// A page size in points from the pixel size and resolutions the way the
// viewer sizes a page: unit 1 (none) is 200 x 100 dots per inch, unit 3
// dots per centimetre times 2.54 truncated, unit 2 as given; a resolution
// of 0 or any other unit draws one pixel per hundredth of an inch.
struct PageSizePoints {
  double width = 0;
  double height = 0;
};
PageSizePoints page_size_points(std::int32_t width, std::int32_t height, std::uint16_t xres,
                                std::uint16_t yres, std::uint8_t unit);

// The present time in UTC.
DocumentDate document_date_now();

}  // namespace orvane
