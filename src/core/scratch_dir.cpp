#include "core/scratch_dir.h"

#include <stdlib.h>

#include <string>

namespace orvane {

ScratchDir::ScratchDir() {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  std::string templ = (base / "orvane-XXXXXX").string();
  if (mkdtemp(templ.data())) root_ = templ;  // mkdtemp makes it 0700
}

ScratchDir::~ScratchDir() {
  if (root_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

WorkingPaths ScratchDir::paths() const {
  return {root_ / "orvtmp.tmp", root_ / "segtemp.tmp", root_ / "tmptif"};
}

}  // namespace orvane
