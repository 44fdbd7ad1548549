// Hand-made luma planes that exercise each block type, checked pixel by pixel.
#include <gtest/gtest.h>

#include <vector>

#include "tests/video/video_test_support.h"
#include "video/idct.h"
#include "video/quant.h"
#include "video/scan_tables.h"
#include "video/video_decoder.h"

namespace {

// Decodes a frame whose luma plane is `luma` (chroma not decoded) from set 0 into set 1.
uint32_t DecodeLumaPlane(TestPlanes* p, TestBitWriter* w, uint8_t* map = nullptr,
                    uint32_t mapStride = 0) {
  TestFrameParts parts;
  parts.Luma = TestFinish(w);
  const uint32_t percent =
      TestDecodeFrame(p, TestBuildFrame(parts), OpenGrayscale, 0, map, mapStride);
  EXPECT_EQ(p->Planes.Current, 1u);
  return percent;
}

uint8_t Out(const TestPlanes* p, uint32_t x, uint32_t y) { return TestPixel(p, 1, PlaneY, x, y); }

// Sets the previous frame (set 0) to a pattern that differs at every position of a row.
void PreviousGradient(TestPlanes* p) {
  VideoPlane* y = &p->Planes.Sets[0][PlaneY];
  for (uint32_t row = 0; row < p->Planes.Height; ++row) {
    for (uint32_t x = 0; x < p->Planes.Width; ++x) y->Pixels[row * y->Pitch + x] = uint8_t(row * 16 + x);
  }
}

void ExpectBlock(const TestPlanes* p, uint32_t x0, uint32_t y0, uint32_t size,
                 const std::vector<uint8_t>& expected) {
  for (uint32_t y = 0; y < size; ++y) {
    for (uint32_t x = 0; x < size; ++x) {
      ASSERT_EQ(Out(p, x0 + x, y0 + y), expected[y * size + x]) << "x " << x << " y " << y;
    }
  }
}

void ExpectFlat(const TestPlanes* p, uint32_t x0, uint32_t y0, uint32_t size, uint8_t value) {
  ExpectBlock(p, x0, y0, size, std::vector<uint8_t>(size * size, value));
}

TEST(VideoBlocks, FillSetsEveryPixelAndMarks) {
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 8, 2, false);
  TestBitWriter w;
  TestPutFirstRow(&w, 16, {{VideoBundleBlockTypes, {6, 6}}, {VideoBundleColours, {0x42, 0x17}}});
  uint8_t map[1] = {};
  EXPECT_EQ(DecodeLumaPlane(&p, &w, map, 1), 100u);
  ExpectFlat(&p, 0, 0, 8, 0x42);
  ExpectFlat(&p, 8, 0, 8, 0x17);
  EXPECT_EQ(map[0], 1);
}

TEST(VideoBlocks, RawTakesSixtyFourColoursInRowOrder) {
  TestPlanes p;
  TestAllocatePlanes(&p, 8, 8, 2, false);
  std::vector<int> colours;
  std::vector<uint8_t> expected;
  for (int i = 0; i < 64; ++i) {
    colours.push_back(i * 3 + 1);
    expected.push_back(uint8_t(i * 3 + 1));
  }
  TestBitWriter w;
  TestPutFirstRow(&w, 8, {{VideoBundleBlockTypes, {9}}, {VideoBundleColours, colours}});
  DecodeLumaPlane(&p, &w);
  ExpectBlock(&p, 0, 0, 8, expected);
}

TEST(VideoBlocks, PatternChoosesTheSecondColourForSetBits) {
  TestPlanes p;
  TestAllocatePlanes(&p, 8, 8, 2, false);
  const std::vector<int> rows = {0x01, 0x80, 0xFF, 0x00, 0x55, 0xAA, 0x0F, 0xF0};
  TestBitWriter w;
  TestPutFirstRow(&w, 8, {{VideoBundleBlockTypes, {8}},
                          {VideoBundleColours, {10, 200}},
                          {VideoBundlePatterns, rows}});
  DecodeLumaPlane(&p, &w);
  for (uint32_t y = 0; y < 8; ++y) {
    for (uint32_t x = 0; x < 8; ++x) {
      EXPECT_EQ(Out(&p, x, y), (rows[y] >> x) & 1 ? 200 : 10) << x << "," << y;
    }
  }
}

TEST(VideoBlocks, SkipCopiesThePreviousFrameAndCountsAsSkipped) {
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 16, 2, false);
  PreviousGradient(&p);
  TestBitWriter w;
  // Row 0: skip (counts), fill (marks area 0). Row 1: two skips in the marked area: not counted.
  TestPutFirstRow(&w, 16, {{VideoBundleBlockTypes, {0, 6}}, {VideoBundleColours, {5}}});
  TestPutBundle(&w, 16, VideoBundleBlockTypes, {0, 0});
  TestPutBundle(&w, 16, VideoBundleColours, {});
  uint8_t map[1] = {};
  EXPECT_EQ(DecodeLumaPlane(&p, &w, map, 1), 75u);  // 1 of 4 blocks skipped
  for (uint32_t y = 0; y < 16; ++y) {
    for (uint32_t x = 0; x < 16; ++x) {
      if (y < 8 && x >= 8) continue;
      EXPECT_EQ(Out(&p, x, y), uint8_t(y * 16 + x));
    }
  }
  ExpectFlat(&p, 8, 0, 8, 5);
}

TEST(VideoBlocks, WithoutAMapEverySkipCounts) {
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 16, 2, false);
  TestBitWriter w;
  TestPutFirstRow(&w, 16, {{VideoBundleBlockTypes, {0, 6}}, {VideoBundleColours, {5}}});
  TestPutBundle(&w, 16, VideoBundleBlockTypes, {0, 0});
  TestPutBundle(&w, 16, VideoBundleColours, {});
  EXPECT_EQ(DecodeLumaPlane(&p, &w), 25u);  // 3 of 4 blocks skipped
}

TEST(VideoBlocks, MotionCopiesFromTheOffsetSource) {
  TestPlanes p;
  TestAllocatePlanes(&p, 24, 16, 2, false);
  PreviousGradient(&p);
  TestBitWriter w;
  TestPutFirstRow(&w, 24, {{VideoBundleBlockTypes, {2, 2, 2}},
                           {VideoBundleXOffsets, {0, -3, 15}},
                           {VideoBundleYOffsets, {8, 2, 0}}});
  uint8_t map[2] = {};
  DecodeLumaPlane(&p, &w, map, 2);
  for (uint32_t y = 0; y < 8; ++y) {
    for (uint32_t x = 0; x < 8; ++x) {
      EXPECT_EQ(Out(&p, x, y), uint8_t((y + 8) * 16 + x));           // from (0, 8)
      EXPECT_EQ(Out(&p, 8 + x, y), uint8_t((y + 2) * 16 + 5 + x));    // from (5, 2)
      // From x = 31 of row 0: past the row's end, which the address test allows as long as the
      // block lies inside the plane: it continues on the next rows.
      const uint32_t at = y * 24 + 31 + x;
      EXPECT_EQ(Out(&p, 16 + x, y), uint8_t((at / 24) * 16 + at % 24));
    }
  }
  EXPECT_EQ(map[0], 1);
  EXPECT_EQ(map[1], 1);
}

TEST(VideoBlocks, MotionOutsideThePlaneLeavesTheBlockButMarksIt) {
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 8, 2, false);
  PreviousGradient(&p);
  TestFillPlane(&p, 1, PlaneY, 0x33);
  TestBitWriter w;
  // Above the plane; and 1 pixel past the last possible source.
  TestPutFirstRow(&w, 16, {{VideoBundleBlockTypes, {2, 2}},
                           {VideoBundleXOffsets, {0, 1}},
                           {VideoBundleYOffsets, {-1, 0}}});
  uint8_t map[1] = {};
  DecodeLumaPlane(&p, &w, map, 1);
  ExpectFlat(&p, 0, 0, 8, 0x33);
  ExpectFlat(&p, 8, 0, 8, 0x33);
  EXPECT_EQ(map[0], 1);
}

TEST(VideoBlocks, RunFillWithRunsOfOneColourAndRunsOfSingleColours) {
  TestPlanes p;
  TestAllocatePlanes(&p, 8, 8, 2, false);
  // Four runs of 16 along scan 5: one colour, 16 colours, one colour, 16 colours.
  std::vector<int> colours = {7};
  for (int i = 0; i < 16; ++i) colours.push_back(100 + i);
  colours.push_back(8);
  for (int i = 0; i < 16; ++i) colours.push_back(200 + i);
  TestBitWriter w;
  TestPutFirstRow(&w, 8, {{VideoBundleBlockTypes, {3}},
                          {VideoBundleColours, colours},
                          {VideoBundleRuns, {15, 15, 15, 15}}});
  TestPutBits(&w, 5, 4);
  for (uint32_t oneColour : {1, 0, 1, 0}) TestPutBits(&w, oneColour, 1);
  DecodeLumaPlane(&p, &w);
  std::vector<uint8_t> expected(64);
  for (int i = 0; i < 64; ++i) {
    const int run = i / 16, at = i % 16;
    const int value = run == 0 ? 7 : run == 1 ? 100 + at : run == 2 ? 8 : 200 + at;
    expected[VideoRunScans[5][i]] = uint8_t(value);
  }
  ExpectBlock(&p, 0, 0, 8, expected);
}

TEST(VideoBlocks, RunsOfSixtyThreeTakeOneMoreColour) {
  TestPlanes p;
  TestAllocatePlanes(&p, 8, 8, 2, false);
  TestBitWriter w;
  // 15 + 1 four times = 64: no extra colour. Here 16 + 16 + 16 + 15 = 63.
  TestPutFirstRow(&w, 8, {{VideoBundleBlockTypes, {3}},
                          {VideoBundleColours, {1, 2, 3, 4, 9}},
                          {VideoBundleRuns, {15, 15, 15, 14}}});
  TestPutBits(&w, 0, 4);
  for (int run = 0; run < 4; ++run) TestPutBits(&w, 1, 1);
  DecodeLumaPlane(&p, &w);
  std::vector<uint8_t> expected(64);
  for (int i = 0; i < 64; ++i) expected[VideoRunScans[0][i]] = uint8_t(i == 63 ? 9 : 1 + i / 16);
  ExpectBlock(&p, 0, 0, 8, expected);
}

TEST(VideoBlocks, OvershootingRunLeavesThePreviousRunBlock) {
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 8, 2, false);
  TestBitWriter w;
  // First block: four runs of 16 fill all 64 positions of scan 7. Second block: runs of 16, 16,
  // 16 and 10 along scan 0, then a run of 16 that overshoots the 6 left: those keep the first
  // block's pixels.
  TestPutFirstRow(&w, 16, {{VideoBundleBlockTypes, {3, 3}},
                           {VideoBundleColours, {11, 22, 33, 44, 50, 51, 52, 53}},
                           {VideoBundleRuns, {15, 15, 15, 15, 15, 15, 15, 9, 15}}});
  TestPutBits(&w, 7, 4);
  for (int run = 0; run < 4; ++run) TestPutBits(&w, 1, 1);
  TestPutBits(&w, 0, 4);
  for (int run = 0; run < 4; ++run) TestPutBits(&w, 1, 1);
  DecodeLumaPlane(&p, &w);
  std::vector<uint8_t> first(64), second;
  for (int i = 0; i < 64; ++i) first[VideoRunScans[7][i]] = uint8_t(11 * (1 + i / 16));
  second = first;
  for (int i = 0; i < 58; ++i) second[VideoRunScans[0][i]] = uint8_t(50 + i / 16);
  ExpectBlock(&p, 0, 0, 8, first);
  ExpectBlock(&p, 8, 0, 8, second);
}

TEST(VideoBlocks, ResidueAddsToTheMotionSource) {
  TestPlanes p;
  TestAllocatePlanes(&p, 8, 16, 2, false);
  TestFillPlane(&p, 0, PlaneY, 100);
  p.Planes.Sets[0][PlaneY].Pixels[8 * 8] = 250;  // (0, 8): the source of pixel (0, 0)
  TestBitWriter w;
  TestPutFirstRow(&w, 8, {{VideoBundleBlockTypes, {4}},
                          {VideoBundleXOffsets, {0}},
                          {VideoBundleYOffsets, {8}}});
  // Budget 1; mask 8: coefficient 0 gets +8 (250 + 8 wraps to 2), coefficient 1 gets -8.
  TestPutBits(&w, 1, 7);
  TestPutBits(&w, 3, 3);
  for (uint32_t bit : {0, 0, 0, 1, 0, 0, 0, 1}) TestPutBits(&w, bit, 1);
  TestPutBundle(&w, 8, VideoBundleBlockTypes, {});  // second row: nothing
  TestPutBundle(&w, 8, VideoBundleXOffsets, {});
  TestPutBundle(&w, 8, VideoBundleYOffsets, {});
  DecodeLumaPlane(&p, &w);
  std::vector<uint8_t> expected(64, 100);
  expected[0] = 2;
  expected[1] = 92;
  ExpectBlock(&p, 0, 0, 8, expected);
}

TEST(VideoBlocks, IntraDcIsASigned16BitValue) {
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 8, 2, false);
  TestBitWriter w;
  // 1024 at q 0 is flat 128. 65528 is -8: at q 1, (-8 * 87381) >> 11 = -342 and
  // (-342 + 127) >> 8 = -1, so 255 (as an unsigned value it would give 169).
  TestPutFirstRow(&w, 16, {{VideoBundleBlockTypes, {5, 5}}, {VideoBundleDcIntra, {1024, 65528}}});
  TestPutBits(&w, 0, 4);  // no coefficients
  TestPutBits(&w, 0, 4);  // q 0
  TestPutBits(&w, 0, 4);
  TestPutBits(&w, 1, 4);  // q 1
  DecodeLumaPlane(&p, &w);
  ExpectFlat(&p, 0, 0, 8, 128);
  ExpectFlat(&p, 8, 0, 8, 255);
}

TEST(VideoBlocks, IntraWithCoefficientsMatchesTheTransform) {
  TestPlanes p;
  TestAllocatePlanes(&p, 8, 8, 2, false);
  TestBitWriter w;
  TestPutFirstRow(&w, 8, {{VideoBundleBlockTypes, {5}}, {VideoBundleDcIntra, {700}}});
  TestPutBits(&w, 5, 4);  // passes for bits 4..0
  for (uint32_t bit : {0, 0, 0, 1}) TestPutBits(&w, bit, 1);
  TestPutBits(&w, 0x1F, 5);  // coefficient 1: 16 + 15, negative
  for (uint32_t bit : {0, 0}) TestPutBits(&w, bit, 1);
  for (int pass = 0; pass < 4; ++pass) TestPutBits(&w, 0, 5);
  TestPutBits(&w, 2, 4);  // q 2
  DecodeLumaPlane(&p, &w);
  int16_t coefs[64] = {700, -31};
  uint8_t expected[64];
  VideoIdctPutReference(expected, 8, coefs, VideoQuantIntra[2]);
  ExpectBlock(&p, 0, 0, 8, std::vector<uint8_t>(expected, expected + 64));
  EXPECT_NE(expected[0], expected[7]);  // the coefficient made a difference across the row
}

TEST(VideoBlocks, InterAddsTheTransformToTheMotionSource) {
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 8, 2, false);
  PreviousGradient(&p);
  TestBitWriter w;
  TestPutFirstRow(&w, 16, {{VideoBundleBlockTypes, {7}},
                           {VideoBundleXOffsets, {1}},
                           {VideoBundleYOffsets, {0}},
                           {VideoBundleDcInter, {-16}}});
  TestPutBits(&w, 0, 4);
  TestPutBits(&w, 0, 4);
  DecodeLumaPlane(&p, &w);
  for (uint32_t y = 0; y < 8; ++y) {
    for (uint32_t x = 0; x < 8; ++x) EXPECT_EQ(Out(&p, x, y), uint8_t(y * 16 + x + 1 - 2));
  }
}

TEST(VideoBlocks, InterOutsideThePlaneReadsNothingMore) {
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 8, 2, false);
  TestFillPlane(&p, 1, PlaneY, 0x33);
  TestBitWriter w;
  // The first block's vector leaves the plane: its DC and coefficients are not read, so the
  // second block gets the first DC and the bits that follow.
  TestPutFirstRow(&w, 16, {{VideoBundleBlockTypes, {7, 7}},
                           {VideoBundleXOffsets, {-1, 0}},
                           {VideoBundleYOffsets, {0, 0}},
                           {VideoBundleDcInter, {8, 800}}});
  TestPutBits(&w, 0, 4);
  TestPutBits(&w, 0, 4);
  DecodeLumaPlane(&p, &w);
  ExpectFlat(&p, 0, 0, 8, 0x33);
  ExpectFlat(&p, 8, 0, 8, 1);
}

TEST(VideoBlocks, TypesAboveNineLeaveTheBlock) {
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 8, 2, false);
  TestFillPlane(&p, 1, PlaneY, 0x33);
  TestBitWriter w;
  TestPutIdentityTrees(&w);
  TestPutBits(&w, 1, TestBundleCountBits(16, VideoBundleBlockTypes));
  TestPutBits(&w, 1, 1);  // fill mode can name types 12..15
  TestPutBits(&w, 13, 4);
  for (uint32_t k = 1; k < VideoBundleCount; ++k) TestPutBundle(&w, 16, VideoBundleKind(k), {});
  uint8_t map[1] = {};
  DecodeLumaPlane(&p, &w, map, 1);
  ExpectFlat(&p, 0, 0, 8, 0x33);
  EXPECT_EQ(map[0], 0);
}

// A 16x16 luma plane whose only area is scaled with the given sub-type and lists.
void DecodeScaled(TestPlanes* p, uint32_t subType, const std::vector<TestBundleValues>& lists,
                  void (*blockBits)(TestBitWriter*)) {
  TestAllocatePlanes(p, 16, 16, 2, false);
  std::vector<TestBundleValues> all = lists;
  all.push_back({VideoBundleBlockTypes, {1}});
  all.push_back({VideoBundleSubBlockTypes, {int(subType)}});
  TestBitWriter w;
  TestPutFirstRow(&w, 16, all);
  if (blockBits) blockBits(&w);
  // Second row: the lower half of the band takes a type but nothing else.
  TestPutBundle(&w, 16, VideoBundleBlockTypes, {1});
  TestPutBundle(&w, 16, VideoBundleSubBlockTypes, {});
  for (uint32_t k = VideoBundleColours; k < VideoBundleCount; ++k) {
    for (const TestBundleValues& l : lists) {
      if (l.Kind == k) TestPutBundle(&w, 16, VideoBundleKind(k), {});
    }
  }
  uint8_t map[1] = {};
  DecodeLumaPlane(p, &w, map, 1);
  EXPECT_EQ(map[0], 1);
}

TEST(VideoBlocks, ScaledFillCoversSixteenBySixteen) {
  TestPlanes p;
  DecodeScaled(&p, 6, {{VideoBundleColours, {0x99}}}, nullptr);
  ExpectFlat(&p, 0, 0, 16, 0x99);
}

TEST(VideoBlocks, ScaledRawDoublesEachPixel) {
  TestPlanes p;
  std::vector<int> colours;
  for (int i = 0; i < 64; ++i) colours.push_back(255 - i);
  DecodeScaled(&p, 9, {{VideoBundleColours, colours}}, nullptr);
  for (uint32_t y = 0; y < 16; ++y) {
    for (uint32_t x = 0; x < 16; ++x) EXPECT_EQ(Out(&p, x, y), 255 - ((y / 2) * 8 + x / 2));
  }
}

TEST(VideoBlocks, ScaledPatternDoublesEachPixel) {
  TestPlanes p;
  const std::vector<int> rows = {1, 2, 4, 8, 16, 32, 64, 128};
  DecodeScaled(&p, 8, {{VideoBundleColours, {3, 250}}, {VideoBundlePatterns, rows}}, nullptr);
  for (uint32_t y = 0; y < 16; ++y) {
    for (uint32_t x = 0; x < 16; ++x) EXPECT_EQ(Out(&p, x, y), x / 2 == y / 2 ? 250 : 3);
  }
}

TEST(VideoBlocks, ScaledIntraUsesTheDoubledTransform) {
  TestPlanes p;
  DecodeScaled(&p, 5, {{VideoBundleDcIntra, {1024}}}, [](TestBitWriter* w) {
    TestPutBits(w, 0, 4);
    TestPutBits(w, 0, 4);
  });
  ExpectFlat(&p, 0, 0, 16, 128);
}

TEST(VideoBlocks, ScaledRunFillDoublesTheRunBlock) {
  TestPlanes p;
  DecodeScaled(&p, 3, {{VideoBundleColours, {60, 60, 70, 70}}, {VideoBundleRuns, {15, 15, 15, 15}}},
               [](TestBitWriter* w) {
                 TestPutBits(w, 5, 4);
                 for (int run = 0; run < 4; ++run) TestPutBits(w, 1, 1);
               });
  // Scan 5 visits columns 0..3 of every row first.
  for (uint32_t y = 0; y < 16; ++y) {
    for (uint32_t x = 0; x < 16; ++x) EXPECT_EQ(Out(&p, x, y), x < 8 ? 60 : 70);
  }
}

TEST(VideoBlocks, ScaledOtherSubTypesWriteNothingButMark) {
  TestPlanes p;
  DecodeScaled(&p, 2, {}, nullptr);
  ExpectFlat(&p, 0, 0, 16, 0);
}

TEST(VideoBlocks, ScaledInTheLastEightColumnsTakesNoSubType) {
  TestPlanes p;
  TestAllocatePlanes(&p, 24, 16, 2, false);
  TestFillPlane(&p, 1, PlaneY, 0x33);
  TestBitWriter w;
  // Scaled at x = 0 (16 wide), then scaled at x = 16 with 8 columns left: untouched, and the
  // sub-type list keeps its second value.
  TestPutFirstRow(&w, 24, {{VideoBundleBlockTypes, {1, 1}},
                           {VideoBundleSubBlockTypes, {6, 6}},
                           {VideoBundleColours, {0x44}}});
  TestPutBundle(&w, 24, VideoBundleBlockTypes, {1, 6});  // row 1: lower half, then a fill at x = 16
  TestPutBundle(&w, 24, VideoBundleColours, {0x55});
  uint8_t map[2] = {};
  DecodeLumaPlane(&p, &w, map, 2);
  ExpectFlat(&p, 0, 0, 16, 0x44);
  ExpectFlat(&p, 16, 0, 8, 0x33);
  ExpectFlat(&p, 16, 8, 8, 0x55);
  EXPECT_EQ(map[0], 1);
  EXPECT_EQ(map[1], 1);
}

TEST(VideoBlocks, ScaledInALastBandOfEightRowsUsesUpItsSubType) {
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 8, 2, false);
  TestFillPlane(&p, 1, PlaneY, 0x33);
  TestBitWriter w;
  // One block row (an odd multiple of 8): the fill sub-type is taken but nothing is written, and
  // the walk moves on 8 pixels to a fill block.
  TestPutFirstRow(&w, 16, {{VideoBundleBlockTypes, {1, 6}},
                           {VideoBundleSubBlockTypes, {6}},
                           {VideoBundleColours, {0x66}}});
  uint8_t map[1] = {};
  DecodeLumaPlane(&p, &w, map, 1);
  ExpectFlat(&p, 0, 0, 8, 0x33);
  ExpectFlat(&p, 8, 0, 8, 0x66);  // the fill got the first colour: the scaled block took none
  EXPECT_EQ(map[0], 1);           // marked by the fill block only
}

TEST(VideoBlocks, ScaledWithAnEmptySubTypeListMarksAndMovesOnSixteen) {
  TestPlanes p;
  TestAllocatePlanes(&p, 32, 8, 2, false);
  TestFillPlane(&p, 1, PlaneY, 0x33);
  TestBitWriter w;
  TestPutFirstRow(&w, 32, {{VideoBundleBlockTypes, {1, 6}}, {VideoBundleColours, {0x66}}});
  uint8_t map[2] = {};
  DecodeLumaPlane(&p, &w, map, 2);
  ExpectFlat(&p, 0, 0, 8, 0x33);
  ExpectFlat(&p, 8, 0, 8, 0x33);
  ExpectFlat(&p, 16, 0, 8, 0x66);
  ExpectFlat(&p, 24, 0, 8, 0x33);  // the block list ran out
  EXPECT_EQ(map[0], 1);
  EXPECT_EQ(map[1], 1);
}

}  // namespace
