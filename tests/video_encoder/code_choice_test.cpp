// Code trees: the tree the encoder chooses reads back as the same table and permutation, and its
// bit count is what writing it and the symbols really takes.
#include <gtest/gtest.h>

#include <random>

#include "encoder/video_code_choice.h"
#include "video/bit_reader.h"

namespace {

// Writes the tree and every symbol; checks the reader's tree and symbols; returns the bits.
uint64_t WriteAndReadBack(const uint64_t counts[16], const EncoderTreeChoice& choice) {
  VideoBitWriter w;
  EncoderWriteCodeTree(&w, &choice);
  uint8_t codes[16];
  EncoderTreeCodes(&choice.Tree, codes);
  for (uint32_t s = 0; s < 16; ++s) {
    for (uint64_t n = 0; n < counts[s]; ++n) EncoderWriteCode(&w, choice.Tree.Table, codes[s]);
  }
  const std::vector<uint8_t> bytes = EncoderFinishPlane(&w);
  VideoBitReader r;
  VideoBitReaderInit(&r, bytes.data(), bytes.size(), 0);
  VideoCodeTree tree;
  VideoReadCodeTree(&r, &tree);
  EXPECT_EQ(tree.Table, choice.Tree.Table);
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(tree.Symbols[i], choice.Tree.Symbols[i]) << i;
  for (uint32_t s = 0; s < 16; ++s) {
    for (uint64_t n = 0; n < counts[s]; ++n) EXPECT_EQ(VideoReadSymbol(&r, &tree), s);
  }
  return w.Bits.Count;
}

TEST(VideoEncoderCodeChoice, ChosenTreesReadBackAndCostWhatTheySay) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    uint64_t counts[16] = {};
    const uint32_t used = 1 + uint32_t(rng()) % 16;
    for (uint32_t i = 0; i < used; ++i)
      counts[uint32_t(rng()) % 16] += 1 + uint32_t(rng()) % (round % 3 ? 40 : 400);
    EncoderTreeChoice choice;
    EncoderChooseCodeTree(counts, &choice);
    EXPECT_EQ(WriteAndReadBack(counts, choice), choice.Bits) << "round " << round;
  }
}

TEST(VideoEncoderCodeChoice, NoSymbolsCostsOnlyTheTableNumber) {
  const uint64_t counts[16] = {};
  EncoderTreeChoice choice;
  EncoderChooseCodeTree(counts, &choice);
  EXPECT_EQ(choice.Tree.Table, 0u);
  EXPECT_EQ(choice.Bits, 4u);
}

// A skewed distribution gets a one-bit code for its common symbol, whichever symbol that is; the
// others then take at most five bits (tables 1 and 2 do that), plus the tree.
TEST(VideoEncoderCodeChoice, SkewedCountsGetAOneBitCode) {
  for (uint32_t common = 0; common < 16; ++common) {
    uint64_t counts[16];
    for (uint64_t& n : counts) n = 20;
    counts[common] = 2000;
    EncoderTreeChoice choice;
    EncoderChooseCodeTree(counts, &choice);
    uint8_t codes[16];
    EncoderTreeCodes(&choice.Tree, codes);
    EXPECT_EQ(VideoCodeLengths[choice.Tree.Table][codes[common]], 1u) << common;
    EXPECT_LE(choice.Bits, 2000u + 15 * 20 * 5 + 64) << common;
    EXPECT_EQ(WriteAndReadBack(counts, choice), choice.Bits);
  }
}

}  // namespace
