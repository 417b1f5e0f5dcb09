#pragma once
// Copies the pages of a TIFF fax file into a new multi-page TIFF without
// decoding them (FaxWizard, Zetafax and At Work files are TIFF inside).
#include <filesystem>

#include "base/work_control.h"

namespace orvane {

class TiffReader;

// From a reader whose header has been read: 0, -3 when a directory cannot be
// read midway (the pages before it are written), -5 when the output cannot be
// written.
int copy_tiff_pages(TiffReader& reader, const std::filesystem::path& output);

// From a file of its own: 0, -1 cannot be opened, -2 not TIFF or no pages,
// -3 / -5 as above.
int copy_tiff_file(const std::filesystem::path& source, const std::filesystem::path& output,
                   const WorkControl* control = nullptr);

}  // namespace orvane
