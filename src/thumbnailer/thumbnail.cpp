#include "thumbnailer/thumbnail.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "core/classify.h"
#include "core/fax_file.h"
#include "core/format_registry.h"
#include "core/scratch_dir.h"

namespace orvane::thumbnailer {

namespace {

// stat, not open: opening a FIFO would wait for a writer.
std::string input_problem(const std::filesystem::path& input) {
  struct stat st {};
  if (::stat(input.c_str(), &st) != 0) return std::strerror(errno);
  if (!S_ISREG(st.st_mode)) return "is not a regular file";
  if (st.st_size == 0) return "is empty";
  return {};
}

}  // namespace

Thumbnail make_thumbnail(const std::filesystem::path& input, int longest) {
  if (std::string problem = input_problem(input); !problem.empty()) return {{}, problem};
  const std::int32_t format = classify(input);
  if (format == kFormatNotFax || format == kFormatUnsupported)
    return {{}, "not a fax file this program reads"};
  ScratchDir scratch;
  if (!scratch.ok()) return {{}, "cannot create a scratch folder in the temporary folder"};
  FaxFile fax;
  fax.set_working_paths(scratch.paths());
  if (fax.open(input, format) != OpenResult::kOk) return {{}, "cannot be read"};
  if (fax.page_count() == 0 || !fax.page_valid() || !fax.page().has_pixels()) {
    // The reason when there is one: an At Work file's converter that is
    // missing or hangs is named.
    if (format == kFormatAtWork && fax.page_refusal() && !fax.page_refusal()->cause().empty())
      return {{}, fax.page_refusal()->cause()};
    return {{}, "its first page does not decode"};
  }
  GreyImage image = area_average(fax.page(), true_aspect_size(fax.page(), longest));
  if (image.pixels.empty()) return {{}, "its first page does not decode"};
  return {std::move(image), {}};
}

}  // namespace orvane::thumbnailer
