#pragma once
// Writes multi-page little-endian TIFF fax files: per page the coded data as
// given (never re-encoded), the values, and a directory of 20 entries (21
// with an ImageDescription) chained to the previous one (TIFF 6.0 section 2).
//
// Failures are sticky: after a failed write, a refused page or a misuse
// (a directory at another position than its page data announced) every
// further call does nothing, failed() is true and close() returns false.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_handle.h"

namespace orvane {

class TiffWriter {
 public:
  static constexpr const char* kSoftware = "Veldmark Studio";

  TiffWriter();
  ~TiffWriter();
  TiffWriter(const TiffWriter&) = delete;
  TiffWriter& operator=(const TiffWriter&) = delete;

  // Opens `path` for writing, replacing any file (tries twice). False when
  // it cannot be created; the writer then writes nothing.
  bool create(const std::filesystem::path& path);
  void write_header();
  void reset_entries();

  // Per page. set_coding_by_mode refuses coding modes 0 and 2 (returns false).
  bool set_coding_by_mode(std::uint8_t coding_mode, std::uint16_t photometric);
  void set_fill_order(std::uint16_t fill_order);
  void set_size(std::uint32_t width, std::uint32_t length);
  void set_page_number(std::uint16_t index, std::uint16_t count);
  // DateTime as "YYYY:MM:DD HH:MM:SS" (empty: the local time of writing)
  // and ImageDescription (empty: none), for the pages written after.
  void set_date_time(std::string_view text);
  void set_description(std::string_view text);
  // Appends data and values; returns where the page's directory goes, or 0
  // (and the writer failed) when a position would pass 4 GiB or a write
  // failed.
  std::uint32_t write_page_data(std::span<const std::uint8_t> data, std::uint32_t xres,
                                std::uint32_t yres, std::uint16_t unit);
  void write_directory(std::uint32_t position);
  // Directories (pages) written so far.
  std::size_t pages_written() const { return page_number_fields_.size(); }
  // Rewrites the PageNumber of every page written as (k, pages written), for
  // a file in which pages were left out. False when the writer has failed.
  bool renumber_pages();
  // Closes the file; false when any write failed or the file outgrew 4 GiB.
  bool close();
  bool failed() const { return failed_; }

 private:
  struct Entry {
    std::uint16_t tag = 0, type = 0;
    std::uint32_t count = 0, value = 0;
  };
  void write_bytes(std::span<const std::uint8_t> bytes);
  void link_from_end(std::uint32_t directory_position);
  bool seek(std::uint64_t position);
  void fail();
  FileHandle file_;
  bool failed_ = false;
  std::uint64_t end_ = 0;
  std::uint32_t directory_link_ = 0;
  Entry entries_[21];
  std::string date_time_, description_;
  std::uint64_t pending_directory_ = 0;  // where write_directory must write
  // Where each written directory keeps its PageNumber value.
  std::vector<std::uint32_t> page_number_fields_;
};

}  // namespace orvane
