#pragma once
// One open fax file: the reader of its format, the page count, the user's
// decoding parameters and the page bitmap of the page last loaded.
//
// Threading: a FaxFile is used by one thread at a time; it may be handed to
// another thread between calls (the viewer opens bare data on a worker while
// its window waits). Any number of records may work at once on as many
// threads, on the same file too, as long as each record has its own
// working paths (the scratch files of bare data and At Work). A LoadedPage
// is a plain value: it may be kept, copied and handed between threads and
// outlives the record. The only call meant for another thread while a
// record works is the WorkControl's request_stop().
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "base/format_reader.h"
#include "base/limits.h"
#include "base/page_bitmap.h"
#include "base/result.h"
#include "base/work_control.h"

namespace orvane {

class TiffReader;
class RawFaxReader;

// The decoding parameters a user can set; defaults as the viewer starts.
struct DecodingParameters {
  std::uint16_t threshold = 50;
  std::uint8_t flag_number = 3;
  std::uint8_t bit_order = 0;       // 0 find it, 1 MSB first, 2 LSB first
  std::uint16_t vres_override = 0;  // raw data: vertical resolution to use, 0 none
  bool nonstandard_widths = true;
  std::int16_t min_width = 1728;
  bool raw_file = false;  // a bare T.6 stream from its first byte
  // Bare data: pages end at each RTC or EOFB in the data instead of at the
  // standard page lengths (streams written page after page).
  bool split_at_page_ends = false;
};

// Results of FaxFile::open.
enum class OpenResult : std::int8_t {
  kOk = 0,        // see page_valid() for the first page
  kFailed = -1,   // the file cannot be opened
  kStopped = -2,  // the caller's stop request ended the work
};

// One page as loaded, by value: its pixels with its facts, or the reason
// it cannot be read.
struct LoadedPage {
  PageBitmap page;  // pixels only when loaded; else no pixels and no size
  // Why the page is not loaded, in the words of the reader that refused it
  // ("StripOffsets missing", "Compression 5 (LZW) is not a fax coding");
  // empty when it loaded.
  std::optional<Refusal> refusal = Refusal();
  std::string text;  // text stored with the page (WinFax)

  bool valid() const { return !refusal.has_value(); }
};

// The three scratch files of raw data and At Work conversion.
struct WorkingPaths {
  std::filesystem::path row_file;    // "orvtmp.tmp"
  std::filesystem::path page_index;  // "segtemp.tmp"
  std::filesystem::path temp_tiff;   // "tmptif"
};

class FaxFile {
 public:
  FaxFile();
  ~FaxFile();
  FaxFile(const FaxFile&) = delete;
  FaxFile& operator=(const FaxFile&) = delete;

  void set_working_paths(const WorkingPaths& paths) { paths_ = paths; }
  const WorkingPaths& working_paths() const { return paths_; }
  // Stores the parameters and sets the page count to 0.
  void set_parameters(const DecodingParameters& params);
  const DecodingParameters& parameters() const { return params_; }
  DecodingParameters& parameters() { return params_; }

  // Whether open() loads page 0: an export that takes its pages one by one
  // skips it, so that no page is decoded twice.
  enum class FirstPage { kLoad, kSkip };

  // Empties the page bitmap, opens `path` as `format` (remembered for the
  // calls below that take no format) and loads page 0 (with
  // FirstPage::kSkip only when the file lists no page, for what the failed
  // load notes; page_valid() is then false). OpenResult::kFailed when the
  // file cannot be opened, OpenResult::kStopped when `control` asked for a stop
  // (bare data: nothing of the analysis is kept, the record is empty and
  // usable), else OpenResult::kOk; see page_valid(). `control` follows the
  // analysis and extraction of bare data.
  OpenResult open(const std::filesystem::path& path, std::int32_t format,
                  const WorkControl* control = nullptr, FirstPage first = FirstPage::kLoad);
  // The format of the last open (kFormatNotFax before the first).
  std::int32_t format() const { return format_; }

  // Loads page `index` (from 0) as a value, leaving the record's page
  // bitmap alone: two pages can be held at once.
  LoadedPage read_page(std::uint32_t index);
  // What the file states about page `index` without decoding it (TIFF
  // directories, container headers, the extracted rows of bare data);
  // false when it states nothing.
  bool page_facts(std::uint32_t index, PageFacts& out);
  // The text stored with page `index` (WinFax page headers), read without
  // decoding the page; empty for other formats.
  std::string stated_text(std::uint32_t index);

  // Loads page `index` (from 0) into the record's page bitmap; see
  // page_valid().
  void load_page(std::int32_t format, std::uint32_t index);
  // Puts a page that read_page() gave (maybe on another record of the same
  // file, on another thread) into the page bitmap, as load_page() would
  // have left it.
  void take_page(LoadedPage&& loaded);
  // Raw data only: pages again after the vertical resolution changed.
  std::uint16_t recount_raw_pages();
  // Bare data: how the rows of the last open decoded. `doubtful` when
  // decoding lost its way so often that the pages may be noise (a wrong
  // width, bit order or coding that passed the analysis; see
  // RawFaxReader::decodes_badly). All zero for other formats.
  struct RawDecoding {
    std::uint32_t rows = 0;
    std::uint32_t troubles = 0;
    bool doubtful = false;
  };
  RawDecoding raw_decoding();
  // Bare data: the bit order in which the file decodes cleanly as T.6 from
  // its first byte (Group 4 data without 0xFF bytes in front), 0 when it
  // does not or the file is no bare data. Decodes the file's start again.
  std::uint8_t raw_t6_order_from_first_byte();

  const PageBitmap& page() const { return page_; }
  PageBitmap& page() { return page_; }
  bool page_valid() const { return page_valid_; }
  std::uint16_t page_count() const { return page_count_; }
  const std::string& page_text() const { return page_text_; }
  // Why the last opened or loaded page is not there (LoadedPage::refusal),
  // or why the file gave no page at all (an At Work file without its
  // converter, bare data too large to hold); empty when it loaded.
  const std::optional<Refusal>& page_refusal() const { return page_refusal_; }

  // True when the file lists more pages than are read (limits::kMaxPages).
  bool pages_cut(std::int32_t format) { return reader_for(format).page_table_cut(); }

  // The reader that serves `format`, created on first use.
  FormatReader& reader_for(std::int32_t format);

 private:
  OpenResult open_with_reader(const std::filesystem::path& path, std::int32_t format);
  OpenResult open_at_work(const std::filesystem::path& path);
  OpenResult open_raw(const std::filesystem::path& path, const WorkControl* control);
  // Loads page 0 after an open, unless the open was asked to skip it.
  void load_first(std::int32_t format);
  void load(std::int32_t format, std::uint32_t index);
  // Loads page `index` of `format` starting from `start` (whose fields some
  // readers keep where the file says nothing).
  LoadedPage load_value(std::int32_t format, std::uint32_t index, PageBitmap start);
  RawFaxReader& raw_reader();
  TiffReader& tiff_reader();

  WorkingPaths paths_;
  DecodingParameters params_;
  std::int32_t format_ = -2;
  std::map<int, std::unique_ptr<FormatReader>> readers_;
  PageBitmap page_;
  bool page_valid_ = false;
  // Raw data: the stream analysis of the last open succeeded, so pages can
  // be loaded (a page that fails to load does not change that).
  bool raw_analysed_ = false;
  std::uint16_t page_count_ = 0;
  std::string page_text_;
  std::optional<Refusal> page_refusal_;
  // Why the open found no page (the converter, the analysis of bare data).
  std::optional<Refusal> open_refusal_;
  FirstPage first_ = FirstPage::kLoad;  // of the open under way
};

}  // namespace orvane
