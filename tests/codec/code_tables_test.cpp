// The lookup tables against the T.4 code lists they are built from.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "codec/code_lookup.h"

namespace orvane::codec {
namespace {

namespace t = tables;

TEST(CodeTables, ListsAreCompleteAndPrefixFree) {
  EXPECT_EQ(std::size(t::kWhiteCodes), 64u + 27u);
  EXPECT_EQ(std::size(t::kBlackCodes), 64u + 27u);
  EXPECT_EQ(std::size(t::kExtendedMakeupCodes), 13u);
  std::vector<std::string> all;
  for (const auto& w : t::kWhiteCodes) all.push_back(w.bits);
  for (const auto& w : t::kExtendedMakeupCodes) all.push_back(w.bits);
  all.push_back(t::kEolBits);
  for (const auto& a : all) {
    for (const auto& b : all) {
      if (&a != &b) {
        EXPECT_NE(b.rfind(a, 0), 0u) << a << " is a prefix of " << b;
      }
    }
  }
  // Every run value appears once per colour.
  std::set<int> white, black;
  for (const auto& w : t::kWhiteCodes) white.insert(w.value);
  for (const auto& w : t::kBlackCodes) black.insert(w.value);
  EXPECT_EQ(white.size(), 91u);
  EXPECT_EQ(black, white);
}

TEST(CodeTables, PatternsThatAreNoCodeAreInvalid) {
  for (const int bits : {0b000000000010'0, 0b000000000011'0, 0b0000000001'000, 0b00000000011'00}) {
    EXPECT_EQ(lookup::value_of(lookup::kWhiteDirect.entries[std::size_t(bits >> 1)]),
              lookup::kInvalidCode)
        << bits;
    EXPECT_EQ(lookup::value_of(lookup::kBlackDirect.entries[std::size_t(bits)]),
              lookup::kInvalidCode)
        << bits;
    EXPECT_EQ(lookup::value_of(lookup::kModeLong.entries[std::size_t(bits)]), lookup::kInvalidCode)
        << bits;
  }
  // Extension codes other than the uncompressed-mode entry, and short zero runs.
  for (const int bits : {0b0000001000'000, 0b0000001110'000, 0b00000001'00000, 0b000000001'0000}) {
    EXPECT_EQ(lookup::value_of(lookup::kModeLong.entries[std::size_t(bits)]), lookup::kInvalidCode)
        << bits;
  }
  EXPECT_EQ(lookup::value_of(lookup::kModeLong.entries[0b0000001111'000]), t::kExtension);
}

// Every code word, followed by each pattern of filler bits, looked up in a
// direct table: its value and length, or "too few bits" when it is longer
// than the table's index.
template <int Bits, std::size_t N>
void expect_direct(const lookup::DirectTable<Bits>& table, const t::CodeWord (&codes)[N]) {
  for (const auto& w : codes) {
    const int length = int(std::string(w.bits).size());
    const int code = std::stoi(w.bits, nullptr, 2);
    for (const int filler : {0, (1 << Bits) - 1, 0x5555 & ((1 << Bits) - 1)}) {
      const int index = length >= Bits
                            ? code >> (length - Bits)
                            : (code << (Bits - length)) | (filler & ((1 << (Bits - length)) - 1));
      const std::uint16_t e = table.entries[std::size_t(index)];
      if (length > Bits) {
        EXPECT_EQ(lookup::length_of(e), 0) << w.bits;
        continue;
      }
      EXPECT_EQ(lookup::length_of(e), length) << w.bits;
      EXPECT_EQ(lookup::value_of(e), w.value) << w.bits;
    }
  }
}

TEST(CodeTables, DirectTablesGiveEveryCodeWordItsValueAndLength) {
  expect_direct(lookup::kWhiteDirect, t::kWhiteCodes);
  expect_direct(lookup::kWhiteDirect, t::kExtendedMakeupCodes);
  expect_direct(lookup::kBlackDirect, t::kBlackCodes);
  expect_direct(lookup::kBlackDirect, t::kExtendedMakeupCodes);
  expect_direct(lookup::kModeDirect, t::kModeCodes);
  expect_direct(lookup::kModeLong, t::kModeCodes);
  // Patterns that begin no code word are invalid after the bit where they
  // leave every code word; eleven zeros are left to the reader (the EOL's
  // fill is unbounded).
  EXPECT_EQ(lookup::kWhiteDirect.entries[0b000000000010], 11 << 12 | lookup::kInvalidCode);
  EXPECT_EQ(lookup::length_of(lookup::kWhiteDirect.entries[0]), 0);
  EXPECT_EQ(lookup::length_of(lookup::kModeDirect.entries[0]), 0);
}

}  // namespace
}  // namespace orvane::codec
