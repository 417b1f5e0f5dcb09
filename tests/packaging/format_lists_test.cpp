// The lists of formats a user meets outside the programs (MIME types,
// desktop and thumbnailer entries, completion, manual pages, guide) as the
// build made them: each must name every format the registry lists, by the
// same endings and types.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "core/format_registry.h"
#include "support/test_support.h"
#include "template_fill.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

const fs::path kGenerated = fs::path(ORVANE_BINARY_DIR) / "packaging/generated";

std::string text_of(const fs::path& path) {
  std::ifstream in(path);
  std::ostringstream out;
  out << in.rdbuf();
  EXPECT_TRUE(in.good() || in.eof()) << path;
  return out.str();
}

// MIME type -> its endings, as the registry gives them.
std::map<std::string, std::set<std::string>> registry_types() {
  std::map<std::string, std::set<std::string>> types;
  for (const FormatRow& row : format_rows())
    for (const FileType& t : row.file_types)
      for (std::string_view e : file_type_endings(row, t))
        types[std::string(t.mime_type)].insert(std::string(e));
  return types;
}

std::set<std::string> all_endings() {
  std::set<std::string> out;
  for (const auto& [type, endings] : registry_types()) out.insert(endings.begin(), endings.end());
  return out;
}

// MIME type -> glob endings in a shared-mime-info file (read with plain
// searches: the desktop's own file is large for std::regex).
std::map<std::string, std::set<std::string>> globs_in(const std::string& xml) {
  std::map<std::string, std::set<std::string>> out;
  const std::string open = "<mime-type type=\"", glob = "<glob pattern=\"*.";
  for (std::size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at + 1)) {
    const std::size_t name = at + open.size();
    const std::size_t end = xml.find("</mime-type>", name);
    auto& globs = out[xml.substr(name, xml.find('"', name) - name)];
    for (std::size_t g = xml.find(glob, name); g < end; g = xml.find(glob, g + 1)) {
      const std::size_t from = g + glob.size();
      globs.insert(xml.substr(from, xml.find('"', from) - from));
    }
  }
  return out;
}

std::set<std::string> split(const std::string& text, char separator) {
  std::set<std::string> out;
  std::istringstream in(text);
  for (std::string item; std::getline(in, item, separator);)
    if (!item.empty()) out.insert(item);
  return out;
}

std::string key_value(const std::string& entry, const std::string& key) {
  std::smatch m;
  EXPECT_TRUE(std::regex_search(entry, m, std::regex("\n" + key + "=([^\n]*)"))) << key;
  return m.size() > 1 ? m[1].str() : std::string();
}

// Our MIME file together with the desktop's own database gives every type
// its endings, and never redefines a type the desktop defines.
TEST(FormatLists, MimeTypesCarryEveryEnding) {
  const auto ours = globs_in(text_of(kGenerated / "orvane.xml"));
  const auto system = globs_in(text_of("/usr/share/mime/packages/freedesktop.org.xml"));
  ASSERT_FALSE(system.empty());
  for (const auto& [type, endings] : registry_types()) {
    const bool defined_here = ours.count(type) > 0;
    EXPECT_NE(defined_here, system.count(type) > 0) << type << " is defined by both or neither";
    std::set<std::string> globbed = defined_here ? ours.at(type) : system.at(type);
    for (const std::string& e : endings) EXPECT_TRUE(globbed.count(e)) << type << " lacks *." << e;
    if (defined_here) {
      EXPECT_EQ(globbed, endings) << type;
    }
  }
  for (const auto& [type, globs] : ours) EXPECT_TRUE(registry_types().count(type)) << type;
}

TEST(FormatLists, DesktopAndThumbnailerEntriesNameTheTypes) {
  std::set<std::string> types;
  for (const auto& [type, endings] : registry_types()) types.insert(type);
  const std::string desktop = text_of(kGenerated / "orvane.desktop");
  EXPECT_EQ(split(key_value(desktop, "MimeType"), ';'), types);

  // Every fax type but TIFF, which the desktop thumbnails itself (photos
  // are TIFF files too).
  const std::string entry = text_of(kGenerated / "orvane.thumbnailer");
  std::set<std::string> thumbnailed = types;
  thumbnailed.erase("image/tiff");
  EXPECT_EQ(split(key_value(entry, "MimeType"), ';'), thumbnailed);
  EXPECT_EQ(key_value(entry, "Exec"), "orvane-thumbnailer -s %s %i %o");
}

// The completion offers files of every ending, in either case, and leaves
// others out while fax files are there.
TEST(FormatLists, CompletionOffersEveryFaxEnding) {
  test::TempDir dir;
  std::set<std::string> fax_files;
  for (const std::string& e : all_endings()) {
    std::string upper = e;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    for (const std::string& name : {"a." + e, "B." + upper}) {
      test::write_file(dir / name, {0});
      fax_files.insert(name);
    }
  }
  test::write_file(dir / "notes.txt", {0});
  const std::string offered =
      test::run_output("cd '" + dir.path().string() +
                       "' && bash -c 'source \"$1\"; COMP_WORDS=(orvane-cli info \"\");"
                       " COMP_CWORD=2; _orvane_cli; printf \"%s\\n\" \"${COMPREPLY[@]}\"' _ '" +
                       (kGenerated / "orvane.bash-completion").string() + "'");
  EXPECT_EQ(split(offered, '\n'), fax_files);
}

// The manual pages' FORMATS section and the guide's table name every ending
// of every format, and no marker is left.
TEST(FormatLists, ManualPagesAndGuideListEveryEnding) {
  for (const char* name : {"orvane-cli.1", "orvane.1", "help/index.html"}) {
    std::string text = text_of(kGenerated / name);
    EXPECT_EQ(text.find("@ENDINGS"), std::string::npos) << name;
    EXPECT_EQ(text.find("@MAN_FORMATS@"), std::string::npos) << name;
    const std::size_t from = text.find(name[0] == 'h' ? "id=\"formats\"" : ".SH FORMATS");
    ASSERT_NE(from, std::string::npos) << name;
    text = text.substr(from, text.find(name[0] == 'h' ? "</table>" : ".SH OPTIONS", from) - from);
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");  // roff's hyphens
    for (const std::string& e : all_endings())
      EXPECT_TRUE(std::regex_search(text, std::regex("\\." + e + "\\b"))) << name << ": ." << e;
    // The guide names the kinds in its own words.
    for (const FormatRow& row : format_rows())
      if (row.file_types.size() > 0 && name[0] != 'h') {
        EXPECT_NE(text.find(std::string(row.name)), std::string::npos) << name << ": " << row.name;
      }
  }
}

TEST(FormatLists, TemplatesMustNameEveryFormatOnce) {
  struct Case {
    std::string text;
    std::string error;  // empty: filled
  };
  std::string all;
  for (const FormatRow& row : format_rows())
    if (row.file_types.size() > 0) all += "@ENDINGS " + std::to_string(row.number) + "@\n";
  const Case cases[] = {
      {all, ""},
      {all + "@ENDINGS 16@", "format 16 (TIFF) is named 2 times"},
      {all.substr(all.find('\n') + 1), "is named 0 times"},
      {all + "@ENDINGS -1@", "names no format"},
      {"x @NO_SUCH_LIST@ y", "unknown marker @NO_SUCH_LIST@"},
      {"mail me@Example.org, extglob @(a|b), MimeType=@FAX_MIME_TYPES@", ""},
  };
  for (const Case& c : cases) {
    std::string out, error;
    const bool filled = lists::fill_template(c.text, out, error);
    EXPECT_EQ(filled, c.error.empty()) << c.text << ": " << error;
    if (!c.error.empty()) {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
  }
  std::string out, error;
  ASSERT_TRUE(lists::fill_template("a\n.\\\" @MAN_FORMATS@\nb\n", out, error)) << error;
  EXPECT_EQ(out.substr(0, 6), "a\n.TP\n");
  EXPECT_EQ(out.substr(out.size() - 2), "b\n");
}

}  // namespace
}  // namespace orvane
