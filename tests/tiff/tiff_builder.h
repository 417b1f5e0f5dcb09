#pragma once
// Builds small TIFF files byte by byte for tests of the reader: any byte
// order, any entry type, strip tables in place or in arrays, chains that loop.
#include <cstdint>
#include <map>
#include <vector>

namespace orvane::test {

class TiffBuilder {
 public:
  explicit TiffBuilder(bool big_endian = false) : big_(big_endian) {
    bytes_ = {std::uint8_t(big_ ? 'M' : 'I'), std::uint8_t(big_ ? 'M' : 'I'), 0, 0, 0, 0, 0, 0};
    put16(2, 42);
  }

  struct Entry {
    std::uint16_t tag, type;
    std::uint32_t count;
    std::uint8_t value[4];
  };

  // Appends raw bytes; returns their position.
  std::uint32_t append(const std::vector<std::uint8_t>& data) {
    const auto at = std::uint32_t(bytes_.size());
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return at;
  }
  std::uint32_t append_shorts(const std::vector<std::uint16_t>& v) {
    const auto at = std::uint32_t(bytes_.size());
    for (auto x : v) {
      bytes_.resize(bytes_.size() + 2);
      put16(bytes_.size() - 2, x);
    }
    return at;
  }
  std::uint32_t append_longs(const std::vector<std::uint32_t>& v) {
    const auto at = std::uint32_t(bytes_.size());
    for (auto x : v) {
      bytes_.resize(bytes_.size() + 4);
      put32(bytes_.size() - 4, x);
    }
    return at;
  }

  // Entries with the value laid out as the file's byte order lays it out.
  Entry short_entry(std::uint16_t tag, std::uint16_t v, std::uint32_t count = 1) const {
    Entry e{tag, 3, count, {0, 0, 0, 0}};
    put16(e.value, v);
    return e;
  }
  Entry two_shorts(std::uint16_t tag, std::uint16_t a, std::uint16_t b) const {
    Entry e{tag, 3, 2, {0, 0, 0, 0}};
    put16(e.value, a);
    put16(e.value + 2, b);
    return e;
  }
  Entry long_entry(std::uint16_t tag, std::uint32_t v, std::uint32_t count = 1,
                   std::uint16_t type = 4) const {
    Entry e{tag, type, count, {0, 0, 0, 0}};
    put32(e.value, v);
    return e;
  }
  Entry rational(std::uint16_t tag, std::uint32_t num, std::uint32_t den) {
    return long_entry(tag, append_longs({num, den}), 1, 5);
  }

  // Appends a directory; links it from the previous one (or the header).
  // Returns its position.
  std::uint32_t add_directory(std::vector<Entry> entries) {
    const auto at = std::uint32_t(bytes_.size());
    put32(link_, at);
    bytes_.resize(bytes_.size() + 2 + 12 * entries.size() + 4, 0);
    put16(at, std::uint16_t(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const std::size_t p = at + 2 + 12 * i;
      put16(p, entries[i].tag);
      put16(p + 2, entries[i].type);
      put32(p + 4, entries[i].count);
      for (int k = 0; k < 4; ++k) bytes_[p + 8 + std::size_t(k)] = entries[i].value[k];
    }
    link_ = at + 2 + 12 * std::uint32_t(entries.size());
    return at;
  }
  // Points the last directory's next field somewhere (a loop, or past the end).
  void set_last_next(std::uint32_t position) { put32(link_, position); }

  std::vector<std::uint8_t>& bytes() { return bytes_; }

 private:
  void put16(std::size_t at, std::uint16_t v) { put16(bytes_.data() + at, v); }
  void put32(std::size_t at, std::uint32_t v) { put32(bytes_.data() + at, v); }
  void put16(std::uint8_t* p, std::uint16_t v) const {
    if (big_) {
      p[0] = std::uint8_t(v >> 8), p[1] = std::uint8_t(v);
    } else {
      p[0] = std::uint8_t(v), p[1] = std::uint8_t(v >> 8);
    }
  }
  void put32(std::uint8_t* p, std::uint32_t v) const {
    if (big_) {
      p[0] = std::uint8_t(v >> 24), p[1] = std::uint8_t(v >> 16), p[2] = std::uint8_t(v >> 8),
      p[3] = std::uint8_t(v);
    } else {
      p[0] = std::uint8_t(v), p[1] = std::uint8_t(v >> 8), p[2] = std::uint8_t(v >> 16),
      p[3] = std::uint8_t(v >> 24);
    }
  }

  bool big_;
  std::vector<std::uint8_t> bytes_;
  std::uint32_t link_ = 4;  // where the next directory's position goes
};

}  // namespace orvane::test
