// Built with a registry that has one row more than the product's: the new
// format must be classified, named, opened, listed and fuzzed with nothing
// but its reader and that row.
#include <gtest/gtest.h>

#include <cstring>

#include "base/byte_order.h"
#include "core/classify.h"
#include "core/fax_file.h"
#include "core/format_registry.h"
#include "fuzz_formats.h"
#include "registry_row/test_format.h"
#include "support/test_support.h"

namespace orvane {

namespace test_format {
namespace {

class Reader final : public FormatReader {
 public:
  ReaderResult recognise() override {
    std::array<std::uint8_t, 12> head{};
    if (file_.read_at(0, head) != head.size() || !signature(head)) {
      close();
      return ReaderResult::kBadSignature;
    }
    width_ = le16(&head[8]);
    height_ = le16(&head[10]);
    return ReaderResult::kOk;
  }
  std::uint16_t build_page_table() override { return is_open() ? 1 : 0; }
  Status load_page(std::uint32_t index, PageBitmap& page) override {
    page.clear();
    const std::int64_t bytes = checked_page_size(width_, height_, row_bytes_for(width_));
    if (index != 0 || bytes <= 0) return Refusal(limits::Limit::kPage);
    if (Status room = page.allocate_pixels(bytes); !room) return room;
    page.width = width_;
    page.height = height_;
    page.row_bytes = row_bytes_for(width_);
    page.xres = page.yres = 200;
    file_.read_at(12, page.pixels);
    return {};
  }

 private:
  std::int32_t width_ = 0, height_ = 0;
};

}  // namespace

bool signature(std::span<const std::uint8_t> head) {
  return head.size() >= 8 && std::memcmp(head.data(), "ORVTEST1", 8) == 0;
}
std::unique_ptr<FormatReader> make_reader() {
  return std::make_unique<Reader>();
}

}  // namespace test_format

namespace {

TEST(RegistryRow, ANewRowIsClassifiedNamedOpenedListedAndFuzzed) {
  test::TempDir dir;
  std::vector<std::uint8_t> bytes = {'O', 'R', 'V', 'T', 'E', 'S', 'T', '1', 9, 0, 2, 0};
  bytes.insert(bytes.end(), {0x00, 0x7F, 0xFF, 0x80});  // 9 pixels, 2 rows
  const auto named = dir.path() / "page.OTF";
  const auto unnamed = dir.path() / "page.g4";  // a bare-data name: the signature wins
  test::write_file(named, bytes);
  test::write_file(unnamed, bytes);

  EXPECT_EQ(classify(named), test_format::kNumber);
  EXPECT_EQ(classify(unnamed), test_format::kNumber);
  EXPECT_EQ(format_name(test_format::kNumber), "Orvane test format");
  EXPECT_FALSE(is_raw_format(test_format::kNumber));
  EXPECT_NE(readable_format_list().find("Orvane test format"), std::string::npos);
  EXPECT_EQ(fuzz::find_fuzzed_format("orvane-test-format"), find_format(test_format::kNumber));

  FaxFile fax;
  fax.set_parameters(DecodingParameters{});
  ASSERT_EQ(fax.open(named, test_format::kNumber), OpenResult::kOk);
  ASSERT_TRUE(fax.page_valid());
  EXPECT_EQ(fax.page_count(), 1);
  EXPECT_EQ(fax.page().width, 9);
  EXPECT_EQ(fax.page().row(1)[0], 0xFF);
  // The product's formats are untouched by the extra row.
  EXPECT_EQ(classify(dir.path() / "missing.tif"), kFormatTiff);
}

}  // namespace
}  // namespace orvane
