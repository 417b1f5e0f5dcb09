#pragma once
// The private scratch folder of one running program: the row file and page
// index file of raw fax data and the temporary TIFF of At Work files. Each
// process gets its own folder (mode 0700) under the system's temporary
// folder, so that copies running at once never share files; it is removed
// when the object goes.
#include <filesystem>

#include "core/fax_file.h"

namespace orvane {

class ScratchDir {
 public:
  ScratchDir();  // creates the folder; ok() tells whether that worked
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  bool ok() const { return !root_.empty(); }
  const std::filesystem::path& root() const { return root_; }
  // "orvtmp.tmp", "segtemp.tmp" and "tmptif" inside the folder.
  WorkingPaths paths() const;

 private:
  std::filesystem::path root_;
};

}  // namespace orvane
