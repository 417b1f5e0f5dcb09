#include "base/fax_reader.h"

#include <algorithm>
#include <new>
#include <span>

namespace orvane {

void FaxReader::open(const std::filesystem::path& path) {
  file_.open(path);
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
