// orvane-cli formats: the registry's rows for people and, as JSON, for the
// build and other programs.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

#include "cli/run_cli.h"
#include "core/format_registry.h"

namespace orvane {
namespace {

// jq, an independent JSON reader, asks the questions.
std::string jq(const std::string& filter) {
  return test::run_output(test::kCli + " formats --json | jq -c '" + filter + "' 2>&1");
}

TEST(CliFormats, JsonHoldsEveryRowWithItsTypesAndSignature) {
  EXPECT_EQ(jq(".formats | length"), std::to_string(format_rows().size()) + "\n");
  for (const FormatRow& row : format_rows()) {
    const std::string at = ".formats[] | select(.number == " + std::to_string(row.number) + ")";
    EXPECT_EQ(jq(at + " | .name"), "\"" + std::string(row.name) + "\"\n");
    EXPECT_EQ(jq(at + " | .classified_by | length"), std::to_string(row.endings.size()) + "\n");
    EXPECT_EQ(jq(at + " | .mime_types | length"), std::to_string(row.file_types.size()) + "\n");
  }
  // Signatures as hex, NUL bytes and bytes above 0x7F included.
  EXPECT_EQ(jq(".formats[] | select(.name == \"TIFF\") | .signature"),
            "[\"49492a00\",\"4d4d002a\"]\n");
  EXPECT_EQ(jq(".formats[] | select(.name == \"DCX\") | .signature"), "[\"b168de3a\"]\n");
  EXPECT_EQ(jq(".formats[] | select(.name == \"raw fax data\") | .mime_types"),
            "[{\"type\":\"image/g3fax\",\"endings\":[\"g3\"]},{\"type\":\"image/x-ccitt-fax\","
            "\"endings\":[\"g4\",\"mh\",\"mr\",\"mmr\"]}]\n");
  EXPECT_EQ(jq("[.formats[] | select(.opens | not) | .number]"), "[-1,-2]\n");
}

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

// A shared-mime-info magic value (C escapes) as hex.
std::string magic_hex(const std::string& value) {
  std::string out;
  char buf[3];
  for (std::size_t i = 0; i < value.size(); ++i) {
    unsigned byte = static_cast<unsigned char>(value[i]);
    if (value[i] == '\\' && i + 3 < value.size() && value[i + 1] == 'x') {
      byte = unsigned(std::stoul(value.substr(i + 2, 2), nullptr, 16));
      i += 3;
    }
    std::snprintf(buf, sizeof buf, "%02x", byte);
    out += buf;
  }
  return out;
}

// The JSON, the table, the desktop's MIME file and the desktop entry are
// made from the same rows: each format's endings, types and signatures
// agree in all of them.
TEST(CliFormats, JsonTableAndDesktopFilesAgree) {
  namespace fs = std::filesystem;
  const fs::path generated = fs::path(ORVANE_BINARY_DIR) / "packaging/generated";
  std::ifstream xml_in(generated / "orvane.xml"), desktop_in(generated / "orvane.desktop");
  ASSERT_TRUE(xml_in && desktop_in);
  const std::string xml((std::istreambuf_iterator<char>(xml_in)), {});
  const std::string desktop((std::istreambuf_iterator<char>(desktop_in)), {});
  const std::string table = test::run_cli("formats").out;
  // One line per type and format: "number|type|endings|signatures".
  std::istringstream json(
      jq(".formats[] | .number as $n | .signature as $s | "
         "(.mime_types[] // {type: \"-\", endings: []}) as $t | "
         "[$n, $t.type, ($t.endings | join(\" \")), ($s | join(\" \"))] | "
         "map(tostring) | join(\"|\")") +
      jq(".formats[] | [.number, \"*\", (.endings | join(\" \"))] | map(tostring) | "
         "join(\"|\")"));
  std::map<std::string, std::set<std::string>> row_endings, type_endings, shown_by_row;
  std::map<std::string, std::string> type_row;
  std::map<std::string, std::set<std::string>> row_signatures;
  std::set<std::string> json_types;
  for (std::string line; std::getline(json, line);) {
    std::vector<std::string> f;
    std::istringstream fields(line.substr(1, line.size() - 2));  // the quotes
    for (std::string x; std::getline(fields, x, '|');) f.push_back(x);
    f.resize(4);
    if (f[1] == "*") {
      for (const std::string& e : words(f[2])) row_endings[f[0]].insert(e);
      continue;
    }
    for (const std::string& s : words(f[3])) row_signatures[f[0]].insert(s);
    if (f[1] == "-") continue;
    json_types.insert(f[1]);
    type_row[f[1]] = f[0];
    for (const std::string& e : words(f[2])) {
      type_endings[f[1]].insert(e);
      shown_by_row[f[0]].insert(e);
    }
  }
  ASSERT_FALSE(json_types.empty());
  // A format's endings are those of its types.
  for (const auto& [row, endings] : shown_by_row) EXPECT_EQ(row_endings[row], endings) << row;

  // The table: one line per type, with that type's endings.
  std::istringstream lines(table);
  std::set<std::string> table_types;
  for (std::string line; std::getline(lines, line);) {
    const std::vector<std::string> w = words(line);
    if (w.empty() || !type_row.count(w.back())) continue;
    table_types.insert(w.back());
    std::set<std::string> dotted;
    for (const std::string& x : w)
      if (x[0] == '.') dotted.insert(x.substr(1));
    EXPECT_EQ(dotted, type_endings[w.back()]) << line;
  }
  EXPECT_EQ(table_types, json_types);

  // The MIME file: the types it defines glob the JSON's endings, and every
  // magic it matches is a signature the JSON lists for the format.
  const std::string open = "<mime-type type=\"";
  for (std::size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at + 1)) {
    const std::size_t from = at + open.size();
    const std::string type = xml.substr(from, xml.find('"', from) - from);
    const std::string entry = xml.substr(from, xml.find("</mime-type>", from) - from);
    ASSERT_TRUE(type_row.count(type)) << type;
    std::set<std::string> globs;
    const std::regex glob(R"re(<glob pattern="\*\.([^"]+)")re"),
        match(R"re(<match [^>]*value="([^"]+)")re");
    for (std::sregex_iterator g(entry.begin(), entry.end(), glob), end; g != end; ++g)
      globs.insert((*g)[1]);
    EXPECT_EQ(globs, type_endings[type]) << type;
    for (std::sregex_iterator m(entry.begin(), entry.end(), match), end; m != end; ++m)
      EXPECT_TRUE(row_signatures[type_row[type]].count(magic_hex((*m)[1])))
          << type << " " << (*m)[1];
  }
  EXPECT_EQ(jq(".formats[] | select(.name == \"WinFax\") | .hint_signature"), "[\"0b23\"]\n");

  // The desktop entry offers the viewer for every type.
  std::smatch types;
  ASSERT_TRUE(std::regex_search(desktop, types, std::regex("\nMimeType=([^\n]*)")));
  std::set<std::string> offered;
  std::istringstream list(types[1].str());
  for (std::string t; std::getline(list, t, ';');)
    if (!t.empty()) offered.insert(t);
  EXPECT_EQ(offered, json_types);
}

TEST(CliFormats, TableShowsOneLinePerType) {
  const test::CliResult r = test::run_cli("formats");
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("TIFF"), std::string::npos);
  EXPECT_NE(r.out.find(".tif .tiff"), std::string::npos);
  EXPECT_NE(r.out.find("II*\\x00 or MM\\x00*"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(".g4 .mh .mr .mmr"), std::string::npos);
  EXPECT_EQ(test::run_cli("formats --bogus").code, 2);
}

}  // namespace
}  // namespace orvane
