// The bit reader and the reading of code trees (the encoder round trips use every code table).
#include <gtest/gtest.h>

#include <vector>

#include "tests/video/video_test_support.h"
#include "video/bit_reader.h"

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
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 12,
       {{32, 0x04030201}, {1, 1}, {32, 0x0C0B0A09u << 31 | 0x08070605u >> 1}}, 12},
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
    std::vector<uint8_t> Symbols;
  } cases[] = {
      {"table 0 is the identity", {{0, 4}}, 0,
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
      {"an explicit list, then the values not named",
       {{3, 4}, {1, 1}, {2, 3}, {9, 4}, {2, 4}, {14, 4}}, 3,
       {9, 2, 14, 0, 1, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 15}},
      {"an explicit list with repeats still fills every position",
       {{1, 4}, {1, 1}, {7, 3}, {5, 4}, {5, 4}, {5, 4}, {5, 4}, {5, 4}, {5, 4}, {5, 4}, {5, 4}}, 1,
       {5, 5, 5, 5, 5, 5, 5, 5, 0, 1, 2, 3, 4, 6, 7, 8}},
      // d = 1: pass 1 (bits 1,0,1,0,...) swaps every other pair; pass 2 merges [1,0]+[2,3] with
      // bits 1,0,0, [5,4]+[6,7] with 0,0, [9,8]+[10,11] with 1,1, [13,12]+[14,15] with 0,1,0.
      {"merge passes take one bit per choice",
       {{4, 4}, {0, 1}, {1, 2}, {0x55, 8}, {0b001, 3}, {0b00, 2}, {0b11, 2}, {0b010, 3}}, 4,
       {2, 1, 0, 3, 5, 4, 6, 7, 10, 11, 9, 8, 13, 14, 12, 15}},
      // d = 3, every choice taking the second run: four passes of 8 bits reverse everything.
      {"second-run choices reverse the order", {{2, 4}, {0, 1}, {3, 2}, {0xFFFFFFFF, 32}}, 2,
       {15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TestBitWriter w;
    for (auto [value, bits] : c.Written) TestPutBits(&w, value, bits);
    const uint64_t written = TestBitCount(&w);
    TestPutBits(&w, 0x5A, 8);
    const std::vector<uint8_t> bytes = TestFinish(&w);
    VideoBitReader r;
    VideoBitReaderInit(&r, bytes.data(), bytes.size(), 0);
    VideoCodeTree tree;
    VideoReadCodeTree(&r, &tree);
    EXPECT_EQ(tree.Table, c.Table);
    EXPECT_EQ(std::vector<uint8_t>(tree.Symbols, tree.Symbols + 16), c.Symbols);
    EXPECT_EQ(r.Pos * 8 - r.BitsLeft, written);  // exactly the tree's bits were consumed
  }
}

}  // namespace
