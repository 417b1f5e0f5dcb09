#include "core/classify.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/format_registry.h"
#include "support/test_support.h"

namespace orvane {
namespace {

// Every row's endings name its format in any letter case, with or without a
// dot; only the end of the whole name counts, and other names are raw data.
TEST(Classify, NameEndingsChooseTheReaderInAnyLetterCase) {
  for (const FormatRow& row : format_rows()) {
    if (row.name_probe) continue;  // the first bytes decide: below
    for (std::string_view ending : row.endings) {
      std::string upper(ending);
      for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
      for (const std::string& name :
           {"a." + std::string(ending), "dir/B." + upper, "no-dot-" + std::string(ending)})
        EXPECT_EQ(classify_by_name(name), row.number) << name;
    }
  }
  for (const char* name : {"fax.xyz", "fax", "/some/dir.tif/fax.xyz", "tif.x"})
    EXPECT_EQ(classify_by_name(name), kFormatRawFax) << name;
}

TEST(Classify, G3fFilesAreProbedByTheirFirstBytes) {
  test::TempDir dir;
  test::write_file(dir / "tiff.g3f", {0x49, 0x49, 0x2A, 0x00, 8, 0, 0, 0});
  EXPECT_EQ(classify(dir / "tiff.g3f"), kFormatZetafax);
  std::vector<std::uint8_t> pc = {0x00};
  for (char c : std::string("PC Research, Inc")) pc.push_back(std::uint8_t(c));
  test::write_file(dir / "pc.g3f", pc);
  EXPECT_EQ(classify(dir / "pc.g3f"), kFormatUnsupported);
  test::write_file(dir / "raw.G3F", {0x00, 0x10, 0x01});
  EXPECT_EQ(classify(dir / "raw.G3F"), kFormatRawFax);
  test::write_file(dir / "empty.g3f", {});
  EXPECT_EQ(classify(dir / "empty.g3f"), kFormatRawFax);
  EXPECT_EQ(classify(dir / "missing.g3f"), kFormatRawFax);
}

TEST(Classify, ASignatureOverrulesANameThatPointsElsewhere) {
  test::TempDir dir;
  const std::vector<std::uint8_t> tiff = {'I', 'I', 0x2A, 0x00, 8, 0, 0, 0};
  const std::vector<std::uint8_t> dcx = {0xB1, 0x68, 0xDE, 0x3A, 0, 0, 0, 0};
  auto text = [](const char* s) { return std::vector<std::uint8_t>(s, s + std::strlen(s)); };
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::int32_t format;
  } cases[] = {
      {"fax_attachment", tiff, kFormatTiff},          // no name ending: bare data by name
      {"fax.001", {'M', 'M', 0, 0x2A}, kFormatTiff},  // efax's received pages
      {"scan.g3", dcx, kFormatDcx},
      {"page.tif", dcx, kFormatDcx},  // a signed format the file is not
      {"page.tif", text("APF10"), kFormatApro},
      {"page.dcx", text("BIT  FAX"), kFormatBitware},
      {"x.bfx", std::vector<std::uint8_t>{'Q', 'L', 'I', 'I', 'F', 'A', 'X', 0}, kFormatQuickLink},
      {"x.g3", text("QRN-FAX"), kFormatQrnFax},
      {"a.fmf", tiff, kFormatFaxWizard},  // TIFF inside: the name keeps its say
      {"a.g3n", tiff, kFormatZetafax},
      {"a.fxs", tiff, kFormatWinFax},  // no signature of its own: the name decides
      {"notes.txt", tiff, kFormatNotFax},
      {"letter.fax", text("%PDF-1.4"), kFormatNotFax},
      {"scan.tif", std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF, 0xE0}, kFormatNotFax},
      {"scan.tif", std::vector<std::uint8_t>{0x12, 0x34}, kFormatTiff},  // damaged: the name stands
      {"fax.g3", std::vector<std::uint8_t>{0x00, 0x10, 0x01}, kFormatRawFax},
  };
  for (const Case& c : cases) {
    test::write_file(dir / c.name, c.bytes);
    EXPECT_EQ(classify(dir / c.name), c.format) << c.name;
  }
}

// The name rules are tried row by row; that is only sound while no ending
// is the end of another row's ending.
TEST(FormatRegistry, NoEndingHidesAnotherRowsEndingAndEveryReaderRowIsNamed) {
  const auto rows = format_rows();
  for (const FormatRow& a : rows) {
    EXPECT_FALSE(a.name.empty());
    EXPECT_EQ(find_format(a.number), &a) << "number " << a.number << " has two rows";
    for (const FormatRow& b : rows) {
      if (&a == &b) continue;
      for (std::string_view x : a.endings)
        for (std::string_view y : b.endings)
          EXPECT_FALSE(y.size() >= x.size() && y.substr(y.size() - x.size()) == x)
              << x << " hides " << y;
    }
    EXPECT_EQ(a.make_reader != nullptr, a.family != FormatFamily::kNone) << a.name;
  }
  EXPECT_EQ(reader_slot(kFormatZetafax), kFormatTiff);
  EXPECT_EQ(reader_slot(25), kFormatRawFax);
  EXPECT_EQ(make_reader(2), nullptr);
  EXPECT_TRUE(is_raw_format(-1) && is_raw_format(99) && !is_raw_format(2));
}

// What users are told (the lists made from the file types) must hold: a
// file under any listed name that carries the format's signature opens as
// that format, and the signature alone finds the first row that has it.
TEST(FormatRegistry, ListedNamesAndSignaturesLeadToTheirFormat) {
  test::TempDir dir;
  for (const FormatRow& row : format_rows()) {
    std::vector<std::uint8_t> bytes(24, 0);
    if (row.magic.size() > 0) {
      const std::string_view magic = *row.magic.begin();
      std::memcpy(bytes.data(), magic.data(), magic.size());
      const FormatRow* named = find_format(format_by_signature(bytes));
      ASSERT_NE(named, nullptr) << row.name;
      EXPECT_LE(named, &row) << row.name << " is named by a later row";
      EXPECT_TRUE(has_signature_of(named->number, bytes)) << row.name;
      std::vector<std::uint8_t> spoilt = bytes;
      spoilt[magic.size() - 1] ^= 0x5A;
      EXPECT_FALSE(matches_signature(row, spoilt)) << row.name;
      EXPECT_FALSE(matches_signature(row, std::span(bytes).first(magic.size() - 1))) << row.name;
    }
    for (const FileType& type : row.file_types)
      for (std::string_view ending : file_type_endings(row, type)) {
        const std::filesystem::path path = dir / ("fax." + std::string(ending));
        test::write_file(path, bytes);
        EXPECT_EQ(classify(path), row.number) << path.filename() << " as " << type.mime_type;
      }
  }
}

}  // namespace
}  // namespace orvane
