// Whole frames: the planes the flags select, hostile plane lengths, the changed percentage and
// the old revisions' chroma position.
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
  const std::vector<int> types(width / 8, colour == kAny ? 0 : 6);
  const std::vector<int> colours(colour == kAny ? 0 : width / 8, colour);
  TestPutFirstRow(&w, width, {{VideoBundleBlockTypes, types}, {VideoBundleColours, colours}});
  for (uint32_t y = 8; y < height; y += 8) {
    TestPutBundle(&w, width, VideoBundleBlockTypes, types);
    if (colour != kAny) TestPutBundle(&w, width, VideoBundleColours, colours);
  }
  return TestFinish(&w);
}

// A frame of w x w/2 pixels, 32x16 unless given.
TestFrameParts Frame(int y, int u, int v, int a = kAny, bool lumaLength = true, uint32_t w = 32) {
  TestFrameParts parts;
  parts.Luma = Plane(w, w / 2, y);
  parts.Chroma1 = Plane(w / 2, w / 4, u);
  parts.Chroma2 = Plane(w / 2, w / 4, v);
  parts.HasAlpha = a != kAny;
  if (parts.HasAlpha) parts.Alpha = Plane(w, w / 2, a);
  parts.LumaLength = lumaLength;
  return parts;
}

// True when every pixel of the plane (not the padding beyond its width) has the value.
bool PlaneIs(const TestPlanes* p, uint32_t set, int plane, uint8_t value) {
  const bool chroma = plane == PlaneChroma1 || plane == PlaneChroma2;
  const uint32_t width = chroma ? p->Planes.ChromaWidth : p->Planes.Width;
  const std::vector<uint8_t>& pixels = p->Buffers[set][plane];
  for (size_t i = 0; i < pixels.size(); ++i) {
    if (i % p->Planes.Sets[set][plane].Pitch < width && pixels[i] != value) return false;
  }
  return true;
}

std::vector<uint8_t> WithLength(std::vector<uint8_t> frame, uint32_t length) {
  std::memcpy(frame.data(), &length, 4);
  return frame;
}

const std::vector<uint8_t> kPlain = TestBuildFrame(Frame(7, 8, 9));

struct FrameCase {
  const char* Name;
  std::vector<uint8_t> Data;
  uint32_t Flags, VideoFlags;
  int Planes[4];  // Y, chroma 1, chroma 2, alpha in the set decoded into; kAny: not checked
  int Percent = kAny;
};

// 8 luma blocks, 2 per chroma plane, each worth 4 luma blocks: the least skipped plane gives the
// percentage.
const FrameCase kCases[] = {
    {"alpha is skipped when not wanted", TestBuildFrame(Frame(1, 2, 3, 4)), 0, VideoFlagAlpha,
     {1, 2, 3, 0}},
    {"an alpha length leading out of the data ends the frame",
     WithLength(TestBuildFrame(Frame(1, 2, 3, 4)), 0xFFFFFFF0u), OpenAlpha, VideoFlagAlpha,
     {0, 0, 0, 4}, 100},
    {"old revisions decode nothing without the luma plane",
     TestBuildFrame(Frame(1, 2, 3, kAny, false)), MovieFlagPreI | kVideoDecodeSkipLuma, 0,
     {0, 0, 0, kAny}, 0},
    {"grey scale leaves chroma", kPlain, OpenGrayscale, 0, {7, 0, 0, kAny}},
    {"skipping luma leaves luma", kPlain, kVideoDecodeSkipLuma, 0, {0, 8, 9, kAny}},
    {"chroma starting outside the data is not decoded",
     WithLength(kPlain, uint32_t(kPlain.size() + 4)), 0, 0, {7, 0, 0, kAny}},
    {"an empty frame changes nothing", {}, 0, 0, {0, 0, 0, kAny}},
    {"percent: chroma 1 alone changes", TestBuildFrame(Frame(kAny, 1, kAny)), 0, 0,
     {kAny, 1, kAny, kAny}, 100},
};

TEST(VideoFrame, PlanesFlagsAndPercent) {
  for (const FrameCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    TestPlanes p;
    TestAllocatePlanes(&p, 32, 16, 2, (c.VideoFlags & VideoFlagAlpha) != 0);
    const uint32_t percent = TestDecodeFrame(&p, c.Data, c.Flags, c.VideoFlags);
    EXPECT_TRUE(c.Percent == kAny || percent == uint32_t(c.Percent)) << percent;
    EXPECT_EQ(p.Planes.Current, 1u);
    for (int plane = 0; plane < 4; ++plane) {
      const int want = c.Planes[plane];
      EXPECT_TRUE(want == kAny || PlaneIs(&p, 1, plane, uint8_t(want))) << plane;
      EXPECT_TRUE(!p.Planes.Sets[0][plane].Wanted || PlaneIs(&p, 0, plane, 0)) << "previous";
    }
  }
}

// Without a length, chroma starts at the word after the last word the luma reader loaded. A 16x8
// luma plane of fills whose Runs tree is table 1 ends with a Runs symbol, moved by `motion`
// XOffsets values until it is read with 3 bits buffered: table 1 peeks 5 bits and so loads one
// more word, although its code needs one bit, and that word belongs to no plane.
TEST(VideoFrame, OldRevisionsFindChromaAfterTheLumaPlanesLastWord) {
  TestBitWriter w;
  for (uint32_t motion = 0; TestBitCount(&w) % 32 != 29; ++motion) {
    w = {};
    TestPutBits(&w, 0, 4 * 22);
    TestPutBits(&w, 0x11, 12);  // Runs tree: table 1, explicit list of one symbol, 0
    const std::vector<int> values[VideoBundleRuns] = {{6, 6}, {}, {0x90, 0x90}, {},
                                                      std::vector<int>(motion + 1, 1)};
    for (uint32_t k = 0; k < VideoBundleRuns; ++k) {
      TestPutBundle(&w, 16, VideoBundleKind(k), values[k]);
    }
    TestPutBits(&w, 1, TestBundleCountBits(16, VideoBundleRuns) + 1);  // one explicit run
  }
  TestPutBits(&w, 0, 1);  // code index 0 of table 1: one bit
  TestFrameParts parts = Frame(0, 0x91, 0x92, kAny, false, 16);
  parts.Luma = TestFinish(&w);
  parts.Luma.insert(parts.Luma.end(), 4, 0xEE);  // the word loaded beyond the plane
  TestPlanes p;
  TestAllocatePlanes(&p, 16, 8, 2, false);
  TestDecodeFrame(&p, TestBuildFrame(parts), MovieFlagPreI, 0);
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneY, 128 - 0x10));
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneChroma1, 128 - 0x11));
  EXPECT_TRUE(PlaneIs(&p, 1, PlaneChroma2, 128 - 0x12));
}

}  // namespace
