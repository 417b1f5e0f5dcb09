#include "core/page_ocr.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "formats/pdf_writer.h"

#if ORVANE_HAVE_OCR
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>
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
  return {};
}

struct PageOcr::Engine {
  tesseract::TessBaseAPI api;
};

PageOcr::PageOcr() = default;
PageOcr::~PageOcr() {
  if (engine_) engine_->api.End();
}

bool PageOcr::start(const std::string& languages) {
  if (!ocr_language_problem(languages).empty()) return false;
  engine_ = std::make_unique<Engine>();
  if (engine_->api.Init(nullptr, languages.c_str(), tesseract::OEM_LSTM_ONLY) != 0) {
    engine_.reset();
    return false;
  }
  // Fax pages are black on white: no second look at each line inverted.
  engine_->api.SetVariable("tessedit_do_invert", "0");
  return true;
}

namespace {

// The page as a Leptonica image (1 bit, 1 = black), rows repeated `repeat`
// times; null when it cannot be allocated.
Pix* page_image(const PageBitmap& page, int repeat) {
  const std::int64_t height = std::int64_t(page.height) * repeat;
  if (height > 0x7FFFFFFF) return nullptr;
  Pix* pix = pixCreate(page.width, int(height), 1);
  if (!pix) return nullptr;
  l_uint32* data = pixGetData(pix);
  const int wpl = pixGetWpl(pix);
  const std::size_t row_bytes = std::size_t(page.row_bytes);
  for (std::int32_t y = 0; y < page.height; ++y) {
    const std::uint8_t* src = page.row(y);
    l_uint32* line = data + std::size_t(y) * repeat * wpl;
    for (int w = 0; w < wpl; ++w) {
      l_uint32 word = 0;
      for (int b = 0; b < 4; ++b) {
        const std::size_t at = std::size_t(w) * 4 + std::size_t(b);
        const std::uint8_t byte = at < row_bytes ? std::uint8_t(~src[at]) : 0;
        word |= l_uint32(byte) << (24 - 8 * b);
      }
      line[w] = word;
    }
    // Bits past the width stay clear (white).
    if (page.width % 32 != 0) line[wpl - 1] &= ~l_uint32(0) << (32 - page.width % 32);
    for (int r = 1; r < repeat; ++r) std::copy_n(line, wpl, line + std::size_t(r) * wpl);
  }
  return pix;
}

bool stop_asked(void* stop, int) {
  return (*static_cast<const std::function<bool()>*>(stop))();
}

}  // namespace

bool PageOcr::read(const PageBitmap& page, std::vector<OcrLine>& lines,
                   const std::function<bool()>& stop) {
  lines.clear();
  if (!engine_ || !page.is_valid() || !page.has_pixels() ||
      page.pixels.size() < std::size_t(page.height) * std::size_t(page.row_bytes))
    return false;
  const int repeat = ocr_row_repeat(page);
  Pix* pix = page_image(page, repeat);
  if (!pix) return false;
  tesseract::TessBaseAPI& api = engine_->api;
  api.SetImage(pix);
  const PageSizePoints size =
      page_size_points(page.width, page.height, page.xres, page.yres, page.unit);
  api.SetSourceResolution(std::max(70, int(std::lround(page.width * 72.0 / size.width))));
  tesseract::ETEXT_DESC monitor;
  if (stop) {
    monitor.cancel = &stop_asked;
    monitor.cancel_this = const_cast<std::function<bool()>*>(&stop);
  }
  const bool recognised = api.Recognize(&monitor) == 0 && !(stop && stop());
  pixDestroy(&pix);
  if (!recognised) {
    api.Clear();
    return false;
  }
  std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
  if (it && !it->Empty(tesseract::RIL_WORD)) {
    do {
      if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE) || lines.empty()) {
        int x1 = 0, y1 = 0, x2 = 0, y2 = 0, l = 0, t = 0, r = 0, b = 0;
        OcrLine line;
        if (it->BoundingBox(tesseract::RIL_TEXTLINE, &l, &t, &r, &b))
          line.height = double(b - t) / repeat;
        line.baseline = double(b) / repeat;
        if (it->Baseline(tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2))
          line.baseline = (y1 + y2) / 2.0 / repeat;
        lines.push_back(std::move(line));
      }
      const std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
      int l = 0, t = 0, r = 0, b = 0;
      const int confidence = int(it->Confidence(tesseract::RIL_WORD));
      if (!text || text[0] == 0 || confidence < kOcrMinConfidence ||
          !it->BoundingBox(tesseract::RIL_WORD, &l, &t, &r, &b) || r <= l)
        continue;
      lines.back().words.push_back({text.get(), double(l), double(r), confidence});
    } while (it->Next(tesseract::RIL_WORD));
  }
  it.reset();
  api.Clear();
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
