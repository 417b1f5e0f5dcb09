#pragma once
// The Modified Huffman code tables (ITU-T T.4 4.1.1, Tables 2/T.4 and 3/T.4)
// and the two-dimensional mode code table (T.4 4.2.1.3.2, Table 4/T.4, the
// same codes as T.6), built at compile time from the code lists into byte
// tables that are walked as binary trees, one or two bits per step.
//
// Entry encoding (one byte e):
//   e odd         leaf, v = e >> 2: e & 2 clear, terminating run v (0..63);
//                 e & 2 set, make-up run 64 * v. Mode table: v is the mode.
//                 Reserved: kInvalid, kEol, and kEolLate0/1 (an EOL whose
//                 last step read one bit past it; the caller unreads a bit).
//   e even, e & 2 set    inner node, read 2 bits b, next index e - 2 + b.
//   e even, e & 2 clear  inner node, read 1 bit b, next index e + b.
// The walk starts at the index given by the first 4 (white), 2 (black) or
// 1 (mode) bits. An EOL may carry any number of fill zeros in front
// (T.4 4.1.2): after eleven zeros the walk loops on itself until a 1.
#include <array>
#include <cstdint>

namespace orvane::codec::tables {

inline constexpr std::uint8_t kInvalid = 0xF3;
inline constexpr std::uint8_t kEolLate0 = 0xF7;
inline constexpr std::uint8_t kEolLate1 = 0xFB;
inline constexpr std::uint8_t kEol = 0xFF;

inline constexpr int kWhiteRootBits = 4;
inline constexpr int kBlackRootBits = 2;
inline constexpr int kModeRootBits = 1;

// Mode values held in the mode table's leaves.
enum Mode : std::uint8_t {
  kV0 = 0,
  kVR1 = 1,
  kVR2 = 2,
  kVR3 = 3,
  kVL1 = 4,
  kVL2 = 5,
  kVL3 = 6,
  kHorizontal = 7,
  kPass = 8,
  kExtension = 9,
};

constexpr std::uint8_t terminating_leaf(int run) {
  return std::uint8_t(run << 2 | 1);
}
constexpr std::uint8_t makeup_leaf(int run) {
  return std::uint8_t((run / 64) << 2 | 3);
}
constexpr std::uint8_t run_leaf(int run) {
  return run < 64 ? terminating_leaf(run) : makeup_leaf(run);
}
constexpr bool is_late_eol(std::uint8_t e) {
  return e == kEolLate0 || e == kEolLate1;
}
constexpr bool is_eol(std::uint8_t e) {
  return e == kEol || is_late_eol(e);
}
// Run length of a run leaf (not a reserved value).
constexpr int leaf_run(std::uint8_t e) {
  return (e & 2) ? 64 * (e >> 2) : (e >> 2);
}

// One code word of a list: its bits as written in T.4, first bit leftmost.
struct CodeWord {
  const char* bits;
  int value;  // run length, or Mode for the mode table
};

// T.4 Table 2: white terminating codes, white make-up codes.
inline constexpr CodeWord kWhiteCodes[] = {
    {"00110101", 0},     {"000111", 1},       {"0111", 2},         {"1000", 3},
    {"1011", 4},         {"1100", 5},         {"1110", 6},         {"1111", 7},
    {"10011", 8},        {"10100", 9},        {"00111", 10},       {"01000", 11},
    {"001000", 12},      {"000011", 13},      {"110100", 14},      {"110101", 15},
    {"101010", 16},      {"101011", 17},      {"0100111", 18},     {"0001100", 19},
    {"0001000", 20},     {"0010111", 21},     {"0000011", 22},     {"0000100", 23},
    {"0101000", 24},     {"0101011", 25},     {"0010011", 26},     {"0100100", 27},
    {"0011000", 28},     {"00000010", 29},    {"00000011", 30},    {"00011010", 31},
    {"00011011", 32},    {"00010010", 33},    {"00010011", 34},    {"00010100", 35},
    {"00010101", 36},    {"00010110", 37},    {"00010111", 38},    {"00101000", 39},
    {"00101001", 40},    {"00101010", 41},    {"00101011", 42},    {"00101100", 43},
    {"00101101", 44},    {"00000100", 45},    {"00000101", 46},    {"00001010", 47},
    {"00001011", 48},    {"01010010", 49},    {"01010011", 50},    {"01010100", 51},
    {"01010101", 52},    {"00100100", 53},    {"00100101", 54},    {"01011000", 55},
    {"01011001", 56},    {"01011010", 57},    {"01011011", 58},    {"01001010", 59},
    {"01001011", 60},    {"00110010", 61},    {"00110011", 62},    {"00110100", 63},
    {"11011", 64},       {"10010", 128},      {"010111", 192},     {"0110111", 256},
    {"00110110", 320},   {"00110111", 384},   {"01100100", 448},   {"01100101", 512},
    {"01101000", 576},   {"01100111", 640},   {"011001100", 704},  {"011001101", 768},
    {"011010010", 832},  {"011010011", 896},  {"011010100", 960},  {"011010101", 1024},
    {"011010110", 1088}, {"011010111", 1152}, {"011011000", 1216}, {"011011001", 1280},
    {"011011010", 1344}, {"011011011", 1408}, {"010011000", 1472}, {"010011001", 1536},
    {"010011010", 1600}, {"011000", 1664},    {"010011011", 1728},
};

// T.4 Table 3: black terminating codes, black make-up codes.
inline constexpr CodeWord kBlackCodes[] = {
    {"0000110111", 0},
    {"010", 1},
    {"11", 2},
    {"10", 3},
    {"011", 4},
    {"0011", 5},
    {"0010", 6},
    {"00011", 7},
    {"000101", 8},
    {"000100", 9},
    {"0000100", 10},
    {"0000101", 11},
    {"0000111", 12},
    {"00000100", 13},
    {"00000111", 14},
    {"000011000", 15},
    {"0000010111", 16},
    {"0000011000", 17},
    {"0000001000", 18},
    {"00001100111", 19},
    {"00001101000", 20},
    {"00001101100", 21},
    {"00000110111", 22},
    {"00000101000", 23},
    {"00000010111", 24},
    {"00000011000", 25},
    {"000011001010", 26},
    {"000011001011", 27},
    {"000011001100", 28},
    {"000011001101", 29},
    {"000001101000", 30},
    {"000001101001", 31},
    {"000001101010", 32},
    {"000001101011", 33},
    {"000011010010", 34},
    {"000011010011", 35},
    {"000011010100", 36},
    {"000011010101", 37},
    {"000011010110", 38},
    {"000011010111", 39},
    {"000001101100", 40},
    {"000001101101", 41},
    {"000011011010", 42},
    {"000011011011", 43},
    {"000001010100", 44},
    {"000001010101", 45},
    {"000001010110", 46},
    {"000001010111", 47},
    {"000001100100", 48},
    {"000001100101", 49},
    {"000001010010", 50},
    {"000001010011", 51},
    {"000000100100", 52},
    {"000000110111", 53},
    {"000000111000", 54},
    {"000000100111", 55},
    {"000000101000", 56},
    {"000001011000", 57},
    {"000001011001", 58},
    {"000000101011", 59},
    {"000000101100", 60},
    {"000001011010", 61},
    {"000001100110", 62},
    {"000001100111", 63},
    {"0000001111", 64},
    {"000011001000", 128},
    {"000011001001", 192},
    {"000001011011", 256},
    {"000000110011", 320},
    {"000000110100", 384},
    {"000000110101", 448},
    {"0000001101100", 512},
    {"0000001101101", 576},
    {"0000001001010", 640},
    {"0000001001011", 704},
    {"0000001001100", 768},
    {"0000001001101", 832},
    {"0000001110010", 896},
    {"0000001110011", 960},
    {"0000001110100", 1024},
    {"0000001110101", 1088},
    {"0000001110110", 1152},
    {"0000001110111", 1216},
    {"0000001010010", 1280},
    {"0000001010011", 1344},
    {"0000001010100", 1408},
    {"0000001010101", 1472},
    {"0000001011010", 1536},
    {"0000001011011", 1600},
    {"0000001100100", 1664},
    {"0000001100101", 1728},
};

// T.4 Table 4 (extended make-up codes, shared by both colours).
inline constexpr CodeWord kExtendedMakeupCodes[] = {
    {"00000001000", 1792},  {"00000001100", 1856},  {"00000001101", 1920},  {"000000010010", 1984},
    {"000000010011", 2048}, {"000000010100", 2112}, {"000000010101", 2176}, {"000000010110", 2240},
    {"000000010111", 2304}, {"000000011100", 2368}, {"000000011101", 2432}, {"000000011110", 2496},
    {"000000011111", 2560},
};

// T.4 Table 5/T.4 (= T.6 Table 1): two-dimensional mode codes. Of the
// extension codes 0000001xxx only 0000001111 (uncompressed mode) is named.
inline constexpr CodeWord kModeCodes[] = {
    {"0001", kPass},   {"001", kHorizontal},       {"1", kV0},    {"011", kVR1},
    {"000011", kVR2},  {"0000011", kVR3},          {"010", kVL1}, {"000010", kVL2},
    {"0000010", kVL3}, {"0000001111", kExtension},
};

// EOL (T.4 4.1.2): 000000000001, with any number of extra zeros in front.
inline constexpr const char* kEolBits = "000000000001";

struct ByteTable {
  std::array<std::uint8_t, 256> entries{};
  int size = 0;     // entries used
  bool ok = false;  // false: the code list is not prefix-free or does not fit
};

namespace detail {

inline constexpr int kMaxNodes = 256;
inline constexpr int kNone = -1;
inline constexpr int kLeafBase = 1000;  // child = kLeafBase + leaf entry

struct Trie {
  std::array<std::array<int, 2>, kMaxNodes> child{};
  int nodes = 0;
  bool ok = true;

  constexpr int add_node() {
    if (nodes >= kMaxNodes) {
      ok = false;
      return 0;
    }
    child[nodes] = {kNone, kNone};
    return nodes++;
  }
  constexpr void insert(const char* bits, std::uint8_t leaf) {
    int n = 0;
    for (int i = 0; bits[i] != 0; ++i) {
      const int b = bits[i] - '0';
      const bool last = bits[i + 1] == 0;
      int& c = child[n][b];
      if (last) {
        if (c != kNone) ok = false;  // a code is a prefix of another
        c = kLeafBase + leaf;
        return;
      }
      if (c == kNone) {
        const int fresh = add_node();
        child[n][b] = fresh;
        n = fresh;
      } else if (c >= kLeafBase) {
        ok = false;
        return;
      } else {
        n = c;
      }
    }
  }
};

struct Builder {
  Trie trie;
  std::array<int, kMaxNodes> memo{};
  ByteTable table;
  int next = 0;

  static constexpr bool is_node(int c) { return c >= 0 && c < kLeafBase; }
  // A code that must end exactly where a walk step ends.
  static constexpr bool is_code_leaf(int c) { return c >= kLeafBase && c != kLeafBase + kEol; }

  constexpr std::uint8_t entry_of(int c) {
    if (c == kNone) return kInvalid;
    if (c >= kLeafBase) return std::uint8_t(c - kLeafBase);
    return emit(c);
  }

  // Gives node n a block of four entries and returns the entry that points
  // at it. Two bits are read at once unless a child is a code word, which
  // would then be recognised one bit late; only EOL may be.
  constexpr std::uint8_t emit(int n) {
    if (memo[n] >= 0) return std::uint8_t(memo[n]);
    const int base = next;
    next += 4;
    if (next > 256) {
      table.ok = false;
      return kInvalid;
    }
    const auto [c0, c1] = trie.child[n];
    const bool two = !is_code_leaf(c0) && !is_code_leaf(c1);
    memo[n] = two ? base + 2 : base;
    for (int i = 0; i < 4; ++i) table.entries[base + i] = kInvalid;
    if (!two) {
      table.entries[base] = entry_of(c0);
      table.entries[base + 1] = entry_of(c1);
    } else {
      for (int b1 = 0; b1 < 2; ++b1) {
        const int c = trie.child[n][b1];
        for (int b2 = 0; b2 < 2; ++b2) {
          std::uint8_t e = kInvalid;
          if (is_node(c)) {
            e = entry_of(trie.child[c][b2]);
          } else if (c == kLeafBase + kEol) {
            e = b2 ? kEolLate1 : kEolLate0;
          }
          table.entries[base + 2 * b1 + b2] = e;
        }
      }
    }
    return std::uint8_t(memo[n]);
  }

  constexpr void build(int root_bits) {
    for (int& m : memo) m = -1;
    table.ok = trie.ok;
    const int roots = 1 << root_bits;
    next = (roots + 3) / 4 * 4;
    for (int i = 0; i < next; ++i) table.entries[i] = kInvalid;
    for (int pattern = 0; pattern < roots; ++pattern) {
      int c = 0;
      for (int i = root_bits - 1; i >= 0 && table.ok; --i) {
        if (!is_node(c))
          table.ok = false;  // a code shorter than the first step
        else
          c = trie.child[c][(pattern >> i) & 1];
      }
      table.entries[pattern] = entry_of(c);
    }
    table.size = next;
  }
};

template <std::size_t N>
constexpr void insert_all(Trie& trie, const CodeWord (&codes)[N], bool modes) {
  for (const CodeWord& w : codes) {
    trie.insert(w.bits, modes ? terminating_leaf(w.value) : run_leaf(w.value));
  }
}

// The EOL and the self loop that lets any number of fill zeros precede it.
constexpr void insert_eol(Trie& trie) {
  trie.insert(kEolBits, kEol);
  int n = 0;
  for (int i = 0; i < 11 && trie.ok; ++i) n = trie.child[n][0];
  if (n >= 0 && n < kLeafBase) trie.child[n][0] = n;
}

}  // namespace detail

template <std::size_t N>
constexpr ByteTable build_run_table(const CodeWord (&codes)[N], int root_bits) {
  detail::Builder b;
  b.trie.add_node();
  detail::insert_all(b.trie, codes, false);
  detail::insert_all(b.trie, kExtendedMakeupCodes, false);
  detail::insert_eol(b.trie);
  b.build(root_bits);
  return b.table;
}

constexpr ByteTable build_mode_table() {
  detail::Builder b;
  b.trie.add_node();
  detail::insert_all(b.trie, kModeCodes, true);
  detail::insert_eol(b.trie);
  b.build(kModeRootBits);
  return b.table;
}

inline constexpr ByteTable kWhite = build_run_table(kWhiteCodes, kWhiteRootBits);
inline constexpr ByteTable kBlack = build_run_table(kBlackCodes, kBlackRootBits);
inline constexpr ByteTable kModes = build_mode_table();
static_assert(kWhite.ok && kBlack.ok && kModes.ok, "code lists must be prefix-free and fit");

}  // namespace orvane::codec::tables
