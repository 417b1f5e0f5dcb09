// The code tables against the T.4 code lists they are built from, walked the
// way the decoders walk them.
#include "codec/code_tables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "bit_builder.h"
#include "codec/code_lookup.h"
#include "codec/decode_1d.h"
#include "codec/fax_codec.h"

namespace orvane::codec {
namespace {

using test::BitBuilder;
namespace t = tables;

// Walks `table` over `bits` and returns the leaf and how many bits the walk read.
std::pair<int, int> walk(const t::ByteTable& table, int root_bits, const std::string& bits) {
  BitBuilder b;
  b.bits(bits).pad();
  b.bits("00000000");  // room for a walk that reads past the pattern
  FaxCodec c;
  c.open(b.bytes(), 1);
  int v = c.read_bits(root_bits);
  int used = root_bits;
  std::uint8_t e = table.entries[std::size_t(v)];
  while (!(e & 1)) {
    const int step = (e & 2) ? 2 : 1;
    v = c.read_bits(step);
    used += step;
    e = (e & 2) ? table.entries[std::size_t(e - 2 + v)] : table.entries[std::size_t(e + v)];
  }
  return {e, used};
}

template <std::size_t N>
void expect_codes(const t::ByteTable& table, int root, const t::CodeWord (&codes)[N], bool modes) {
  for (const auto& w : codes) {
    const auto [e, used] = walk(table, root, w.bits);
    const std::uint8_t want = modes ? t::terminating_leaf(w.value) : t::run_leaf(w.value);
    EXPECT_EQ(e, want) << w.bits;
    EXPECT_EQ(used, int(std::string(w.bits).size())) << "code " << w.bits << " read late";
  }
}

TEST(CodeTables, EveryCodeWordWalksToItsValueWithoutReadingPastIt) {
  expect_codes(t::kWhite, t::kWhiteRootBits, t::kWhiteCodes, false);
  expect_codes(t::kWhite, t::kWhiteRootBits, t::kExtendedMakeupCodes, false);
  expect_codes(t::kBlack, t::kBlackRootBits, t::kBlackCodes, false);
  expect_codes(t::kBlack, t::kBlackRootBits, t::kExtendedMakeupCodes, false);
  expect_codes(t::kModes, t::kModeRootBits, t::kModeCodes, true);
}

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

TEST(CodeTables, LayoutFitsAByteAndHoldsNoReservedRunValues) {
  EXPECT_EQ(t::kWhite.size, 240);
  EXPECT_LT(t::kBlack.size, 250);
  EXPECT_EQ(t::kModes.size, 40);
  for (const auto* table : {&t::kWhite, &t::kBlack, &t::kModes}) {
    for (int i = 0; i < table->size; ++i) {
      const std::uint8_t e = table->entries[std::size_t(i)];
      if (!(e & 1)) {
        EXPECT_GE(e, 4) << "inner node pointing into the root block";
      }
      if ((e & 3) == 3 && e >= 0xF3) {
        EXPECT_TRUE(e == t::kInvalid || t::is_eol(e));
      }
    }
  }
}

TEST(CodeTables, EolIsAcceptedAfterAnyNumberOfFillZeros) {
  for (const auto* table : {&t::kWhite, &t::kBlack, &t::kModes}) {
    const int root = table == &t::kWhite ? 4 : table == &t::kBlack ? 2 : 1;
    int late = 0;
    for (int zeros = 11; zeros < 60; ++zeros) {
      const std::string bits = std::string(std::size_t(zeros), '0') + "1";
      const auto [e, used] = walk(*table, root, bits + "1");
      ASSERT_TRUE(t::is_eol(std::uint8_t(e))) << zeros;
      // A late EOL read exactly one bit past the final 1.
      if (t::is_late_eol(std::uint8_t(e))) {
        ++late;
        EXPECT_EQ(used, zeros + 2);
      } else {
        EXPECT_EQ(used, zeros + 1);
      }
    }
    EXPECT_GT(late, 0) << "the late EOL leaf is reachable";
  }
}

TEST(CodeTables, PatternsThatAreNoCodeAreInvalid) {
  for (const char* bits : {"000000000010", "000000000011", "0000000001", "00000000011"}) {
    EXPECT_EQ(walk(t::kWhite, 4, bits).first, t::kInvalid) << bits;
    EXPECT_EQ(walk(t::kBlack, 2, bits).first, t::kInvalid) << bits;
    EXPECT_EQ(walk(t::kModes, 1, bits).first, t::kInvalid) << bits;
  }
  // Extension codes other than the uncompressed-mode entry, and short zero runs.
  for (const char* bits : {"0000001000", "0000001110", "00000001", "000000001"}) {
    EXPECT_EQ(walk(t::kModes, 1, bits).first, t::kInvalid) << bits;
  }
  EXPECT_EQ(walk(t::kModes, 1, "0000001111").first, t::terminating_leaf(t::kExtension));
}

// Every code word, followed by each pattern of filler bits, looked up in a
// direct table: its value and length, or "walk it" when it is longer than
// the table's index.
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
  // Patterns that begin no code word are invalid at the length the tree
  // walk gives up, and a lone EOL is left to the walk (its fill is unbounded).
  EXPECT_EQ(lookup::value_of(lookup::kWhiteDirect.entries[0b000000000010]), lookup::kInvalidCode);
  EXPECT_EQ(lookup::length_of(lookup::kWhiteDirect.entries[0]), 0);
  EXPECT_EQ(lookup::length_of(lookup::kModeDirect.entries[0]), 0);
}

TEST(DecodeCode, ReportsRunsEolAndFailures) {
  BitBuilder b;
  b.run(0, 1728).run(1, 2560 + 3).eol().bits("1").bits("000000000011");
  FaxCodec c;
  c.open(b.bytes(), 1);
  EXPECT_EQ(decode_code(c, 0), 1728);
  EXPECT_EQ(decode_code(c, 0), 0);
  EXPECT_EQ(decode_code(c, 1), 2560);
  EXPECT_EQ(decode_code(c, 1), 3);
  EXPECT_EQ(decode_code(c, 0), EOL_SEEN);
  // After a late EOL the bit after it is unread: the next read sees it.
  EXPECT_EQ(c.read_bits(1), 1);
  EXPECT_EQ(decode_code(c, 1), BAD_CODE);
  FaxCodec empty;
  empty.open({}, 1);
  EXPECT_EQ(decode_code(empty, 0), END_OF_DATA);
}

TEST(DecodeCode, LateEolLeavesTheCursorJustAfterTheEol) {
  // Try the EOL at every bit offset with a known bit after it.
  for (int shift = 0; shift < 8; ++shift) {
    for (int fill = 0; fill < 4; ++fill) {
      BitBuilder b;
      b.bits(std::string(std::size_t(shift), '1')).run(0, 0).zeros(fill).eol().bits("10110011");
      FaxCodec c;
      c.open(b.bytes(), 1);
      if (shift > 0) c.read_bits(shift);
      ASSERT_EQ(decode_code(c, 0), 0);
      ASSERT_EQ(decode_code(c, 1), EOL_SEEN) << shift << "/" << fill;
      EXPECT_EQ(c.read_bits(8), 0xB3) << shift << "/" << fill;
    }
  }
}

}  // namespace
}  // namespace orvane::codec
