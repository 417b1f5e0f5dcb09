#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <ext/stdio_filebuf.h>
#include <iostream>
#include <map>
#include <mutex>
#include <thread>

#include "base/format_reader.h"
#include "cli/commands.h"
#include "cli/open_fax.h"
#include "cli/output_checks.h"
#include "core/format_registry.h"
#include "core/page_ocr.h"
#include "core/pdf_export.h"
#include "core/tiff_export.h"

namespace orvane::cli {

namespace {

// What an output name asks for, by its extension.
OutputKind output_kind(const std::filesystem::path& output) {
  const std::string e = lower_extension(output);
  if (e == ".tif" || e == ".tiff") return OutputKind::kTiff;
  if (e == ".pdf") return OutputKind::kPdf;
  return OutputKind::kUnknown;
}

// The output kind of a run: --to, else the -o name's ending, else TIFF.
// Reports and returns kUnknown when they disagree or the name has neither.
OutputKind run_output_kind(const ConvertTarget& target, const std::filesystem::path& output) {
  const OutputKind named = output.empty() ? OutputKind::kUnknown : output_kind(output);
  // A device or FIFO is written into whatever its name: --to says what.
  if (!output.empty() && named == OutputKind::kUnknown && is_stream_output(output))
    return target.to != OutputKind::kUnknown ? target.to : OutputKind::kTiff;
  if (!output.empty()) {
    std::error_code ec;
    if (named == OutputKind::kUnknown && !std::filesystem::is_directory(output, ec)) {
      report(output,
             "convert writes TIFF or PDF files: the output name must end in .tif, .tiff or .pdf");
      return OutputKind::kUnknown;
    }
    if (named != OutputKind::kUnknown && target.to != OutputKind::kUnknown && named != target.to) {
      report(output, std::string("the output name does not end in .") +
                         (target.to == OutputKind::kPdf ? "pdf" : "tif") + " as --to asks");
      return OutputKind::kUnknown;
    }
  }
  if (target.to != OutputKind::kUnknown) return target.to;
  return named != OutputKind::kUnknown ? named : OutputKind::kTiff;
}

// Writes the open file as the run asks: a PDF, a TIFF of G4 pages, or the
// TIFF conversion (a TIFF input is copied page by page into a new,
// normalised TIFF). `summary` tells which pages were left out.
ConvertResult write_output(FaxFile& fax, std::int32_t format, const std::filesystem::path& input,
                           const std::filesystem::path& output, const ConvertTarget& target,
                           unsigned page_jobs, ExportSummary& summary) {
  if (target.to == OutputKind::kPdf) {
    PdfExportOptions pdf;
    pdf.jobs = page_jobs;
    pdf.ocr = target.ocr;
    pdf.ocr_languages = target.ocr_languages;
    pdf.upright = target.upright;
    pdf.sidecar = target.sidecar;
    pdf.source = input;
    pdf.pdfa = target.pdfa;
    return export_pdf(fax, format, output, {}, &summary, pdf);
  }
  return export_tiff(fax, format, output, target.g4 ? TiffPages::kAllG4 : TiffPages::kKeepCoded, {},
                     &summary, input, target.upright);
}

// stderr shared by the workers and the progress bar: an error line first
// clears the bar's line, and the bar is drawn again below it, so the two
// never share a line.
class Console {
 public:
  explicit Console(std::size_t total) : total_(total), bar_(total > 1 && isatty(2)) { draw(); }
  void error(const std::filesystem::path& file, const std::string& message) {
    std::lock_guard lock(mutex_);
    if (bar_) std::cerr << "\r\033[K";
    std::cerr << report_line(file, message);
    draw_locked();
  }
  void step() {
    std::lock_guard lock(mutex_);
    ++done_;
    draw_locked();
  }
  void finish() {
    if (bar_) std::cerr << "\n";
  }

 private:
  void draw() {
    std::lock_guard lock(mutex_);
    draw_locked();
  }
  void draw_locked() {
    if (!bar_) return;
    constexpr std::size_t kWidth = 30;
    const std::size_t filled = kWidth * done_ / total_;
    std::cerr << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] "
              << done_ << "/" << total_ << std::flush;
  }
  std::mutex mutex_;
  std::size_t total_;
  std::size_t done_ = 0;
  bool bar_;
};

std::string conversion_error(ConvertResult rc, const std::error_code& why) {
  switch (rc) {
    case ConvertResult::kNoFile: return "conversion failed: the file could not be read";
    case ConvertResult::kNoSource: return "conversion failed: the embedded TIFF could not be read";
    case ConvertResult::kBadPage: return "conversion failed: a page directory could not be read";
    case ConvertResult::kWriteFailed:
      return "conversion failed: the output could not be written" +
             (why ? ": " + why.message() : std::string());
    case ConvertResult::kNoPages:
      return "conversion failed: no page of the file could be converted";
    default: return "conversion failed";
  }
}

// Converts one file; returns its exit code. Errors are reported here.
int convert_one(const std::filesystem::path& input, const std::filesystem::path& output,
                const DecodingOptions& options, const ConvertTarget& target, unsigned page_jobs,
                Console& console) {
  if (const InputProblem problem = check_input(input); problem.code != kExitOk) {
    console.error(input, problem.message);
    return problem.code;
  }
  CommandFax cf(options.parameters());
  if (!cf.scratch.ok()) {
    console.error(input, "cannot create a scratch folder in the temporary folder");
    return kExitUsage;
  }
  // A PDF takes its pages one by one: the first is not decoded twice.
  cf.open(input,
          target.to == OutputKind::kPdf ? FaxFile::FirstPage::kSkip : FaxFile::FirstPage::kLoad);
  FaxFile& fax = cf.fax;
  if (cf.format < 0) {
    console.error(input, not_read_reason(input, cf.format));
    return kExitNoPage;
  }
  if (!cf.opened) {
    console.error(input, "cannot be opened");
    return kExitUsage;
  }
  if (fax.page_count() == 0) {
    console.error(input, no_page_message(fax, cf.format));
    return kExitNoPage;
  }
  // Pages past the page table are left out as surely as pages that do not
  // load: the run says so and ends with the same status.
  const std::string cut_note = cut_table_note(fax, cf.format);
  if (!cut_note.empty()) console.error(input, cut_note);
  if (const std::string note = doubtful_decoding_note(fax); !note.empty())
    console.error(input, note);
  // Pages are written one at a time; the one opening loaded is not needed.
  fax.page().release_pixels();
  ExportSummary summary;
  const ConvertResult rc = write_output(fax, cf.format, input, output, target, page_jobs, summary);
  if (rc == ConvertResult::kNoPages && !summary.left_out.empty()) {
    // Not one page loaded: why the first did not is why nothing was written.
    console.error(input, "no page could be read: " +
                             summary.first_refusal.for_page(summary.left_out.front() + 1));
    return kExitNoPage;
  }
  if (rc != ConvertResult::kOk) {
    console.error(output, conversion_error(rc, summary.write_error));
    return kExitNoPage;
  }
  // The PDF is whole without them: each is named, the run still succeeds.
  for (const auto& [page, why] : summary.no_text_layer)
    console.error(input, "page " + std::to_string(page + 1) + " has no text layer: " + why);
  if (summary.left_out.empty()) return cut_note.empty() ? kExitOk : kExitLeftOut;
  // The first page's reason says what kind of fault it is, as the window's
  // message does.
  std::string left_out = left_out_message(summary.left_out);
  if (!summary.first_refusal.cause().empty())
    left_out += "; " + summary.first_refusal.for_page(summary.left_out.front() + 1);
  console.error(input, left_out);
  return kExitLeftOut;
}

// Output names in --out-dir: the input's name with `ending` (".tif" or
// ".pdf"); when two inputs would share a name, their own extension is kept
// in front of it.
std::vector<std::filesystem::path> output_names(const std::vector<std::filesystem::path>& files,
                                                const std::filesystem::path& out_dir,
                                                const std::string& ending) {
  std::map<std::string, int> uses;
  for (const auto& f : files) ++uses[f.stem().string()];
  std::vector<std::filesystem::path> out;
  for (const auto& f : files) {
    const std::string stem = f.stem().string();
    out.push_back(out_dir / ((uses[stem] > 1 ? f.filename().string() : stem) + ending));
  }
  return out;
}

// Refuses (and reports) a run in which two inputs would be written to one
// output: the second would silently replace the first.
bool outputs_distinct(const std::vector<std::filesystem::path>& files,
                      const std::vector<std::filesystem::path>& outputs) {
  std::map<std::filesystem::path, std::vector<std::size_t>> writers;
  for (std::size_t i = 0; i < outputs.size(); ++i)
    writers[outputs[i].lexically_normal()].push_back(i);
  bool distinct = true;
  for (const auto& [output, inputs] : writers) {
    if (inputs.size() < 2) continue;
    std::string names;
    for (std::size_t k = 0; k < inputs.size(); ++k)
      names += (k == 0                   ? ""
                : k + 1 == inputs.size() ? " and "
                                         : ", ") +
               printable(files[inputs[k]].string());
    std::cerr << "orvane-cli: " << names << (inputs.size() == 2 ? " would both" : " would all")
              << " be written to " << printable(output.string()) << "; nothing converted\n";
    distinct = false;
  }
  return distinct;
}

// Every check that needs no conversion, made before anything is written.
bool outputs_allowed(const std::vector<std::filesystem::path>& files,
                     const std::vector<std::filesystem::path>& outputs) {
  if (!outputs_distinct(files, outputs)) return false;
  for (const auto& output : outputs) {
    const std::string problem = output_problem(output, files);
    if (problem.empty()) continue;
    report(output, problem);
    return false;
  }
  return true;
}

// The run's exit status: the worst of the files', where a file that could
// not be read (2) or converted (1) outweighs one written without some pages.
int worst_exit(const std::vector<int>& codes) {
  const auto rank = [](int code) {
    return code == kExitLeftOut ? 1 : code == kExitOk ? 0 : code + 1;
  };
  return *std::max_element(codes.begin(), codes.end(),
                           [&](int a, int b) { return rank(a) < rank(b); });
}

// While pages are read, the OCR library's stderr leads nowhere (unless
// --verbose): this program's own lines go through a copy of stderr taken
// now, so that a worker's message is not lost while another reads a page.
void quiet_ocr_library(bool verbose) {
  if (verbose) return;
  const int copy = ::dup(2);
  if (copy < 0) return;
  ::fcntl(copy, F_SETFD, FD_CLOEXEC);
  // Never destroyed: std::cerr is flushed at exit, after statics are gone.
  static auto* const buffer = new __gnu_cxx::stdio_filebuf<char>(copy, std::ios::out, 1);
  std::cerr.rdbuf(buffer);
}

}  // namespace

int run_convert(const std::vector<std::filesystem::path>& files,
                const std::filesystem::path& output, const std::filesystem::path& out_dir, int jobs,
                const DecodingOptions& options, ConvertTarget target) {
  if (files.size() > 1 && out_dir.empty()) {
    std::cerr << "orvane-cli: convert: several inputs need --out-dir; see 'orvane-cli --help'\n";
    return kExitUsage;
  }
  target.to = run_output_kind(target, output);
  if (target.to == OutputKind::kUnknown) return kExitUsage;
  if (target.g4 && target.to == OutputKind::kPdf) {
    std::cerr
        << "orvane-cli: convert: --g4 is for TIFF output (PDF pages are CCITT-coded already)\n";
    return kExitUsage;
  }
  if (target.pdfa) {
    if (target.to != OutputKind::kPdf) {
      std::cerr << "orvane-cli: convert: --pdfa is for PDF output (--to pdf)\n";
      return kExitUsage;
    }
    std::vector<std::uint8_t> profile;
    if (std::string problem; !read_srgb_profile(kSrgbProfilePath, profile, problem)) {
      std::cerr << "orvane-cli: convert: --pdfa: " << printable(problem) << "\n";
      return kExitUsage;
    }
  }
  if (!target.sidecar.empty()) {
    // The text is the text layer's: asking for it asks for the layer.
    if (target.to != OutputKind::kPdf) {
      std::cerr << "orvane-cli: convert: --sidecar is for PDF output (--to pdf)\n";
      return kExitUsage;
    }
    if (!out_dir.empty()) {
      std::cerr << "orvane-cli: convert: --sidecar names one file: it takes one input and -o\n";
      return kExitUsage;
    }
    target.ocr = true;
  }
  if (target.ocr) {
    if (target.to != OutputKind::kPdf) {
      std::cerr << "orvane-cli: convert: --ocr is for PDF output (--to pdf)\n";
      return kExitUsage;
    }
    show_ocr_messages(target.verbose);
    if (const std::string problem = ocr_data_problem(target.ocr_languages); !problem.empty()) {
      std::cerr << "orvane-cli: convert: --ocr: " << printable(problem) << "\n";
      return kExitUsage;
    }
  }
  if (target.upright) {
    show_ocr_messages(target.verbose);
    if (const std::string problem = orientation_problem(); !problem.empty()) {
      std::cerr << "orvane-cli: convert: --rotate-pages: " << printable(problem) << "\n";
      return kExitUsage;
    }
  }
  if (target.ocr || target.upright) quiet_ocr_library(target.verbose);
  std::vector<std::filesystem::path> outputs;
  if (!out_dir.empty()) {
    outputs = output_names(files, out_dir, target.to == OutputKind::kPdf ? ".pdf" : ".tif");
  } else {
    outputs.push_back(output);
  }
  if (!outputs_allowed(files, outputs)) return kExitUsage;
  if (!target.sidecar.empty()) {
    std::string problem = output_problem(target.sidecar, files);
    if (problem.empty() && target.sidecar.lexically_normal() == outputs.front().lexically_normal())
      problem = "the text file would be the PDF itself";
    if (problem.empty() && same_file(target.sidecar, outputs.front()))
      problem = "the text file would be the PDF itself";
    if (!problem.empty()) {
      report(target.sidecar, problem);
      return kExitUsage;
    }
  }
  if (!out_dir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(out_dir, ec);
    if (ec || !std::filesystem::is_directory(out_dir)) {
      report(out_dir, "cannot create the output folder" + (ec ? ": " + ec.message() : ""));
      return kExitUsage;
    }
  }

  std::vector<int> codes(files.size(), kExitOk);
  Console console(files.size());
  std::atomic<std::size_t> next{0};
  // --jobs counts threads: files at once, and what is left over for the
  // pages of each file (a single file gets them all).
  const std::size_t threads =
      std::clamp<std::size_t>(std::size_t(std::max(jobs, 1)), 1, files.size());
  const auto page_jobs =
      unsigned(std::max<std::size_t>(1, std::size_t(std::max(jobs, 1)) / threads));
  auto worker = [&] {
    for (std::size_t i; (i = next++) < files.size();) {
      codes[i] = convert_one(files[i], outputs[i], options, target, page_jobs, console);
      console.step();
    }
  };
  std::vector<std::thread> pool;
  for (std::size_t t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (auto& t : pool) t.join();
  console.finish();
  return worst_exit(codes);
}

}  // namespace orvane::cli
