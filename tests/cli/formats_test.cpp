// orvane-cli formats: the registry's rows for people and, as JSON, for the
// build and other programs.
#include <gtest/gtest.h>

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
    EXPECT_EQ(jq(at + " | .endings | length"), std::to_string(row.endings.size()) + "\n");
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
