// File Open's filters: the dialog's own texts and order, with the name
// endings the format registry gives, so that every format read is offered.
#include "app/file_filters.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "core/classify.h"
#include "core/format_registry.h"

namespace orvane::app {
namespace {

TEST(OpenFileFilters, KeepTheDialogsTextsAndOfferQrnFax) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Known fax types",
       "*.tif;*.tiff;*.fmf;*.fxd;*.fxr;*.fxs;*.fxm;*.dcx;*.qfx;*.bfx;*.awd;*.apf;*.g3f;*.g3n;*.g3;"
       "*.g4;*.mh;*.mr;*.mmr;*.qrn;*.sff"},
      {"Apro fax(*.apf)", "*.apf"},
      {"Tiff fax(*.tif,*.tiff)", "*.tif;*.tiff"},
      {"WinFax fax(*.fxd,*.fxr,*.fxs,*.fxm)", "*.fxd;*.fxr;*.fxs;*.fxm"},
      {"FaxWizard fax(*.fmf)", "*.fmf"},
      {"Bitware fax(*.bfx)", "*.bfx"},
      {"Dcx fax(*.dcx)", "*.dcx"},
      {"Quick Link II fax(*.qfx)", "*.qfx"},
      {"Ms at work fax(*.awd)", "*.awd"},
      {"Zetafax(*.g3f,*.g3n)", "*.g3f;*.g3n"},
      {"QRN-FAX fax(*.qrn)", "*.qrn"},
      {"SFF fax(*.sff)", "*.sff"},
      {"Other fax files(*.*)", "*.*"},
  };
  const std::vector<FileFilter>& filters = open_file_filters();
  ASSERT_EQ(filters.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(filters[i].description, expected[i].first);
    EXPECT_EQ(filters[i].patterns, expected[i].second) << expected[i].first;
  }
  const QStringList qt = open_name_filters();
  EXPECT_EQ(qt.front().toStdString().substr(0, 31), "Known fax types (*.tif *.tiff *");
  EXPECT_EQ(qt.back(), QStringLiteral("Other fax files(*.*) (*)"));
}

// A name the first filter offers opens as a fax (bare data included), and
// every format that reads files is offered under some name.
TEST(OpenFileFilters, EveryOfferedNameOpensAsAFax) {
  std::set<std::int32_t> offered;
  std::istringstream known(open_file_filters().front().patterns);
  for (std::string pattern; std::getline(known, pattern, ';');) {
    const std::int32_t format = classify_by_name("/nowhere/fax" + pattern.substr(1));
    EXPECT_GE(format, 0) << pattern;
    offered.insert(format);
  }
  for (const FormatRow& row : format_rows())
    if (row.make_reader) {
      EXPECT_TRUE(offered.count(row.number)) << row.name;
    }
}

}  // namespace
}  // namespace orvane::app
