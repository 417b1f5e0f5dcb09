#include "core/format_registry.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/binary_file.h"
#include "formats/apro_reader.h"
#include "formats/bitware_reader.h"
#include "formats/dcx_reader.h"
#include "formats/qrnfax_reader.h"
#include "formats/quicklink_reader.h"
#include "formats/raw_fax_reader.h"
#include "formats/sff_reader.h"
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
using namespace std::string_view_literals;

// TIFF comes before the other TIFF-like rows: a TIFF header alone names
// TIFF. At Work files are read by an outside converter and checked by
// nobody here, so they have no signature. TIFF and bare G3 data keep the
// types the desktop's own MIME database gives them.
const FormatRow kRows[] = {
    {.number = kFormatTiff,
     .name = "TIFF",
     .endings = {"tif", "tiff"},
     .make_reader = make<TiffReader>,
     .family = kTiffLike,
     // TIFF 6.0 section 2: the byte order mark and 42 in that order.
     .magic = {"II*\0"sv, "MM\0*"sv},
     .file_types = {{"image/tiff"}}},
    {.number = kFormatRawFax,
     .name = "raw fax data",
     .endings = {"g3f"},
     .make_reader = make<RawFaxReader>,
     .family = kBareData,
     .name_probe = probe_g3f,
     .file_types = {{"image/g3fax", {"g3"}}, {"image/x-ccitt-fax", {"g4", "mh", "mr", "mmr"}}}},
    {.number = kFormatApro,
     .name = "Apro",
     .endings = {"apf"},
     .make_reader = make<AproReader>,
     .family = kContainer,
     .magic = {"APF10"sv},
     .file_types = {{"image/x-apro-fax"}}},
    {.number = kFormatAtWork,
     .name = "At Work",
     .endings = {"awd"},
     .make_reader = make<TiffReader>,
     .family = kTiffLike,
     .file_types = {{"image/x-ms-awd"}}},
    {.number = kFormatBitware,
     .name = "Bitware",
     .endings = {"bfx"},
     .make_reader = make<BitwareReader>,
     .family = kContainer,
     .magic = {"BIT  FAX"sv},
     .file_types = {{"image/x-bitware-fax"}}},
    {.number = kFormatDcx,
     .name = "DCX",
     .endings = {"dcx"},
     .make_reader = make<DcxReader>,
     .family = kContainer,
     .magic = {"\xB1\x68\xDE\x3A"sv},
     .file_types = {{"image/x-dcx"}}},
    {.number = kFormatFaxWizard,
     .name = "FaxWizard",
     .endings = {"fmf"},
     .make_reader = make<TiffReader>,
     .family = kTiffLike,
     .magic = {"II*\0"sv, "MM\0*"sv},
     .file_types = {{"image/x-faxwizard"}}},
    {.number = kFormatWinFax,
     .name = "WinFax",
     .endings = {"fxd", "fxr", "fxs", "fxm"},
     .make_reader = make<WinFaxReader>,
     .family = kContainer,
     .hint_magic = {"\x0B\x23"sv},
     .file_types = {{"image/x-winfax"}}},
    {.number = kFormatQuickLink,
     .name = "Quick Link II",
     .endings = {"qfx"},
     .make_reader = make<QuickLinkReader>,
     .family = kContainer,
     .magic = {"QLIIFAX\0"sv},
     .file_types = {{"image/x-quicklink-fax"}}},
    {.number = kFormatZetafax,
     .name = "Zetafax",
     .endings = {"g3n"},
     .make_reader = make<TiffReader>,
     .family = kTiffLike,
     .magic = {"II*\0"sv, "MM\0*"sv},
     .file_types = {{"image/x-zetafax", {"g3f", "g3n"}}}},
    {.number = kFormatQrnFax,
     .name = "QRN-FAX",
     .endings = {"qrn"},
     .make_reader = make<QrnFaxReader>,
     .family = kContainer,
     .magic = {"QRN-FAX"sv},
     .file_types = {{"image/x-qrn-fax"}}},
    {.number = kFormatSff,
     .name = "SFF",
     .endings = {"sff"},
     .make_reader = make<SffReader>,
     .family = kContainer,
     .magic = {"Sfff"sv},
     .file_types = {{"image/x-sff"}}},
    {.number = kFormatUnsupported,
     .name = "unsupported fax format",
     .endings = {"bmp", "cal", "cals", "ras", "cg4", "img", "gp4", "mil", "oda", "ig4", "ds", ".ds",
                 "ed"}},
    {.number = kFormatNotFax,
     .name = "not a fax file",
     .endings = {"sys", "dll", "bat", "lnk", "txt", ".db", "zip", "rar"}},
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

bool has_signature(const FormatRow& row) {
  return row.signature || row.magic.size() > 0;
}

bool matches_signature(const FormatRow& row, std::span<const std::uint8_t> head) {
  if (row.signature) return row.signature(head);
  for (std::string_view magic : row.magic)
    if (head.size() >= magic.size() && std::memcmp(head.data(), magic.data(), magic.size()) == 0)
      return true;
  return false;
}

std::span<const std::string_view> file_type_endings(const FormatRow& row, const FileType& type) {
  const std::initializer_list<std::string_view>& list =
      type.endings.size() > 0 ? type.endings : row.endings;
  return {list.begin(), list.size()};
}

std::vector<std::string_view> shown_endings(const FormatRow& row) {
  std::vector<std::string_view> out;
  if (row.file_types.size() == 0) return {row.endings.begin(), row.endings.end()};
  for (const FileType& type : row.file_types)
    for (std::string_view ending : file_type_endings(row, type))
      if (std::find(out.begin(), out.end(), ending) == out.end()) out.push_back(ending);
  return out;
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
