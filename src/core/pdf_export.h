#pragma once
// Fax files as PDF: one PDF page per fax page at its true size, each one
// CCITT-coded image. A page whose coded data a PDF reader decodes to exactly
// the page as shown goes in unchanged; every other page is encoded as G4.
// The file appears whole or not at all (written beside the target and
// renamed over it when complete).
#include <cstdint>
#include <filesystem>

#include "core/fax_file.h"
#include "core/page_export.h"

namespace orvane {

// The open file (opened as `format`) to a PDF at `output`. Loads every page
// into the record's page bitmap. ConvertResult::kOk; ConvertResult::kNoFile when nothing is
// open; ConvertResult::kNoPages when no page loaded; ConvertResult::kWriteFailed;
// ConvertResult::kStopped. `summary` (may be null) tells what became of the pages.
ConvertResult export_pdf(FaxFile& fax, std::int32_t format, const std::filesystem::path& output,
                         const ExportProgress& progress = {}, ExportSummary* summary = nullptr);

// The same for a file of its own, opened with `params` in a record and a
// scratch folder of its own (so a record on view is not disturbed).
// ConvertResult::kNoFile also when the file is not a fax this program opens.
// `open_control` (may be null) follows the opening, which for bare data is
// the long part: a stop there ends the export with ConvertResult::kStopped.
ConvertResult export_pdf_file(const std::filesystem::path& input, const DecodingParameters& params,
                              const std::filesystem::path& output,
                              const ExportProgress& progress = {}, ExportSummary* summary = nullptr,
                              const WorkControl* open_control = nullptr);

}  // namespace orvane
