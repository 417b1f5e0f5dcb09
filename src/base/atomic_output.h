#pragma once
// An output file that appears whole or not at all. Where the file system
// allows, it is created without a name (O_TMPFILE) and linked under its
// name only on commit, so that even a killed process leaves nothing behind;
// elsewhere it is written under a hidden temporary name beside the target
// and renamed over it on commit. A failed or abandoned write leaves no
// partial file and an existing target untouched.
#include <filesystem>
#include <system_error>

namespace orvane {

class AtomicOutput {
 public:
  // Creates the temporary file beside `target`; ok() tells whether that worked.
  explicit AtomicOutput(const std::filesystem::path& target);
  ~AtomicOutput();  // removes the temporary file unless committed
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;

  bool ok() const { return !temp_.empty(); }
  // Where to write: a path that opens the temporary file (for an unnamed
  // file, its /proc/self/fd entry).
  const std::filesystem::path& temp_path() const { return temp_; }
  // Gives the file the permissions a newly created file would have (or
  // those of the target it replaces) and puts it under the target's name.
  // False on failure; error() then says why.
  bool commit();
  // Why creating or committing failed (the system's reason).
  std::error_code error() const { return error_; }

 private:
  bool create_unnamed(const std::filesystem::path& dir);
  bool create_named(const std::filesystem::path& dir);
  bool link_unnamed();
  void fail();

  std::filesystem::path target_;
  std::filesystem::path temp_;
  int fd_ = -1;         // the unnamed file, kept open until committed
  bool named_ = false;  // temp_ is a real name beside the target
  bool committed_ = false;
  std::error_code error_;
};

}  // namespace orvane
