#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <iostream>
#include <map>
#include <mutex>
#include <thread>

#include "cli/commands.h"
#include "cli/open_fax.h"
#include "core/fax_format.h"
#include "formats/format_reader.h"

namespace orvane::cli {

namespace {

std::mutex g_output_mutex;

std::string conversion_error(int rc) {
  switch (rc) {
    case kConvertNoFile: return "conversion failed: the file could not be read";
    case kConvertNoSource: return "conversion failed: the embedded TIFF could not be read";
    case kConvertBadPage: return "conversion failed: a page directory could not be read";
    case kConvertWriteFailed: return "conversion failed: the output could not be written";
    case kConvertNoPages: return "conversion failed: no page of the file could be converted";
    default: return "conversion failed";
  }
}

// Converts one file; returns its exit code. Errors are reported here.
int convert_one(const std::filesystem::path& input, const std::filesystem::path& output,
                const DecodingOptions& options) {
  auto fail = [&](const std::filesystem::path& who, const std::string& why, int code) {
    std::lock_guard lock(g_output_mutex);
    report(who, why);
    return code;
  };
  {
    std::lock_guard lock(g_output_mutex);
    if (!readable(input)) return kExitUsage;
  }
  CommandFax cf(options.parameters());
  if (!cf.scratch.ok()) return fail(input, "cannot create a scratch folder", kExitUsage);
  cf.open(input);
  FaxFile& fax = cf.fax;
  const std::int32_t format = cf.format;
  const bool opened = cf.opened;
  if (format == kFormatNotFax) return fail(input, "not a fax file", kExitNoPage);
  if (format == kFormatUnsupported)
    return fail(input, "a fax format this program does not read", kExitNoPage);
  if (format == kFormatTiff)
    return fail(input, "is a TIFF file already; nothing to convert", kExitNoPage);
  if (!opened) return fail(input, "cannot be opened", kExitUsage);
  if (fax.page_count() == 0)
    return fail(input, no_page_reason(fax, "no page could be read (not a fax, or damaged)"),
                kExitNoPage);
  const int rc = fax.convert(output, format);
  if (rc != kConvertOk) return fail(output, conversion_error(rc), kExitNoPage);
  return kExitOk;
}

// Output names in --out-dir: the input's name with ".tif"; when two inputs
// would share a name, their own extension is kept in front of it.
std::vector<std::filesystem::path> output_names(const std::vector<std::filesystem::path>& files,
                                                const std::filesystem::path& out_dir) {
  std::map<std::string, int> uses;
  for (const auto& f : files) ++uses[f.stem().string()];
  std::vector<std::filesystem::path> out;
  for (const auto& f : files) {
    const std::string stem = f.stem().string();
    out.push_back(out_dir / (uses[stem] > 1 ? f.filename().string() + ".tif" : stem + ".tif"));
  }
  return out;
}

class Progress {
 public:
  explicit Progress(std::size_t total) : total_(total), shown_(total > 1 && isatty(2)) { draw(); }
  void step() {
    ++done_;
    draw();
  }
  void finish() {
    if (shown_) std::cerr << "\n";
  }

 private:
  void draw() {
    if (!shown_) return;
    std::lock_guard lock(g_output_mutex);
    constexpr int kWidth = 30;
    const int filled = int(kWidth * done_ / total_);
    std::cerr << "\r[" << std::string(std::size_t(filled), '#')
              << std::string(std::size_t(kWidth - filled), ' ') << "] " << done_ << "/" << total_
              << std::flush;
  }
  std::size_t total_;
  std::atomic<std::size_t> done_{0};
  bool shown_;
};

}  // namespace

int run_convert(const std::vector<std::filesystem::path>& files,
                const std::filesystem::path& output, const std::filesystem::path& out_dir,
                int jobs, const DecodingOptions& options) {
  if (files.size() > 1 && out_dir.empty()) {
    std::cerr << "orvane-cli: convert: several inputs need --out-dir\n";
    return kExitUsage;
  }
  std::vector<std::filesystem::path> outputs;
  if (!out_dir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(out_dir, ec);
    if (ec || !std::filesystem::is_directory(out_dir)) {
      report(out_dir, "cannot create the output folder");
      return kExitUsage;
    }
    outputs = output_names(files, out_dir);
  } else {
    outputs.push_back(output);
  }

  std::vector<int> codes(files.size(), kExitOk);
  Progress progress(files.size());
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i; (i = next++) < files.size();) {
      codes[i] = convert_one(files[i], outputs[i], options);
      progress.step();
    }
  };
  const std::size_t threads = std::clamp<std::size_t>(std::size_t(std::max(jobs, 1)), 1, files.size());
  std::vector<std::thread> pool;
  for (std::size_t t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (auto& t : pool) t.join();
  progress.finish();
  return *std::max_element(codes.begin(), codes.end());
}

}  // namespace orvane::cli
