#pragma once
// Copies the pages of a TIFF fax file into a new multi-page TIFF without
// decoding them (FaxWizard, Zetafax and At Work files are TIFF inside).
#include <filesystem>

#include "base/format_reader.h"
#include "base/work_control.h"

namespace orvane {

class TiffReader;

// From a reader whose header has been read: kOk, kBadPage when a directory
// cannot be read midway (the pages before it are written), kWriteFailed when
// the output cannot be written.
ConvertResult copy_tiff_pages(TiffReader& reader, const std::filesystem::path& output);

// From a file of its own: kNoFile when it cannot be opened, kNoSource when
// it is not TIFF or has no pages, else as above.
ConvertResult copy_tiff_file(const std::filesystem::path& source,
                             const std::filesystem::path& output,
                             const WorkControl* control = nullptr);

}  // namespace orvane
