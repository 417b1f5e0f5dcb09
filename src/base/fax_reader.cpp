#include "base/fax_reader.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <span>

namespace orvane {

void FaxReader::open(const std::filesystem::path& path) {
  file_.open(path);
}

bool MappedBytes::map(int fd, std::size_t size) {
  reset();
  if (fd < 0 || size == 0) return false;
  void* at = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (at == MAP_FAILED) return false;
  base_ = at;
  size_ = size;
  return true;
}

void MappedBytes::reset() {
  if (base_) ::munmap(base_, size_);
  base_ = nullptr;
  size_ = 0;
}

namespace {

// The whole pages of a mapping of `size` bytes at `base` inside [from, to).
bool whole_pages(const void* base, std::size_t size, std::int64_t from, std::int64_t to,
                 char*& start, std::size_t& length) {
  const auto page = std::int64_t(::sysconf(_SC_PAGESIZE));
  if (base == nullptr || page <= 0) return false;
  from = std::clamp<std::int64_t>(from, 0, std::int64_t(size));
  to = std::clamp<std::int64_t>(to, 0, std::int64_t(size));
  // The mapping starts on a page: offsets and addresses round alike.
  from = (from + page - 1) / page * page;
  to = to == std::int64_t(size) ? to : to / page * page;
  if (to <= from) return false;
  start = static_cast<char*>(const_cast<void*>(base)) + from;
  length = std::size_t(to - from);
  return true;
}

}  // namespace

void MappedBytes::release(std::int64_t from, std::int64_t to) const {
  char* start = nullptr;
  std::size_t length = 0;
  if (whole_pages(base_, size_, from, to, start, length)) ::madvise(start, length, MADV_DONTNEED);
}

void MappedBytes::read_ahead(std::int64_t from, std::int64_t to) const {
  const auto page = std::int64_t(::sysconf(_SC_PAGESIZE));
  from = std::clamp<std::int64_t>(from, 0, std::int64_t(size_));
  to = std::clamp<std::int64_t>(to, 0, std::int64_t(size_));
  if (base_ == nullptr || page <= 0 || to <= from) return;
  from = from / page * page;
  ::madvise(static_cast<char*>(base_) + from, std::size_t(to - from), MADV_WILLNEED);
}

void FaxReader::release() {
  close();
  free_coded();
}

int FaxReader::add_page(std::uint32_t position) {
  // A table that cannot grow ends the page list where it stands, as a full
  // one does.
  if (pages_.size() >= limits::kMaxPages) {
    table_cut_ = true;
    return -1;
  }
  try {
    pages_.push_back(position);
    listed_.insert(position);
  } catch (const std::bad_alloc&) {
    pages_.resize(page_count_);
    table_cut_ = true;
    return -1;
  }
  page_count_ = std::uint16_t(pages_.size());
  return 0;
}

bool FaxReader::is_listed(std::uint32_t position) const {
  return listed_.count(position) != 0;
}

std::uint32_t FaxReader::page_position(std::uint32_t index) const {
  return index < page_count_ ? pages_[index] : 0;
}

Status FaxReader::read_coded(std::int64_t position, std::int64_t length, std::int64_t limit,
                             const WorkControl* control) {
  free_coded();
  if (!file_.is_open() || position < 0 || length < 0)
    return Refusal(limits::Limit::kDamaged, "its data lies outside the file");
  // Never allocate more than the file can hold from this position.
  const std::int64_t available = std::max<std::int64_t>(0, file_.size() - position);
  const std::int64_t wanted = std::min(length, available);
  if (wanted > limit) {
    return Refusal(limit == limits::kMaxFileBytes ? limits::Limit::kWholeFile
                                                  : limits::Limit::kCodedPage);
  }
  try {
    // With a control the buffer grows piece by piece below: clearing a
    // gigabyte at once would be a long step that no stop can end.
    if (control)
      coded_.reserve(std::size_t(wanted));
    else
      coded_.resize(std::size_t(wanted));
  } catch (const std::bad_alloc&) {
    free_coded();
    return Refusal(limits::Limit::kMemory);
  }
  if (!control) {
    coded_.resize(file_.read_at(position, coded_));
    return {};
  }
  // A bare stream may be a gigabyte on a slow disk: small enough pieces
  // that a stop is seen within a moment and the progress moves.
  constexpr std::size_t kPiece = std::size_t(4) << 20;
  const std::size_t all = std::size_t(wanted);
  while (coded_.size() < all) {
    if (control->stop_requested()) {
      free_coded();
      return Refusal(limits::Limit::kNone, "stopped");
    }
    const std::size_t got = coded_.size();
    const std::size_t want = std::min(kPiece, all - got);
    coded_.resize(got + want);  // within the capacity reserved: no new allocation
    const std::size_t n =
        file_.read_at(position + std::int64_t(got), std::span(coded_).subspan(got, want));
    coded_.resize(got + n);
    control->report(std::int64_t(coded_.size()), std::int64_t(all));
    if (n < want) break;  // the file ended early (it shrank since it was measured)
  }
  return {};
}

}  // namespace orvane

namespace orvane {

Status FaxReader::map_whole(std::int64_t limit, const WorkControl* control) {
  mapped_.reset();
  if (!file_.is_open()) return Refusal(limits::Limit::kDamaged, "its data lies outside the file");
  // The size measured at the open, no more than the file holds now: a file
  // that shrank since is read as far as it goes.
  struct stat st {};
  if (::fstat(file_.descriptor(), &st) != 0)
    return Refusal(limits::Limit::kFile, "it cannot be read");
  const std::int64_t size = std::min<std::int64_t>(file_.size(), std::int64_t(st.st_size));
  if (size > limit) {
    return Refusal(limit == limits::kMaxFileBytes ? limits::Limit::kWholeFile
                                                  : limits::Limit::kCodedPage);
  }
  if (size <= 0) return {};
  if (!mapped_.map(file_.descriptor(), std::size_t(size))) return Refusal(limits::Limit::kMemory);
  if (!control) return {};
  // A bare stream may be a gigabyte on a slow disk: it is read ahead in
  // pieces small enough that a stop is seen within a moment and the
  // progress moves.
  constexpr std::int64_t kPiece = std::int64_t(4) << 20;
  for (std::int64_t at = 0; at < size; at += kPiece) {
    if (control->stop_requested()) {
      mapped_.reset();
      return Refusal(limits::Limit::kNone, "stopped");
    }
    const std::int64_t end = std::min(size, at + kPiece);
    mapped_.read_ahead(at, end);
    control->report(end, size);
  }
  return {};
}

}  // namespace orvane
