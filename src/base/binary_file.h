#pragma once
// A file opened for binary reading through a buffered stream. Reads are
// positioned and report how many bytes arrived, so a short file is a result,
// not an error state to be cleared.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>

#include "base/file_handle.h"

namespace orvane {

class BinaryFile {
 public:
  BinaryFile() = default;

  // Opens `path` read-only; false (and closed) when it cannot be opened or
  // is not a regular file (never waits on a FIFO).
  bool open(const std::filesystem::path& path);
  void close();
  bool is_open() const { return file_ != nullptr; }

  // The system's descriptor of the open file, -1 when closed.
  int descriptor() const;

  // Size measured when the file was opened.
  std::int64_t size() const { return size_; }

  // Reads up to out.size() bytes at `position`; returns the count read (0 on
  // a bad position or a closed file).
  std::size_t read_at(std::int64_t position, std::span<std::uint8_t> out);

 private:
  FileHandle file_;
  std::int64_t size_ = 0;
};

}  // namespace orvane
