#include "core/page_ocr.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "formats/pdf_writer.h"

#if ORVANE_HAVE_OCR
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tesseract/capi.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#endif

namespace orvane {

namespace {

std::vector<std::string> split_languages(const std::string& languages) {
  std::vector<std::string> out;
  std::size_t from = 0;
  for (;;) {
    const std::size_t plus = languages.find('+', from);
    out.push_back(languages.substr(from, plus - from));
    if (plus == std::string::npos) return out;
    from = plus + 1;
  }
}

// A language name is a file name in the data folder: letters, digits and
// underscores only, so that no name reaches outside it.
bool plain_name(const std::string& name) {
  return !name.empty() && name.size() <= 32 && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

#if ORVANE_HAVE_OCR
// Where libtesseract looks for "LANG.traineddata": TESSDATA_PREFIX when set,
// else the folders Debian's packages fill.
std::vector<std::filesystem::path> data_folders() {
  std::vector<std::filesystem::path> folders;
  if (const char* prefix = std::getenv("TESSDATA_PREFIX"); prefix && *prefix) {
    folders.emplace_back(prefix);
    folders.emplace_back(std::filesystem::path(prefix) / "tessdata");
  } else {
    folders.emplace_back("/usr/share/tesseract-ocr/5/tessdata");
    folders.emplace_back("/usr/share/tesseract-ocr/4.00/tessdata");
    folders.emplace_back("/usr/share/tessdata");
  }
  return folders;
}

// The language's data file, or an empty path when none is installed.
std::filesystem::path language_file(const std::string& language) {
  std::error_code ec;
  for (const std::filesystem::path& folder : data_folders()) {
    const std::filesystem::path file = folder / (language + ".traineddata");
    if (std::filesystem::is_regular_file(file, ec)) return file;
  }
  return {};
}

// Whether a data file has the structure libtesseract reads: a count of
// parts, then each part's offset (-1 for an absent part), rising, inside
// the file. A truncated or overwritten file fails here instead of inside
// the library, which says little and may not fail cleanly.
bool data_file_sound(const std::filesystem::path& file) {
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return false;
  std::uint8_t head[4 + 8 * 64];
  const std::size_t got = std::fread(head, 1, sizeof head, f);
  const bool sized = std::fseek(f, 0, SEEK_END) == 0;
  const long size = sized ? std::ftell(f) : -1;
  std::fclose(f);
  if (got < 4 || size <= 0) return false;
  const std::uint32_t parts = std::uint32_t(head[0]) | std::uint32_t(head[1]) << 8 |
                              std::uint32_t(head[2]) << 16 | std::uint32_t(head[3]) << 24;
  if (parts == 0 || parts > 64 || got < 4 + 8 * std::size_t(parts)) return false;
  std::int64_t last = std::int64_t(4 + 8 * parts) - 1;
  bool any = false;
  for (std::uint32_t i = 0; i < parts; ++i) {
    std::uint64_t v = 0;
    for (int b = 7; b >= 0; --b) v = v << 8 | head[4 + 8 * i + std::size_t(b)];
    const auto offset = std::int64_t(v);
    if (offset == -1) continue;
    if (offset <= last || offset >= size) return false;
    last = offset;
    any = true;
  }
  return any;
}
#endif

}  // namespace

std::string ocr_language_package(const std::string& language) {
  std::string package = "tesseract-ocr-";
  for (const char c : language)
    package += c == '_' ? '-' : char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return package;
}

int ocr_row_repeat(const PageBitmap& page) {
  if (page.width < 1 || page.height < 1) return 1;
  const PageSizePoints size =
      page_size_points(page.width, page.height, page.xres, page.yres, page.unit);
  // Points per row over points per column: how much taller a pixel is than wide.
  const double ratio = (size.height / page.height) / (size.width / page.width);
  return std::clamp(int(std::lround(ratio)), 1, 4);
}

PageBitmap square_pixels(const PageBitmap& page) {
  const int repeat = ocr_row_repeat(page);
  PageBitmap out = page.fields_only();
  out.height = page.height * repeat;
  // In dots per inch as the page is shown, whatever unit it states.
  const Dpi dpi = shown_dpi(page);
  out.unit = 2;
  out.xres = dpi.x;
  out.yres = std::uint16_t(std::min<int>(dpi.y * repeat, 65535));
  if (!page.has_pixels() ||
      page.pixels.size() < std::size_t(page.height) * std::size_t(page.row_bytes) ||
      !out.allocate_pixels(std::int64_t(out.height) * out.row_bytes))
    return out;
  for (std::int32_t y = 0; y < page.height; ++y)
    for (int r = 0; r < repeat; ++r)
      std::copy_n(page.row(y), page.row_bytes, out.row(y * repeat + r));
  return out;
}

#if ORVANE_HAVE_OCR

namespace {

// libtesseract is loaded on first use, not linked: with its libraries
// (57 in all) every run of the program would spend about 15 ms of CPU
// linking them, more than a one-page conversion takes.
struct Tess {
  decltype(&TessBaseAPICreate) create;
  decltype(&TessBaseAPIDelete) destroy;
  decltype(&TessBaseAPIInit2) init;
  decltype(&TessBaseAPISetVariable) set_variable;
  decltype(&TessBaseAPISetImage) set_image;
  decltype(&TessBaseAPISetSourceResolution) set_resolution;
  decltype(&TessBaseAPIRecognize) recognize;
  decltype(&TessBaseAPIGetIterator) iterator;
  decltype(&TessBaseAPIClear) clear;
  decltype(&TessBaseAPIEnd) end;
  decltype(&TessResultIteratorGetPageIterator) page_iterator;
  decltype(&TessResultIteratorNext) next;
  decltype(&TessResultIteratorGetUTF8Text) text;
  decltype(&TessResultIteratorConfidence) confidence;
  decltype(&TessResultIteratorDelete) delete_iterator;
  decltype(&TessPageIteratorIsAtBeginningOf) at_beginning;
  decltype(&TessPageIteratorBoundingBox) box;
  decltype(&TessPageIteratorBaseline) baseline;
  decltype(&TessDeleteText) delete_text;
  decltype(&TessMonitorCreate) monitor_create;
  decltype(&TessMonitorDelete) monitor_delete;
  decltype(&TessMonitorSetCancelFunc) monitor_cancel;
  decltype(&TessMonitorSetCancelThis) monitor_cancel_this;
  decltype(&TessBaseAPISetPageSegMode) set_page_seg_mode;
  // Absent from a library built without its legacy engine, which reading
  // words does not need.
  decltype(&TessBaseAPIDetectOrientationScript) detect_orientation;
};

template <typename F>
bool find(void* library, const char* name, F& out) {
  out = reinterpret_cast<F>(dlsym(library, name));
  return out != nullptr;
}

// The library's functions, or null when it is not installed.
const Tess* tess() {
  static Tess functions;
  static bool loaded = false;
  static std::once_flag once;
  std::call_once(once, [] {
    // The pages are read on threads of our own, one reader each: OpenMP
    // threads inside each reader only contend with them (unless the user
    // set a limit).
    setenv("OMP_THREAD_LIMIT", "1", 0);
    void* lib = dlopen("libtesseract.so.5", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return;
    Tess& f = functions;
    loaded = find(lib, "TessBaseAPICreate", f.create) &&
             find(lib, "TessBaseAPIDelete", f.destroy) && find(lib, "TessBaseAPIInit2", f.init) &&
             find(lib, "TessBaseAPISetVariable", f.set_variable) &&
             find(lib, "TessBaseAPISetImage", f.set_image) &&
             find(lib, "TessBaseAPISetSourceResolution", f.set_resolution) &&
             find(lib, "TessBaseAPIRecognize", f.recognize) &&
             find(lib, "TessBaseAPIGetIterator", f.iterator) &&
             find(lib, "TessBaseAPIClear", f.clear) && find(lib, "TessBaseAPIEnd", f.end) &&
             find(lib, "TessResultIteratorGetPageIterator", f.page_iterator) &&
             find(lib, "TessResultIteratorNext", f.next) &&
             find(lib, "TessResultIteratorGetUTF8Text", f.text) &&
             find(lib, "TessResultIteratorConfidence", f.confidence) &&
             find(lib, "TessResultIteratorDelete", f.delete_iterator) &&
             find(lib, "TessPageIteratorIsAtBeginningOf", f.at_beginning) &&
             find(lib, "TessPageIteratorBoundingBox", f.box) &&
             find(lib, "TessPageIteratorBaseline", f.baseline) &&
             find(lib, "TessDeleteText", f.delete_text) &&
             find(lib, "TessMonitorCreate", f.monitor_create) &&
             find(lib, "TessMonitorDelete", f.monitor_delete) &&
             find(lib, "TessMonitorSetCancelFunc", f.monitor_cancel) &&
             find(lib, "TessMonitorSetCancelThis", f.monitor_cancel_this) &&
             find(lib, "TessBaseAPISetPageSegMode", f.set_page_seg_mode);
    find(lib, "TessBaseAPIDetectOrientationScript", f.detect_orientation);
  });
  return loaded ? &functions : nullptr;
}

}  // namespace

bool ocr_built_in() {
  return true;
}

std::string ocr_language_problem(const std::string& languages) {
  for (const std::string& language : split_languages(languages)) {
    if (!plain_name(language)) return "'" + language + "' is not an OCR language name";
    // Installed with the languages, but it holds no words' shapes: asked
    // for as one, the library reads nothing and says so only on stderr.
    if (language == "osd") return "osd is not a language for text; use it through --rotate-pages";
    const std::filesystem::path file = language_file(language);
    if (file.empty()) {
      if (const char* prefix = std::getenv("TESSDATA_PREFIX"); prefix && *prefix)
        return std::string("TESSDATA_PREFIX names ") + prefix + ", which holds no " + language +
               ".traineddata";
      return "the OCR language '" + language + "' is not installed (Debian package " +
             ocr_language_package(language) + ")";
    }
    if (!data_file_sound(file))
      return "the OCR data for " + language + " in " + file.parent_path().string() + " is damaged";
  }
  if (!tess()) return "libtesseract is not installed (Debian package libtesseract5)";
  return {};
}

namespace {

std::atomic<bool> messages_shown{false};

// libtesseract writes its complaints to standard error, from deep inside;
// while any reader works, descriptor 2 leads to /dev/null (the count is
// over all threads: the first to start redirects, the last to end puts
// the terminal back).
class QuietStderr {
 public:
  QuietStderr() {
    if (messages_shown) return;
    std::lock_guard lock(mutex());
    active_ = true;
    if (count()++ > 0) return;
    std::fflush(stderr);
    saved() = ::fcntl(2, F_DUPFD_CLOEXEC, 3);  // not to be inherited by a converter
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved() >= 0 && null >= 0) ::dup2(null, 2);
    if (null >= 0) ::close(null);
  }
  ~QuietStderr() {
    if (!active_) return;
    std::lock_guard lock(mutex());
    if (--count() > 0) return;
    std::fflush(stderr);
    if (saved() >= 0) {
      ::dup2(saved(), 2);
      ::close(saved());
      saved() = -1;
    }
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  static std::mutex& mutex() {
    static std::mutex m;
    return m;
  }
  static int& count() {
    static int n = 0;
    return n;
  }
  static int& saved() {
    static int fd = -1;
    return fd;
  }
  bool active_ = false;
};

}  // namespace

void show_ocr_messages(bool shown) {
  messages_shown = shown;
}

namespace {

// Whether libtesseract loads `languages`, found out in a child process:
// data damaged inside (its structure sound) makes the library end the
// process that loads it. True also when no child can be made: the readers
// then find out for themselves.
bool loads_in_child(const std::string& languages, int engine_mode) {
  const Tess* f = tess();
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit no_core{0, 0};
    ::setrlimit(RLIMIT_CORE, &no_core);  // an abort here is the answer, not a fault to keep
    if (!messages_shown) {
      const int null = ::open("/dev/null", O_WRONLY);
      if (null >= 0) ::dup2(null, 2);
    }
    TessBaseAPI* api = f->create();
    const bool loaded = api && f->init(api, nullptr, languages.c_str(),
                                       static_cast<TessOcrEngineMode>(engine_mode)) == 0;
    ::_exit(loaded ? 0 : 1);  // nothing of the parent's is flushed or destroyed here
  }
  if (child < 0) return true;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The orientation data wants the legacy engine, which is all it holds.
constexpr int kOrientationEngineMode = tesseract::OEM_DEFAULT;

}  // namespace

std::string ocr_data_problem(const std::string& languages) {
  if (std::string problem = ocr_language_problem(languages); !problem.empty()) return problem;
  if (loads_in_child(languages, tesseract::OEM_LSTM_ONLY)) return {};
  const std::vector<std::string> names = split_languages(languages);
  const std::filesystem::path file = language_file(names.front());
  return "the OCR data for " + languages +
         (names.size() == 1 ? " in " + file.parent_path().string() : "") +
         " is damaged (libtesseract could not load it)";
}

std::string orientation_problem(bool load) {
  const Tess* f = tess();
  if (!f) return "libtesseract is not installed (Debian package libtesseract5)";
  if (!f->detect_orientation)
    return "this libtesseract cannot tell how a page is turned (it was built without its "
           "legacy engine)";
  const std::filesystem::path file = language_file("osd");
  if (file.empty()) {
    if (const char* prefix = std::getenv("TESSDATA_PREFIX"); prefix && *prefix)
      return std::string("TESSDATA_PREFIX names ") + prefix +
             ", which holds no osd.traineddata (Debian package tesseract-ocr-osd)";
    return "the orientation data is not installed (Debian package tesseract-ocr-osd)";
  }
  if (!data_file_sound(file) || (load && !loads_in_child("osd", kOrientationEngineMode)))
    return "the orientation data in " + file.parent_path().string() +
           " is damaged (Debian package tesseract-ocr-osd)";
  return {};
}

struct PageOcr::Engine {
  const Tess* f = nullptr;
  TessBaseAPI* api = nullptr;
  std::vector<std::uint8_t> image;
};

PageOcr::PageOcr() = default;
PageOcr::~PageOcr() {
  if (engine_ && engine_->api) {
    engine_->f->end(engine_->api);
    engine_->f->destroy(engine_->api);
  }
}

bool PageOcr::start(const std::string& languages) {
  problem_ = ocr_language_problem(languages);
  if (!problem_.empty()) return false;
  engine_ = std::make_unique<Engine>();
  engine_->f = tess();
  engine_->api = engine_->f->create();
  int failed = 1;
  if (engine_->api) {
    const QuietStderr quiet;
    failed = engine_->f->init(engine_->api, nullptr, languages.c_str(), tesseract::OEM_LSTM_ONLY);
  }
  if (failed) {
    if (engine_->api) engine_->f->destroy(engine_->api);
    engine_.reset();
    // Every file's structure is sound: what is inside one is not.
    problem_ = "the OCR data for " + languages + " could not be loaded: it is damaged or not " +
               "for this version of libtesseract";
    return false;
  }
  // Fax pages are black on white: no second look at each line inverted.
  engine_->f->set_variable(engine_->api, "tessedit_do_invert", "0");
  return true;
}

namespace {

// The page's rows, each repeated `repeat` times, one bit a pixel with a
// set bit white (as the page has them, and as the reader takes binary
// images). (Enlarged twice over, the pages read worse: the reader takes the
// doubled pixels' steps for the glyphs' shapes.)
bool page_image(const PageBitmap& page, std::int32_t from, std::int32_t to, int repeat,
                std::vector<std::uint8_t>& image) {
  const std::size_t row = std::size_t(page.row_bytes);
  try {
    image.resize(row * std::size_t(to - from) * std::size_t(repeat));
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::uint8_t* out = image.data();
  for (std::int32_t y = from; y < to; ++y) {
    for (int r = 0; r < repeat; ++r, out += row) std::copy_n(page.row(y), row, out);
  }
  return true;
}

bool stop_asked(void* stop, int) {
  return (*static_cast<const std::function<bool()>*>(stop))();
}

// Frees what the library allocated, however the reading ends.
struct MonitorDeleter {
  const Tess* f;
  void operator()(ETEXT_DESC* m) const { f->monitor_delete(m); }
};
struct IteratorDeleter {
  const Tess* f;
  void operator()(TessResultIterator* it) const { f->delete_iterator(it); }
};

}  // namespace

bool PageOcr::read(const PageBitmap& page, std::vector<OcrLine>& lines,
                   const std::function<bool()>& stop) {
  lines.clear();
  if (!engine_) return false;  // problem_ holds why it did not start
  problem_.clear();
  if (!page.is_valid() || !page.has_pixels() || page.row_bytes != row_bytes_for(page.width) ||
      page.pixels.size() < std::size_t(page.height) * std::size_t(page.row_bytes)) {
    problem_ = "the page has no pixels to read";
    return false;
  }
  if (page.width > kOcrMaxImageRows) {
    problem_ =
        "the page is wider than the OCR reads (" + std::to_string(kOcrMaxImageRows) + " pixels)";
    return false;
  }
  const int repeat = ocr_row_repeat(page);
  const std::int32_t band = kOcrMaxImageRows / repeat;
  if (page.height <= band) return read_band(page, 0, page.height, repeat, stop, lines);
  // Bands overlap by this many rows: several lines of text at any fax
  // resolution, so a line cut by one band's edge is whole in the other.
  const std::int32_t overlap = std::min<std::int32_t>(band / 4, 600);
  std::vector<OcrLine> band_lines;
  for (std::int32_t from = 0;; from += band - overlap) {
    const std::int32_t to = std::min(page.height, from + band);
    if (!read_band(page, from, to, repeat, stop, band_lines)) {
      lines.clear();
      return false;
    }
    // Each band keeps the lines whose middle lies in its half of each overlap.
    const double keep_from = from == 0 ? 0 : from + overlap / 2.0;
    const double keep_to = to == page.height ? page.height : to - overlap / 2.0;
    for (OcrLine& line : band_lines) {
      const double middle = line.baseline - line.height / 2;
      if (middle >= keep_from && middle < keep_to) lines.push_back(std::move(line));
    }
    if (to == page.height) return true;
  }
}

bool PageOcr::read_band(const PageBitmap& page, std::int32_t from, std::int32_t to, int repeat,
                        const std::function<bool()>& stop, std::vector<OcrLine>& lines) {
  lines.clear();
  const Tess& f = *engine_->f;
  TessBaseAPI* api = engine_->api;
  if (!page_image(page, from, to, repeat, engine_->image)) {
    problem_ = "there is not enough memory to read it";
    return false;
  }
  f.set_image(api, engine_->image.data(), page.width, (to - from) * repeat, 0, page.row_bytes);
  const PageSizePoints size =
      page_size_points(page.width, page.height, page.xres, page.yres, page.unit);
  f.set_resolution(api, std::max(70, int(std::lround(page.width * 72.0 / size.width))));
  const std::unique_ptr<ETEXT_DESC, MonitorDeleter> monitor(f.monitor_create(), MonitorDeleter{&f});
  if (monitor && stop) {
    f.monitor_cancel(monitor.get(), &stop_asked);
    f.monitor_cancel_this(monitor.get(), const_cast<std::function<bool()>*>(&stop));
  }
  bool recognised = false;
  {
    const QuietStderr quiet;
    recognised = f.recognize(api, monitor.get()) == 0;
  }
  if (recognised && stop && stop()) {
    problem_ = "the reading was stopped";
    recognised = false;
  } else if (!recognised) {
    problem_ = "the OCR could not read it";
  }
  if (!recognised) {
    f.clear(api);
    return false;
  }
  const double top = from;
  const std::unique_ptr<TessResultIterator, IteratorDeleter> it(f.iterator(api),
                                                                IteratorDeleter{&f});
  if (it) {
    const TessPageIterator* pit = f.page_iterator(it.get());
    do {
      int l = 0, t = 0, r = 0, b = 0;
      // An empty page has no word to stand on.
      if (!f.box(pit, tesseract::RIL_WORD, &l, &t, &r, &b)) break;
      if (f.at_beginning(pit, tesseract::RIL_TEXTLINE) || lines.empty()) {
        int x1 = 0, y1 = 0, x2 = 0, y2 = 0, lt = 0, tt = 0, rt = 0, bt = 0;
        OcrLine line;
        if (f.box(pit, tesseract::RIL_TEXTLINE, &lt, &tt, &rt, &bt))
          line.height = double(bt - tt) / repeat;
        line.baseline = top + double(bt) / repeat;
        if (f.baseline(pit, tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2))
          line.baseline = top + (y1 + y2) / 2.0 / repeat;
        lines.push_back(std::move(line));
      }
      char* text = f.text(it.get(), tesseract::RIL_WORD);
      const int confidence = int(f.confidence(it.get(), tesseract::RIL_WORD));
      if (text && text[0] != 0 && confidence >= kOcrMinConfidence && r > l)
        lines.back().words.push_back({text, double(l), double(r), confidence});
      if (text) f.delete_text(text);
    } while (f.next(it.get(), tesseract::RIL_WORD));
  }
  f.clear(api);
  std::erase_if(lines, [](const OcrLine& line) { return line.words.empty(); });
  return true;
}

struct PageOrientation::Engine {
  const Tess* f = nullptr;
  TessBaseAPI* api = nullptr;
  std::vector<std::uint8_t> image;
};

PageOrientation::PageOrientation() = default;
PageOrientation::~PageOrientation() {
  if (engine_ && engine_->api) {
    engine_->f->end(engine_->api);
    engine_->f->destroy(engine_->api);
  }
}

bool PageOrientation::start() {
  const Tess* f = tess();
  if (!f || !f->detect_orientation || language_file("osd").empty()) {
    problem_ = orientation_problem();
    return false;
  }
  engine_ = std::make_unique<Engine>();
  engine_->f = f;
  engine_->api = f->create();
  int failed = 1;
  if (engine_->api) {
    const QuietStderr quiet;
    failed = f->init(engine_->api, nullptr, "osd",
                     static_cast<TessOcrEngineMode>(kOrientationEngineMode));
  }
  if (failed) {
    if (engine_->api) f->destroy(engine_->api);
    engine_.reset();
    problem_ = "the orientation data could not be loaded (Debian package tesseract-ocr-osd)";
    return false;
  }
  f->set_page_seg_mode(engine_->api, tesseract::PSM_OSD_ONLY);
  return true;
}

int PageOrientation::upright_turns(const PageBitmap& page, double* confidence) {
  if (confidence) *confidence = 0;
  if (!engine_ || !page.is_valid() || !page.has_pixels() ||
      page.row_bytes != row_bytes_for(page.width) || page.width > kOcrMaxImageRows ||
      page.pixels.size() < std::size_t(page.height) * std::size_t(page.row_bytes))
    return 0;
  const Tess& f = *engine_->f;
  TessBaseAPI* api = engine_->api;
  // A page taller than the library takes is judged by its top: a letter's
  // lines run the same way all down the page.
  const int repeat = ocr_row_repeat(page);
  const std::int32_t rows = std::min(page.height, kOcrMaxImageRows / repeat);
  if (!page_image(page, 0, rows, repeat, engine_->image)) return 0;
  f.set_image(api, engine_->image.data(), page.width, rows * repeat, 0, page.row_bytes);
  const PageSizePoints size =
      page_size_points(page.width, page.height, page.xres, page.yres, page.unit);
  f.set_resolution(api, std::max(70, int(std::lround(page.width * 72.0 / size.width))));
  int degrees = 0;
  float found = 0;
  bool detected = false;
  {
    const QuietStderr quiet;
    detected = f.detect_orientation(api, &degrees, &found, nullptr, nullptr) != 0;
  }
  f.clear(api);
  if (!detected || degrees < 0 || degrees % 90 != 0 || degrees >= 360) return 0;
  if (confidence) *confidence = found;
  // The library tells how far the page was turned clockwise; turning it
  // back is the rest of a whole turn.
  return found >= kOrientationMinConfidence ? (4 - degrees / 90) % 4 : 0;
}

#else  // without OCR

bool ocr_built_in() {
  return false;
}

std::string ocr_language_problem(const std::string& languages) {
  (void)languages;
  (void)&plain_name;
  (void)&split_languages;
  return "this program was built without OCR";
}

std::string ocr_data_problem(const std::string& languages) {
  return ocr_language_problem(languages);
}

void show_ocr_messages(bool shown) {
  (void)shown;
}

std::string orientation_problem(bool load) {
  (void)load;
  return "this program was built without OCR";
}

struct PageOrientation::Engine {};
PageOrientation::PageOrientation() = default;
PageOrientation::~PageOrientation() = default;

bool PageOrientation::start() {
  problem_ = orientation_problem();
  return false;
}

int PageOrientation::upright_turns(const PageBitmap& page, double* confidence) {
  (void)page;
  if (confidence) *confidence = 0;
  return 0;
}

struct PageOcr::Engine {};
PageOcr::PageOcr() = default;
PageOcr::~PageOcr() = default;

bool PageOcr::start(const std::string& languages) {
  problem_ = ocr_language_problem(languages);
  return false;
}

bool PageOcr::read(const PageBitmap& page, std::vector<OcrLine>& lines,
                   const std::function<bool()>& stop) {
  (void)page;
  (void)stop;
  lines.clear();
  return false;
}

#endif

}  // namespace orvane
