#pragma once
// Fax files as multi-page TIFF, page by page as the view shows them. A
// page's own coded data goes in unchanged only when it decodes to exactly
// the page on view; every other page is written from its pixels as T.6
// (Compression 4, one strip, FillOrder 1, PhotometricInterpretation 0),
// and a page that does not load is left out (and named in the summary).
// Atomic like the other outputs.
#include <cstdint>
#include <filesystem>

#include "core/fax_file.h"
#include "core/page_export.h"

namespace orvane {

enum class TiffPages {
  kKeepCoded,  // coded data kept where it decodes to exactly the page
  kAllG4,      // every page decoded and written again as T.6: compact, and
               // valid for every reader (joined T.6 segments and word-aligned
               // Modified Huffman are not)
};

// Results as export_pdf. Every page carries DateTime and ImageDescription
// as its source page states them; a page that states no DateTime gets the
// fax's (fax_metadata of `source`: the first page's, else the file's
// modification time; the time of writing when `source` is empty too).
// With `upright`, how each page is turned is found (PageOrientation) and a
// turned page is written upright from its pixels, as T.6, its width and
// height and its resolutions swapped for a quarter turn; callers check
// orientation_problem() first (when the detection cannot start the export
// fails with ConvertResult::kWriteFailed and writes nothing).
ConvertResult export_tiff(FaxFile& fax, std::int32_t format, const std::filesystem::path& output,
                          TiffPages pages, const ExportProgress& progress = {},
                          ExportSummary* summary = nullptr,
                          const std::filesystem::path& source = {}, bool upright = false);

inline ConvertResult export_g4_tiff(FaxFile& fax, std::int32_t format,
                                    const std::filesystem::path& output,
                                    const ExportProgress& progress = {},
                                    ExportSummary* summary = nullptr,
                                    const std::filesystem::path& source = {},
                                    bool upright = false) {
  return export_tiff(fax, format, output, TiffPages::kAllG4, progress, summary, source, upright);
}

}  // namespace orvane
