// Raw stream extraction of unknown data into the row file and page index
// file, as opening a bare fax stream does. Byte 0 of the input sets the
// threshold (1..64) and, bit 6, the bit order to try first, bit 7 whether
// widths other than the standard ones are allowed; byte 1 selects T.6 (bit 0)
// and the raw-T.6 flag (bit 1); the rest is the data.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/coding_mode.h"
#include "codec/raw_extraction.h"
#include "formats/raw_scratch_files.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvane;
  using namespace orvane::codec;
  if (size < 2) return 0;
  ExtractionOptions options;
  options.threshold = std::uint16_t(1 + (data[0] & 63));
  options.bit_order = (data[0] & 0x40) ? 2 : 1;
  options.nonstandard_widths = (data[0] & 0x80) != 0;
  const bool t6 = (data[1] & 1) != 0;
  const std::span<const std::uint8_t> bytes(data + 2, size - 2);

  const WorkingPaths paths = fuzz::scratch().paths();
  RawScratchFiles files(paths.row_file, paths.page_index);
  FaxCodec codec;
  codec.configure(bytes, options.bit_order, kCodingUnknown, 0);
  if (t6) {
    codec.raw_flag = (data[1] & 2) ? 1 : 0;
    extract_t6(codec, files, options);
  } else {
    extract(codec, files, options);
  }
  // The index file promises rows that the row file must hold.
  std::error_code ec;
  const auto index_size = std::filesystem::file_size(paths.page_index, ec);
  if (!ec) FUZZ_CHECK(index_size == 0 || index_size >= kIndexHeaderSize);
  return 0;
}
