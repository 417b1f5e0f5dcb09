#pragma once
// The commands of orvane-cli; each returns the process exit code.
#include <filesystem>
#include <string>
#include <vector>

#include "cli/decoding_options.h"

namespace orvane::cli {

// The facts of every page as the file states them; with `check`, every page
// is decoded and those that do not decode are named.
int run_info(const std::filesystem::path& file, bool json, bool check,
             const DecodingOptions& options);
// The format registry's rows: a table, or one JSON object.
int run_formats(bool json);
// Writes one page as PBM or PNG, by the output's ending; `output` "-" is
// standard output, in `image_format` ("png" or "pbm"; PBM when empty).
int run_render(const std::filesystem::path& file, int page, const std::filesystem::path& output,
               const std::string& image_format, const DecodingOptions& options);
// What convert writes: TIFF (the conversion, or with `g4` every page
// re-encoded as G4) or PDF; kUnknown leaves it to the output name.
enum class OutputKind { kUnknown, kTiff, kPdf };
struct ConvertTarget {
  OutputKind to = OutputKind::kUnknown;
  bool g4 = false;
  bool ocr = false;  // PDF: an invisible text layer of each page's words
  std::string ocr_languages = "eng";
  bool upright = false;           // --rotate-pages: every page turned upright
  std::filesystem::path sidecar;  // --sidecar: the OCR text as well (implies ocr)
  bool pdfa = false;              // PDF: PDF/A-2b, with the sRGB output intent
  bool verbose = false;           // the OCR library's own messages reach stderr
};

int run_convert(const std::vector<std::filesystem::path>& files,
                const std::filesystem::path& output, const std::filesystem::path& out_dir, int jobs,
                const DecodingOptions& options, ConvertTarget target);

}  // namespace orvane::cli
