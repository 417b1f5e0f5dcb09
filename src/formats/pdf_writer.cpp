#include "formats/pdf_writer.h"

#include <zlib.h>

#include <charconv>
#include <cstdio>
#include <ctime>
#include <new>

#include "formats/pdf_glyphless_font.h"

namespace orvane {

namespace {

// A number as PDF writes reals: fixed point, at most four decimals, no
// exponent and no locale (PDF 1.4 section 3.2.2).
std::string real(double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 4);
  std::string s(buf, r.ptr);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s;
}

std::string num(std::uint64_t v) {
  return std::to_string(v);
}
const char* flag(bool b) {
  return b ? "true" : "false";
}

std::string ref(std::uint32_t object) {
  return num(object) + " 0 R";
}

}  // namespace

PageSizePoints page_size_points(std::int32_t width, std::int32_t height, std::uint16_t xres,
                                std::uint16_t yres, std::uint8_t unit) {
  PageFields fields;
  fields.xres = xres;
  fields.yres = yres;
  fields.unit = unit;
  const Dpi dpi = shown_dpi(fields);
  return {width * 72.0 / dpi.x, height * 72.0 / dpi.y};
}

DocumentDate document_date_now() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  return {utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, 0};
}

PdfWriter::PdfWriter() = default;
PdfWriter::~PdfWriter() = default;

bool PdfWriter::create(const std::filesystem::path& path) {
  file_.reset(std::fopen(path.c_str(), "wb"));
  if (!file_) {
    failed_ = true;
    return false;
  }
  // The binary comment tells transfer programs the file is not text.
  write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
  catalog_ = reserve_object();
  pages_ = reserve_object();
  return !failed_;
}

void PdfWriter::write(std::string_view text) {
  write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()),
                                      text.size()));
}

void PdfWriter::write(std::span<const std::uint8_t> bytes) {
  if (failed_ || !file_) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
    failed_ = true;
    return;
  }
  id_.update(bytes);
  offset_ += bytes.size();
}

std::uint32_t PdfWriter::reserve_object() {
  object_offsets_.push_back(0);
  return std::uint32_t(object_offsets_.size());
}

void PdfWriter::begin_object(std::uint32_t number) {
  object_offsets_[number - 1] = offset_;
  write(num(number) + " 0 obj\n");
}

std::uint32_t PdfWriter::begin_object() {
  const std::uint32_t number = reserve_object();
  begin_object(number);
  return number;
}

bool PdfWriter::add_page(const PdfFaxPage& page) {
  const codec::CcittFilterParameters& f = page.filter;
  if (failed_ || !file_ || page.data.empty() || f.columns < 1 || f.rows < 1 ||
      !(page.width_points > 0) || !(page.height_points > 0)) {
    failed_ = true;
    return false;
  }
  // The image (PDF 1.4 section 4.8.4) with the filter's parameters (3.3.5).
  // A 1 bit is white in DeviceGray, as the filter gives white without BlackIs1.
  const std::uint32_t image = begin_object();
  write("<< /Type /XObject /Subtype /Image /Width " + num(std::uint32_t(f.columns)) + " /Height " +
        num(std::uint32_t(f.rows)) +
        " /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /CCITTFaxDecode\n"
        "/DecodeParms << /K " +
        std::to_string(f.k) + " /Columns " + num(std::uint32_t(f.columns)) + " /Rows " +
        num(std::uint32_t(f.rows)) + " /BlackIs1 " + flag(f.black_is_1) + " /EncodedByteAlign " +
        flag(f.encoded_byte_align) + " /EndOfLine " + flag(f.end_of_line) + " /EndOfBlock " +
        flag(f.end_of_block) + " >>\n/Length " + num(page.data.size()) + " >>\nstream\n");
  write(page.data);
  write("\nendstream\nendobj\n");

  const std::uint32_t contents = write_contents(page);
  const std::string font = font_ ? " /Font << /F1 " + ref(font_) + " >>" : std::string();
  const std::uint32_t page_object = begin_object();
  const int turns = page.quarter_turns & 3;
  write("<< /Type /Page /Parent " + ref(pages_) + " /MediaBox [0 0 " + real(page.width_points) +
        " " + real(page.height_points) + "]" +
        (turns ? " /Rotate " + std::to_string(turns * 90) : std::string()) +
        "\n/Resources << /ProcSet [/PDF /ImageB" + (font_ ? " /Text" : "") + "] /XObject << /Im0 " +
        ref(image) + " >>" + font + " >>\n/Contents " + ref(contents) + " >>\nendobj\n");
  if (failed_) return false;
  try {
    page_objects_.push_back(page_object);
  } catch (const std::bad_alloc&) {
    failed_ = true;
  }
  return !failed_;
}

std::uint32_t PdfWriter::write_contents(const PdfFaxPage& page) {
  std::string content =
      "q " + real(page.width_points) + " 0 0 " + real(page.height_points) + " 0 0 cm /Im0 Do Q\n";
  const std::string words = text_layer_operators(page.text, font_codes_);
  if (words.empty()) return write_stream("", content, false);
  if (font_ == 0) font_ = reserve_object();
  // The words stand on the page as shown: this maps its upright
  // coordinates back onto the page as stored, which /Rotate turns.
  const std::string w = real(page.width_points), h = real(page.height_points);
  switch (page.quarter_turns & 3) {
    case 1: content += "q 0 1 -1 0 " + w + " 0 cm\n" + words + "\nQ\n"; break;
    case 2: content += "q -1 0 0 -1 " + w + " " + h + " cm\n" + words + "\nQ\n"; break;
    case 3: content += "q 0 -1 1 0 0 " + h + " cm\n" + words + "\nQ\n"; break;
    default: content += words; break;
  }
  // Words compress about fourfold: the layer stays small beside the image.
  return write_stream("", content, true);
}

std::uint32_t PdfWriter::write_stream(std::string_view entries, std::string_view data, bool deflate,
                                      std::uint32_t number) {
  std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(data.data()),
                                      data.size());
  if (deflate) {
    uLongf size = compressBound(uLong(data.size()));
    try {
      deflated_.resize(size);
    } catch (const std::bad_alloc&) {
      failed_ = true;
      return 0;
    }
    if (compress2(deflated_.data(), &size, bytes.data(), uLong(bytes.size()), Z_BEST_COMPRESSION) !=
        Z_OK) {
      failed_ = true;
      return 0;
    }
    bytes = std::span<const std::uint8_t>(deflated_.data(), size);
  }
  if (number == 0) number = reserve_object();
  begin_object(number);
  // The stream's bytes lie between the line end after "stream" and the one
  // before "endstream", which Length leaves out (PDF/A-2 asks it so).
  write("<<" + std::string(entries) + " /Length " + num(bytes.size()) +
        (deflate ? " /Filter /FlateDecode" : "") + " >>\nstream\n");
  write(bytes);
  write("\nendstream\nendobj\n");
  return number;
}

void PdfWriter::write_font() {
  // A composite font over the embedded font of empty glyphs: code, CID and
  // glyph number are one (Identity-H, CIDToGIDMap Identity).
  const std::uint32_t descendant = reserve_object(), descriptor = reserve_object();
  const std::uint32_t program = reserve_object(), to_unicode = reserve_object();
  const std::string name = std::string("/") + kGlyphlessName;
  begin_object(font_);
  write("<< /Type /Font /Subtype /Type0 /BaseFont " + name +
        " /Encoding /Identity-H /DescendantFonts [" + ref(descendant) + "] /ToUnicode " +
        ref(to_unicode) + " >>\nendobj\n");
  begin_object(descendant);
  write("<< /Type /Font /Subtype /CIDFontType2 /BaseFont " + name +
        " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
        " /FontDescriptor " +
        ref(descriptor) + " /DW " + std::to_string(kTextLayerGlyphWidth) +
        " /CIDToGIDMap /Identity >>\nendobj\n");
  begin_object(descriptor);
  // Flags 4: symbolic, its glyphs are no standard Latin set.
  write("<< /Type /FontDescriptor /FontName " + name + " /Flags 4 /FontBBox [0 " +
        std::to_string(kGlyphlessDescent) + " " + std::to_string(kTextLayerGlyphWidth) + " " +
        std::to_string(kGlyphlessAscent) + "] /ItalicAngle 0 /Ascent " +
        std::to_string(kGlyphlessAscent) + " /Descent " + std::to_string(kGlyphlessDescent) +
        " /CapHeight " + std::to_string(kGlyphlessAscent) + " /StemV 80 /FontFile2 " +
        ref(program) + " >>\nendobj\n");
  // The glyph widths in font units are the PDF widths: 1000 units an em.
  static_assert(kGlyphlessUnitsPerEm == 1000);
  std::vector<std::uint8_t> font;
  try {
    font = glyphless_truetype(std::uint16_t(font_codes_.characters().size() + 1),
                              std::uint16_t(kTextLayerGlyphWidth));
  } catch (const std::bad_alloc&) {
    failed_ = true;
    return;
  }
  write_stream(" /Length1 " + num(font.size()),
               std::string_view(reinterpret_cast<const char*>(font.data()), font.size()), true,
               program);
  write_stream("", text_layer_to_unicode(font_codes_), true, to_unicode);
}

bool PdfWriter::close(const PdfDocumentInfo& document, std::span<const std::uint8_t> pdfa_profile) {
  if (!file_) return false;
  std::string kids;
  // Appended piece by piece: GCC 12 at -O3 mistakes "x" + string for an
  // overlapping copy (-Wrestrict, GCC bug 105329).
  for (const std::uint32_t p : page_objects_) {
    if (!kids.empty()) kids += ' ';
    kids += ref(p);
  }
  begin_object(pages_);
  write("<< /Type /Pages /Kids [" + kids + "] /Count " + num(page_objects_.size()) +
        " >>\nendobj\n");
  if (font_ != 0) write_font();

  // The dictionary and the metadata give the same dates.
  PdfDocumentInfo info = document;
  const DocumentDate now = document_date_now();
  if (!info.created) info.created = now;
  if (!info.modified) info.modified = now;
  const bool pdfa = !pdfa_profile.empty();
  // XMP is read as text by tools that know nothing of PDF: not compressed.
  const std::string xmp = xmp_packet(info, pdfa);
  const std::uint32_t metadata = write_stream(" /Type /Metadata /Subtype /XML", xmp, false);
  std::string intents;
  if (pdfa) {
    const std::uint32_t profile = write_stream(
        " /N 3",
        std::string_view(reinterpret_cast<const char*>(pdfa_profile.data()), pdfa_profile.size()),
        true);
    intents =
        " /OutputIntents [<< /Type /OutputIntent /S /GTS_PDFA1"
        " /OutputConditionIdentifier (sRGB IEC61966-2.1) /Info (sRGB IEC61966-2.1)"
        " /DestOutputProfile " +
        ref(profile) + " >>]";
  }
  begin_object(catalog_);
  write("<< /Type /Catalog /Pages " + ref(pages_) + " /Metadata " + ref(metadata) + intents +
        " >>\nendobj\n");
  const std::uint32_t info_object = begin_object();
  write("<< " + pdf_info_entries(info) + " >>\nendobj\n");

  // Cross-reference table: one 20-byte entry per object, object 0 free.
  const std::uint64_t xref = offset_;
  write("xref\n0 " + num(object_offsets_.size() + 1) + "\n0000000000 65535 f \n");
  for (const std::uint64_t at : object_offsets_) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010llu 00000 n \n", static_cast<unsigned long long>(at));
    write(entry);
  }
  // The table's offsets have ten digits.
  if (offset_ > 9999999999ull) failed_ = true;
  // The file ID: the digest of the file so far, twice (the file was never
  // updated).
  std::string id = "<";
  for (const std::uint8_t b : id_.digest()) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", b);
    id += hex;
  }
  id += ">";
  write("trailer\n<< /Size " + num(object_offsets_.size() + 1) + " /Root " + ref(catalog_) +
        " /Info " + ref(info_object) + " /ID [" + id + " " + id + "] >>\nstartxref\n" + num(xref) +
        "\n%%EOF\n");
  const bool flushed = std::fflush(file_.get()) == 0;
  const bool closed = std::fclose(file_.release()) == 0;
  return !failed_ && flushed && closed;
}

}  // namespace orvane
