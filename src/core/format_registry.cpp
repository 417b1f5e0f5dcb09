#include "core/format_registry.h"

#include <array>
#include <cstring>

#include "base/binary_file.h"
#include "formats/apro_reader.h"
#include "formats/bitware_reader.h"
#include "formats/dcx_reader.h"
#include "formats/qrnfax_reader.h"
#include "formats/quicklink_reader.h"
#include "formats/raw_fax_reader.h"
#include "formats/winfax_reader.h"
#include "tiff/tiff_reader.h"

// A test build may append rows of its own (a header defining
// ORVANE_EXTRA_FORMAT_ROWS as rows followed by commas, and declaring what
// they use): the proof that one row is all a format needs.
#ifdef ORVANE_EXTRA_FORMAT_HEADER
#include ORVANE_EXTRA_FORMAT_HEADER
#endif
#ifndef ORVANE_EXTRA_FORMAT_ROWS
#define ORVANE_EXTRA_FORMAT_ROWS
#endif

namespace orvane {

namespace {

template <std::size_t N>
constexpr bool starts_with(std::span<const std::uint8_t> head, const char (&magic)[N],
                           std::size_t length = N - 1) {
  return head.size() >= length && std::memcmp(head.data(), magic, length) == 0;
}

// TIFF 6.0 section 2: the byte order mark and 42 in that order.
bool tiff_signature(std::span<const std::uint8_t> head) {
  return starts_with(head, "II*\0", 4) || starts_with(head, "MM\0*", 4);
}

// ".g3f" is used both for TIFF files and for bare fax data; the first bytes
// tell them apart.
std::int32_t probe_g3f(const std::filesystem::path& path) {
  BinaryFile file;
  if (!file.open(path)) return kFormatRawFax;
  std::array<std::uint8_t, 18> head{};  // bytes past the end count as 0
  file.read_at(0, head);
  if (head[2] == 0x2A && head[3] == 0) return kFormatZetafax;
  if (std::memcmp(head.data() + 1, "PC Research, Inc", 16) == 0) return kFormatUnsupported;
  return kFormatRawFax;
}

template <class Reader>
std::unique_ptr<FormatReader> make() {
  return std::make_unique<Reader>();
}

using enum FormatFamily;

// TIFF comes before the other TIFF-like rows: a TIFF header alone names
// TIFF. At Work files are read by an outside converter and checked by
// nobody here, so they have no signature.
const FormatRow kRows[] = {
    {kFormatTiff, "TIFF", {"tif", "tiff"}, tiff_signature, make<TiffReader>, kTiffLike},
    {kFormatRawFax, "raw fax data", {"g3f"}, nullptr, make<RawFaxReader>, kBareData, probe_g3f},
    {kFormatApro,
     "Apro",
     {"apf"},
     [](auto head) { return starts_with(head, "APF10"); },
     make<AproReader>,
     kContainer},
    {kFormatAtWork, "At Work", {"awd"}, nullptr, make<TiffReader>, kTiffLike},
    {kFormatBitware,
     "Bitware",
     {"bfx"},
     [](auto head) { return starts_with(head, "BIT  FAX"); },
     make<BitwareReader>,
     kContainer},
    {kFormatDcx,
     "DCX",
     {"dcx"},
     [](auto head) { return starts_with(head, "\xB1\x68\xDE\x3A"); },
     make<DcxReader>,
     kContainer},
    {kFormatFaxWizard, "FaxWizard", {"fmf"}, tiff_signature, make<TiffReader>, kTiffLike},
    {kFormatWinFax,
     "WinFax",
     {"fxd", "fxm", "fxr", "fxs"},
     nullptr,
     make<WinFaxReader>,
     kContainer},
    {kFormatQuickLink,
     "Quick Link II",
     {"qfx"},
     [](auto head) { return starts_with(head, "QLIIFAX\0", 8); },
     make<QuickLinkReader>,
     kContainer},
    {kFormatZetafax, "Zetafax", {"g3n"}, tiff_signature, make<TiffReader>, kTiffLike},
    {kFormatQrnFax,
     "QRN-FAX",
     {"qrn"},
     [](auto head) { return starts_with(head, "QRN-FAX"); },
     make<QrnFaxReader>,
     kContainer},
    {kFormatUnsupported,
     "unsupported fax format",
     {"bmp", "cal", "cals", "ras", "cg4", "img", "gp4", "mil", "oda", "ig4", "ds", ".ds", "ed"},
     nullptr,
     nullptr,
     kNone},
    {kFormatNotFax,
     "not a fax file",
     {"sys", "dll", "bat", "lnk", "txt", ".db", "zip", "rar"},
     nullptr,
     nullptr,
     kNone},
    ORVANE_EXTRA_FORMAT_ROWS};

}  // namespace

std::span<const FormatRow> format_rows() {
  return kRows;
}

const FormatRow* find_format(std::int32_t format) {
  for (const FormatRow& row : kRows)
    if (row.number == format) return &row;
  return nullptr;
}

std::string_view format_name(std::int32_t format) {
  const FormatRow* row = find_format(format);
  return row ? row->name : find_format(kFormatRawFax)->name;
}

bool is_raw_format(std::int32_t format) {
  const FormatRow* row = find_format(format);
  if (row && row->family != kNone) return row->family == kBareData;
  return format < 1 || format > kLastClassicFormat;
}

bool is_tiff_format(std::int32_t format) {
  const FormatRow* row = find_format(format);
  return row && row->family == kTiffLike;
}

std::int32_t reader_slot(std::int32_t format) {
  if (is_raw_format(format)) format = kFormatRawFax;
  const FormatRow* row = find_format(format);
  if (!row || !row->make_reader) return format;
  for (const FormatRow& other : kRows)
    if (other.make_reader == row->make_reader) return other.number;
  return format;
}

std::unique_ptr<FormatReader> make_reader(std::int32_t format) {
  const FormatRow* row = find_format(is_raw_format(format) ? kFormatRawFax : format);
  return row && row->make_reader ? row->make_reader() : nullptr;
}

std::string readable_format_list() {
  std::string list;
  for (const FormatRow& row : kRows) {
    if (!row.make_reader) continue;
    if (!list.empty()) list += ", ";
    list += row.name;
  }
  return list;
}

}  // namespace orvane
