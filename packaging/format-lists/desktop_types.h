#pragma once
// What a desktop wants to know of the fax MIME types beyond what the format
// registry says: texts, the types its own database already defines, and the
// endings other common types own. A type without an entry here gets the
// plain defaults, so a new format needs none.
#include <string>
#include <string_view>

#include "core/format_registry.h"

namespace orvane::lists {

struct DesktopType {
  std::string_view mime_type = {};
  std::string_view comment = {};  // empty: "NAME fax document"
  // Defined by shared-mime-info itself: not written into our MIME file.
  bool system_type = false;
  // The desktop thumbnails these already (every TIFF, photos too): our
  // thumbnailer must not take them over.
  bool thumbnailed_elsewhere = false;
  std::string_view sub_class_of = {};
  std::string_view acronym = {};
  std::string_view expanded_acronym = {};
};

// The entry for `mime_type`, or the defaults.
DesktopType desktop_type(std::string_view mime_type);

// The comment the desktop shows for a type of `row`.
std::string type_comment(const FormatRow& row, const DesktopType& type);

// Endings that another common type owns (".fxm" JavaFX video, ".qfx" bank
// statement downloads): globbed below the usual weight, so the extension
// alone never takes the file from its owner and the magic decides.
bool contested_ending(std::string_view ending);

}  // namespace orvane::lists
