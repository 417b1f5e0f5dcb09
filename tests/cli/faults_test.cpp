// Faults of the machine named as what they are: a full scratch folder or a
// file-size limit, names at the longest a folder takes, libpng's faults
// and names or page texts that would steer the terminal.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/run_cli.h"
#include "formats/container_writers.h"
#include "support/test_support.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::fixture;

std::string q(const fs::path& p) {
  return "'" + p.string() + "'";
}

TEST(CliFaults, EachFaultIsOneLineThatNamesIt) {
  test::TempDir dir;
  fs::create_directories(dir / "tmp");
  const std::string bare = q(fixture("raw/text-1728-pbmtog3.g3"));
  const std::string tif = q(fixture("tiff/multipage-1728-g4.tif"));
  // A WinFax page whose text would clear the screen.
  test::TempDir tools;
  const test::Pbm image = test::test_image(1728, 40, 3);
  test::write_file(dir / "text.fxs",
                   test::winfax_file({{.coded = test::tiffcp_ccitt(tools, image, "g4", true),
                                       .rows = 40,
                                       .mmr = true,
                                       .text = "\x1b[2JFrom:\tme"}}));
  test::write_file(dir / "new\nline\x1b[2J.g3", {1, 2, 3, 4});
  const std::string longest(251, 'n');  // with ".tif", the longest name a folder takes
  struct Case {
    std::string limit;  // a shell's ulimit -f, "" for none
    std::string args;
    int code;
    std::string says, never;
  } cases[] = {
      // The decoded rows of bare data do not fit the scratch folder.
      {"8", "info " + bare, 1, ": the temporary folder is full\n", "--raw-t6"},
      {"1", "convert " + tif + " -o out.tif", 1,
       "out.tif: conversion failed: the output could not be written: File too large\n", ""},
      {"1", "render " + tif + " -o out.png", 1,
       "out.png: the image could not be written: File too large\n", "libpng"},
      {"", "convert " + tif + " -o " + longest + ".tif", 0, "", "File name too long"},
      {"", "convert " + tif + " -o " + longest.substr(0, 238) + ".pdf", 0, "", "too long"},
      {"", "info text.fxs", 0, ", \"\\x1b[2JFrom:\\tme\"\n", "\x1b"},
      {"", "info 'new\nline\x1b[2J.g3'", 1, "new\\nline\\x1b[2J.g3: ", "\x1b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const std::string prefix = c.limit.empty() ? "" : "ulimit -f " + c.limit + " && ";
    const std::string out =
        test::run_output("cd " + q(dir.path()) + " && " + prefix + "TMPDIR=" + q(dir / "tmp") +
                         " " + test::kCli + " " + c.args + " 2>&1; echo \"@$?\"");
    EXPECT_NE(out.find(c.says), std::string::npos) << out;
    EXPECT_NE(out.find("@" + std::to_string(c.code) + "\n"), std::string::npos) << out;
    if (!c.never.empty()) {
      EXPECT_EQ(out.find(c.never), std::string::npos) << out;
    }
    // Nothing half written and no scratch folder left, whatever the fault.
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));
    for (const auto& e : fs::directory_iterator(dir.path()))
      EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos) << e.path();
  }
  EXPECT_TRUE(fs::exists(dir / (longest + ".tif")));
  EXPECT_FALSE(fs::exists(dir / "out.tif"));
  EXPECT_FALSE(fs::exists(dir / "out.png"));
}

}  // namespace
}  // namespace orvane
