#pragma once
// What a fax says of itself, for the outputs made of it: its name, when it
// was made and what its first page describes it as.
#include <filesystem>
#include <string>

#include "core/fax_file.h"
#include "formats/pdf_metadata.h"

namespace orvane {

struct FaxMetadata {
  std::string title;        // the fax file's name (UTF-8)
  std::string description;  // the first page's ImageDescription (UTF-8); empty when none
  // The first page's DateTime when it states one, else the file's
  // modification time; none when neither can be had.
  std::optional<DocumentDate> created;
};

// The metadata of the open `fax`, whose file is `source` (may be empty:
// then only what the pages state).
FaxMetadata fax_metadata(FaxFile& fax, const std::filesystem::path& source);

// TIFF ASCII text as UTF-8: text that is sound UTF-8 stays as it is, any
// other is taken as Latin-1, which most fax programs write.
std::string text_from_tiff(const std::string& ascii);

}  // namespace orvane
