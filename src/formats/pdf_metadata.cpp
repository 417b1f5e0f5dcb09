#include "formats/pdf_metadata.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "formats/pdf_text_layer.h"

namespace orvane {

namespace {

std::string two(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

std::string four(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d", v);
  return buf;
}

void put_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// Text for XML character data: sound UTF-8, markup characters escaped, and
// what XML 1.0 does not allow (controls, U+FFFE and U+FFFF) as U+FFFD.
std::string xml_text(std::string_view utf8) {
  std::string out;
  for (char32_t c : utf8_characters(utf8)) {
    switch (c) {
      case '&': out += "&amp;"; continue;
      case '<': out += "&lt;"; continue;
      case '>': out += "&gt;"; continue;
      case '"': out += "&quot;"; continue;
      case '\'': out += "&apos;"; continue;
      default: break;
    }
    if (c == 0xFFFE || c == 0xFFFF) c = 0xFFFD;
    put_utf8(out, c);
  }
  return out;
}

std::string offset_text(const DocumentDate& d, bool pdf) {
  if (!d.utc_offset_minutes) return {};
  const int offset = *d.utc_offset_minutes;
  if (offset == 0) return "Z";
  const int a = std::abs(offset);
  const std::string sign = offset < 0 ? "-" : "+";
  return pdf ? sign + two(a / 60) + "'" + two(a % 60) + "'"
             : sign + two(a / 60) + ":" + two(a % 60);
}

}  // namespace

DocumentDate local_document_date(std::time_t t) {
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return {};
  return {
      local.tm_year + 1900, local.tm_mon + 1,         local.tm_mday, local.tm_hour, local.tm_min,
      local.tm_sec,         int(local.tm_gmtoff / 60)};
}

std::string pdf_date(const DocumentDate& d) {
  return "D:" + four(d.year) + two(d.month) + two(d.day) + two(d.hour) + two(d.minute) +
         two(d.second) + offset_text(d, true);
}

std::string xmp_date(const DocumentDate& d) {
  return four(d.year) + "-" + two(d.month) + "-" + two(d.day) + "T" + two(d.hour) + ":" +
         two(d.minute) + ":" + two(d.second) + offset_text(d, false);
}

std::string tiff_date(const DocumentDate& d) {
  return four(d.year) + ":" + two(d.month) + ":" + two(d.day) + " " + two(d.hour) + ":" +
         two(d.minute) + ":" + two(d.second);
}

std::optional<DocumentDate> parse_tiff_date(std::string_view text) {
  // Exactly "dddd?dd?dd dd:dd:dd": anything else (blank dates of
  // "    :  :     :  :  ", other orders) is no date.
  if (text.size() < 19) return std::nullopt;
  const auto digits = [&](std::size_t at, std::size_t n, int& out) {
    out = 0;
    for (std::size_t i = at; i < at + n; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      out = out * 10 + (text[i] - '0');
    }
    return true;
  };
  const char sep = text[4];
  if ((sep != ':' && sep != '-' && sep != '/') || text[7] != sep || text[10] != ' ' ||
      text[13] != ':' || text[16] != ':')
    return std::nullopt;
  DocumentDate d;
  if (!digits(0, 4, d.year) || !digits(5, 2, d.month) || !digits(8, 2, d.day) ||
      !digits(11, 2, d.hour) || !digits(14, 2, d.minute) || !digits(17, 2, d.second))
    return std::nullopt;
  if (d.year < 1900 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31 || d.hour > 23 ||
      d.minute > 59 || d.second > 60)
    return std::nullopt;
  return d;
}

std::string pdf_text_string(std::string_view utf8) {
  const std::u32string chars = utf8_characters(utf8);
  bool plain = true;
  for (const char32_t c : chars) plain = plain && c >= 0x20 && c < 0x7F;
  if (plain) {
    std::string out = "(";
    for (const char32_t c : chars) {
      if (c == '(' || c == ')' || c == '\\') out += '\\';
      out += char(c);
    }
    return out + ")";
  }
  std::string out = "<FEFF";
  const auto unit = [&](std::uint32_t u) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", unsigned(u));
    out += buf;
  };
  for (const char32_t c : chars) {
    if (c > 0xFFFF) {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      unit(c);
    }
  }
  return out + ">";
}

std::string pdf_info_entries(const PdfDocumentInfo& info) {
  std::string out;
  if (!info.title.empty()) out += "/Title " + pdf_text_string(info.title) + " ";
  if (!info.subject.empty()) out += "/Subject " + pdf_text_string(info.subject) + " ";
  out += "/Producer " + pdf_text_string(info.producer);
  if (info.created) out += " /CreationDate " + pdf_text_string(pdf_date(*info.created));
  if (info.modified) out += " /ModDate " + pdf_text_string(pdf_date(*info.modified));
  return out;
}

std::string xmp_packet(const PdfDocumentInfo& info, bool pdfa) {
  const auto alt = [](const char* name, const std::string& text) {
    return std::string("   <") + name + "><rdf:Alt><rdf:li xml:lang=\"x-default\">" +
           xml_text(text) + "</rdf:li></rdf:Alt></" + name + ">\n";
  };
  std::string out =
      "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
      "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
      " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
      "  <rdf:Description rdf:about=\"\"\n"
      "    xmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n"
      "    xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"\n"
      "    xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\"" +
      std::string(pdfa ? "\n    xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\"" : "") + ">\n" +
      "   <dc:format>application/pdf</dc:format>\n";
  if (!info.title.empty()) out += alt("dc:title", info.title);
  if (!info.subject.empty()) out += alt("dc:description", info.subject);
  if (info.created) out += "   <xmp:CreateDate>" + xmp_date(*info.created) + "</xmp:CreateDate>\n";
  if (info.modified) {
    out += "   <xmp:ModifyDate>" + xmp_date(*info.modified) + "</xmp:ModifyDate>\n";
    out += "   <xmp:MetadataDate>" + xmp_date(*info.modified) + "</xmp:MetadataDate>\n";
  }
  out += "   <pdf:Producer>" + xml_text(info.producer) + "</pdf:Producer>\n";
  if (pdfa)
    out += "   <pdfaid:part>2</pdfaid:part>\n   <pdfaid:conformance>B</pdfaid:conformance>\n";
  out +=
      "  </rdf:Description>\n"
      " </rdf:RDF>\n"
      "</x:xmpmeta>\n"
      "<?xpacket end=\"w\"?>";
  return out;
}

namespace {

// K[i] = floor(2^32 * |sin(i + 1)|) (RFC 1321 section 3.4).
const std::array<std::uint32_t, 64> kMd5Sines = [] {
  std::array<std::uint32_t, 64> k{};
  for (std::size_t i = 0; i < k.size(); ++i)
    k[i] = std::uint32_t(std::floor(std::fabs(std::sin(double(i + 1))) * 4294967296.0));
  return k;
}();
constexpr int kMd5Shifts[4][4] = {
    {7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

std::uint32_t rotl(std::uint32_t v, int n) {
  return (v << n) | (v >> (32 - n));
}

}  // namespace

Md5::Md5() : state_{0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u}, buffer_{} {}

void Md5::block(const std::uint8_t* p) {
  std::uint32_t m[16];
  for (int i = 0; i < 16; ++i)
    m[i] = std::uint32_t(p[4 * i]) | std::uint32_t(p[4 * i + 1]) << 8 |
           std::uint32_t(p[4 * i + 2]) << 16 | std::uint32_t(p[4 * i + 3]) << 24;
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (int i = 0; i < 64; ++i) {
    std::uint32_t f;
    int g;
    switch (i / 16) {
      case 0: f = (b & c) | (~b & d), g = i; break;
      case 1: f = (d & b) | (~d & c), g = (5 * i + 1) % 16; break;
      case 2: f = b ^ c ^ d, g = (3 * i + 5) % 16; break;
      default: f = c ^ (b | ~d), g = (7 * i) % 16; break;
    }
    f += a + kMd5Sines[std::size_t(i)] + m[g];
    a = d;
    d = c;
    c = b;
    b += rotl(f, kMd5Shifts[i / 16][i % 4]);
  }
  state_[0] += a, state_[1] += b, state_[2] += c, state_[3] += d;
}

void Md5::update(std::span<const std::uint8_t> bytes) {
  std::size_t fill = std::size_t(length_ % 64), at = 0;
  length_ += bytes.size();
  if (fill > 0) {
    const std::size_t take = std::min(64 - fill, bytes.size());
    std::memcpy(buffer_ + fill, bytes.data(), take);
    at = take;
    if (fill + take < 64) return;
    block(buffer_);
  }
  for (; at + 64 <= bytes.size(); at += 64) block(bytes.data() + at);
  if (at < bytes.size()) std::memcpy(buffer_, bytes.data() + at, bytes.size() - at);
}

std::array<std::uint8_t, 16> Md5::digest() {
  const std::uint64_t bits = length_ * 8;
  const std::uint8_t one = 0x80, zero = 0;
  update({&one, 1});
  while (length_ % 64 != 56) update({&zero, 1});
  std::uint8_t tail[8];
  for (int i = 0; i < 8; ++i) tail[i] = std::uint8_t(bits >> (8 * i));
  update(tail);
  std::array<std::uint8_t, 16> out{};
  for (int i = 0; i < 16; ++i) out[std::size_t(i)] = std::uint8_t(state_[i / 4] >> (8 * (i % 4)));
  return out;
}

}  // namespace orvane
