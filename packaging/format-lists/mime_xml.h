#pragma once
// The shared-mime-info package of the fax types: one entry per MIME type of
// the format registry that the desktop's own database lacks.
#include <string>

namespace orvane::lists {

std::string mime_xml();

}  // namespace orvane::lists
