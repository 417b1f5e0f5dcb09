// orvane-cli names the limit a hostile file hit, in the one error line it
// prints for the file.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace orvane {
namespace {

const std::string kCli = std::string(ORVANE_BINARY_DIR) + "/src/cli/orvane-cli";

TEST(CliLimits, InfoAndRenderSayWhichLimitAPageHit) {
  test::TempDir dir;
  // A one-page DCX file whose PCX page claims 87 planes of 22359 bytes a row.
  const std::string dcx = test::fixture("malformed/dcx-rows-wider-than-any-page.dcx").string();
  const std::string info = test::run_output(kCli + " info '" + dcx + "' 2>&1");
  EXPECT_NE(info.find("page 2 is larger than the largest page this program opens (65535 x "
                      "65535 pixels, 256 MiB)"),
            std::string::npos)
      << info;

  const std::string out = (dir / "p2.pbm").string();
  const std::string render =
      test::run_output(kCli + " render '" + dcx + "' --page 2 -o '" + out + "' 2>&1; echo rc=$?");
  EXPECT_NE(render.find(dcx + ": page 2 is larger than the largest page this program opens"),
            std::string::npos)
      << render;
  EXPECT_NE(render.find("rc=1"), std::string::npos) << render;
}

}  // namespace
}  // namespace orvane
