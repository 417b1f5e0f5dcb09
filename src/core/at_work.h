#pragma once
// At Work fax files are turned into TIFF by an outside converter program,
// when one is installed.
#include <filesystem>

#include "base/result.h"

namespace orvane {

// Name of the converter, looked up on PATH.
inline constexpr const char* kAtWorkConverter = "AWDVSTUB.EXE";

// The environment variable that sets how long the converter may run, in
// seconds (a positive number; decimals allowed).
inline constexpr const char* kConverterTimeoutVariable = "ORVANE_CONVERTER_TIMEOUT";
inline constexpr double kConverterTimeoutDefault = 120;

// The limit when kConverterTimeoutVariable is not set: a program that
// must answer quickly (the thumbnailer) sets a shorter one at start.
void set_converter_time_limit(double seconds);
// The limit in force, in seconds.
double converter_time_limit();

// Removes `temp_tiff`, runs the converter on `source` writing `temp_tiff`
// and waits for it, at most converter_time_limit(). Ok when the converter
// ran to its end; whether it wrote a TIFF is for the TIFF reader to find
// out. When it cannot be started or runs out of time, the reason
// (limits::Limit::kFile). The program is started with an argument vector,
// never through a shell, in a process group of its own that is ended whole
// (with whatever the converter started) when it runs out of time, when
// end_converters() is called, and when this program ends, even by SIGKILL.
Status convert_at_work_file(const std::filesystem::path& source,
                            const std::filesystem::path& temp_tiff);

// Ends every converter still running, with its process group: for a
// program that is being interrupted. Safe from any thread (not from a
// signal handler).
void end_converters();

}  // namespace orvane
