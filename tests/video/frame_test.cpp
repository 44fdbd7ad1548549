// Whole frames: where the planes sit in the video data, the version differences, alpha and grey
// scale, split decoding, the destination set and the changed percentage.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "tests/video/video_test_support.h"
#include "video/video_decoder.h"

namespace {

// A plane of one block row (or more, as rows of `rows` blocks) whose blocks are all fills of one
// colour.
std::vector<uint8_t> FillPlane(uint32_t width, uint32_t height, uint8_t colour) {
  TestBitWriter w;
  const uint32_t blocks = width / 8;
  TestPutFirstRow(&w, width, {{VideoBundleBlockTypes, std::vector<int>(blocks, 6)},
                              {VideoBundleColours, std::vector<int>(blocks, colour)}});
  for (uint32_t y = 8; y < height; y += 8) {
    TestPutBundle(&w, width, VideoBundleBlockTypes, std::vector<int>(blocks, 6));
    TestPutBundle(&w, width, VideoBundleColours, std::vector<int>(blocks, colour));
  }
  return TestFinish(&w);
}

// A plane whose blocks are all Skip blocks.
std::vector<uint8_t> SkipPlane(uint32_t width, uint32_t height) {
  TestBitWriter w;
  const uint32_t blocks = width / 8;
  TestPutFirstRow(&w, width, {{VideoBundleBlockTypes, std::vector<int>(blocks, 0)}});
  for (uint32_t y = 8; y < height; y += 8) {
    TestPutBundle(&w, width, VideoBundleBlockTypes, std::vector<int>(blocks, 0));
  }
  return TestFinish(&w);
}

// True when every pixel of the plane (not the padding beyond its width) has the value.
bool PlaneIs(const TestPlanes* p, uint32_t set, int plane, uint8_t value) {
  const bool chroma = plane == PlaneChroma1 || plane == PlaneChroma2;
  const uint32_t width = chroma ? p->Planes.ChromaWidth : p->Planes.Width;
  const uint32_t height = chroma ? p->Planes.ChromaHeight : p->Planes.Height;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      if (TestPixel(p, set, plane, x, y) != value) return false;
    }
  }
  return true;
}

TestFrameParts ColourFrame(uint32_t w, uint32_t h, uint8_t y, uint8_t u, uint8_t v) {
  TestFrameParts parts;
  parts.Luma = FillPlane(w, h, y);
  parts.Chroma1 = FillPlane(w / 2, h / 2, u);
  parts.Chroma2 = FillPlane(w / 2, h / 2, v);
  return parts;
}

TEST(VideoFrame, LumaLengthLocatesTheChromaPlanes) {
  TestPlanes p;
  TestAllocatePlanes(&p, 32, 16, 2, false);
  const std::vector<uint8_t> frame = TestBuildFrame(ColourFrame(32, 16, 0x10, 0x20, 0x30));
  uint8_t map[2] = {};
  EXPECT_EQ(TestDecodeFrame(&p, frame, 0, 0, map, 2), 100u);
  EXPECT_EQ(p.Planes.Current, 1u);
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneY, 0x10));
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneChroma1, 0x20));
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneChroma2, 0x30));
  EXPECT_TRUE(PlaneIs(&p, 0, PlaneY, 0));  // the previous frame is not written
  EXPECT_EQ(map[0] + map[1], 2);
}

TEST(VideoFrame, OldRevisionsHaveNoLumaLengthAndOldColours) {
  TestPlanes p;
  TestAllocatePlanes(&p, 32, 16, 2, false);
  TestFrameParts parts = ColourFrame(32, 16, 0x05, 0x85, 0x00);
  parts.LumaLength = false;
  TestDecodeFrame(&p, TestBuildFrame(parts), MovieFlagPreI, 0);
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneY, 133));
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneChroma1, 123));
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneChroma2, 128));
}

// A luma plane of one block row (16x8, fills of 0x90) whose Runs tree uses table 1 and whose
// Runs list holds one value, the plane's last symbol; `motion` values in XOffsets shift where
// that symbol falls. Returns the bits written before the symbol.
uint64_t LumaEndingWithASymbol(TestBitWriter* w, int motion) {
  TestPutBits(w, 0, 4 * 22);  // table 0 for every tree but the last
  TestPutBits(w, 1, 4);       // Runs: table 1, explicit list of one symbol, 0
  TestPutBits(w, 1, 1);
  TestPutBits(w, 0, 3);
  TestPutBits(w, 0, 4);
  TestPutBundle(w, 16, VideoBundleBlockTypes, {6, 6});
  TestPutBundle(w, 16, VideoBundleSubBlockTypes, {});
  TestPutBundle(w, 16, VideoBundleColours, {0x90, 0x90});
  TestPutBundle(w, 16, VideoBundlePatterns, {});
  TestPutBundle(w, 16, VideoBundleXOffsets, std::vector<int>(size_t(motion) + 1, 1));
  for (uint32_t k = VideoBundleYOffsets; k < VideoBundleRuns; ++k) {
    TestPutBundle(w, 16, VideoBundleKind(k), {});
  }
  TestPutBits(w, 1, TestBundleCountBits(16, VideoBundleRuns));
  TestPutBits(w, 0, 1);  // explicit runs
  const uint64_t before = TestBitCount(w);
  TestPutBits(w, 0, 1);  // the run: code index 0 of table 1, one bit
  return before;
}

TEST(VideoFrame, OldRevisionsFindChromaAfterTheLumaPlanesLastWord) {
  // Without a length, chroma starts at the word after the last word the luma reader loaded.
  // When the last symbol is read with 3 bits buffered, table 1 peeks 5 bits and so loads one
  // more word, although its code needs only one bit: that word belongs to no plane.
  TestBitWriter w;
  int motion = 0;
  for (;; ++motion) {
    TestBitWriter probe;
    if (LumaEndingWithASymbol(&probe, motion) % 32 == 29) break;
  }
  LumaEndingWithASymbol(&w, motion);
  TestFrameParts parts = ColourFrame(16, 8, 0, 0x91, 0x92);
  parts.LumaLength = false;
  parts.Luma = TestFinish(&w);
  for (int i = 0; i < 4; ++i) parts.Luma.push_back(0xEE);  // the word loaded beyond the plane
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 8, 2, false);
  TestDecodeFrame(&p, TestBuildFrame(parts), MovieFlagPreI, 0);
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneY, 128 - 0x10));
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneChroma1, 128 - 0x11));
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneChroma2, 128 - 0x12));
}

TEST(VideoFrame, OldRevisionsDecodeNothingWithoutTheLumaPlane) {
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 16, 2, false);
  TestFrameParts parts = ColourFrame(16, 16, 1, 2, 3);
  parts.LumaLength = false;
  EXPECT_EQ(TestDecodeFrame(&p, TestBuildFrame(parts), MovieFlagPreI | kVideoDecodeSkipLuma, 0), 0u);
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneChroma1, 0));
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneY, 0));
}

TEST(VideoFrame, AlphaPlaneComesFirstAndIsSkippedWhenNotWanted) {
  TestFrameParts parts = ColourFrame(16, 16, 0x11, 0x22, 0x33);
  parts.HasAlpha = true;
  parts.Alpha = FillPlane(16, 16, 0x44);
  const std::vector<uint8_t> frame = TestBuildFrame(parts);

  TestPlanes with;
  TestAllocatePlanes(&with, 16, 16, 2, true);
  TestDecodeFrame(&with, frame, OpenAlpha, VideoFlagAlpha);
  EXPECT_TRUE(PlaneIs(&with, 1, PlaneA, 0x44));
  EXPECT_TRUE(PlaneIs(&with, 1, PlaneY, 0x11));
  EXPECT_TRUE(PlaneIs(&with, 1, PlaneChroma2, 0x33));

  TestPlanes without;
  TestAllocatePlanes(&without, 16, 16, 2, true);
  TestDecodeFrame(&without, frame, 0, VideoFlagAlpha);
  EXPECT_TRUE(PlaneIs(&without, 1, PlaneA, 0));
  EXPECT_TRUE(PlaneIs(&without, 1, PlaneY, 0x11));
  EXPECT_TRUE(PlaneIs(&without, 1, PlaneChroma1, 0x22));
}

TEST(VideoFrame, AlphaLengthLeadingOutOfTheDataEndsTheFrame) {
  TestFrameParts parts = ColourFrame(16, 16, 0x11, 0x22, 0x33);
  parts.HasAlpha = true;
  parts.Alpha = FillPlane(16, 16, 0x44);
  std::vector<uint8_t> frame = TestBuildFrame(parts);
  const uint32_t bad = 0xFFFFFFF0u;
  std::memcpy(frame.data(), &bad, 4);
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 16, 2, true);
  EXPECT_EQ(TestDecodeFrame(&p, frame, OpenAlpha, VideoFlagAlpha), 100u);  // alpha counts
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneA, 0x44));
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneY, 0));
}

TEST(VideoFrame, GreyScaleLeavesChromaAndSkipLumaLeavesLuma) {
  const std::vector<uint8_t> frame = TestBuildFrame(ColourFrame(16, 16, 7, 8, 9));
  TestPlanes grey;
  TestAllocatePlanes(&grey, 16, 16, 2, false);
  TestDecodeFrame(&grey, frame, OpenGrayscale, 0);
  EXPECT_TRUE(PlaneIs(&grey, 1, PlaneY, 7));
  EXPECT_TRUE(PlaneIs(&grey, 1, PlaneChroma1, 0));
  TestPlanes chroma;
  TestAllocatePlanes(&chroma, 16, 16, 2, false);
  TestDecodeFrame(&chroma, frame, kVideoDecodeSkipLuma, 0);
  EXPECT_TRUE(PlaneIs(&chroma, 1, PlaneY, 0));
  EXPECT_TRUE(PlaneIs(&chroma, 1, PlaneChroma1, 8));
  EXPECT_TRUE(PlaneIs(&chroma, 1, PlaneChroma2, 9));
}

TEST(VideoFrame, ChromaStartingOutsideTheDataIsNotDecoded) {
  std::vector<uint8_t> frame = TestBuildFrame(ColourFrame(16, 16, 7, 8, 9));
  const uint32_t past = uint32_t(frame.size()) + 4;  // counted from the length field at 0
  std::memcpy(frame.data(), &past, 4);
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 16, 2, false);
  TestDecodeFrame(&p, frame, 0, 0);
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneY, 7));
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneChroma1, 0));
}

TEST(VideoFrame, KeepCurrentLeavesTheSwitchToTheCaller) {
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 16, 2, false);
  const std::vector<uint8_t> frame = TestBuildFrame(ColourFrame(16, 16, 7, 8, 9));
  TestDecodeFrame(&p, frame, kVideoDecodeKeepCurrent, 0);
  EXPECT_EQ(p.Planes.Current, 0u);
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneY, 7));
  // The next frame goes to the other set again, reading set 1 as the previous frame.
  p.Planes.Current = 1;
  TestDecodeFrame(&p, TestBuildFrame(ColourFrame(16, 16, 1, 2, 3)), 0, 0);
  EXPECT_EQ(p.Planes.Current, 0u);
  EXPECT_TRUE(PlaneIs(&p, 0, PlaneY, 1));
}

TEST(VideoFrame, OneFrameMovieDecodesInPlaceRowByRow) {
  TestPlanes p;
  TestAllocatePlanes(&p, 8, 16, 1, false);
  VideoPlane* y = &p.Planes.Sets[0][PlaneY];
  for (uint32_t row = 0; row < 16; ++row) std::memset(y->Pixels + row * 8, int(row), 8);
  // Row 1 moves from one row up: each row is copied from the row just written above it.
  TestBitWriter w;
  TestPutFirstRow(&w, 8, {{VideoBundleBlockTypes, {0}},
                          {VideoBundleXOffsets, {0}},
                          {VideoBundleYOffsets, {-1}}});
  TestPutBundle(&w, 8, VideoBundleBlockTypes, {2});
  TestFrameParts parts;
  parts.Luma = TestFinish(&w);
  TestDecodeFrame(&p, TestBuildFrame(parts), OpenGrayscale, 0);
  EXPECT_EQ(p.Planes.Current, 0u);
  for (uint32_t row = 0; row < 16; ++row) {
    EXPECT_EQ(TestPixel(&p, 0, PlaneY, 3, row), row < 8 ? row : 7) << row;
  }
}

TEST(VideoFrame, SplitDecodeGivesTheBytesOfAWholeDecode) {
  TestFrameParts parts = ColourFrame(48, 32, 0x61, 0x62, 0x63);
  parts.HasAlpha = true;
  parts.Alpha = FillPlane(48, 32, 0x64);
  const std::vector<uint8_t> frame = TestBuildFrame(parts);
  const uint32_t flags = OpenAlpha | kVideoDecodeKeepCurrent;

  TestPlanes whole;
  TestAllocatePlanes(&whole, 48, 32, 2, true);
  std::vector<uint8_t> wholeMap(6, 0);
  const uint32_t percent = TestDecodeFrame(&whole, frame, flags, VideoFlagAlpha, wholeMap.data(), 3);

  TestPlanes split;
  TestAllocatePlanes(&split, 48, 32, 2, true);
  std::vector<uint8_t> splitMap(6, 0);
  uint32_t lumaPercent = 0, restPercent = 0;
  std::thread luma([&] {
    lumaPercent = TestDecodeFrame(&split, frame, (flags & ~OpenAlpha) | OpenGrayscale,
                                  VideoFlagAlpha, splitMap.data(), 3);
  });
  std::thread rest([&] {
    restPercent = TestDecodeFrame(&split, frame, flags | kVideoDecodeSkipLuma, VideoFlagAlpha,
                                  splitMap.data(), 3);
  });
  luma.join();
  rest.join();
  for (int plane = 0; plane < 4; ++plane) {
    EXPECT_EQ(whole.Buffers[1][plane], split.Buffers[1][plane]) << "plane " << plane;
  }
  EXPECT_EQ(wholeMap, splitMap);
  EXPECT_EQ(percent, std::max(lumaPercent, restPercent));
}

TEST(VideoFrame, ChangedPercentTakesTheLeastSkippedPlane) {
  // 32x16: 8 luma blocks, 2 blocks per chroma plane, each worth 4 luma blocks.
  struct Case {
    bool LumaSkips, Chroma1Skips, Chroma2Skips;
    uint32_t Percent;
  } cases[] = {{false, false, false, 100}, {true, false, true, 100}, {true, true, true, 0},
               {false, true, true, 100}};
  for (const Case& c : cases) {
    TestFrameParts parts;
    parts.Luma = c.LumaSkips ? SkipPlane(32, 16) : FillPlane(32, 16, 1);
    parts.Chroma1 = c.Chroma1Skips ? SkipPlane(16, 8) : FillPlane(16, 8, 1);
    parts.Chroma2 = c.Chroma2Skips ? SkipPlane(16, 8) : FillPlane(16, 8, 1);
    TestPlanes p;
    TestAllocatePlanes(&p, 32, 16, 2, false);
    EXPECT_EQ(TestDecodeFrame(&p, TestBuildFrame(parts), 0, 0), c.Percent);
  }
}

TEST(VideoFrame, ChangedPercentOfPartlySkippedLuma) {
  // 32x8: four luma blocks, two skipped without a map: 50 %.
  TestBitWriter w;
  TestPutFirstRow(&w, 32, {{VideoBundleBlockTypes, {0, 6, 0, 6}}, {VideoBundleColours, {1, 1}}});
  TestFrameParts parts;
  parts.Luma = TestFinish(&w);
  TestPlanes p;
  TestAllocatePlanes(&p, 32, 8, 2, false);
  EXPECT_EQ(TestDecodeFrame(&p, TestBuildFrame(parts), OpenGrayscale, 0), 50u);
}

TEST(VideoFrame, NothingDecodedMeansNothingChanged) {
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 16, 2, false);
  const std::vector<uint8_t> frame = TestBuildFrame(ColourFrame(16, 16, 7, 8, 9));
  EXPECT_EQ(TestDecodeFrame(&p, frame, OpenGrayscale | kVideoDecodeSkipLuma, 0), 0u);
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneY, 0));
}

TEST(VideoFrame, ChromaBlocksMarkTheirOwnMapByteRowByRow) {
  // 32x32: a 2x2 map. Chroma 16x16: block (1, 1) is a fill, the others skip. The luma plane
  // and the second chroma plane finish all their lists at once: no block is decoded there.
  TestBitWriter w;
  TestPutFirstRow(&w, 16, {{VideoBundleBlockTypes, {0, 0}}, {VideoBundleColours, {50}}});
  TestPutBundle(&w, 16, VideoBundleBlockTypes, {0, 6});
  TestFrameParts parts;
  parts.Chroma1 = TestFinish(&w);
  TestBitWriter none;
  TestPutFirstRow(&none, 32, {});
  parts.Luma = TestFinish(&none);
  TestPlanes p;
  TestAllocatePlanes(&p, 32, 32, 2, false);
  uint8_t map[4] = {};
  TestDecodeFrame(&p, TestBuildFrame(parts), 0, 0, map, 2);
  EXPECT_EQ(map[0], 0);
  EXPECT_EQ(map[1], 0);
  EXPECT_EQ(map[2], 0);
  EXPECT_EQ(map[3], 1);
  EXPECT_EQ(TestPixel(&p, 1, PlaneChroma1, 15, 15), 50);
}

TEST(VideoFrame, UnusableRecordsAndScratchDecodeNothing) {
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 16, 2, false);
  const std::vector<uint8_t> frame = TestBuildFrame(ColourFrame(16, 16, 7, 8, 9));
  TestScratch scratch;
  TestAllocateScratch(&scratch, 8);  // sized for a narrower picture: too small
  scratch.Sizes[VideoBundleColours] -= 16;
  EXPECT_EQ(VideoDecodeFrame(&p.Planes, nullptr, 0, frame.data(), frame.data() + frame.size(),
                             scratch.Sizes, 0, 0, scratch.Memory.data()),
            0u);
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneY, 0));
  TestAllocateScratch(&scratch, 16);
  p.Planes.Current = 2;
  EXPECT_EQ(VideoDecodeFrame(&p.Planes, nullptr, 0, frame.data(), frame.data() + frame.size(),
                             scratch.Sizes, 0, 0, scratch.Memory.data()),
            0u);
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneY, 0));
}

}  // namespace
