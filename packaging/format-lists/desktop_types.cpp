#include "desktop_types.h"

namespace orvane::lists {

namespace {

constexpr DesktopType kTypes[] = {
    {.mime_type = "image/tiff", .system_type = true, .thumbnailed_elsewhere = true},
    {.mime_type = "image/g3fax", .system_type = true},
    {.mime_type = "image/x-ccitt-fax",
     .comment = "CCITT fax data",
     .acronym = "CCITT",
     .expanded_acronym = "Comité Consultatif International Téléphonique et Télégraphique"},
    {.mime_type = "image/x-dcx", .comment = "DCX multi-page fax image"},
    {.mime_type = "image/x-faxwizard", .sub_class_of = "image/tiff"},
};

constexpr std::string_view kContested[] = {"fxm", "qfx"};

}  // namespace

DesktopType desktop_type(std::string_view mime_type) {
  for (const DesktopType& t : kTypes)
    if (t.mime_type == mime_type) return t;
  return {.mime_type = mime_type};
}

std::string type_comment(const FormatRow& row, const DesktopType& type) {
  return type.comment.empty() ? std::string(row.name) + " fax document" : std::string(type.comment);
}

bool contested_ending(std::string_view ending) {
  for (std::string_view e : kContested)
    if (e == ending) return true;
  return false;
}

}  // namespace orvane::lists
