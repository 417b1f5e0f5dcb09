#pragma once
// Fax files as PDF: one PDF page per fax page at its true size, each one
// CCITT-coded image. A page whose coded data a PDF reader decodes to exactly
// the page as shown goes in unchanged; every other page is encoded as G4.
// The file appears whole or not at all (written beside the target and
// renamed over it when complete). With OCR each page also carries its words
// as invisible text, so that the PDF can be searched.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/fax_file.h"
#include "core/page_export.h"

namespace orvane {

// The sRGB profile a PDF/A file carries as its output intent, and the
// Debian package that installs it.
inline constexpr const char* kSrgbProfilePath = "/usr/share/color/icc/sRGB.icc";
inline constexpr const char* kSrgbProfilePackage = "icc-profiles-free";

// Reads the ICC profile at `path` into `out`; false, with one line saying
// why in `problem` (the file missing, naming its package; a file that is
// no RGB profile), when it cannot be used.
bool read_srgb_profile(const std::filesystem::path& path, std::vector<std::uint8_t>& out,
                       std::string& problem);

struct PdfExportOptions {
  // Threads for the pages of the file (1: the caller's thread alone). The
  // pages are written in order; a few pages per thread are held at once.
  unsigned jobs = 1;
  // Read every page's words (page_ocr.h) into an invisible text layer.
  bool ocr = false;
  std::string ocr_languages = "eng";
  // Show every page upright: how each is turned is found (PageOrientation)
  // and the PDF page is turned by its /Rotate, its image unchanged; the
  // words are read from the upright page. Callers check
  // orientation_problem() first; when the detection cannot start the export
  // fails (ConvertResult::kWriteFailed) and writes nothing.
  bool upright = false;
  // With OCR, a text file of the pages' words as well (UTF-8; each line of
  // words on a line, a form feed between pages): written beside the PDF,
  // whole or not at all like it, and put under its name just after it.
  // Empty: none.
  std::filesystem::path sidecar;
  // A stop requested here also cuts short the reading of the pages under
  // way (which takes seconds), not only the export between pages.
  const WorkControl* control = nullptr;
  // The fax file: its name becomes the PDF's title, its modification time
  // the creation date when the first page states none (export_pdf_file
  // sets it to its input when empty).
  std::filesystem::path source;
  // PDF/A-2b, with the profile at `srgb_profile` as its output intent.
  bool pdfa = false;
  std::filesystem::path srgb_profile = kSrgbProfilePath;
};

// The open file (opened as `format`) to a PDF at `output`. Loads every page
// into the record's page bitmap. ConvertResult::kOk; ConvertResult::kNoFile when nothing is
// open; ConvertResult::kNoPages when no page loaded; ConvertResult::kWriteFailed;
// ConvertResult::kStopped. `summary` (may be null) tells what became of the pages.
// With OCR asked for and a language that is not installed (see
// ocr_language_problem, which callers check first) ConvertResult::kWriteFailed
// before anything is written; so too with PDF/A asked for and a profile
// that read_srgb_profile refuses. The file needs no page loaded: open it with
// FaxFile::FirstPage::kSkip.
ConvertResult export_pdf(FaxFile& fax, std::int32_t format, const std::filesystem::path& output,
                         const ExportProgress& progress = {}, ExportSummary* summary = nullptr,
                         const PdfExportOptions& options = {});

// The same for a file of its own, opened with `params` in a record and a
// scratch folder of its own (so a record on view is not disturbed).
// ConvertResult::kNoFile also when the file is not a fax this program opens.
// `open_control` (may be null) follows the opening, which for bare data is
// the long part: a stop there ends the export with ConvertResult::kStopped.
ConvertResult export_pdf_file(const std::filesystem::path& input, const DecodingParameters& params,
                              const std::filesystem::path& output,
                              const ExportProgress& progress = {}, ExportSummary* summary = nullptr,
                              const WorkControl* open_control = nullptr,
                              const PdfExportOptions& options = {});

}  // namespace orvane
