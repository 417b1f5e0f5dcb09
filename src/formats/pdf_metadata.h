#pragma once
// What a PDF says about itself: the document information dictionary and
// the XMP metadata stream that PDF/A asks for beside it, kept in step (the
// same title, subject, producer and dates in both), and the file ID.
#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orvane {

// A date and time of day, with its offset from UTC where it is known (a
// TIFF DateTime states none).
struct DocumentDate {
  int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  std::optional<int> utc_offset_minutes;
};

// `t` in the local time zone, with its offset.
DocumentDate local_document_date(std::time_t t);
// "D:YYYYMMDDHHmmSS" with "Z" or "+HH'mm'" when the offset is known (PDF
// 1.4 section 3.8.3).
std::string pdf_date(const DocumentDate& d);
// "YYYY-MM-DDTHH:MM:SS" with "Z" or "+HH:MM" when the offset is known (XMP,
// ISO 8601).
std::string xmp_date(const DocumentDate& d);
// "YYYY:MM:DD HH:MM:SS" (TIFF 6.0 DateTime; the offset is dropped).
std::string tiff_date(const DocumentDate& d);
// A TIFF DateTime ("YYYY:MM:DD HH:MM:SS"; writers also use '-' or '/'
// between the date's numbers); nothing when it is no date.
std::optional<DocumentDate> parse_tiff_date(std::string_view text);

struct PdfDocumentInfo {
  std::string title = {};    // UTF-8; empty: none
  std::string subject = {};  // UTF-8; empty: none
  std::string producer = "Orvane";
  std::optional<DocumentDate> created = {};   // the present time when none
  std::optional<DocumentDate> modified = {};  // the present time when none
};

// A text string for the information dictionary: a literal string when the
// text is printable ASCII, else UTF-16BE with its byte order mark (PDF 1.4
// section 3.8.1), as a hexadecimal string. Broken UTF-8 becomes U+FFFD.
std::string pdf_text_string(std::string_view utf8);

// The information dictionary's entries ("/Title (...) /Producer ...").
std::string pdf_info_entries(const PdfDocumentInfo& info);

// The XMP packet: dc:title, dc:description, xmp:CreateDate, ModifyDate and
// MetadataDate, pdf:Producer, and with `pdfa` the PDF/A-2b identification
// (pdfaid:part 2, pdfaid:conformance B). UTF-8, XML-escaped.
std::string xmp_packet(const PdfDocumentInfo& info, bool pdfa);

// MD5 (RFC 1321), fed piece by piece: the file ID is the digest of the
// file's bytes up to its trailer.
class Md5 {
 public:
  Md5();
  void update(std::span<const std::uint8_t> bytes);
  std::array<std::uint8_t, 16> digest();

 private:
  void block(const std::uint8_t* p);
  std::uint32_t state_[4];
  std::uint64_t length_ = 0;
  std::uint8_t buffer_[64];
};

}  // namespace orvane
