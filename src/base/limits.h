#pragma once
// Hard limits on what a file may make us allocate or hold, in one place.
// Every size that comes from a file field is checked against these before
// any work is done; the check that refuses says which limit it was (a
// Refusal, base/result.h), so that the record and orvane-cli can say why a
// page is missing.
#include <cstddef>
#include <cstdint>
#include <string>

namespace orvane::limits {

// Largest page side in pixels (either direction).
inline constexpr std::int64_t kMaxPageSide = 65535;
// Fuzz builds take the same paths with smaller pages, files and page
// tables: a 256 MiB page or a gigabyte of decoded rows is legal, but one
// such input takes a minute under the fuzzing sanitizers, and one input must
// cost milliseconds for fuzzing to go deep. Every limit is still met and
// refused the same way, only sooner.
// Largest decoded page in bytes (rows x row bytes).
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
inline constexpr std::int64_t kMaxPageBytes = 512LL * 1024;
#else
inline constexpr std::int64_t kMaxPageBytes = 256LL * 1024 * 1024;
#endif
// Largest stored row: the widest page's pixels (conversion writes a
// container's stored row as the TIFF ImageWidth).
inline constexpr std::int64_t kMaxRowBytes = (kMaxPageSide + 7) / 8;
// Largest coded page read into memory at once (the strips of a TIFF page, a
// container's page); never more than the file holds either.
inline constexpr std::int64_t kMaxCodedPageBytes = 256LL * 1024 * 1024;
// Largest file we read into memory whole (bare fax streams).
inline constexpr std::int64_t kMaxFileBytes = 1024LL * 1024 * 1024;
// Largest row file raw extraction writes (decoded rows of a bare stream, on
// disk); rows past it are dropped as if the data ended there.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
inline constexpr std::int64_t kMaxRowFileBytes = 256LL * 1024;
#else
inline constexpr std::int64_t kMaxRowFileBytes = 1024LL * 1024 * 1024;
#endif
// Page tables of every reader hold at most this many positions: as many as
// a 16-bit page count can number.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
inline constexpr std::size_t kMaxPages = 16;
#else
inline constexpr std::size_t kMaxPages = 65535;
#endif

// Which limit refused a piece of work, or which property put a page
// outside what a fax page can be.
enum class Limit : std::uint8_t {
  kNone = 0,
  kPage,          // kMaxPageSide, kMaxRowBytes or kMaxPageBytes
  kCodedPage,     // kMaxCodedPageBytes
  kWholeFile,     // kMaxFileBytes
  kNotFaxCoding,  // a TIFF Compression no fax decoder handles (detail: its value)
  kNotBilevel,    // more than one bit per sample (detail: the bits)
  kTiled,         // a TIFF page stored in tiles (fax pages are stored in strips)
  kNotFaxPage,    // fields that make the page no fax page (colour, palette); see the text
  kDamaged,       // a field the page needs is missing, zero or unreadable; see the text
  kFile,          // the whole file cannot be read; see the text
  kMemory,        // the work needed more memory than there was
};

// True for the three size limits (the page is "larger than ..."); false
// for the page properties.
bool is_size_limit(Limit which);

// "larger than the largest page this program opens (65535 x 65535 pixels,
// 256 MiB)", "Compression 5 (LZW) is not a fax coding" and the like; empty
// for kNone.
std::string describe(Limit which, std::uint32_t detail = 0);

}  // namespace orvane::limits
