// The encoder's parts against the decoder's: writers and readers agree on every value and bit, and
// the forward transform and quantiser against the inverse transform.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "encoder/video_bundle_writer.h"
#include "encoder/video_code_choice.h"
#include "encoder/video_coefficient_writer.h"
#include "encoder/video_transform.h"
#include "video/bit_reader.h"
#include "video/bundles.h"
#include "video/coefficients.h"
#include "video/idct.h"
#include "video/quant.h"

namespace {

std::vector<uint8_t> Bytes(const EncoderBlockBits& bits) {
  EncoderBitBuffer buffer;
  EncoderBitBufferAppend(&buffer, &bits);
  VideoBitWriter w;
  EncoderWriteBuffer(&w, &buffer);
  return EncoderFinishPlane(&w);
}

// The reader finds the tree and symbols written, the bits are what the choice claims, and the
// plane ends at the last word the reader loaded (a code peeks its table's longest length).
void ExpectTreeReadsBack(const uint64_t counts[16], const EncoderTreeChoice& choice) {
  VideoBitWriter w;
  EncoderWriteCodeTree(&w, &choice);
  uint8_t codes[16];
  EncoderTreeCodes(&choice.Tree, codes);
  for (uint32_t s = 0; s < 16; ++s)
    for (uint64_t n = 0; n < counts[s]; ++n) EncoderWriteCode(&w, choice.Tree.Table, codes[s]);
  EXPECT_EQ(w.Bits.Count, choice.Bits);
  const std::vector<uint8_t> bytes = EncoderFinishPlane(&w);
  VideoBitReader r;
  VideoBitReaderInit(&r, bytes.data(), bytes.size(), 0);
  VideoCodeTree tree;
  VideoReadCodeTree(&r, &tree);
  ASSERT_EQ(tree.Table, choice.Tree.Table);
  ASSERT_TRUE(std::equal(tree.Symbols, tree.Symbols + 16, choice.Tree.Symbols));
  for (uint32_t s = 0; s < 16; ++s)
    for (uint64_t n = 0; n < counts[s]; ++n) ASSERT_EQ(VideoReadSymbol(&r, &tree), s);
  EXPECT_EQ(r.Pos, bytes.size());
}

// Random counts (none first: only the table number); from round 300 a common symbol among rare
// ones gets a one-bit code, the others at most five bits (as tables 1 and 2 give), plus the tree.
TEST(VideoEncoderWriters, ChosenCodeTreesReadBackAndCostWhatTheySay) {
  std::mt19937 rng(11);
  for (uint32_t round = 0; round < 316; ++round) {
    uint64_t counts[16] = {};
    if (round >= 300) std::fill_n(counts, 16, 20), counts[round - 300] = 2000;
    for (auto i = round && round < 300 ? 1 + rng() % 16 : 0; i > 0; --i)
      counts[rng() % 16] += 1 + rng() % (round % 3 ? 40 : 400);
    EncoderTreeChoice choice;
    EncoderChooseCodeTree(counts, &choice);
    ExpectTreeReadsBack(counts, choice);
    uint8_t codes[16];
    EncoderTreeCodes(&choice.Tree, codes);
    EXPECT_TRUE(round || choice.Bits == 4);
    EXPECT_TRUE(round < 300 || (VideoCodeLengths[choice.Tree.Table][codes[round - 300]] == 1 &&
                                choice.Bits <= 2000u + 15 * 20 * 5 + 64)) << round;
  }
  VideoBitWriter w;  // one bit at bit 30 from table 13, which peeks seven: the next word is loaded
  EncoderWriteBits(&w, 0, 30);
  EncoderWriteCode(&w, 13, 0);
  EXPECT_EQ(EncoderFinishPlane(&w).size(), 8u);
}

// Returns the bits written; the DC is the caller's, the reader leaves it.
uint64_t ExpectCoefficientsRoundTrip(const int16_t coefs[64]) {
  EncoderBlockBits bits;
  EncoderBlockBitsReset(&bits);
  EncoderWriteCoefficients(&bits, coefs);
  const std::vector<uint8_t> bytes = Bytes(bits);
  VideoBitReader r;
  VideoBitReaderInit(&r, bytes.data(), bytes.size(), 0);
  int16_t read[64];
  std::fill_n(read, 64, int16_t{1234});
  VideoReadCoefficients(&r, read);
  EXPECT_EQ(read[0], 1234);
  EXPECT_EQ(std::vector<int16_t>(read + 1, read + 64), std::vector<int16_t>(coefs + 1, coefs + 64));
  EXPECT_EQ(r.Pos * 8 - r.BitsLeft, bits.Count);
  return bits.Count;
}

// Random blocks; round 2000 has none (4 bits); then the largest magnitude alone in each position
// (the deepest groups open two passes above their top bit: the worst case for the pass count).
TEST(VideoEncoderWriters, CoefficientsReadBackExactly) {
  std::mt19937 rng(5);
  for (uint32_t round = 0; round < 2064; ++round) {
    int16_t coefs[64] = {};
    const auto density = round < 2000 ? rng() % 64 : 0;
    const int32_t largest = round % 10 == 0 ? EncoderMaxCoefficient : 1 + int32_t(rng() % 200);
    for (uint32_t i = 1; i < 64; ++i) {
      const int32_t v = 1 + int32_t(rng() % uint32_t(largest));
      if (rng() % 64 < density) coefs[i] = int16_t(rng() % 2 ? v : -v);
    }
    if (round > 2000) coefs[round - 2000] = int16_t((round % 2 ? 1 : -1) * EncoderMaxCoefficient);
    const uint64_t bits = ExpectCoefficientsRoundTrip(coefs);
    EXPECT_TRUE(round != 2000 || bits == 4) << bits;
  }
  EncoderBlockBits bits;  // 64 words fill it; one more bit is flagged, not written
  EncoderBlockBitsReset(&bits);
  for (uint32_t i = 0; i <= 128; ++i) EncoderBlockBitsPut(&bits, 7, i < 128 ? 32 : 1);
  EXPECT_TRUE(bits.Overflow && bits.Count == 64 * 64);
}

// Accepted: none, -128 once, 3 in half the block, -9 in ten places. Refused: 7 everywhere (192
// changes), 127 at transmission index 8, whose group opens two passes above its top bit.
TEST(VideoEncoderWriters, ResiduesReadBackOrAreRefused) {
  const struct { int8_t Value; uint32_t From, To; int Written; } cases[] = {
      {0, 0, 0, 1}, {-128, 0, 1, 1}, {3, 0, 32, 1}, {-9, 20, 30, 1}, {7, 0, 64, 0}, {127, 4, 5, 0}};
  for (auto c : cases) {
    int8_t residue[64] = {}, read[64];
    std::fill(residue + c.From, residue + c.To, c.Value);
    EncoderBlockBits bits;
    EncoderBlockBitsReset(&bits);
    ASSERT_EQ(EncoderWriteResidue(&bits, residue), c.Written) << int(c.Value) << " at " << c.From;
    const std::vector<uint8_t> bytes = Bytes(bits);
    VideoBitReader r;
    VideoBitReaderInit(&r, bytes.data(), bytes.size(), 0);
    if (c.Written) VideoReadResidue(&r, read, VideoReadBits(&r, 7));
    EXPECT_TRUE(!c.Written || std::equal(read, read + 64, residue)) << int(c.Value);
    EXPECT_EQ(c.Written ? r.Pos * 8 - r.BitsLeft : 0, bits.Count) << int(c.Value);
  }
}

int32_t Take(VideoBundle* b, uint32_t kind) {
  if (kind == VideoBundleDcIntra) return int32_t(VideoTakeDc(b));
  if (kind == VideoBundleDcInter) return int16_t(uint16_t(VideoTakeDc(b)));
  const uint32_t v = VideoTakeByte(b);
  return kind == VideoBundleXOffsets || kind == VideoBundleYOffsets ? int8_t(v) : int32_t(v);
}

// The values each row of a 64-wide plane takes from each bundle: rows that take none of a bundle
// (their values may arrive early), bundles that end (a count of 0), the extremes of each range.
TEST(VideoEncoderWriters, BundleRowsFindTheirValues) {
  const std::vector<std::vector<int32_t>> rows[VideoBundleCount] = {
      {{5, 5, 5, 5, 5, 5, 5, 5}, {0, 1, 2, 3, 4, 6, 7, 9}, {2, 2, 2, 2, 2, 2, 2, 8}, {6, 6, 6, 6}},
      {{3, 5}, {}, {}, {9, 9, 6, 8}},
      {{1, 200, 255, 128}, {}, {7, 7, 7}, {}},
      {{0, 255, 17, 128, 1, 2, 3, 4}, {}, {}, {}},
      {{-15, 15, 0}, {3}, {}, {-2, -2}},
      {{0, -1, 14}, {-3}, {}, {5, 5}},
      {{1024, 0, 2047, 2040, 3, 1000, 1001, 1002, 1003, 1004}, {}, {17}, {}},
      {{-1023, 1023, 0, 0, 0, -5}, {4}, {}, {}},
      {{0, 15, 3}, {}, {}, {2, 2, 2, 2}}};
  uint64_t sizes[VideoBundleCount];
  VideoBundleBufferSizes(64, sizes);
  std::vector<uint8_t> storage[VideoBundleCount];
  uint8_t* buffers[VideoBundleCount];
  for (uint32_t kind = 0; kind < VideoBundleCount; ++kind)
    storage[kind].resize(size_t(sizes[kind])), buffers[kind] = storage[kind].data();
  for (bool oldColours : {false, true}) {
    EncoderPlaneBundles bundles;
    EncoderBundlesInit(&bundles, 64, 4, oldColours);
    for (uint32_t row = 0; row < 4; ++row) {
      for (uint32_t kind = 0; kind < VideoBundleCount; ++kind)
        bundles.Values[kind].insert(bundles.Values[kind].end(), rows[kind][row].begin(),
                                    rows[kind][row].end());
      EncoderBundlesEndRow(&bundles, row);
    }
    const std::vector<uint8_t> bytes = EncoderWritePlane(&bundles, nullptr);
    VideoBundles b;
    VideoBundlesInit(&b, buffers, 64, oldColours ? 1 : 0);
    VideoBitReader r;
    VideoBitReaderInit(&r, bytes.data(), bytes.size(), 0);
    VideoReadBundleTrees(&b, &r);
    for (uint32_t row = 0; row < 4; ++row) {
      VideoRefillBundles(&b, &r, bytes.size() + 4);
      for (uint32_t kind = 0; kind < VideoBundleCount; ++kind) {
        const std::vector<int32_t>& want = rows[kind][row];
        std::vector<int32_t> got;
        while (got.size() < want.size() && !VideoBundleEmpty(&b.Bundles[kind]))
          got.push_back(Take(&b.Bundles[kind], kind));
        EXPECT_EQ(got, want) << "bundle " << kind << " row " << row;
      }
    }
    // A refill may carry several rows' values; by the end every value has been handed out.
    for (uint32_t kind = 0; kind < VideoBundleCount; ++kind)
      EXPECT_TRUE(VideoBundleEmpty(&b.Bundles[kind])) << "bundle " << kind;
    EXPECT_EQ(r.Pos, bytes.size());
  }
  EXPECT_EQ(EncoderCodedColour(0, true), EncoderCodedColour(1, true));  // 0 shows as the nearest
}

// Pixel blocks, and inter differences (negative ones too), come back at the finest quantisers.
TEST(VideoEncoderTransform, FinestQuantiserGivesTheBlockBack) {
  std::mt19937 rng(1);
  for (int round = 0; round < 400; ++round) {
    const bool intra = round % 2 == 0;
    const EncoderQuantiser* quant = EncoderGetQuantiser(!intra, 0);
    int32_t block[64], out[64];
    for (int32_t& v : block) v = intra ? int32_t(rng() % 256) : int32_t(rng() % 101) - 50;
    double transformed[64];
    EncoderForwardTransform(block, transformed);
    int16_t coefs[64];
    EncoderQuantise(transformed, quant, 0.0, intra ? 0 : -1023, intra ? 2047 : 1023, coefs);
    VideoIdctReference(coefs, quant->Matrix, out);
    for (uint32_t i = 0; i < 64; ++i)
      ASSERT_LE(std::abs(out[i] - block[i]), 3) << round << ", " << i;
  }
}

constexpr uint32_t kQuantisers[4] = {2, 5, 9, 6};  // three intra, one inter

// Hard edges ring past 0 and 255 when quantised, which the decoder would store wrapped (257 as 1):
// intra edges at three quantisers, then differences from a prediction near black or white.
TEST(VideoEncoderTransform, QuantisedEdgesStayWithinTheByteRange) {
  std::mt19937 rng(3);
  for (int round = 0; round < 1200; ++round) {
    const bool intra = round < 900;
    const EncoderQuantiser* quant = EncoderGetQuantiser(!intra, kQuantisers[round / 300]);
    const uint32_t edge = 1 + uint32_t(rng() % 7), slope = uint32_t(rng() % 3);
    uint8_t pred[64] = {};
    int32_t block[64], out[64];
    for (uint32_t i = 0; i < 64; ++i) {
      if (!intra) pred[i] = uint8_t(rng() % 2 ? 250 + rng() % 6 : rng() % 6);
      block[i] = ((intra ? (i % 8) + slope * (i / 8) / 2 < edge : i % 8 < 4) ? 255 : 0) - pred[i];
    }
    double transformed[64];
    EncoderForwardTransform(block, transformed);
    int16_t coefs[64];
    ASSERT_EQ(
        EncoderQuantiseInRange(block, transformed, intra ? nullptr : pred, 8, quant,
                               intra ? 0.3 : 0.4, intra ? 0 : -1023, intra ? 2047 : 1023, coefs),
        1);
    VideoIdctReference(coefs, quant->Matrix, out);
    for (uint32_t i = 0; i < 64; ++i)
      ASSERT_TRUE(out[i] + pred[i] >= 0 && out[i] + pred[i] <= 255) << round << ", " << i;
  }
}

}  // namespace
