#pragma once
// An output file that appears whole or not at all: written under a
// temporary name beside the target and renamed over it only on commit. A
// failed or abandoned write leaves no partial file and an existing target
// untouched.
#include <filesystem>

namespace orvane {

class AtomicOutput {
 public:
  // Creates the temporary file beside `target`; ok() tells whether that worked.
  explicit AtomicOutput(const std::filesystem::path& target);
  ~AtomicOutput();  // removes the temporary file unless committed
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;

  bool ok() const { return !temp_.empty(); }
  // Where to write.
  const std::filesystem::path& temp_path() const { return temp_; }
  // Gives the file the permissions a newly created file would have (mkstemp
  // makes it private) and renames it over the target. False on failure.
  bool commit();

 private:
  std::filesystem::path target_;
  std::filesystem::path temp_;
  bool committed_ = false;
};

}  // namespace orvane
