#pragma once
// The private scratch folder of one running program: the row file and page
// index file of raw fax data and the temporary TIFF of At Work files. Each
// process gets its own folder (mode 0700) under the system's temporary
// folder, named "orvane-PID-XXXXXX", so that copies running at once never
// share files; it is removed when the object goes, and a folder whose
// process no longer exists (a killed run) is removed by the next run.
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

// Removes from `base` the scratch folders of this user whose processes no
// longer exist.
void remove_abandoned_scratch_dirs(const std::filesystem::path& base);

}  // namespace orvane
