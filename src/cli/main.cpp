#include <cstdio>

int main() {
  std::puts("orvane-cli " ORVANE_VERSION);
  return 0;
}
