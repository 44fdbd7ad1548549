// The encoder's writers against the decoder's readers: the same values in the same order, exactly
// the bits written consumed, and a plane ending where the reader's last loaded word ends.
#include <gtest/gtest.h>

#include <random>

#include "encoder/video_bundle_writer.h"
#include "encoder/video_code_choice.h"
#include "encoder/video_coefficient_writer.h"
#include "video/bit_reader.h"
#include "video/bundles.h"
#include "video/coefficients.h"

namespace {

VideoBitReader Reader(const std::vector<uint8_t>& bytes) {
  VideoBitReader r;
  VideoBitReaderInit(&r, bytes.data(), bytes.size(), 0);
  return r;
}

uint64_t BitsConsumed(const VideoBitReader& r) { return r.Pos * 8 - r.BitsLeft; }

std::vector<uint8_t> Bytes(const EncoderBlockBits& bits) {
  EncoderBitBuffer buffer;
  EncoderBitBufferAppend(&buffer, &bits);
  VideoBitWriter w;
  EncoderWriteBuffer(&w, &buffer);
  return EncoderFinishPlane(&w);
}

// Random prefix codes (a code peeks its table's longest length) and plain fields of 1..32 bits.
TEST(VideoEncoderWriters, BitsAndCodesReadBackAndThePlaneEndsAtTheLastLoadedWord) {
  struct Op {
    uint32_t Table, Value, Width;  // Width 0: a code
  };
  std::mt19937 rng(7);
  VideoCodeTree tree{};
  for (uint32_t i = 0; i < 16; ++i) tree.Symbols[i] = uint8_t(i);
  for (int round = 0; round < 200; ++round) {
    std::vector<Op> ops(1 + rng() % 60);
    VideoBitWriter w;
    for (Op& op : ops) {
      op = {uint32_t(rng() % 16), uint32_t(rng() % 16), uint32_t(rng() % 2 ? 0 : 1 + rng() % 32)};
      if (op.Width) op.Value = uint32_t(rng()) >> (32 - op.Width);
      op.Width ? EncoderWriteBits(&w, op.Value, op.Width)
               : EncoderWriteCode(&w, op.Table, op.Value);
    }
    const std::vector<uint8_t> bytes = EncoderFinishPlane(&w);
    VideoBitReader r = Reader(bytes);
    for (const Op& op : ops) {
      tree.Table = op.Table;
      ASSERT_EQ(op.Width ? VideoReadBits(&r, op.Width) : VideoReadSymbol(&r, &tree), op.Value);
    }
    EXPECT_EQ(r.Pos, bytes.size()) << "round " << round;
  }
  VideoBitWriter w;  // one bit at bit 30 of table 13, which peeks seven: the next word is loaded
  EncoderWriteBits(&w, 0, 30);
  EncoderWriteCode(&w, 13, 0);
  EXPECT_EQ(EncoderFinishPlane(&w).size(), 8u);
}

TEST(VideoEncoderWriters, BlockBitsReportOverflowInsteadOfWritingPastTheirEnd) {
  EncoderBlockBits bits;
  EncoderBlockBitsReset(&bits);
  for (uint32_t i = 0; i < EncoderBlockBits::CapacityWords * 2; ++i)
    EncoderBlockBitsPut(&bits, 7, 32);
  EXPECT_FALSE(bits.Overflow);
  EncoderBlockBitsPut(&bits, 1, 1);
  EXPECT_TRUE(bits.Overflow);
  EXPECT_EQ(bits.Count, EncoderBlockBits::CapacityWords * 64);
}

// Writes the chosen tree and every symbol: the reader finds the same tree and symbols, and the
// bits are what the choice claims.
void ExpectTreeReadsBack(const uint64_t counts[16], const EncoderTreeChoice& choice) {
  VideoBitWriter w;
  EncoderWriteCodeTree(&w, &choice);
  uint8_t codes[16];
  EncoderTreeCodes(&choice.Tree, codes);
  for (uint32_t s = 0; s < 16; ++s)
    for (uint64_t n = 0; n < counts[s]; ++n) EncoderWriteCode(&w, choice.Tree.Table, codes[s]);
  EXPECT_EQ(w.Bits.Count, choice.Bits);
  const std::vector<uint8_t> bytes = EncoderFinishPlane(&w);
  VideoBitReader r = Reader(bytes);
  VideoCodeTree tree;
  VideoReadCodeTree(&r, &tree);
  ASSERT_EQ(tree.Table, choice.Tree.Table);
  ASSERT_TRUE(std::equal(tree.Symbols, tree.Symbols + 16, choice.Tree.Symbols));
  for (uint32_t s = 0; s < 16; ++s)
    for (uint64_t n = 0; n < counts[s]; ++n) ASSERT_EQ(VideoReadSymbol(&r, &tree), s);
}

// Random counts (none at all first: only the table number); then one common symbol among rare
// ones gets a one-bit code, the others at most five bits (as tables 1 and 2 give), plus the tree.
TEST(VideoEncoderWriters, ChosenCodeTreesReadBackAndCostWhatTheySay) {
  std::mt19937 rng(11);
  EncoderTreeChoice choice;
  for (int round = 0; round < 300; ++round) {
    uint64_t counts[16] = {};
    for (uint32_t i = round ? 1 + rng() % 16 : 0; i > 0; --i)
      counts[rng() % 16] += 1 + rng() % (round % 3 ? 40 : 400);
    EncoderChooseCodeTree(counts, &choice);
    EXPECT_TRUE(round || choice.Bits == 4);
    ExpectTreeReadsBack(counts, choice);
  }
  for (uint32_t common = 0; common < 16; ++common) {
    uint64_t counts[16];
    std::fill_n(counts, 16, 20);
    counts[common] = 2000;
    EncoderChooseCodeTree(counts, &choice);
    uint8_t codes[16];
    EncoderTreeCodes(&choice.Tree, codes);
    EXPECT_EQ(VideoCodeLengths[choice.Tree.Table][codes[common]], 1u) << common;
    EXPECT_LE(choice.Bits, 2000u + 15 * 20 * 5 + 64) << common;
    ExpectTreeReadsBack(counts, choice);
  }
}

// Returns the bits written; the DC is the caller's, the reader leaves it.
uint64_t ExpectCoefficientsRoundTrip(const int16_t coefs[64]) {
  EncoderBlockBits bits;
  EncoderBlockBitsReset(&bits);
  EncoderWriteCoefficients(&bits, coefs);
  const std::vector<uint8_t> bytes = Bytes(bits);
  VideoBitReader r = Reader(bytes);
  int16_t read[64];
  read[0] = 1234;
  VideoReadCoefficients(&r, read);
  EXPECT_EQ(read[0], 1234);
  EXPECT_EQ(std::vector<int16_t>(read + 1, read + 64), std::vector<int16_t>(coefs + 1, coefs + 64));
  EXPECT_EQ(BitsConsumed(r), bits.Count);
  return bits.Count;
}

// Random blocks; the largest magnitude in each position (the deepest groups open two passes
// above their top bit: the worst case for the pass count); no coefficients is 4 bits.
TEST(VideoEncoderWriters, CoefficientsReadBackExactly) {
  std::mt19937 rng(5);
  for (int round = 0; round < 2000; ++round) {
    int16_t coefs[64] = {};
    const uint32_t density = rng() % 64;
    const int32_t largest = round % 10 == 0 ? EncoderMaxCoefficient : 1 + int32_t(rng() % 200);
    for (uint32_t i = 1; i < 64; ++i) {
      const int32_t v = 1 + int32_t(rng() % uint32_t(largest));
      if (rng() % 64 < density) coefs[i] = int16_t(rng() % 2 ? v : -v);
    }
    ExpectCoefficientsRoundTrip(coefs);
  }
  for (uint32_t i = 1; i < 64; ++i) {
    int16_t coefs[64] = {};
    coefs[i] = int16_t(i % 2 ? EncoderMaxCoefficient : -EncoderMaxCoefficient);
    ExpectCoefficientsRoundTrip(coefs);
  }
  const int16_t none[64] = {};
  EXPECT_EQ(ExpectCoefficientsRoundTrip(none), 4u);
}

// Returns 0 when the writer refuses the residue (writing nothing), else checks the reading.
int ResidueRoundTrip(const int8_t residue[64]) {
  EncoderBlockBits bits;
  EncoderBlockBitsReset(&bits);
  const int written = EncoderWriteResidue(&bits, residue);
  const std::vector<uint8_t> bytes = Bytes(bits);
  VideoBitReader r = Reader(bytes);
  int8_t read[64];
  if (written) VideoReadResidue(&r, read, VideoReadBits(&r, 7));
  EXPECT_TRUE(!written || std::equal(read, read + 64, residue));
  EXPECT_EQ(written ? BitsConsumed(r) : 0, bits.Count);
  return written;
}

// Random residues, most within the budget; then zero, -128 and 64 changes (accepted), 192
// changes, or 127 at transmission index 8 whose group opens two passes above its top bit.
TEST(VideoEncoderWriters, ResiduesReadBackOrAreRefused) {
  std::mt19937 rng(9);
  int written = 0;
  for (int round = 0; round < 2000; ++round) {
    int8_t residue[64] = {};
    const int32_t largest = 1 + int32_t(rng() % (round % 4 ? 15 : 127));
    for (auto n = rng() % 24; n > 0; --n) {
      const int32_t v = 1 + int32_t(rng() % uint32_t(largest));
      residue[rng() % 64] = int8_t(rng() % 2 ? v : -v);
    }
    written += ResidueRoundTrip(residue);
  }
  EXPECT_GT(written, 1500);
  const struct {
    int8_t Value;
    uint32_t From, To;
    int Written;
  } cases[] = {{0, 0, 0, 1}, {-128, 0, 1, 1}, {3, 0, 32, 1}, {7, 0, 64, 0}, {127, 4, 5, 0}};
  for (auto c : cases) {
    int8_t residue[64] = {};
    std::fill(residue + c.From, residue + c.To, c.Value);
    EXPECT_EQ(ResidueRoundTrip(residue), c.Written) << int(c.Value) << " at " << c.From;
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
  for (bool oldColours : {false, true}) {
    EncoderPlaneBundles bundles;
    EncoderBundlesInit(&bundles, 64, 4, oldColours);
    uint64_t sizes[VideoBundleCount];
    VideoBundleBufferSizes(64, sizes);
    std::vector<uint8_t> storage[VideoBundleCount];
    uint8_t* buffers[VideoBundleCount];
    for (uint32_t kind = 0; kind < VideoBundleCount; ++kind) {
      storage[kind].resize(size_t(sizes[kind]));
      buffers[kind] = storage[kind].data();
      bundles.Values[kind].clear();
      bundles.RowEnd[kind].clear();
      for (const std::vector<int32_t>& row : rows[kind]) {
        bundles.Values[kind].insert(bundles.Values[kind].end(), row.begin(), row.end());
        bundles.RowEnd[kind].push_back(uint32_t(bundles.Values[kind].size()));
      }
    }
    const std::vector<uint8_t> bytes = EncoderWritePlane(&bundles, nullptr);
    VideoBundles b;
    VideoBundlesInit(&b, buffers, 64, oldColours ? 1 : 0);
    VideoBitReader r = Reader(bytes);
    VideoReadBundleTrees(&b, &r);
    for (uint32_t row = 0; row < 4; ++row) {
      VideoRefillBundles(&b, &r, bytes.size() + 4);
      for (uint32_t kind = 0; kind < VideoBundleCount; ++kind) {
        const std::vector<int32_t>& want = rows[kind][row];
        std::vector<int32_t> got;
        while (got.size() < want.size() && !VideoBundleEmpty(&b.Bundles[kind]))
          got.push_back(Take(&b.Bundles[kind], kind));
        EXPECT_EQ(got, want) << "bundle " << kind << " row " << row;
        EXPECT_TRUE(want.empty() || VideoBundleEmpty(&b.Bundles[kind])) << kind << " " << row;
      }
    }
    EXPECT_EQ(r.Pos, bytes.size());
  }
}

TEST(VideoEncoderWriters, BundleRowLimitsFitTheCountField) {
  for (uint32_t width : {8u, 640u, 4096u, 32768u}) {
    for (uint32_t kind = 0; kind < VideoBundleCount; ++kind) {
      uint32_t bits, capacity;
      VideoBundleLimits(width, VideoBundleKind(kind), &bits, &capacity);
      const uint32_t limit = EncoderBundleRowLimit(width, VideoBundleKind(kind));
      EXPECT_TRUE(limit <= capacity && limit < 1u << bits) << width << " " << kind;
    }
  }
}

}  // namespace
