#pragma once
// The operations every reader with its own file format offers, so that the
// fax file record's open and load dispatches are tables over format numbers
// rather than switches.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "base/fax_reader.h"
#include "base/page_bitmap.h"
#include "base/pass_through_page.h"
#include "base/result.h"
#include "base/work_control.h"

namespace orvane {

// Results of a conversion.
enum class ConvertResult : std::int8_t {
  kOk = 0,
  kNoFile = -1,       // reader closed, or source is TIFF already
  kNoSource = -2,     // TIFF source unreadable
  kBadPage = -3,      // a directory could not be read midway
  kWriteFailed = -5,  // the output could not be written
  kNoPages = -6,      // not a single page could be written
  kStopped = -7,      // the caller asked for a stop; nothing written
};

// What a file states about a page without decoding it (TIFF directories,
// container page headers): for page lists and status bars. The page itself
// may still fail to decode.
struct PageFacts {
  std::uint32_t width = 0;   // 0: not stated (found by trial decoding)
  std::uint32_t height = 0;  // 0: not stated (the rows are counted while decoding)
  std::uint16_t xres = 0;
  std::uint16_t yres = 0;
  std::uint8_t unit = 0;       // TIFF ResolutionUnit
  std::uint8_t coding = 0;     // CodingMode, 0 when unknown
  std::uint8_t bit_order = 0;  // 1 MSB first, 2 LSB first, 0 unknown
  // How a received page arrived, where the file states it (TIFF-F's
  // BadFaxLines, ConsecutiveBadFaxLines, CleanFaxData); -1: not stated.
  struct Reception {
    std::int64_t bad_lines = -1;
    std::int64_t consecutive_bad = -1;
    std::int32_t clean = -1;  // 0 clean, 1 bad lines regenerated, 2 bad lines left
  } reception = {};
  // Why the page cannot be read, where the file's own fields already say so
  // (a TIFF page in LZW or in grey); empty otherwise, and the page may still
  // fail to decode.
  std::optional<Refusal> refusal = {};
  // TIFF DateTime and ImageDescription as the file has them (up to their
  // first 0); empty where it states none.
  std::string date_time = {};
  std::string description = {};
};

// "received with 12 bad lines (at most 3 in a row)", "received clean", or
// empty when the file says nothing of how the page arrived.
inline std::string reception_words(const PageFacts::Reception& r) {
  if (r.bad_lines > 0) {
    std::string words = "received with " + std::to_string(r.bad_lines) +
                        (r.bad_lines == 1 ? " bad line" : " bad lines");
    if (r.consecutive_bad > 0)
      words += " (at most " + std::to_string(r.consecutive_bad) + " in a row)";
    return words;
  }
  if (r.bad_lines == 0 || r.clean == 0) return "received clean";
  if (r.clean == 1) return "received with bad lines, regenerated";
  if (r.clean == 2) return "received with bad lines";
  return {};
}

class FormatReader : public FaxReader {
 public:
  // Confirms the file is of this format (signature). 0, or a negative
  // reader result; on rejection the reader has closed its file.
  virtual ReaderResult recognise() { return ReaderResult::kOk; }
  // Lists the pages; a count of 0 closes the file for table-based readers.
  virtual std::uint16_t build_page_table() = 0;
  // Whether a page counts as valid after counting (DCX, Bitware: only with pages).
  virtual bool valid_after_count(std::uint16_t count) const {
    (void)count;
    return true;
  }
  // Stream-analysis parameters copied in before every load (Bitware,
  // WinFax, Quick Link II use them).
  virtual void set_analysis(std::uint16_t threshold, std::uint8_t flag_number) {
    (void)threshold;
    (void)flag_number;
  }
  // Loads page `index` into `page`: its pixels and fields, or the reason
  // it cannot be read (the page is then left without pixels, its fields
  // as the file states them where it does).
  virtual Status load_page(std::uint32_t index, PageBitmap& page) = 0;
  // Why the page list ended before the file said it would (a page header
  // cut off, a page past the end); empty when it ended where it should.
  virtual std::optional<Refusal> page_list_end() const { return {}; }
  // Text stored with the page (WinFax page headers); empty for others.
  virtual std::string page_text(std::uint32_t index) {
    (void)index;
    return {};
  }
  // Page `index`'s coded data as it stands in the file, described in `out`
  // (whose data stays valid until the reader is used again). False for a
  // page that cannot be read and for readers whose pages are not kept as
  // one coded stream (the default).
  virtual bool coded_page(std::uint32_t index, PassThroughPage& out) {
    (void)index;
    (void)out;
    return false;
  }
  // What the file states about page `index`; false when it states nothing
  // usable without decoding (the default) or the page cannot be read.
  virtual bool page_facts(std::uint32_t index, PageFacts& out) {
    (void)index;
    (void)out;
    return false;
  }

  // The caller's progress and stop request for the long work that follows
  // (null: none). Not owned; set it for the work and clear it afterwards.
  void set_control(const WorkControl* control) { control_ = control; }
  const WorkControl* control() const { return control_; }
  bool stop_requested() const { return control_ && control_->stop_requested(); }

 protected:
  void report(std::int64_t done, std::int64_t total) const {
    if (control_) control_->report(done, total);
  }

 private:
  const WorkControl* control_ = nullptr;
};

}  // namespace orvane
