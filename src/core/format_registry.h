#pragma once
// Every file format this program names, one row each: its number, its name,
// the name endings that choose it, the signature its files begin with, the
// reader that opens it, its family and the MIME types the desktop gives its
// files. Classification, format names, reader creation, the family questions
// and the lists shown to users (orvane-cli formats, the Open dialog, the
// desktop's MIME types, completion, manual pages and guide, all generated
// from these rows) read them, so a new format is a reader file pair and one
// row.
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/format_reader.h"

namespace orvane {

// Format numbers chosen by classification. Stored in no file, but reported by
// orvane-cli and passed to every dispatch, so the numbers are fixed.
enum FaxFormat : std::int32_t {
  kFormatNotFax = -2,       // not a fax file: nothing is opened
  kFormatUnsupported = -1,  // a fax format we do not open
  kFormatRawFax = 0,
  kFormatApro = 1,
  kFormatAtWork = 3,
  kFormatBitware = 4,
  kFormatDcx = 7,
  kFormatFaxWizard = 10,
  kFormatWinFax = 11,
  kFormatQuickLink = 14,
  kFormatTiff = 16,
  kFormatZetafax = 17,
  kFormatQrnFax = 18,
  kFormatSff = 19,
};

// The numbers 1..18 are the classic list of fax formats; a number in it
// without a row is a format nobody reads here, and every other number
// without a row is taken as bare fax data.
inline constexpr std::int32_t kLastClassicFormat = 18;

enum class FormatFamily : std::uint8_t {
  kNone,       // a verdict, not a format: nothing is opened (-1, -2)
  kTiffLike,   // read by the TIFF reader (At Work after its outside converter)
  kBareData,   // coded rows without a header, found by trial decoding
  kContainer,  // a header and a page table of the format's own
};

// True when `head` (the file's first kSignatureBytes, or fewer for a short
// file) carries the format's signature; for a signature that is more than
// fixed bytes at the start (those are the row's `magic`).
using SignatureProbe = bool (*)(std::span<const std::uint8_t> head);
// For an ending that more than one format uses: what the file's first bytes
// make of it (a format number, -1 or -2).
using NameProbe = std::int32_t (*)(const std::filesystem::path& path);
using ReaderFactory = std::unique_ptr<FormatReader> (*)();

// How desktops type a format's files: a MIME type and the name endings
// that carry it, in the order lists show them.
struct FileType {
  std::string_view mime_type;
  // Empty: the row's own endings. Otherwise endings that classification
  // leaves to another rule (bare data is whatever no rule claims; ".g3f"
  // is decided by its first bytes) but under which users know the format.
  std::initializer_list<std::string_view> endings = {};
};

struct FormatRow {
  std::int32_t number = 0;
  std::string_view name;  // "TIFF", "DCX", "raw fax data", ...
  // Lower-case endings of the whole name (the dot is not needed: a name
  // without one that ends in such letters is classified the same way). No
  // ending may end another row's ending, so the order of rows never decides.
  std::initializer_list<std::string_view> endings = {};
  SignatureProbe signature = nullptr;   // null: the signature is `magic`, if any
  ReaderFactory make_reader = nullptr;  // null: nothing opens it; rows sharing one share a reader
  FormatFamily family = FormatFamily::kNone;
  NameProbe name_probe = nullptr;  // endings whose files the first bytes decide
  // Byte strings at the start of the file, any one of which is the format's
  // signature (empty: none, or `signature` decides).
  std::initializer_list<std::string_view> magic = {};
  // Bytes every file of the format starts with but too few to tell it by
  // (WinFax page headers start with two fixed bytes): classification
  // ignores them; the desktop weighs them low.
  std::initializer_list<std::string_view> hint_magic = {};
  // Empty for rows that are verdicts or formats nobody opens.
  std::initializer_list<FileType> file_types = {};
};

// Bytes of a file's start that signature probes look at.
inline constexpr std::size_t kSignatureBytes = 16;

// Every row. A signature shared by several rows (every TIFF-like format
// counts a TIFF header as its own) names the first of them when a file is
// recognised by its signature alone.
std::span<const FormatRow> format_rows();
// The row of `format`, or null.
const FormatRow* find_format(std::int32_t format);

// True when the row's format has a signature, and when `head` carries it.
bool has_signature(const FormatRow& row);
bool matches_signature(const FormatRow& row, std::span<const std::uint8_t> head);

// The endings of `type`, one of `row`'s file types, in list order.
std::span<const std::string_view> file_type_endings(const FormatRow& row, const FileType& type);

// The endings users know `row`'s files by, as every list shown to them
// gives them: those of its file types in list order (each once), or its
// own endings when it has no file type (verdict rows).
std::vector<std::string_view> shown_endings(const FormatRow& row);

// Short display name ("TIFF", "DCX", "raw fax data", ...); every number
// without a row is raw fax data.
std::string_view format_name(std::int32_t format);
// True for the numbers read as bare fax data: the bare-data rows, and every
// number outside the classic list that has no row of its own.
bool is_raw_format(std::int32_t format);
// True for the formats read by the TIFF reader.
bool is_tiff_format(std::int32_t format);

// Which reader serves `format`: the number of the first row with the same
// reader (every TIFF-like format shares the TIFF reader). Formats without a
// reader keep their own number.
std::int32_t reader_slot(std::int32_t format);
// A new reader for `format`, or null when no reader serves it.
std::unique_ptr<FormatReader> make_reader(std::int32_t format);

// "TIFF, raw fax data, Apro, ..." : the formats that open, for help texts.
std::string readable_format_list();

}  // namespace orvane
