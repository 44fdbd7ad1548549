// Hostile video data: random and truncated frames decode without reading or writing outside
// their buffers (the frame data ends its allocation, so the address sanitizer reports any read
// past it), always to the same result, whatever lies in memory after the data.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "tests/video/video_test_support.h"
#include "video/video_decoder.h"

namespace {

struct Outcome {
  uint32_t Percent;
  std::vector<uint8_t> Planes[4];
  std::vector<uint8_t> Map;
};

// Decodes `frame` over planes whose previous frame is `previous`-seeded noise; when `trailer` is
// set the data is followed in memory by that many bytes of 0xFF which must not matter.
Outcome Decode(const std::vector<uint8_t>& frame, uint32_t width, uint32_t height,
               uint32_t setCount, uint32_t flags, uint32_t videoFlags, size_t trailer) {
  TestPlanes p;
  TestAllocatePlanes(&p, width, height, setCount, (flags & OpenAlpha) != 0);
  std::mt19937 noise(width * 31 + height);
  for (int plane = 0; plane < 4; ++plane) {
    for (uint8_t& v : p.Buffers[0][plane]) v = uint8_t(noise());
  }
  TestScratch scratch;
  TestAllocateScratch(&scratch, width);
  const uint32_t stride = (p.Planes.Width + 15) / 16;
  Outcome out;
  out.Map.assign(stride * ((p.Planes.Height + 15) / 16), 0);
  std::unique_ptr<uint8_t[]> copy(new uint8_t[frame.size() + trailer + 1]);
  if (!frame.empty()) std::memcpy(copy.get(), frame.data(), frame.size());
  std::memset(copy.get() + frame.size(), 0xFF, trailer + 1);
  out.Percent = VideoDecodeFrame(&p.Planes, out.Map.data(), stride, copy.get(),
                                 copy.get() + frame.size(), scratch.Sizes, flags, videoFlags,
                                 scratch.Memory.data());
  EXPECT_LE(out.Percent, 100u);
  const uint32_t target = setCount > 1 ? 1 : 0;
  for (int plane = 0; plane < 4; ++plane) out.Planes[plane] = p.Buffers[target][plane];
  return out;
}

void ExpectSame(const Outcome& a, const Outcome& b) {
  EXPECT_EQ(a.Percent, b.Percent);
  for (int plane = 0; plane < 4; ++plane) EXPECT_EQ(a.Planes[plane], b.Planes[plane]) << plane;
  EXPECT_EQ(a.Map, b.Map);
}

// Decodes at the end of an exact allocation, then again followed by other bytes.
void DecodeBothWays(const std::vector<uint8_t>& frame, uint32_t width, uint32_t height,
                    uint32_t setCount, uint32_t flags, uint32_t videoFlags) {
  const Outcome exact = Decode(frame, width, height, setCount, flags, videoFlags, 0);
  const Outcome padded = Decode(frame, width, height, setCount, flags, videoFlags, 64);
  ExpectSame(exact, padded);
}

struct Shape {
  uint32_t Width, Height, SetCount, Flags, VideoFlags;
};

const Shape kShapes[] = {
    {64, 48, 2, 0, 0},
    {40, 24, 2, MovieFlagPreI, 0},
    {33, 17, 1, 0, 0},
    {48, 32, 2, OpenAlpha, VideoFlagAlpha},
    {8, 8, 2, MovieFlagPreI | OpenAlpha, VideoFlagAlpha},
    {200, 16, 2, 0, 0},
};

TEST(VideoRobustness, RandomDataDecodesSafelyAndAlike) {
  std::mt19937 rng(1234);
  for (const Shape& s : kShapes) {
    for (int trial = 0; trial < 60; ++trial) {
      std::vector<uint8_t> frame(rng() % 3000);
      for (uint8_t& b : frame) b = uint8_t(rng());
      // Plausible lengths up front so that later planes are reached too.
      if (frame.size() >= 8 && trial % 2) {
        const uint32_t length = uint32_t(rng() % frame.size());
        std::memcpy(frame.data(), &length, 4);
      }
      DecodeBothWays(frame, s.Width, s.Height, s.SetCount, s.Flags, s.VideoFlags);
    }
  }
}

TEST(VideoRobustness, SparseRandomDataReachesEveryBlockType) {
  // Mostly-zero data keeps the lists alive longer than uniform noise does.
  std::mt19937 rng(99);
  for (const Shape& s : kShapes) {
    for (int trial = 0; trial < 40; ++trial) {
      std::vector<uint8_t> frame(200 + rng() % 2000);
      for (uint8_t& b : frame) b = rng() % 4 == 0 ? uint8_t(rng()) : 0;
      DecodeBothWays(frame, s.Width, s.Height, s.SetCount, s.Flags, s.VideoFlags);
    }
  }
}

// A plane of well-formed lists with random values (every block type, motion vectors reaching
// past the plane's edges, colours, runs) followed by random block bits.
std::vector<uint8_t> RandomListsPlane(std::mt19937* rng, uint32_t width, uint32_t height) {
  TestBitWriter w;
  auto values = [&](int count, int lo, int hi) {
    std::vector<int> v(size_t(1 + (*rng)() % uint32_t(count)));
    for (int& x : v) x = lo + int((*rng)() % uint32_t(hi - lo + 1));
    return v;
  };
  TestPutIdentityTrees(&w);
  for (uint32_t y = 0; y < height; y += 8) {
    TestPutBundle(&w, width, VideoBundleBlockTypes, values(int(width / 8), 0, 11));
    TestPutBundle(&w, width, VideoBundleSubBlockTypes, values(int(width / 16) + 1, 0, 11));
    TestPutBundle(&w, width, VideoBundleColours, values(200, 0, 255));
    TestPutBundle(&w, width, VideoBundlePatterns, values(40, 0, 255));
    TestPutBundle(&w, width, VideoBundleXOffsets, values(int(width / 8), -15, 15));
    TestPutBundle(&w, width, VideoBundleYOffsets, values(int(width / 8), -15, 15));
    TestPutBundle(&w, width, VideoBundleDcIntra, values(int(width / 8), 0, 2047));
    TestPutBundle(&w, width, VideoBundleDcInter, values(int(width / 8), -1023, 1023));
    TestPutBundle(&w, width, VideoBundleRuns, values(60, 0, 15));
    for (uint32_t i = 0; i < width * 2; ++i) TestPutBits(&w, uint32_t((*rng)()), 32);
  }
  return TestFinish(&w);
}

TEST(VideoRobustness, RandomWellFormedListsDecodeSafelyAndAlike) {
  std::mt19937 rng(4321);
  for (const Shape& s : kShapes) {
    for (int trial = 0; trial < 20; ++trial) {
      TestFrameParts parts;
      parts.Luma = RandomListsPlane(&rng, (s.Width + 7) / 8 * 8, (s.Height + 7) / 8 * 8);
      parts.Chroma1 = RandomListsPlane(&rng, ((s.Width + 1) / 2 + 7) / 8 * 8, 8);
      parts.LumaLength = !(s.Flags & MovieFlagPreI);
      parts.HasAlpha = (s.VideoFlags & VideoFlagAlpha) != 0;
      if (parts.HasAlpha) parts.Alpha = parts.Luma;
      const std::vector<uint8_t> frame = TestBuildFrame(parts);
      DecodeBothWays(frame, s.Width, s.Height, s.SetCount, s.Flags, s.VideoFlags);
      // Cut in the middle of a plane.
      const std::vector<uint8_t> cut(frame.begin(), frame.begin() + long(frame.size() / 3));
      DecodeBothWays(cut, s.Width, s.Height, s.SetCount, s.Flags, s.VideoFlags);
    }
  }
}

TEST(VideoRobustness, EveryTruncationOfAValidFrame) {
  // A frame with every kind of list and block: fills, patterns, motion and transforms.
  TestBitWriter w;
  TestPutFirstRow(&w, 32, {{VideoBundleBlockTypes, {6, 8, 2, 5}},
                           {VideoBundleColours, {1, 2, 3, 4}},
                           {VideoBundlePatterns, {1, 2, 3, 4, 5, 6, 7, 8}},
                           {VideoBundleXOffsets, {1}},
                           {VideoBundleYOffsets, {2}},
                           {VideoBundleDcIntra, {900}}});
  TestPutBits(&w, 2, 4);
  TestPutBits(&w, 0x1234567, 28);
  TestPutBundle(&w, 32, VideoBundleBlockTypes, {9, 0, 1, 7});
  TestPutBundle(&w, 32, VideoBundleColours, std::vector<int>(64, 77));
  TestFrameParts parts;
  parts.Luma = TestFinish(&w);
  parts.Chroma1 = parts.Luma;
  parts.Chroma2 = parts.Luma;
  const std::vector<uint8_t> frame = TestBuildFrame(parts);
  for (size_t size = 0; size <= frame.size(); ++size) {
    const std::vector<uint8_t> cut(frame.begin(), frame.begin() + long(size));
    DecodeBothWays(cut, 64, 16, 2, 0, 0);
    DecodeBothWays(cut, 64, 16, 2, MovieFlagPreI, 0);
  }
}

TEST(VideoRobustness, EmptyFrameChangesNothingOutsideTheDecodedPlanes) {
  const Outcome out = Decode({}, 32, 32, 2, 0, 0, 0);
  // An empty frame reads as zeros: all lists finished, every block left as it was.
  for (uint8_t v : out.Planes[PlaneY]) ASSERT_EQ(v, 0);
  for (uint8_t v : out.Map) ASSERT_EQ(v, 0);
}

}  // namespace
