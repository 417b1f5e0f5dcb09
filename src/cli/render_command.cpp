#include "cli/commands.h"
#include "cli/image_output.h"
#include "cli/open_fax.h"
#include "cli/output_checks.h"

namespace orvane::cli {

int run_render(const std::filesystem::path& file, int page, const std::filesystem::path& output,
               const DecodingOptions& options) {
  if (!is_image_name(output)) {
    report(output, "the output must end in .pbm or .png");
    return kExitUsage;
  }
  if (const int rc = checked_input(file)) return rc;
  if (const std::string problem = output_problem(output, {file}); !problem.empty()) {
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
  const std::string error = write_page_image(fax.page(), output);
  if (!error.empty()) {
    report(output, error);
    return kExitNoPage;
  }
  return kExitOk;
}

}  // namespace orvane::cli
