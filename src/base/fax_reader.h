#pragma once
// What every format reader shares: the open file, a table of page positions,
// and the coded bytes of the page being worked on.
#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/binary_file.h"
#include "base/limits.h"
#include "base/result.h"
#include "base/work_control.h"

namespace orvane {

// Results of reader operations.
enum class ReaderResult : std::int8_t {
  kOk = 0,
  kNoFile = -1,      // no open file, or no such page
  kUnreadable = -2,  // header or data cannot be read
  kBadSignature = -3,
};

// A whole file mapped read-only; not copied (one mapping, one owner).
class MappedBytes {
 public:
  MappedBytes() = default;
  MappedBytes(const MappedBytes&) = delete;
  MappedBytes& operator=(const MappedBytes&) = delete;
  ~MappedBytes() { reset(); }
  // Maps `size` bytes of the open file `fd` from its start; false (and
  // nothing mapped) when the system refuses.
  bool map(int fd, std::size_t size);
  void reset();
  std::span<const std::uint8_t> bytes() const {
    return {static_cast<const std::uint8_t*>(base_), size_};
  }
  // Hands the pages wholly inside bytes [from, to) back to the system: the
  // data stays, read again from the file when it is next touched.
  void release(std::int64_t from, std::int64_t to) const;
  // Asks the system to read bytes [from, to) in ahead of their use.
  void read_ahead(std::int64_t from, std::int64_t to) const;

 private:
  void* base_ = nullptr;
  std::size_t size_ = 0;
};

class FaxReader {
 public:
  virtual ~FaxReader() = default;

  // Opens `path` for reading (closing any previous file) and measures it.
  // When the path cannot be opened the reader stays closed.
  void open(const std::filesystem::path& path);
  bool is_open() const { return file_.is_open(); }
  void close() {
    file_.close();
    mapped_.reset();
  }
  // Close, and free the coded buffer.
  void release();

  // Adds a page position; -1 (and the position dropped) once the table is
  // full (limits::kMaxPages) or cannot grow.
  int add_page(std::uint32_t position);
  // The position of page `index` taken as a 16-bit number, or 0 when it is
  // not below the page count.
  std::uint32_t page_position(std::uint32_t index) const;
  std::uint16_t page_count() const { return page_count_; }
  // True when `position` is in the page table already: a chain of headers
  // or directories that comes back to it would never end by itself.
  bool is_listed(std::uint32_t position) const;
  void clear_pages() {
    pages_.clear();
    listed_.clear();
    page_count_ = 0;
    table_cut_ = false;
  }
  // True when the file lists more pages than the table holds: only the
  // first limits::kMaxPages are read.
  bool page_table_cut() const { return table_cut_; }

  std::int64_t file_size() const { return file_.size(); }

  // Reads `length` bytes at `position` into the coded buffer. The length is
  // checked against the file and `limit` first; bytes past the
  // end of the file are not invented: the buffer holds what was read.
  // Refuses (with an empty buffer) a length past the limit, or a buffer
  // that cannot be allocated.
  // At most `limit` bytes: a coded page, or for bare streams the whole file.
  // With a `control`, the bytes come in pieces: each piece is reported as
  // progress (bytes read of the bytes wanted), and a stop request ends the
  // read between pieces with a refusal and an empty buffer.
  Status read_coded(std::int64_t position, std::int64_t length,
                    std::int64_t limit = limits::kMaxCodedPageBytes,
                    const WorkControl* control = nullptr);
  const std::vector<std::uint8_t>& coded() const { return coded_; }
  std::vector<std::uint8_t>& coded() { return coded_; }
  void free_coded() { std::vector<std::uint8_t>().swap(coded_); }

  // The whole open file mapped read-only, for a bare stream that is read
  // from end to end more than once: its pages come in from the system's
  // file cache as they are read and can be handed back behind the reading
  // (mapped_bytes().release), so that a gigabyte stream does not take a
  // gigabyte of memory. The length is checked against `limit` first. With
  // a `control` the file is read ahead in pieces: each piece is reported as
  // progress, and a stop request ends the mapping between pieces with a
  // refusal and nothing mapped. The mapping lasts until the file is closed
  // or another is mapped.
  Status map_whole(std::int64_t limit, const WorkControl* control = nullptr);
  const MappedBytes& mapped_bytes() const { return mapped_; }
  void unmap() { mapped_.reset(); }

  BinaryFile& file() { return file_; }

 protected:
  BinaryFile file_;
  std::vector<std::uint32_t> pages_;
  // The same positions, for is_listed() on long chains.
  std::unordered_set<std::uint32_t> listed_;
  std::uint16_t page_count_ = 0;
  bool table_cut_ = false;
  std::vector<std::uint8_t> coded_;
  MappedBytes mapped_;
};

}  // namespace orvane
