#pragma once
// Runs orvane-cli as a user does, from a shell, and collects what it said.
#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace orvane::test {

inline const std::string kCli = std::string(ORVANE_BINARY_DIR) + "/src/cli/orvane-cli";

struct CliResult {
  int code;
  std::string out;  // stdout and stderr together
};

// `args` in the folder `dir` (the current one when empty), with `env`
// ("NAME=value ...") added to the environment; a run that hangs ends after
// 20 seconds with code 124.
inline CliResult run_cli(const std::string& args, const std::filesystem::path& dir = {},
                         const std::string& env = {}) {
  const std::string marker = "@@exit=";
  const std::string cd = dir.empty() ? std::string() : "cd '" + dir.string() + "' && ";
  const std::string out = run_output(cd + (env.empty() ? "" : "env " + env + " ") + "timeout 20 " +
                                     kCli + " " + args + " 2>&1; echo " + marker + "$?");
  const auto at = out.rfind(marker);
  return {std::stoi(out.substr(at + marker.size())), out.substr(0, at)};
}

}  // namespace orvane::test
