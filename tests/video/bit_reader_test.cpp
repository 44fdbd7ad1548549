// The bit reader and the code tables.
#include <gtest/gtest.h>

#include <vector>

#include "tests/video/video_test_support.h"
#include "video/bit_reader.h"
#include "video/code_tables.h"

namespace {

VideoBitReader ReaderOver(const std::vector<uint8_t>& bytes) {
  VideoBitReader r;
  VideoBitReaderInit(&r, bytes.data(), bytes.size(), 0);
  return r;
}

TEST(VideoBitReader, ReadsLittleEndianWordsFromBitZero) {
  const std::vector<uint8_t> bytes = {0x78, 0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89};
  VideoBitReader r = ReaderOver(bytes);
  EXPECT_EQ(VideoReadBits(&r, 4), 0x8u);
  EXPECT_EQ(VideoReadBits(&r, 8), 0x67u);
  EXPECT_EQ(r.Pos, 4u);
  // A read across the word boundary joins the remaining 20 bits with the next word's low bits.
  EXPECT_EQ(VideoReadBits(&r, 24), 0xF12345u);
  EXPECT_EQ(r.Pos, 8u);
  EXPECT_EQ(VideoReadBits(&r, 28), 0x89ABCDEu);
}

TEST(VideoBitReader, OneBitReadWithEmptyBufferLoadsAWord) {
  const std::vector<uint8_t> bytes = {0x01, 0, 0, 0x80};
  VideoBitReader r = ReaderOver(bytes);
  EXPECT_EQ(VideoReadBit(&r), 1u);
  EXPECT_EQ(r.Pos, 4u);
  EXPECT_EQ(r.BitsLeft, 31u);
  EXPECT_EQ(VideoReadBits(&r, 31), 0x40000000u);
}

TEST(VideoBitReader, ThirtyTwoBitReads) {
  const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  VideoBitReader r = ReaderOver(bytes);
  EXPECT_EQ(VideoReadBits(&r, 32), 0x04030201u);
  EXPECT_EQ(VideoReadBits(&r, 1), 1u);
  EXPECT_EQ(VideoReadBits(&r, 32), 0x0C0B0A09u << 31 | 0x08070605u >> 1);
}

TEST(VideoBitReader, BytesPastTheDataReadAsZero) {
  // The reader sees 6 bytes of a larger buffer: the two bytes beyond them must not show through.
  const std::vector<uint8_t> bytes = {0xFF, 0xFF, 0xFF, 0xFF, 0x34, 0x12, 0xFF, 0xFF};
  VideoBitReader r;
  VideoBitReaderInit(&r, bytes.data(), 6, 0);
  EXPECT_EQ(VideoReadBits(&r, 32), 0xFFFFFFFFu);
  EXPECT_EQ(VideoReadBits(&r, 32), 0x1234u);
  EXPECT_EQ(VideoReadBits(&r, 32), 0u);
  EXPECT_EQ(r.Pos, 12u);
  EXPECT_EQ(VideoPeekWord(bytes.data(), 6, 1000), 0u);
}

TEST(VideoCodeTables, EveryTableIsACompletePrefixCode) {
  for (uint32_t t = 0; t < kVideoCodeTableCount; ++t) {
    uint64_t kraft = 0;  // in units of 2^-7
    uint32_t longest = 0;
    for (uint32_t c = 0; c < 16; ++c) {
      const uint32_t len = VideoCodeLengths[t][c];
      ASSERT_GE(len, 1u);
      EXPECT_LT(VideoCodeValues[t][c], 1u << len) << "table " << t << " code " << c;
      kraft += uint64_t(1) << (7 - len);
      longest = std::max(longest, len);
      for (uint32_t d = 0; d < c; ++d) {
        const uint32_t shorter = std::min<uint32_t>(len, VideoCodeLengths[t][d]);
        EXPECT_NE(VideoCodeValues[t][c] & ((1u << shorter) - 1),
                  VideoCodeValues[t][d] & ((1u << shorter) - 1))
            << "codes " << d << " and " << c << " of table " << t << " share a prefix";
      }
    }
    EXPECT_EQ(kraft, 128u) << "table " << t;
    EXPECT_EQ(longest, VideoCodeLongest[t]);
  }
}

TEST(VideoCodeTables, LookupHoldsAllTablesBackToBack) {
  const uint8_t longest[16] = {4, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 7, 7, 7};
  uint32_t start = 0;
  for (uint32_t t = 0; t < 16; ++t) {
    EXPECT_EQ(VideoCodeLongest[t], longest[t]);
    EXPECT_EQ(VideoCodeLookupStart[t], start);
    start += 1u << longest[t];
  }
  EXPECT_EQ(start, kVideoCodeLookupSize);
  EXPECT_EQ(kVideoCodeLookupSize, 976u);
  // Table 1: code index 0 is the one-bit code 0, so every even index decodes to it.
  EXPECT_EQ(VideoCodeLookup[VideoCodeLookupStart[1] + 6], 1 * 16 + 0);
  // Table 13, index 127 = code 15 (seven bits).
  EXPECT_EQ(VideoCodeLookup[VideoCodeLookupStart[13] + 127], 7 * 16 + 15);
}

TEST(VideoCodeTables, EveryCodeReadsBackWithOneLookup) {
  for (uint32_t t = 0; t < kVideoCodeTableCount; ++t) {
    TestBitWriter w;
    for (uint32_t c = 0; c < 16; ++c) TestPutCode(&w, t, 15 - c);
    const uint64_t bits = TestBitCount(&w);
    const std::vector<uint8_t> bytes = TestFinish(&w);
    VideoBitReader r = ReaderOver(bytes);
    VideoCodeTree tree = {t, {}};
    for (uint32_t i = 0; i < 16; ++i) tree.Symbols[i] = uint8_t(i);
    for (uint32_t c = 0; c < 16; ++c) EXPECT_EQ(VideoReadSymbol(&r, &tree), 15 - c);
    EXPECT_EQ(r.Pos * 8 - r.BitsLeft, bits) << "table " << t;
  }
}

TEST(VideoCodeTables, SymbolReadLoadsAWordEvenWhenTheCodeIsShorter) {
  // Table 7 peeks 6 bits; with 3 bits buffered the next word is loaded, although the code (index
  // 0, a single 0 bit) needs only one of the buffered bits.
  const std::vector<uint8_t> bytes = {0, 0, 0, 0, 0, 0, 0, 0};
  VideoBitReader r = ReaderOver(bytes);
  VideoReadBits(&r, 29);
  const VideoCodeTree tree = {7, {9, 1, 2, 3, 4, 5, 6, 7, 8, 0, 10, 11, 12, 13, 14, 15}};
  EXPECT_EQ(VideoReadSymbol(&r, &tree), 9u);
  EXPECT_EQ(r.Pos, 8u);
  EXPECT_EQ(r.BitsLeft, 34u);
}

std::vector<uint8_t> Bits(std::initializer_list<std::pair<uint32_t, uint32_t>> fields) {
  TestBitWriter w;
  for (auto [value, n] : fields) TestPutBits(&w, value, n);
  return TestFinish(&w);
}

TEST(VideoCodeTree, TableZeroReadsFourBitsAndIsTheIdentity) {
  const std::vector<uint8_t> bytes = Bits({{0, 4}, {0xF, 4}});
  VideoBitReader r = ReaderOver(bytes);
  VideoCodeTree tree;
  VideoReadCodeTree(&r, &tree);
  EXPECT_EQ(tree.Table, 0u);
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(tree.Symbols[i], i);
  EXPECT_EQ(VideoReadBits(&r, 4), 0xFu);
}

TEST(VideoCodeTree, ExplicitListFillsTheRestWithTheValuesNotTaken) {
  // Table 3, list, n = 2: symbols 9, 2, 14; then 0, 1, 3, 4, ... without 2, 9 and 14.
  const std::vector<uint8_t> bytes = Bits({{3, 4}, {1, 1}, {2, 3}, {9, 4}, {2, 4}, {14, 4}});
  VideoBitReader r = ReaderOver(bytes);
  VideoCodeTree tree;
  VideoReadCodeTree(&r, &tree);
  const uint8_t expected[16] = {9, 2, 14, 0, 1, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 15};
  EXPECT_EQ(tree.Table, 3u);
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(tree.Symbols[i], expected[i]) << i;
}

TEST(VideoCodeTree, ExplicitListWithRepeatsStillFillsEveryPosition) {
  // Eight named symbols, all 5: the fifteen other values fill positions 8..15.
  TestBitWriter w;
  TestPutBits(&w, 1, 4);
  TestPutBits(&w, 1, 1);
  TestPutBits(&w, 7, 3);
  for (int i = 0; i < 8; ++i) TestPutBits(&w, 5, 4);
  const std::vector<uint8_t> bytes = TestFinish(&w);
  VideoBitReader r = ReaderOver(bytes);
  VideoCodeTree tree;
  VideoReadCodeTree(&r, &tree);
  const uint8_t expected[16] = {5, 5, 5, 5, 5, 5, 5, 5, 0, 1, 2, 3, 4, 6, 7, 8};
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(tree.Symbols[i], expected[i]) << i;
}

TEST(VideoCodeTree, MergePassesTakeOneBitPerChoice) {
  // d = 1: passes of run size 1 and 2. Pass 1 with bits 1,0,1,0,... swaps every other pair:
  // 1 0 2 3 5 4 6 7 9 8 10 11 13 12 14 15.
  TestBitWriter w;
  TestPutBits(&w, 4, 4);
  TestPutBits(&w, 0, 1);
  TestPutBits(&w, 1, 2);
  for (int pair = 0; pair < 8; ++pair) TestPutBits(&w, pair % 2 == 0 ? 1 : 0, 1);
  // Pass 2, [1,0]+[2,3]: second, first, first -> 2 1 0, then 3 without a bit.
  for (uint32_t bit : {1, 0, 0}) TestPutBits(&w, bit, 1);
  // [5,4]+[6,7]: first, first -> 5 4, then 6 7.
  for (uint32_t bit : {0, 0}) TestPutBits(&w, bit, 1);
  // [9,8]+[10,11]: second, second -> 10 11, then 9 8.
  for (uint32_t bit : {1, 1}) TestPutBits(&w, bit, 1);
  // [13,12]+[14,15]: first, second, first -> 13 14 12, then 15.
  for (uint32_t bit : {0, 1, 0}) TestPutBits(&w, bit, 1);
  TestPutBits(&w, 0x5A, 8);
  const std::vector<uint8_t> bytes = TestFinish(&w);
  VideoBitReader r = ReaderOver(bytes);
  VideoCodeTree tree;
  VideoReadCodeTree(&r, &tree);
  const uint8_t expected[16] = {2, 1, 0, 3, 5, 4, 6, 7, 10, 11, 9, 8, 13, 14, 12, 15};
  EXPECT_EQ(tree.Table, 4u);
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(tree.Symbols[i], expected[i]) << i;
  EXPECT_EQ(VideoReadBits(&r, 8), 0x5Au);  // exactly the bits of the choices were consumed
}

TEST(VideoCodeTree, FourPassesGiveAFullMergeSort) {
  // d = 3 with every choice bit 1 takes the second run first throughout: the reverse order.
  TestBitWriter w;
  TestPutBits(&w, 2, 4);
  TestPutBits(&w, 0, 1);
  TestPutBits(&w, 3, 2);
  TestPutBits(&w, 0xFFFFFFFF, 32);
  TestPutBits(&w, 0xFFFFFFFF, 32);
  const std::vector<uint8_t> bytes = TestFinish(&w);
  VideoBitReader r = ReaderOver(bytes);
  VideoCodeTree tree;
  VideoReadCodeTree(&r, &tree);
  // Each pass, always taking the second run first, swaps the runs of each pair, so four passes
  // reverse everything; a merge of two runs of s entries then reads s bits, 8 bits per pass.
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(tree.Symbols[i], 15 - i) << i;
  EXPECT_EQ(r.Pos * 8 - r.BitsLeft, 7u + 32u);
}

}  // namespace
