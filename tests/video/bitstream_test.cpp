// The bit reader, code trees and the bit-plane readers of coefficients and residues, on
// hand-written streams (the encoder round trips use every code table).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/video/video_test_support.h"
#include "video/coefficients.h"

namespace {

using Fields = std::vector<std::pair<uint32_t, uint32_t>>;

// Reads of (bits, value): a read across a word boundary joins the remaining bits with the next
// word's low bits, and bytes past the data read as zero.
TEST(VideoBitReader, Reads) {
  const struct {
    std::vector<uint8_t> Bytes;
    size_t Size;  // bytes the reader may see
    Fields Reads;
    uint64_t Pos;  // the reader's word position afterwards
  } cases[] = {
      {{0x78, 0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89}, 8,
       {{4, 0x8}, {8, 0x67}, {24, 0xF12345}, {28, 0x89ABCDE}}, 8},
      {{0x01, 0, 0, 0x80}, 4, {{1, 1}, {31, 0x40000000}}, 4},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x34, 0x12, 0xFF, 0xFF}, 6,
       {{32, 0xFFFFFFFF}, {32, 0x1234}, {32, 0}}, 12},
  };
  for (const auto& c : cases) {
    VideoBitReader r;
    VideoBitReaderInit(&r, c.Bytes.data(), c.Size, 0);
    for (auto [bits, value] : c.Reads) EXPECT_EQ(VideoReadBits(&r, bits), value) << bits;
    EXPECT_EQ(r.Pos, c.Pos);
  }
}

TEST(VideoCodeTree, ReadsTablesAndPermutations) {
  const struct {
    const char* Name;
    Fields Written;  // value, bits
    uint32_t Table;
    std::string Symbols;  // in hexadecimal, by code index
  } cases[] = {
      {"an explicit list, then the values not named",
       {{3, 4}, {1, 1}, {2, 3}, {9, 4}, {2, 4}, {14, 4}}, 3, "92e01345678abcdf"},
      // d = 1: pass 1 (bits 1,0,1,0,...) swaps every other pair; pass 2 merges [1,0]+[2,3] with
      // bits 1,0,0, [5,4]+[6,7] with 0,0, [9,8]+[10,11] with 1,1, [13,12]+[14,15] with 0,1,0.
      {"merge passes take one bit per choice",
       {{4, 4}, {0, 1}, {1, 2}, {0x55, 8}, {0b001, 3}, {0b00, 2}, {0b11, 2}, {0b010, 3}}, 4,
       "21035467ab98decf"},
      // d = 3, every choice taking the second run: four passes of 8 bits reverse everything.
      {"second-run choices reverse the order", {{2, 4}, {0, 1}, {3, 2}, {0xFFFFFFFF, 32}}, 2,
       "fedcba9876543210"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TestBitWriter w;
    for (auto [value, bits] : c.Written) TestPutBits(&w, value, bits);
    const uint64_t written = TestBitCount(&w);
    TestPutBits(&w, 0x5A, 8);  // reading too far shows
    const std::vector<uint8_t> bytes = TestFinish(&w);
    VideoBitReader r;
    VideoBitReaderInit(&r, bytes.data(), bytes.size(), 0);
    VideoCodeTree tree;
    VideoReadCodeTree(&r, &tree);
    EXPECT_EQ(tree.Table, c.Table);
    std::string symbols;
    for (uint8_t v : tree.Symbols) symbols += v < 16 ? "0123456789abcdef"[v] : '?';
    EXPECT_EQ(symbols, c.Symbols);
    EXPECT_EQ(r.Pos * 8 - r.BitsLeft, written);
  }
}

struct CoefficientCase {
  const char* Name;
  int Budget;        // -1: coefficients (the DC is the caller's and kept), else a residue's budget
  std::string Bits;  // in stream order; a field of n bits is written lowest bit first
  std::map<int, int> Expected;  // natural position: value; every other position 0
  bool AllRead = true;          // the reader consumes exactly the bits written
};

const CoefficientCase kCases[] = {
    // Two passes. Pass 1: (4,0) significant, becomes (8,1); group 4..7: 4 now +3, 5 deferred to
    // the front, 6 now -2, 7 deferred; then (24,0) (44,0) (1,3) (2,3) (3,3) without the fronts.
    // Pass 0: 7 -1, 5 +1, (8,1) splits and appends (12,2) (16,2) (20,2), which are visited in the
    // same pass: 20 +1, 21 deferred, 22 -1, 23 +1.
    {"groups defer, insert in front and append splits", -1,
     "0100 1 010 1 001 1 00000  11 10 1 00000 00 1 00 1 01 00",
     {{0, 100}, {2, 3}, {10, -2}, {11, -1}, {3, 1}, {22, 1}, {30, -1}, {31, 1}}},
    // 15 passes; the first reads a 15-bit field: 2^14 + 16383 = 32767, negative.
    {"top plane values use fifteen-bit fields", -1,
     "1111 000 1 111111111111111 00" + std::string(70, '0'), {{0, 100}, {1, -32767}}},
    {"a residue's budget zero stops after the first change", 0, "000 000 1 01 11111111",
     {{0, -1}}, false},
    // Mask 128: +128 wraps to -128; mask 64 refines away from zero: -192 wraps to 64.
    {"residue values wrap and refinement follows the wrapped sign", 1, "111 0001 00 111 1",
     {{0, 64}}},
    // Masks 2, 1: 0 +2, 1 -2, 2 deferred, 3 +2; then refine 0, 1, 3 in order of entry (3, -3, 2)
    // and walk (2,3): -1.
    {"residue refines in order of entry, then finds new values", 127,
     "100 0001 00 01 1 00 110 11 000", {{0, 3}, {1, -3}, {8, -1}, {9, 2}}},
};

TEST(VideoCoefficients, BitPlaneReaders) {
  for (const CoefficientCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    TestBitWriter w;
    for (char bit : c.Bits) {
      if (bit != ' ') TestPutBits(&w, bit == '1', 1);
    }
    const uint64_t written = TestBitCount(&w);
    TestPutBits(&w, 0x5A, 8);  // reading too far shows
    const std::vector<uint8_t> bytes = TestFinish(&w);
    VideoBitReader r;
    VideoBitReaderInit(&r, bytes.data(), bytes.size(), 0);
    int16_t coefs[64];
    int8_t residue[64];
    for (int i = 0; i < 64; ++i) coefs[i] = int16_t(i + 100), residue[i] = 99;
    if (c.Budget < 0) VideoReadCoefficients(&r, coefs);
    if (c.Budget >= 0) VideoReadResidue(&r, residue, uint32_t(c.Budget));
    std::vector<int> got(64), want(64, 0);
    for (int i = 0; i < 64; ++i) got[i] = c.Budget < 0 ? coefs[i] : residue[i];
    for (auto [position, value] : c.Expected) want[position] = value;
    EXPECT_EQ(got, want);
    EXPECT_TRUE(!c.AllRead || r.Pos * 8 - r.BitsLeft == written);
    // The reader ends on the word that holds its last bit, whatever it buffered ahead.
    EXPECT_TRUE(!c.AllRead || r.Pos == (written + 31) / 32 * 4);
  }
}

}  // namespace
