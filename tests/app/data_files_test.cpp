// The viewer finds its guide and samples beside itself in a build tree and
// under PREFIX/share/orvane when installed to PREFIX/bin.
#include <gtest/gtest.h>

#include <QDir>
#include <QString>
#include <filesystem>
#include <fstream>

#include "app/help/help_contents.h"
#include "support/test_support.h"

namespace orvane::app {
namespace {

void touch(const std::filesystem::path& file) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file) << "x";
}

TEST(DataFiles, FoundBesideTheProgramOrInTheInstalledDataFolder) {
  test::TempDir tmp;
  const std::filesystem::path build = tmp / "build", prefix = tmp / "prefix";
  touch(build / "help/index.html");
  touch(build / "samples/sample.tif");
  touch(prefix / "share/orvane/help/index.html");
  touch(prefix / "share/orvane/samples/sample.tif");
  std::filesystem::create_directories(prefix / "bin");
  std::filesystem::create_directories(tmp / "bare/bin");
  const auto dir = [](const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
  };
  const auto canonical = [&](const std::filesystem::path& p) {
    return dir(std::filesystem::canonical(p));
  };

  EXPECT_EQ(help_file(dir(build)), canonical(build / "help/index.html"));
  EXPECT_EQ(data_path(dir(build), "samples"), canonical(build / "samples"));
  EXPECT_EQ(help_file(dir(prefix / "bin")), canonical(prefix / "share/orvane/help/index.html"));
  EXPECT_EQ(data_path(dir(prefix / "bin"), "samples"), canonical(prefix / "share/orvane/samples"));
  EXPECT_TRUE(help_file(dir(tmp / "bare/bin")).isEmpty());
  EXPECT_TRUE(data_path(dir(tmp / "bare/bin"), "samples").isEmpty());
  // A folder named like the guide is no guide.
  std::filesystem::create_directories(tmp / "odd/help/index.html");
  EXPECT_TRUE(help_file(dir(tmp / "odd")).isEmpty());
}

}  // namespace
}  // namespace orvane::app
