#pragma once
// Which reader serves which format number: the one table behind the fax
// file record's open, load and convert dispatches.
#include <cstdint>
#include <memory>

#include "base/format_reader.h"

namespace orvane {

// The reader slot of a format: formats sharing a reader share a slot (every
// TIFF-based format uses the TIFF reader, every value outside 1..18 the raw
// reader).
std::int32_t reader_slot(std::int32_t format);

// A new reader for a slot, or null for a format no reader serves (-1, -2 are
// never opened; the raw slot is 0).
std::unique_ptr<FormatReader> make_reader(std::int32_t slot);

}  // namespace orvane
