#include "cli/commands.h"
#include "cli/image_output.h"
#include "cli/open_fax.h"
#include "cli/output_checks.h"

namespace orvane::cli {

int run_render(const std::filesystem::path& file, int page, const std::filesystem::path& output,
               const std::string& image_format, const DecodingOptions& options) {
  // Standard output has no name to tell the kind by: --format does, PBM
  // when it is not given. A file's name and --format must agree.
  const bool to_stdout = output == "-";
  // So is a device or a FIFO, whatever its name says.
  const bool stream = to_stdout || is_stream_output(output);
  const std::optional<ImageKind> named = to_stdout ? std::nullopt : image_kind(output);
  const std::optional<ImageKind> asked =
      image_format.empty()
          ? std::nullopt
          : std::optional(image_format == "png" ? ImageKind::kPng : ImageKind::kPbm);
  if (!stream && !named) {
    report(output, "the output must end in .pbm or .png (or be - for standard output)");
    return kExitUsage;
  }
  if (named && asked && named != asked) {
    report(output, "the output name does not end in ." + image_format + " as --format asks");
    return kExitUsage;
  }
  const ImageKind kind = named ? *named : asked.value_or(ImageKind::kPbm);
  if (const int rc = checked_input(file)) return rc;
  if (const std::string problem = to_stdout ? std::string() : output_problem(output, {file});
      !problem.empty()) {
    report(output, problem);
    return kExitUsage;
  }
  CommandFax cf(options.parameters());
  if (!cf.open(file)) return kExitUsage;
  FaxFile& fax = cf.fax;
  const std::int32_t format = cf.format;
  if (!cf.opened || fax.page_count() == 0) {
    report(file, format < 0 ? not_read_reason(file, format) : no_page_message(fax, format));
    return kExitNoPage;
  }
  if (const std::string note = doubtful_decoding_note(fax); !note.empty()) report(file, note);
  if (page < 1 || page > fax.page_count()) {
    report(file, "has " + std::to_string(fax.page_count()) + " page(s); there is no page " +
                     std::to_string(page));
    return kExitUsage;
  }
  if (page > 1) fax.load_page(format, std::uint32_t(page - 1));
  if (!fax.page_valid()) {
    report(file, fax.page_refusal().value_or(Refusal()).for_page(std::uint32_t(page)));
    return kExitNoPage;
  }
  const std::string error = write_page_image(fax.page(), output, kind);
  if (!error.empty()) {
    report(to_stdout ? "standard output" : output, error);
    return kExitNoPage;
  }
  return kExitOk;
}

}  // namespace orvane::cli
