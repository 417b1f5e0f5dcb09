#pragma once
// What the core's work gives back: a value, or the reason there is none.
// The reason is kept with the result that failed, from the check that
// refused the work to the command line or window that shows it, so no
// caller has to find the failure again.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "base/limits.h"

namespace orvane {

// Why a page, a file or a step of work gave nothing.
struct Refusal {
  // Which limit refused the work or which property put it outside what a
  // fax page can be; kNone when nothing more is known than that it failed.
  limits::Limit limit = limits::Limit::kNone;
  std::uint32_t detail = 0;  // the Compression or bits per sample found
  std::string text;          // the refusing check's own words, when it has them

  Refusal() = default;
  Refusal(limits::Limit which, std::uint32_t value = 0) : limit(which), detail(value) {}
  Refusal(limits::Limit which, std::string words) : limit(which), text(std::move(words)) {}

  // "Compression 5 (LZW) is not a fax coding", "StripOffsets missing",
  // "larger than the largest page ..."; empty when nothing is known.
  std::string cause() const { return text.empty() ? limits::describe(limit, detail) : text; }
  // Whether the cause is a size ("page 3 is larger than ...") rather than a
  // fault of the data ("page 3 does not decode: ...").
  bool is_size() const { return limits::is_size_limit(limit); }
  // What the command line and the window say of page `number` (from 1):
  // "page 3 does not decode: its directory cannot be read".
  std::string for_page(std::uint32_t number) const {
    const std::string which = "page " + std::to_string(number);
    const std::string why = cause();
    if (why.empty()) return which + " does not decode";
    return is_size() ? which + " is " + why : which + " does not decode: " + why;
  }
};

// Why the pixels of a page of `bytes` bytes could not be had: past the page
// limit (or negative, from a size that overflowed), else no memory.
Refusal pixels_refusal(std::int64_t bytes);
// Why a page decoded at `width` x `rows` came without pixels: past the
// page limit, else no memory.
Refusal missing_pixels(std::int64_t width, std::int64_t rows);
// Why the scratch folder could not take what was written there: "the
// temporary folder is full" for no space, a quota or a file-size limit
// (`error` is the errno of the failed write).
Refusal scratch_refusal(int error);

// Ok, or the reason the work failed.
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Refusal why) : why_(std::move(why)) {}
  Status(limits::Limit which, std::string words) : why_(Refusal(which, std::move(words))) {}

  bool ok() const { return !why_.has_value(); }
  explicit operator bool() const { return ok(); }
  // Only when !ok().
  const Refusal& refusal() const { return *why_; }

 private:
  std::optional<Refusal> why_;
};

// A value, or the reason there is none.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
  Result(Refusal why) : v_(std::in_place_index<1>, std::move(why)) {}
  Result(Status failed) : v_(std::in_place_index<1>, failed.refusal()) {}

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  // Only when ok().
  T& value() { return std::get<0>(v_); }
  const T& value() const { return std::get<0>(v_); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  // Only when !ok().
  const Refusal& refusal() const { return std::get<1>(v_); }
  Status status() const { return ok() ? Status() : Status(refusal()); }

 private:
  std::variant<T, Refusal> v_;
};

}  // namespace orvane
