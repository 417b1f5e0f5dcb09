#include "core/pdf_export.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "base/coding_mode.h"
#include "base/page_turn.h"
#include "codec/ccitt_filter_check.h"
#include "codec/fax_codec.h"
#include "codec/t6_encoder.h"
#include "core/classify.h"
#include "core/fax_metadata.h"
#include "core/format_registry.h"
#include "core/ordered_work.h"
#include "core/page_ocr.h"
#include "core/scratch_dir.h"
#include "formats/pdf_writer.h"
#include "tiff/tiff_reader.h"

namespace orvane {

namespace {

// One page as the caller's thread hands it to a worker.
struct PageJob {
  enum class Kind : std::uint8_t {
    kCoded,    // coded data whose clean decode is the page: `page` has fields only
    kLoaded,   // the page as loaded, with its coded data when the reader has it
    kMissing,  // the page did not load
  };
  Kind kind = Kind::kMissing;
  PageBitmap page;
  std::vector<std::uint8_t> coded;  // most significant bit first
  std::uint8_t coding = 0;
  Refusal refusal;  // kMissing: why
};

// What a worker made of a page.
struct PageDone {
  enum class Kind : std::uint8_t {
    kWrite,
    kSkip,    // the page cannot be shown or coded
    kLoad,    // the coded data did not decode cleanly: load the page and try again
    kFailed,  // OCR could not start
  };
  Kind kind = Kind::kSkip;
  bool kept_coded = false;
  Refusal refusal;  // kSkip: why
  PageFields fields;
  std::vector<std::uint8_t> data;
  codec::CcittFilterParameters filter;
  std::vector<PdfTextLine> text;
  int quarter_turns = 0;  // clockwise, to show the page upright
  std::string no_text;    // OCR asked for: why the page has no text layer
};

// The buffers and the OCR engine of one thread, reused from page to page.
class PageWorker {
 public:
  PageWorker(const PdfExportOptions& options, const std::atomic<bool>& stopping)
      : options_(options), stopping_(stopping) {}

  PageDone run(PageJob& job) {
    PageDone done;
    switch (job.kind) {
      case PageJob::Kind::kMissing: {
        done.refusal = std::move(job.refusal);
        return done;
      }
      case PageJob::Kind::kCoded: {
        if (!decode_clean(job, done)) {
          done.kind = PageDone::Kind::kLoad;
          return done;
        }
        break;
      }
      case PageJob::Kind::kLoaded: {
        if (!job.coded.empty() && check_.check(job.coded, job.coding, job.page, done.filter)) {
          done.data = std::move(job.coded);
          done.kept_coded = true;
        } else if (!encode(job.page, done)) {
          done.refusal = Refusal(limits::Limit::kMemory, "it could not be coded as G4");
          return done;
        }
        break;
      }
    }
    done.fields = job.page;
    done.kind = PageDone::Kind::kWrite;
    if (options_.upright) {
      if (!orientation_started_) {
        orientation_started_ = true;
        orientation_ok_ = orientation_.start();
      }
      if (!orientation_ok_) {
        done.kind = PageDone::Kind::kFailed;
        return done;
      }
      done.quarter_turns = orientation_.upright_turns(job.page);
    }
    if (options_.ocr) {
      if (done.quarter_turns == 0) {
        read_words(job.page, done);
      } else {
        // The words are read, and placed, on the page as it is shown (at
        // square pixels first when its rows are to become columns).
        const PageBitmap upright = done.quarter_turns % 2
                                       ? turned(square_pixels(job.page), done.quarter_turns)
                                       : turned(job.page, done.quarter_turns);
        if (upright.has_pixels()) {
          read_words(upright, done);
        } else {
          done.no_text = "there is not enough memory to turn it upright";
        }
      }
    }
    return done;
  }

 private:
  // The check's decode is the page: its rows go straight into the page's
  // pixels when the words are to be read or the page's turn found, and
  // nowhere otherwise.
  bool decode_clean(PageJob& job, PageDone& done) {
    PageBitmap& page = job.page;
    std::span<std::uint8_t> pixels;
    if (options_.ocr || options_.upright) {
      if (!page.allocate_pixels(std::int64_t(page.height) * page.row_bytes)) return false;
      pixels = page.pixels;
    }
    if (!check_.check_clean(job.coded, job.coding, page.width, page.height, page.invert,
                            done.filter, pixels))
      return false;
    done.data = std::move(job.coded);
    done.kept_coded = true;
    return true;
  }

  // The page as shown, encoded as G4; false when it cannot be.
  bool encode(const PageBitmap& page, PageDone& done) {
    // Rows may be stored wider than the page (PCX pads its lines to an even
    // byte count): the encoder reads the page's width of each.
    if (page.width < 1 || std::int64_t(page.row_bytes) * 8 < page.width ||
        page.pixels.size() < std::size_t(page.height) * std::size_t(page.row_bytes))
      return false;
    if (!encoder_ || encoder_width_ != page.width) {
      encoder_.emplace(page.width);
      encoder_width_ = page.width;
    }
    if (!encoder_->ok()) return false;
    try {
      for (std::int32_t y = 0; y < page.height; ++y) encoder_->encode_row(page.row(y), done.data);
      encoder_->finish(done.data);
    } catch (const std::bad_alloc&) {
      return false;
    }
    done.filter = {};
    done.filter.k = -1;
    done.filter.columns = page.width;
    done.filter.rows = page.height;
    return true;
  }

  // The page's words, placed in points on the page. A page the reader
  // cannot read keeps its image and gets no words, and says why.
  void read_words(const PageBitmap& page, PageDone& done) {
    if (!ocr_started_) {
      ocr_started_ = true;
      ocr_ok_ = ocr_.start(options_.ocr_languages);
    }
    const auto stop = [this] {
      return stopping_.load() || (options_.control && options_.control->stop_requested());
    };
    if (!ocr_ok_ || !ocr_.read(page, lines_, stop)) {
      done.no_text = ocr_.problem();
      return;
    }
    const PageSizePoints size =
        page_size_points(page.width, page.height, page.xres, page.yres, page.unit);
    const double sx = size.width / page.width, sy = size.height / page.height;
    done.text.reserve(lines_.size());
    for (OcrLine& line : lines_) {
      PdfTextLine out;
      out.baseline = size.height - line.baseline * sy;
      out.size = line.height * sy;
      for (OcrWord& word : line.words)
        out.words.push_back({std::move(word.text), word.left * sx, word.right * sx});
      done.text.push_back(std::move(out));
    }
  }

  const PdfExportOptions& options_;
  const std::atomic<bool>& stopping_;
  codec::CcittFilterCheck check_;
  std::optional<codec::T6Encoder> encoder_;
  std::int32_t encoder_width_ = 0;
  PageOcr ocr_;
  bool ocr_started_ = false, ocr_ok_ = false;
  PageOrientation orientation_;
  bool orientation_started_ = false, orientation_ok_ = false;
  std::vector<OcrLine> lines_;
};

// Prepares the pages on the caller's thread, the one that uses the record.
class PageSource {
 public:
  PageSource(FaxFile& fax, std::int32_t format)
      : fax_(fax), reader_(fax.reader_for(format)), tiff_(dynamic_cast<TiffReader*>(&reader_)) {}

  PageJob make(std::uint32_t index) {
    PageJob job;
    if (tiff_ && coded_tiff_page(index, job)) return job;
    return loaded(index);
  }

  // Page `index` loaded by the record, with its coded data when its reader
  // keeps one stream.
  PageJob loaded(std::uint32_t index) {
    PageJob job;
    LoadedPage loaded = fax_.read_page(index);
    if (!loaded.valid()) {
      job.refusal = std::move(*loaded.refusal);
      return job;
    }
    job.kind = PageJob::Kind::kLoaded;
    job.page = std::move(loaded.page);
    take_coded(index, job);
    return job;
  }

 private:
  // The page's own coded data, read as PDF reads it (most significant bit
  // first); false when the reader has none or it is not CCITT.
  bool take_coded(std::uint32_t index, PageJob& job) {
    PassThroughPage coded;
    if (!reader_.coded_page(index, coded) || coded.coded.empty()) return false;
    try {
      job.coded.assign(coded.coded.begin(), coded.coded.end());
    } catch (const std::bad_alloc&) {
      return false;
    }
    if (coded.bit_order == kBitOrderLsbFirst) {
      for (std::uint8_t& b : job.coded) b = codec::reverse_bits(b);
    }
    job.coding = coded.coding;
    return true;
  }

  // A single-strip TIFF page: the TIFF reader builds its page from that
  // same stream with the same row rules, so when the stream decodes cleanly
  // as a filter reads it, that decode is the page. (Strips are decoded
  // apart, each to its own row count, so a page of several is checked
  // against its loaded rows instead.) The page gets the fields the reader
  // would give it.
  bool coded_tiff_page(std::uint32_t index, PageJob& job) {
    if (tiff_->read_directory(tiff_->page_position(index)) <= 0) return false;
    TiffPage desc;
    tiff_->parse_directory(desc);
    // A page the reader refuses is loaded the usual way, which leaves it
    // out and says why.
    if (!tiff_->check_page(desc) || desc.strip_count != 1 || desc.photometric > 1 ||
        desc.image_width < 1 || desc.image_length < 1)
      return false;
    if (!take_coded(index, job)) return false;
    PageBitmap& page = job.page;
    page.width = std::int32_t(desc.image_width);
    page.height = std::int32_t(desc.image_length);
    page.row_bytes = row_bytes_for(page.width);
    page.invert = std::uint8_t(desc.photometric);
    // The resolution as the reader's page load takes it.
    page.unit = std::uint8_t(desc.resolution_unit & 0xFF);
    page.xres =
        desc.x_resolution[1] ? std::uint16_t(desc.x_resolution[0] / desc.x_resolution[1]) : 0;
    page.yres = desc.y_resolution[1] ? std::uint16_t(desc.y_resolution[0] / desc.y_resolution[1])
                                     : page.xres;
    job.kind = PageJob::Kind::kCoded;
    return true;
  }

  FaxFile& fax_;
  FormatReader& reader_;
  TiffReader* tiff_;
};

}  // namespace

bool read_srgb_profile(const std::filesystem::path& path, std::vector<std::uint8_t>& out,
                       std::string& problem) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    problem = path.string() + " is missing (Debian package " + kSrgbProfilePackage + ")";
    return false;
  }
  // An ICC profile: its size first, "acsp" at 36, its colour space at 16
  // (ICC.1 section 7.2). A profile of sRGB is a few kilobytes.
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  std::FILE* f = ec || size < 128 || size > (1u << 20) ? nullptr : std::fopen(path.c_str(), "rb");
  if (f) {
    try {
      out.resize(std::size_t(size));
    } catch (const std::bad_alloc&) {
      out.clear();
    }
    const bool read = !out.empty() && std::fread(out.data(), 1, out.size(), f) == out.size();
    std::fclose(f);
    if (read && std::memcmp(out.data() + 36, "acsp", 4) == 0 &&
        std::memcmp(out.data() + 16, "RGB ", 4) == 0)
      return true;
  }
  out.clear();
  problem = path.string() + " cannot be read as an RGB ICC profile (Debian package " +
            kSrgbProfilePackage + ")";
  return false;
}

ConvertResult export_pdf(FaxFile& fax, std::int32_t format, const std::filesystem::path& output,
                         const ExportProgress& progress, ExportSummary* summary,
                         const PdfExportOptions& options) {
  FormatReader& reader = fax.reader_for(format);
  if (!reader.is_open()) return ConvertResult::kNoFile;
  if (options.ocr && !ocr_language_problem(options.ocr_languages).empty())
    return ConvertResult::kWriteFailed;
  std::vector<std::uint8_t> profile;
  if (std::string problem;
      options.pdfa && !read_srgb_profile(options.srgb_profile, profile, problem))
    return ConvertResult::kWriteFailed;
  ExportOutput out(output, summary);
  ExportSummary& done = out.done;
  if (!out.ok()) return out.failed();
  PdfWriter pdf;
  if (!pdf.create(out.temp_path())) return out.failed();

  const std::uint32_t count = fax.page_count();
  const unsigned workers = options.jobs > 1 ? std::min(options.jobs, 64u) : 0;
  std::atomic<bool> stopping{false};
  // One for each worker and one for the caller's own pages.
  std::vector<std::unique_ptr<PageWorker>> states;
  for (unsigned w = 0; w <= workers; ++w)
    states.push_back(std::make_unique<PageWorker>(options, stopping));
  PageSource source(fax, format);
  PageWalk walk(progress, done, count);
  ConvertResult rc = ConvertResult::kOk;
  const bool sidecar = options.ocr && !options.sidecar.empty();
  std::string sidecar_text;

  const auto write = [&](std::uint32_t i, PageDone& page) {
    if (page.kind == PageDone::Kind::kFailed) {
      rc = ConvertResult::kWriteFailed;
      return false;
    }
    if (page.kind != PageDone::Kind::kWrite) {
      walk.leave_out(i, page.refusal);
      return true;
    }
    const PageFields& f = page.fields;
    const PageSizePoints size = page_size_points(f.width, f.height, f.xres, f.yres, f.unit);
    PdfFaxPage pdf_page;
    pdf_page.data = page.data;
    pdf_page.filter = page.filter;
    pdf_page.width_points = size.width;
    pdf_page.height_points = size.height;
    pdf_page.text = page.text;
    pdf_page.quarter_turns = page.quarter_turns;
    if (!page.no_text.empty()) done.no_text_layer.emplace_back(i, page.no_text);
    if (sidecar) {
      if (pdf.pages_written() > 0) sidecar_text += '\f';
      for (const PdfTextLine& line : page.text) {
        for (std::size_t w = 0; w < line.words.size(); ++w)
          (sidecar_text += w ? " " : "") += line.words[w].text;
        sidecar_text += '\n';
      }
    }
    if (!pdf.add_page(pdf_page)) {
      rc = out.failed();
      return false;
    }
    walk.written(page.kept_coded);
    return true;
  };
  const auto take = [&](std::uint32_t i, PageDone& page) {
    if (page.kind == PageDone::Kind::kLoad) {
      PageJob job = source.loaded(i);
      page = states.back()->run(job);
    }
    if (!write(i, page)) return false;
    if (!walk.page_done(i)) {
      rc = ConvertResult::kStopped;
      return false;
    }
    return true;
  };
  if (!walk.start()) return ConvertResult::kStopped;
  try {
    run_in_order<PageJob, PageDone>(
        // Four pages a worker: with two, one slow page (a halftone) held the
        // others' finished pages back and left a worker idle.
        workers, count, std::size_t(workers) * 4, stopping,
        [&](std::uint32_t i) { return std::optional<PageJob>(source.make(i)); },
        [&](PageJob& job, unsigned w) { return states[w]->run(job); }, take);
  } catch (const std::bad_alloc&) {
    // A page that needed more memory than there was (OCR's, most likely).
    rc = ConvertResult::kWriteFailed;
  }
  rc = walk.verdict(rc);
  if (rc != ConvertResult::kOk) return rc;
  const FaxMetadata meta = fax_metadata(fax, options.source);
  PdfDocumentInfo info;
  info.title = meta.title;
  info.subject = meta.description;
  info.created = meta.created;
  if (!pdf.close(info, profile)) return out.failed();
  if (!sidecar) return out.commit();
  // Both written before either is named: a text file that cannot be
  // written leaves no PDF without it.
  AtomicOutput text(options.sidecar);
  std::FILE* file = text.ok() ? std::fopen(text.temp_path().c_str(), "wb") : nullptr;
  bool written =
      file && std::fwrite(sidecar_text.data(), 1, sidecar_text.size(), file) == sidecar_text.size();
  if (file) written = std::fclose(file) == 0 && written;
  if (!written) {
    done.write_error =
        text.error() ? text.error() : std::error_code(errno ? errno : EIO, std::generic_category());
    return ConvertResult::kWriteFailed;
  }
  if (const ConvertResult committed = out.commit(); committed != ConvertResult::kOk)
    return committed;
  if (!text.commit()) {
    done.write_error = text.error();
    return ConvertResult::kWriteFailed;
  }
  return ConvertResult::kOk;
}

ConvertResult export_pdf_file(const std::filesystem::path& input, const DecodingParameters& params,
                              const std::filesystem::path& output, const ExportProgress& progress,
                              ExportSummary* summary, const WorkControl* open_control,
                              const PdfExportOptions& options) {
  const std::int32_t format = classify(input);
  if (format == kFormatNotFax || format == kFormatUnsupported) return ConvertResult::kNoFile;
  ScratchDir scratch;
  if (!scratch.ok()) return ConvertResult::kWriteFailed;
  FaxFile fax;
  fax.set_working_paths(scratch.paths());
  fax.set_parameters(params);
  const OpenResult opened = fax.open(input, format, open_control, FaxFile::FirstPage::kSkip);
  if (opened == OpenResult::kStopped) return ConvertResult::kStopped;
  if (opened != OpenResult::kOk) return ConvertResult::kNoFile;
  if (!options.source.empty()) return export_pdf(fax, format, output, progress, summary, options);
  PdfExportOptions with_source = options;
  with_source.source = input;
  return export_pdf(fax, format, output, progress, summary, with_source);
}

}  // namespace orvane
