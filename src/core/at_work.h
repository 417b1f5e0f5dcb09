#pragma once
// At Work fax files are turned into TIFF by an outside converter program,
// when one is installed.
#include <filesystem>

#include "base/result.h"

namespace orvane {

// Name of the converter, looked up on PATH.
inline constexpr const char* kAtWorkConverter = "AWDVSTUB.EXE";

// Removes `temp_tiff`, runs the converter on `source` writing `temp_tiff`
// and waits for it. Ok when the converter ran; whether it wrote a TIFF is
// for the TIFF reader to find out. When it cannot be started, the reason
// (limits::Limit::kFile). The program is started with an argument vector,
// never through a shell.
Status convert_at_work_file(const std::filesystem::path& source,
                            const std::filesystem::path& temp_tiff);

}  // namespace orvane
