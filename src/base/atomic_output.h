#pragma once
// An output file that appears whole or not at all. Where the file system
// allows, it is created without a name (O_TMPFILE) and linked under its
// name only on commit, so that even a killed process leaves nothing behind;
// elsewhere it is written under a hidden temporary name beside the target
// and renamed over it on commit. A failed or abandoned write leaves no
// partial file and an existing target untouched.
//
// Only a regular file, or a name that does not exist yet, is replaced that
// way. A symbolic link is followed: its target is written, beside itself,
// and the link stays. A character device or a FIFO is written into (a
// terminal, /dev/null, a pipe a reader waits on) and never replaced: the
// output is put together in memory and copied in on commit, so the writers
// may still seek and an abandoned write sends nothing. A folder, a socket or
// a block device is refused.
#include <filesystem>
#include <system_error>

namespace orvane {

// Why an output name is refused (error() in output_refusal_category()).
enum class OutputRefusal { kFolder = 1, kSocket, kBlockDevice, kOther };
const std::error_category& output_refusal_category();

class AtomicOutput {
 public:
  // Creates the temporary file beside `target`; ok() tells whether that worked.
  explicit AtomicOutput(const std::filesystem::path& target);
  // Standard output, written into on commit as a FIFO is.
  struct StandardOutput {};
  explicit AtomicOutput(StandardOutput);
  ~AtomicOutput();  // removes the temporary file unless committed
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;

  bool ok() const { return !temp_.empty(); }
  // Where to write: a path that opens the temporary file (for an unnamed
  // file, its /proc/self/fd entry).
  const std::filesystem::path& temp_path() const { return temp_; }
  // Gives the file the permissions a newly created file would have (or
  // those of the target it replaces) and puts it under the target's name;
  // for a device or FIFO, copies the output into it. False on failure;
  // error() then says why.
  bool commit();
  // Why creating or committing failed (the system's reason, or an
  // OutputRefusal).
  std::error_code error() const { return error_; }

 private:
  bool create_unnamed(const std::filesystem::path& dir);
  bool create_named(const std::filesystem::path& dir);
  bool create_in_memory();
  bool link_unnamed();
  bool copy_into_target();
  void fail();

  std::filesystem::path target_;  // links followed: the file renamed over, or written into
  std::filesystem::path temp_;
  int fd_ = -1;          // the unnamed or in-memory file, kept open until committed
  int direct_fd_ = -1;   // written into on commit (device, FIFO, standard output)
  bool direct_ = false;  // target_ is written into, not replaced
  bool named_ = false;   // temp_ is a real name beside the target
  bool committed_ = false;
  std::error_code error_;
};

}  // namespace orvane
