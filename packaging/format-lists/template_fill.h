#pragma once
// Fills the format lists into a hand-written file at its markers, so that
// the prose stays by hand and every list comes from the format registry:
//   @FAX_MIME_TYPES@        every fax MIME type, "a;b;" (desktop entry)
//   @THUMBNAIL_MIME_TYPES@  those the desktop does not thumbnail itself
//   @FAX_ENDINGS@           every name ending, "a|b" (bash completion)
//   @ENDINGS N@             format N's endings, ".a, .b" (the guide's table;
//                           a file that uses it must name every format once)
//   @MAN_FORMATS@           on a line of its own: the formats as a roff list
#include <string>
#include <string_view>

namespace orvane::lists {

// False, with `error` saying why, for an unknown marker, an unknown format
// or a format the file leaves out or names twice.
bool fill_template(std::string_view text, std::string& out, std::string& error);

}  // namespace orvane::lists
