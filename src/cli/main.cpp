// orvane-cli: the headless face of Orvane. Parses the command line and hands
// each command to its runner.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstring>
#include <iostream>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/open_fax.h"
#include "core/format_registry.h"

namespace {

constexpr const char* kCommands[] = {"info", "render", "convert", "formats"};

// A usage error as one line: "orvane-cli: what; see 'orvane-cli --help'".
int usage_error(std::string what) {
  std::replace(what.begin(), what.end(), '\n', ' ');
  while (!what.empty() && what.back() == ' ') what.pop_back();
  std::cerr << "orvane-cli: " << orvane::cli::printable(what) << "; see 'orvane-cli --help'\n";
  return orvane::cli::kExitUsage;
}

// The first word must be a command or an option; anything else is named.
bool known_first_word(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') return true;
  return std::any_of(std::begin(kCommands), std::end(kCommands),
                     [&](const char* c) { return std::strcmp(c, argv[1]) == 0; });
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvane::cli;
  // Past a file-size limit (ulimit -f) a write fails with EFBIG and the
  // command reports it and removes its scratch folder, rather than being
  // killed on the spot.
  std::signal(SIGXFSZ, SIG_IGN);
  handle_interrupts();
  CLI::App app{
      "Orvane fax viewer and converter, command-line tool.\n"
      "Shows the facts of a fax file's pages, renders pages and converts files to\n"
      "TIFF or PDF. Formats read: " +
          orvane::readable_format_list() + ".",
      "orvane-cli"};
  app.set_version_flag("--version", "orvane-cli " ORVANE_VERSION);
  app.require_subcommand(1);
  app.footer(
      "Exit status: 0 success (every page written); 1 the file was read but gave no valid page,\n"
      "or the conversion failed; 2 usage error, or a file does not exist or cannot be read;\n"
      "3 written, but pages were left out (they are named on stderr).\n");

  DecodingOptions info_opts, render_opts, convert_opts;
  std::filesystem::path info_file, render_file, render_out, convert_out, convert_dir;
  std::vector<std::filesystem::path> convert_files;
  bool json = false;
  int page = 1;
  int jobs = 1;

  CLI::App* info = app.add_subcommand("info", "Show the format and every page's facts");
  info->add_option("FILE", info_file, "Fax file")->required();
  info->add_flag("--json", json, "Print one JSON object");
  bool check = false;
  info->add_flag("--check", check,
                 "Decode every page and name those that do not decode (without it, the facts "
                 "are those the file states, as fast as reading its headers)");
  info_opts.add_to(*info);

  CLI::App* render = app.add_subcommand("render", "Write one page as a PBM or PNG image");
  render->add_option("FILE", render_file, "Fax file")->required();
  render->add_option("--page", page, "Page number, from 1")
      ->check(CLI::Range(1, 65535).description(""))
      ->capture_default_str();
  render
      ->add_option("-o,--output", render_out,
                   "Image to write (.pbm or .png); - for standard output")
      ->required();
  std::string render_format;
  render
      ->add_option("--format", render_format,
                   "pbm or png: the image's kind, for -o - (PBM when not given)")
      ->check(CLI::IsMember({"pbm", "png"}));
  render_opts.add_to(*render);

  CLI::App* convert =
      app.add_subcommand("convert", "Convert fax files to multi-page TIFF or to PDF");
  convert->add_option("FILE", convert_files, "Fax files")->required();
  auto* out_opt = convert->add_option("-o,--output", convert_out,
                                      "TIFF or PDF file to write (one input; .tif, .tiff or .pdf)");
  auto* dir_opt = convert->add_option("--out-dir", convert_dir, "Folder for the files written");
  std::string convert_to;
  ConvertTarget target;
  convert
      ->add_option("--to", convert_to,
                   "tif: multi-page TIFF (the default); pdf: one PDF page per fax page, "
                   "keeping each page's CCITT data where a PDF reader takes it as it is")
      ->check(CLI::IsMember({"tif", "pdf"}));
  convert->add_flag("--g4", target.g4,
                    "Write every TIFF page as G4 (decoded and encoded again): compact, and "
                    "valid for every reader");
  convert->add_flag("--ocr", target.ocr,
                    "PDF: read each page's words (OCR) into an invisible text layer, so that "
                    "the PDF can be searched; the pages look the same");
  auto* lang_opt =
      convert
          ->add_option("--ocr-lang", target.ocr_languages,
                       "OCR language(s) of the installed Tesseract data, e.g. eng or eng+deu "
                       "(package tesseract-ocr-LANG)")
          ->capture_default_str();
  convert->add_option("--sidecar", target.sidecar,
                      "PDF: write the OCR text of the pages to this file too (UTF-8, a form feed "
                      "between pages); implies --ocr; one input");
  convert->add_flag("--rotate-pages", target.upright,
                    "Turn every page upright (OCR's orientation detection, Debian package "
                    "tesseract-ocr-osd): PDF pages by their /Rotate, TIFF pages recoded as G4");
  convert->add_flag("--pdfa", target.pdfa,
                    "PDF: write PDF/A-2b for archiving (the sRGB profile of the package "
                    "icc-profiles-free is its output intent)");
  bool verbose = false;
  convert->add_flag("--verbose", verbose,
                    "Pass on what the OCR library says about its work (kept off the terminal "
                    "otherwise: each fault is told in one line)");
  out_opt->excludes(dir_opt);
  // Read as text and checked here: CLI11 would call a word "not in range".
  std::string jobs_text = "1";
  convert
      ->add_option("--jobs", jobs_text,
                   "Threads, 1 to 64: files converted at once, and pages of a file")
      ->check(CLI::Validator(
          [&jobs](std::string& text) -> std::string {
            const bool digits = !text.empty() && text.size() <= 2 &&
                                std::all_of(text.begin(), text.end(),
                                            [](unsigned char c) { return std::isdigit(c); });
            jobs = digits ? std::stoi(text) : 0;
            if (jobs >= 1 && jobs <= 64) return {};
            return "takes a number of threads from 1 to 64, not '" + text + "'";
          },
          "N", ""))
      ->capture_default_str();
  convert_opts.add_to(*convert);
  bool formats_json = false;
  CLI::App* formats = app.add_subcommand(
      "formats", "List the file formats: number, name, name endings, signature, MIME type");
  formats->add_flag("--json", formats_json, "Print one JSON object");
  convert->callback([&] {
    if (convert_out.empty() && convert_dir.empty())
      throw CLI::RequiredError("convert needs -o OUT.tif or --out-dir DIR");
    // --sidecar asks for the text layer as --ocr does.
    if (lang_opt->count() > 0 && !target.ocr && target.sidecar.empty())
      throw CLI::RequiresError("--ocr-lang", "--ocr");
  });

  if (argc == 2 && std::strcmp(argv[1], "help") == 0) {
    std::cout << app.help();
    return kExitOk;
  }
  if (argc < 2) return usage_error("a command is needed: info, render, convert or formats");
  if (!known_first_word(argc, argv))
    return usage_error(std::string("'") + argv[1] +
                       "' is not a command (info, render, convert, formats)");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return usage_error(e.what());
  }

  if (info->parsed()) return run_info(info_file, json, check, info_opts);
  if (formats->parsed()) return run_formats(formats_json);
  if (render->parsed())
    return run_render(render_file, page, render_out, render_format, render_opts);
  if (!convert_to.empty()) target.to = convert_to == "pdf" ? OutputKind::kPdf : OutputKind::kTiff;
  target.verbose = verbose;
  return run_convert(convert_files, convert_out, convert_dir, jobs, convert_opts, target);
}
