#pragma once
// Checks made on output names before anything is written, so that no
// command writes over one of its own inputs or over another of its outputs.
#include <filesystem>
#include <string>
#include <vector>

namespace orvane::cli {

// True when both paths name one existing file (the same path, or the same
// file through a link: same device and inode).
bool same_file(const std::filesystem::path& a, const std::filesystem::path& b);

// Empty when `output` may be written; otherwise a line naming the reason
// (a folder, or one of `inputs`, which is named).
std::string output_problem(const std::filesystem::path& output,
                           const std::vector<std::filesystem::path>& inputs);

// True when `output` names a character device or a FIFO (links followed):
// an output written into, whose name says nothing of the kind written.
bool is_stream_output(const std::filesystem::path& output);

// Extension of a file name in lower case (".tif").
std::string lower_extension(const std::filesystem::path& path);

}  // namespace orvane::cli
