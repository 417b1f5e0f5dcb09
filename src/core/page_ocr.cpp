#include "core/page_ocr.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "formats/pdf_writer.h"

#if ORVANE_HAVE_OCR
#include <dlfcn.h>
#include <tesseract/capi.h>

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
bool language_installed(const std::string& language) {
  std::vector<std::filesystem::path> folders;
  if (const char* prefix = std::getenv("TESSDATA_PREFIX"); prefix && *prefix) {
    folders.emplace_back(prefix);
    folders.emplace_back(std::filesystem::path(prefix) / "tessdata");
  } else {
    folders.emplace_back("/usr/share/tesseract-ocr/5/tessdata");
    folders.emplace_back("/usr/share/tesseract-ocr/4.00/tessdata");
    folders.emplace_back("/usr/share/tessdata");
  }
  std::error_code ec;
  return std::any_of(folders.begin(), folders.end(), [&](const std::filesystem::path& f) {
    return std::filesystem::is_regular_file(f / (language + ".traineddata"), ec);
  });
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
             find(lib, "TessMonitorSetCancelThis", f.monitor_cancel_this);
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
    if (!language_installed(language))
      return "the OCR language '" + language + "' is not installed (Debian package " +
             ocr_language_package(language) + ")";
  }
  if (!tess()) return "libtesseract is not installed (Debian package libtesseract5)";
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
  if (!ocr_language_problem(languages).empty()) return false;
  engine_ = std::make_unique<Engine>();
  engine_->f = tess();
  engine_->api = engine_->f->create();
  if (!engine_->api ||
      engine_->f->init(engine_->api, nullptr, languages.c_str(), tesseract::OEM_LSTM_ONLY) != 0) {
    if (engine_->api) engine_->f->destroy(engine_->api);
    engine_.reset();
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
bool page_image(const PageBitmap& page, int repeat, std::vector<std::uint8_t>& image) {
  const std::size_t row = std::size_t(page.row_bytes);
  try {
    image.resize(row * std::size_t(page.height) * std::size_t(repeat));
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::uint8_t* out = image.data();
  for (std::int32_t y = 0; y < page.height; ++y) {
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
  if (!engine_ || !page.is_valid() || !page.has_pixels() ||
      page.row_bytes != row_bytes_for(page.width) ||
      page.pixels.size() < std::size_t(page.height) * std::size_t(page.row_bytes))
    return false;
  const Tess& f = *engine_->f;
  TessBaseAPI* api = engine_->api;
  const int repeat = ocr_row_repeat(page);
  if (std::int64_t(page.height) * repeat > 0x7FFFFFFF || !page_image(page, repeat, engine_->image))
    return false;
  f.set_image(api, engine_->image.data(), page.width, page.height * repeat, 0, page.row_bytes);
  const PageSizePoints size =
      page_size_points(page.width, page.height, page.xres, page.yres, page.unit);
  f.set_resolution(api, std::max(70, int(std::lround(page.width * 72.0 / size.width))));
  const std::unique_ptr<ETEXT_DESC, MonitorDeleter> monitor(f.monitor_create(), MonitorDeleter{&f});
  if (monitor && stop) {
    f.monitor_cancel(monitor.get(), &stop_asked);
    f.monitor_cancel_this(monitor.get(), const_cast<std::function<bool()>*>(&stop));
  }
  const bool recognised = f.recognize(api, monitor.get()) == 0 && !(stop && stop());
  if (!recognised) {
    f.clear(api);
    return false;
  }
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
        line.baseline = double(bt) / repeat;
        if (f.baseline(pit, tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2))
          line.baseline = (y1 + y2) / 2.0 / repeat;
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

struct PageOcr::Engine {};
PageOcr::PageOcr() = default;
PageOcr::~PageOcr() = default;

bool PageOcr::start(const std::string& languages) {
  (void)languages;
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
