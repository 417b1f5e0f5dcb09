#include "base/binary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane {

bool BinaryFile::open(const std::filesystem::path& path) {
  close();
  // O_NONBLOCK: opening a FIFO would otherwise wait for a writer forever.
  // Only regular files are read; a FIFO, socket or device is refused.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    ::close(fd);
    return false;
  }
  file_.reset(f);
  if (fseeko(f, 0, SEEK_END) != 0) {
    close();
    return false;
  }
  const off_t end = ftello(f);
  if (end < 0 || fseeko(f, 0, SEEK_SET) != 0) {
    close();
    return false;
  }
  size_ = std::int64_t(end);
  return true;
}

int BinaryFile::descriptor() const {
  return file_ ? ::fileno(file_.get()) : -1;
}

void BinaryFile::close() {
  file_.reset();
  size_ = 0;
}

std::size_t BinaryFile::read_at(std::int64_t position, std::span<std::uint8_t> out) {
  if (!file_ || position < 0 || out.empty()) return 0;
  if (fseeko(file_.get(), off_t(position), SEEK_SET) != 0) return 0;
  return std::fread(out.data(), 1, out.size(), file_.get());
}

}  // namespace orvane
