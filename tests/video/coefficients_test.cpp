// The bit-plane readers of transform coefficients and residues.
#include <gtest/gtest.h>

#include <vector>

#include "tests/video/video_test_support.h"
#include "video/coefficients.h"

namespace {

struct Bits {
  TestBitWriter Writer;
  std::vector<uint8_t> Stream;
  VideoBitReader Reader;
};

void Put(Bits* b, std::initializer_list<uint32_t> bits) {
  for (uint32_t bit : bits) TestPutBits(&b->Writer, bit, 1);
}

uint64_t Begin(Bits* b) {
  const uint64_t written = TestBitCount(&b->Writer);
  b->Stream = TestFinish(&b->Writer);
  VideoBitReaderInit(&b->Reader, b->Stream.data(), b->Stream.size(), 0);
  return written;
}

uint64_t BitsRead(const VideoBitReader* r) { return r->Pos * 8 - r->BitsLeft; }

TEST(VideoCoefficients, NoPlanesReadsOnlyTheCountAndKeepsTheDc) {
  Bits b;
  TestPutBits(&b.Writer, 0, 4);
  Begin(&b);
  int16_t coefs[64];
  for (int i = 0; i < 64; ++i) coefs[i] = int16_t(i + 100);
  VideoReadCoefficients(&b.Reader, coefs);
  EXPECT_EQ(coefs[0], 100);
  for (int i = 1; i < 64; ++i) EXPECT_EQ(coefs[i], 0) << i;
  EXPECT_EQ(BitsRead(&b.Reader), 4u);
}

TEST(VideoCoefficients, SinglePlaneReadsSignsOfTheFirstThree) {
  Bits b;
  TestPutBits(&b.Writer, 1, 4);
  Put(&b, {0, 0, 0});     // groups at 4, 24, 44: not significant
  Put(&b, {1, 0});        // coefficient 1: +1
  Put(&b, {1, 1});        // coefficient 2: -1
  Put(&b, {0});           // coefficient 3: nothing
  const uint64_t written = Begin(&b);
  int16_t coefs[64] = {};
  VideoReadCoefficients(&b.Reader, coefs);
  EXPECT_EQ(coefs[1], 1);   // coefficient 1 is natural position 1
  EXPECT_EQ(coefs[8], -1);  // coefficient 2 is natural position 8
  EXPECT_EQ(coefs[9], 0);
  EXPECT_EQ(BitsRead(&b.Reader), written);
}

TEST(VideoCoefficients, GroupsDeferInsertInFrontAndAppendSplits) {
  Bits b;
  TestPutBits(&b.Writer, 2, 4);  // passes for bits 1 and 0
  // Pass 1. Entry (4, mode 0) is significant: it becomes (8, mode 1); group 4..7:
  Put(&b, {1});
  Put(&b, {0}); TestPutBits(&b.Writer, 0b01, 2);  // 4 now: 2 + 1, positive -> +3
  Put(&b, {1});                                   // 5 deferred to the front
  Put(&b, {0}); TestPutBits(&b.Writer, 0b10, 2);  // 6 now: 2 + 0, negative -> -2
  Put(&b, {1});                                   // 7 deferred to the front
  Put(&b, {0, 0, 0, 0, 0});  // (24,0) (44,0) (1,3) (2,3) (3,3); the new fronts are not visited
  // Pass 0, list: (7,3) (5,3) (8,1) (24,0) (44,0) (1,3) (2,3) (3,3).
  Put(&b, {1, 1});  // 7: -1
  Put(&b, {1, 0});  // 5: +1
  Put(&b, {1});     // (8,1) becomes (8,2) and appends (12,2) (16,2) (20,2)
  Put(&b, {0, 0, 0, 0, 0});  // (24,0) (44,0) (1,3) (2,3) (3,3)
  Put(&b, {0, 0});  // (12,2) (16,2): appended entries are visited in the same pass
  Put(&b, {1});     // (20,2): group 20..23
  Put(&b, {0, 0});  // 20: +1
  Put(&b, {1});     // 21: deferred, not visited any more
  Put(&b, {0, 1});  // 22: -1
  Put(&b, {0, 0});  // 23: +1
  const uint64_t written = Begin(&b);
  int16_t coefs[64] = {};
  VideoReadCoefficients(&b.Reader, coefs);
  int16_t expected[64] = {};
  expected[2] = 3;     // coefficient 4
  expected[10] = -2;   // 6
  expected[11] = -1;   // 7
  expected[3] = 1;     // 5
  expected[22] = 1;    // 20
  expected[30] = -1;   // 22
  expected[31] = 1;    // 23
  for (int i = 0; i < 64; ++i) EXPECT_EQ(coefs[i], expected[i]) << i;
  EXPECT_EQ(BitsRead(&b.Reader), written);
}

TEST(VideoCoefficients, TopPlaneValuesUseFifteenBitFields) {
  Bits b;
  TestPutBits(&b.Writer, 15, 4);  // first pass reads bits 14
  Put(&b, {0, 0, 0});
  Put(&b, {1});
  TestPutBits(&b.Writer, 0x3FFF | 0x4000, 15);  // magnitude 2^14 + 16383 = 32767, negative
  Put(&b, {0, 0});
  for (int pass = 0; pass < 14; ++pass) Put(&b, {0, 0, 0, 0, 0});  // no more significance
  const uint64_t written = Begin(&b);
  int16_t coefs[64] = {};
  VideoReadCoefficients(&b.Reader, coefs);
  EXPECT_EQ(coefs[1], -32767);
  EXPECT_EQ(BitsRead(&b.Reader), written);
}

TEST(VideoResidue, BudgetZeroStopsAfterTheFirstChange) {
  Bits b;
  TestPutBits(&b.Writer, 0, 3);  // mask 1
  Put(&b, {0, 0, 0});            // (4,0) (24,0) (44,0)
  Put(&b, {1});                  // (0,2): group 0..3
  Put(&b, {0, 1});               // 0 now, negative: -1, the first change
  TestPutBits(&b.Writer, 0xFF, 8);  // not read
  Begin(&b);
  int8_t residue[64];
  std::fill(residue, residue + 64, int8_t(99));
  VideoReadResidue(&b.Reader, residue, 0);
  EXPECT_EQ(residue[0], -1);
  for (int i = 1; i < 64; ++i) EXPECT_EQ(residue[i], 0) << i;
  EXPECT_EQ(BitsRead(&b.Reader), 3u + 4u + 2u);
}

TEST(VideoResidue, ValuesWrapAndRefinementFollowsTheWrappedSign) {
  Bits b;
  TestPutBits(&b.Writer, 7, 3);  // masks 128, 64, ..., 1
  Put(&b, {0, 0, 0, 1});         // (0,2) significant
  Put(&b, {0, 0});               // coefficient 0 now: +128, which wraps to -128
  Put(&b, {1, 1, 1});            // 1, 2, 3 deferred
  Put(&b, {1});                  // mask 64: refine 0 away from zero: -128 - 64 wraps to 64
  Begin(&b);
  int8_t residue[64];
  VideoReadResidue(&b.Reader, residue, 1);  // the second change is the last
  EXPECT_EQ(residue[0], 64);
}

TEST(VideoResidue, RefinesInOrderOfEntryThenFindsNewValues) {
  Bits b;
  TestPutBits(&b.Writer, 1, 3);  // masks 2, 1
  Put(&b, {0, 0, 0, 1});         // (0,2): group 0..3
  Put(&b, {0, 0});               // 0: +2
  Put(&b, {0, 1});               // 1: -2
  Put(&b, {1});                  // 2 deferred
  Put(&b, {0, 0});               // 3: +2
  // Mask 1: refine 0, 1, 3 in the order they entered, then walk (2,3) (4,0) (24,0) (44,0).
  Put(&b, {1, 1, 0});            // 0: 3, 1: -3, 3 stays 2
  Put(&b, {1, 1});               // 2: -1
  Put(&b, {0, 0, 0});
  const uint64_t written = Begin(&b);
  int8_t residue[64];
  VideoReadResidue(&b.Reader, residue, 127);
  EXPECT_EQ(residue[0], 3);   // coefficient 0 -> natural 0
  EXPECT_EQ(residue[1], -3);  // 1 -> 1
  EXPECT_EQ(residue[8], -1);  // 2 -> 8
  EXPECT_EQ(residue[9], 2);   // 3 -> 9
  EXPECT_EQ(BitsRead(&b.Reader), written);
}

}  // namespace
