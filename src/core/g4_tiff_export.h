#pragma once
// Fax files as compact TIFF: every page decoded and written again as T.6
// (Compression 4, one strip, FillOrder 1, PhotometricInterpretation 0),
// whatever its coding was. Valid for every TIFF reader, also where the
// pass-through conversion keeps data another reader would not take (joined
// T.6 segments, word-aligned Modified Huffman). Atomic like the other outputs.
#include <cstdint>
#include <filesystem>

#include "core/fax_file.h"
#include "core/page_export.h"

namespace orvane {

// Results as export_pdf.
ConvertResult export_g4_tiff(FaxFile& fax, std::int32_t format, const std::filesystem::path& output,
                             const ExportProgress& progress = {}, ExportSummary* summary = nullptr);

}  // namespace orvane
