// Whole frames: where the planes sit in the video data, the version differences, alpha and grey
// scale, the destination set and the changed percentage.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/video/video_test_support.h"
#include "video/video_decoder.h"

namespace {

constexpr int kAny = -1;

// A plane whose blocks are all fills of `colour`, or (colour kAny) all skips.
std::vector<uint8_t> Plane(uint32_t width, uint32_t height, int colour) {
  TestBitWriter w;
  const size_t blocks = width / 8;
  const std::vector<int> types(blocks, colour == kAny ? 0 : 6), colours(colour == kAny ? 0 : blocks,
      colour);
  TestPutFirstRow(&w, width, {{VideoBundleBlockTypes, types}, {VideoBundleColours, colours}});
  for (uint32_t y = 8; y < height; y += 8) {
    TestPutBundle(&w, width, VideoBundleBlockTypes, types);
    if (colour != kAny) TestPutBundle(&w, width, VideoBundleColours, colours);
  }
  return TestFinish(&w);
}

TestFrameParts Frame(uint32_t w, uint32_t h, int y, int u, int v, int a = kAny,
                     bool lumaLength = true) {
  TestFrameParts parts;
  parts.Luma = Plane(w, h, y);
  parts.Chroma1 = Plane(w / 2, h / 2, u);
  parts.Chroma2 = Plane(w / 2, h / 2, v);
  parts.HasAlpha = a != kAny;
  if (parts.HasAlpha) parts.Alpha = Plane(w, h, a);
  parts.LumaLength = lumaLength;
  return parts;
}

// True when every pixel of the plane (not the padding beyond its width) has the value.
bool PlaneIs(const TestPlanes* p, uint32_t set, int plane, uint8_t value) {
  const bool chroma = plane == PlaneChroma1 || plane == PlaneChroma2;
  for (uint32_t y = 0; y < (chroma ? p->Planes.ChromaHeight : p->Planes.Height); ++y) {
    for (uint32_t x = 0; x < (chroma ? p->Planes.ChromaWidth : p->Planes.Width); ++x) {
      if (TestPixel(p, set, plane, x, y) != value) return false;
    }
  }
  return true;
}

std::vector<uint8_t> WithLength(std::vector<uint8_t> frame, uint32_t length) {
  std::memcpy(frame.data(), &length, 4);
  return frame;
}

struct FrameCase {
  const char* Name;
  std::vector<uint8_t> Data;  // a 32x16 frame
  uint32_t Flags, VideoFlags;
  int Planes[4];  // Y, chroma 1, chroma 2, alpha in the set decoded into; kAny: not checked
  int Percent = kAny;
};

const FrameCase kCases[] = {
    {"the luma length locates the chroma planes", TestBuildFrame(Frame(32, 16, 0x10, 0x20, 0x30)),
     0, 0,
     {0x10, 0x20, 0x30, kAny}, 100},
    {"old revisions: no luma length, colours offset from 128",
     TestBuildFrame(Frame(32, 16, 0x05, 0x85, 0x00, kAny, false)), MovieFlagPreI, 0, {133, 123, 128,
         kAny}},
    {"old revisions decode nothing without the luma plane", TestBuildFrame(Frame(32, 16, 1, 2, 3,
        kAny, false)),
     MovieFlagPreI | kVideoDecodeSkipLuma, 0, {0, 0, 0, kAny}, 0},
    {"the alpha plane comes first", TestBuildFrame(Frame(32, 16, 0x11, 0x22, 0x33, 0x44)),
     OpenAlpha,
     VideoFlagAlpha, {0x11, 0x22, 0x33, 0x44}},
    {"alpha is skipped when not wanted", TestBuildFrame(Frame(32, 16, 0x11, 0x22, 0x33, 0x44)), 0,
     VideoFlagAlpha, {0x11, 0x22, 0x33, 0}},
    {"an alpha length leading out of the data ends the frame",
     WithLength(TestBuildFrame(Frame(32, 16, 0x11, 0x22, 0x33, 0x44)), 0xFFFFFFF0u), OpenAlpha,
     VideoFlagAlpha, {0, 0, 0, 0x44}, 100},
    {"grey scale leaves chroma", TestBuildFrame(Frame(32, 16, 7, 8, 9)), OpenGrayscale, 0, {7, 0, 0,
        kAny}},
    {"skipping luma leaves luma", TestBuildFrame(Frame(32, 16, 7, 8, 9)), kVideoDecodeSkipLuma, 0,
     {0, 8, 9, kAny}},
    {"nothing decoded means nothing changed", TestBuildFrame(Frame(32, 16, 7, 8, 9)),
     OpenGrayscale | kVideoDecodeSkipLuma, 0, {0, 0, 0, kAny}, 0},
    {"chroma starting outside the data is not decoded",
     WithLength(TestBuildFrame(Frame(32, 16, 7, 8, 9)), uint32_t(TestBuildFrame(Frame(32, 16, 7, 8,
         9)).size() + 4)),
     0, 0, {7, 0, 0, kAny}},
    // 8 luma blocks, 2 blocks per chroma plane, each worth 4 luma blocks: the least skipped
    // plane gives the percentage.
    {"percent: chroma 1 alone changes", TestBuildFrame(Frame(32, 16, kAny, 1, kAny)), 0, 0, {kAny,
        1, kAny, kAny}, 100},
    {"percent: luma alone changes", TestBuildFrame(Frame(32, 16, 1, kAny, kAny)), 0, 0, {1, kAny,
        kAny, kAny}, 100},
    {"percent: all skipped", TestBuildFrame(Frame(32, 16, kAny, kAny, kAny)), 0, 0, {0, 0, 0, kAny},
     0},
};

TEST(VideoFrame, PlanesVersionsAndFlags) {
  for (const FrameCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    TestPlanes p;
    TestAllocatePlanes(&p, 32, 16, 2, (c.VideoFlags & VideoFlagAlpha) != 0);
    const uint32_t percent = TestDecodeFrame(&p, c.Data, c.Flags, c.VideoFlags);
    if (c.Percent != kAny) {
      EXPECT_EQ(percent, uint32_t(c.Percent));
    }
    EXPECT_EQ(p.Planes.Current, 1u);
    for (int plane = 0; plane < 4; ++plane) {
      if (c.Planes[plane] != kAny) {
        EXPECT_TRUE(PlaneIs(&p, 1, plane, uint8_t(c.Planes[plane]))) << plane;
      }
      if (p.Planes.Sets[0][plane].Wanted) {
        EXPECT_TRUE(PlaneIs(&p, 0, plane, 0)) << "previous " << plane;
      }
    }
  }
}

// A 16x8 luma plane of fills whose Runs tree is table 1 and whose Runs bundle holds one value,
// the plane's last symbol; `motion` values in XOffsets shift where it falls. Returns the bits
// written before that symbol.
uint64_t LumaEndingWithASymbol(TestBitWriter* w, uint32_t motion) {
  TestPutBits(w, 0, 4 * 22);
  TestPutBits(w, 0x11, 12);  // Runs tree: table 1, explicit list of one symbol, 0
  const std::vector<int> values[VideoBundleRuns] = {{6, 6}, {}, {0x90, 0x90}, {},
                                                    std::vector<int>(motion + 1, 1)};
  for (uint32_t k = 0; k < VideoBundleRuns; ++k) TestPutBundle(w, 16, VideoBundleKind(k),
      values[k]);
  TestPutBits(w, 1, TestBundleCountBits(16, VideoBundleRuns) + 1);  // one explicit run
  const uint64_t before = TestBitCount(w);
  TestPutBits(w, 0, 1);  // code index 0 of table 1: one bit
  return before;
}

// Without a length, chroma starts at the word after the last word the luma reader loaded. Read
// with 3 bits buffered, table 1 peeks 5 bits and so loads one more word, although its code needs
// only one bit: that word belongs to no plane.
TEST(VideoFrame, OldRevisionsFindChromaAfterTheLumaPlanesLastWord) {
  uint32_t motion = 0;
  for (TestBitWriter probe; LumaEndingWithASymbol(&probe, motion) % 32 != 29; probe = {}) ++motion;
  TestBitWriter w;
  LumaEndingWithASymbol(&w, motion);
  TestFrameParts parts = Frame(16, 8, 0, 0x91, 0x92, kAny, false);
  parts.Luma = TestFinish(&w);
  parts.Luma.insert(parts.Luma.end(), 4, 0xEE);  // the word loaded beyond the plane
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 8, 2, false);
  TestDecodeFrame(&p, TestBuildFrame(parts), MovieFlagPreI, 0);
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneY, 128 - 0x10));
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneChroma1, 128 - 0x11));
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneChroma2, 128 - 0x12));
}

TEST(VideoFrame, KeepCurrentLeavesTheSwitchToTheCaller) {
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 16, 2, false);
  TestDecodeFrame(&p, TestBuildFrame(Frame(16, 16, 7, 8, 9)), kVideoDecodeKeepCurrent, 0);
  EXPECT_EQ(p.Planes.Current, 0u);
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneY, 7));
  // The next frame goes to the other set again, reading set 1 as the previous frame.
  p.Planes.Current = 1;
  TestDecodeFrame(&p, TestBuildFrame(Frame(16, 16, 1, 2, 3)), 0, 0);
  EXPECT_EQ(p.Planes.Current, 0u);
  EXPECT_TRUE(PlaneIs(&p, 0, PlaneY, 1));
}

// Row 1 moves from one row up: each row is copied from the row just written above it.
TEST(VideoFrame, OneFrameMovieDecodesInPlaceRowByRow) {
  TestPlanes p;
  TestAllocatePlanes(&p, 8, 16, 1, false);
  for (uint32_t row = 0; row < 16; ++row) std::memset(p.Buffers[0][PlaneY].data() + row * 8,
                                                      int(row), 8);
  TestBitWriter w;
  TestPutFirstRow(&w, 8, {{VideoBundleBlockTypes, {0}}, {VideoBundleXOffsets, {0}},
                          {VideoBundleYOffsets, {-1}}});
  TestPutBundle(&w, 8, VideoBundleBlockTypes, {2});
  TestFrameParts parts;
  parts.Luma = TestFinish(&w);
  TestDecodeFrame(&p, TestBuildFrame(parts), OpenGrayscale, 0);
  EXPECT_EQ(p.Planes.Current, 0u);
  for (uint32_t row = 0; row < 16; ++row) EXPECT_EQ(TestPixel(&p, 0, PlaneY, 3, row),
                                                    row < 8 ? row : 7) << row;
}

// 32x32: a 2x2 map. Chroma 16x16: block (1, 1) is a fill, the others skip; the luma plane and
// the second chroma plane finish every bundle at once.
TEST(VideoFrame, ChromaBlocksMarkTheirOwnMapByte) {
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
  std::vector<uint8_t> map(4, 0);
  TestDecodeFrame(&p, TestBuildFrame(parts), 0, 0, map.data(), 2);
  EXPECT_EQ(map, (std::vector<uint8_t>{0, 0, 0, 1}));
  EXPECT_EQ(TestPixel(&p, 1, PlaneChroma1, 15, 15), 50);
}

TEST(VideoFrame, UnusableRecordsAndScratchDecodeNothing) {
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 16, 2, false);
  const std::vector<uint8_t> frame = TestBuildFrame(Frame(16, 16, 7, 8, 9));
  TestScratch scratch;
  TestAllocateScratch(&scratch, 8);  // sized for a narrower picture
  scratch.Sizes[VideoBundleColours] -= 16;
  EXPECT_EQ(VideoDecodeFrame(&p.Planes, nullptr, 0, frame.data(), frame.data() + frame.size(),
                             scratch.Sizes, 0, 0, scratch.Memory.data()), 0u);
  TestAllocateScratch(&scratch, 16);
  p.Planes.Current = 2;
  EXPECT_EQ(VideoDecodeFrame(&p.Planes, nullptr, 0, frame.data(), frame.data() + frame.size(),
                             scratch.Sizes, 0, 0, scratch.Memory.data()), 0u);
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneY, 0));
}

}  // namespace
