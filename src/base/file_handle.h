#pragma once
// An owned C stream, closed when it goes. Writers that must know whether
// the close succeeded release it and close it themselves.
#include <cstdio>
#include <memory>

namespace orvane {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace orvane
