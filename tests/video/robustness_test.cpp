// Hostile video data: random, sparse, well-formed-but-random and truncated frames decode without
// reading or writing outside their buffers (the data ends its allocation, so the address
// sanitizer reports any read past it) and to the same result whatever lies after the data.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "tests/video/video_test_support.h"
#include "video/video_decoder.h"

namespace {

struct Shape { uint32_t Width, Height, SetCount, Flags, VideoFlags; };

// Decodes over noise at the end of an exact allocation, then followed by other bytes: both must
// give the same planes, map and percentage.
void DecodeBothWays(const std::vector<uint8_t>& frame, const Shape& s) {
  std::vector<uint8_t> results[2];
  for (size_t trailer : {0, 64}) {
    TestPlanes p;
    TestAllocatePlanes(&p, s.Width, s.Height, s.SetCount, (s.Flags & OpenAlpha) != 0);
    std::mt19937 noise(s.Width * 31 + s.Height);
    for (std::vector<uint8_t>& plane : p.Buffers[0]) {
      for (uint8_t& v : plane) v = uint8_t(noise());
    }
    const uint32_t stride = (p.Planes.Width + 15) / 16;
    std::vector<uint8_t>& out = results[trailer ? 1 : 0];
    out.assign(stride * ((p.Planes.Height + 15) / 16), 0);
    const uint32_t percent =
        TestDecodeFrame(&p, frame, s.Flags, s.VideoFlags, out.data(), stride, trailer);
    EXPECT_LE(percent, 100u);
    out.push_back(uint8_t(percent));
    for (const auto& plane : p.Buffers[s.SetCount - 1]) {
      out.insert(out.end(), plane.begin(), plane.end());
    }
  }
  EXPECT_EQ(results[0], results[1]);
}

// Well-formed bundles with random values (every block type, vectors past the plane's edges,
// colours, runs), each row followed by random block bits.
std::vector<uint8_t> RandomBundlesPlane(std::mt19937* rng, uint32_t width, uint32_t height) {
  auto values = [&](VideoBundleKind kind, uint32_t count, int lo, int hi) {
    std::vector<int> v(1 + (*rng)() % count);
    for (int& x : v) x = lo + int((*rng)() % uint32_t(hi - lo + 1));
    return TestBundleValues{kind, v};
  };
  const uint32_t n = width / 8;
  TestBitWriter w;
  TestPutIdentityTrees(&w);
  for (uint32_t y = 0; y < height; y += 8) {
    TestPutRow(&w, width,
               {values(VideoBundleBlockTypes, n, 0, 11),
                values(VideoBundleSubBlockTypes, n / 2 + 1, 0, 11),
                values(VideoBundleColours, 200, 0, 255), values(VideoBundlePatterns, 40, 0, 255),
                values(VideoBundleXOffsets, n, -15, 15), values(VideoBundleYOffsets, n, -15, 15),
                values(VideoBundleDcIntra, n, 0, 2047), values(VideoBundleDcInter, n, -1023, 1023),
                values(VideoBundleRuns, 60, 0, 15)});
    for (uint32_t i = 0; i < width * 2; ++i) TestPutBits(&w, uint32_t((*rng)()), 32);
  }
  return TestFinish(&w);
}

// By trial: noise (every other time with a plausible first length); mostly zeros, which keep
// bundles alive; well-formed bundles, whole and cut to a third.
TEST(VideoRobustness, RandomDataDecodesSafelyAndAlike) {
  const Shape shapes[] = {{64, 48, 2, 0, 0},  {40, 24, 2, MovieFlagPreI, 0},
                          {33, 17, 1, 0, 0},  {48, 32, 2, OpenAlpha, VideoFlagAlpha},
                          {200, 16, 2, 0, 0}, {8, 8, 2, MovieFlagPreI | OpenAlpha, VideoFlagAlpha}};
  std::mt19937 rng(1234);
  for (const Shape& s : shapes) {
    SCOPED_TRACE(testing::Message() << s.Width << "x" << s.Height << " flags " << s.Flags);
    for (int trial = 0; trial < 100; ++trial) {
      std::vector<uint8_t> frame(rng() % 3000);
      for (uint8_t& b : frame) b = trial % 3 == 1 && rng() % 4 ? 0 : uint8_t(rng());
      if (trial % 6 == 3 && frame.size() >= 8) {
        const uint32_t length = uint32_t(rng() % frame.size());
        std::memcpy(frame.data(), &length, 4);
      }
      if (trial % 3 == 2) {
        TestFrameParts parts;
        parts.Luma = RandomBundlesPlane(&rng, (s.Width + 7) / 8 * 8, (s.Height + 7) / 8 * 8);
        parts.Chroma1 = RandomBundlesPlane(&rng, ((s.Width + 1) / 2 + 7) / 8 * 8, 8);
        parts.LumaLength = !(s.Flags & MovieFlagPreI);
        parts.HasAlpha = (s.VideoFlags & VideoFlagAlpha) != 0;
        parts.Alpha = parts.Luma;
        frame = TestBuildFrame(parts);
        DecodeBothWays({frame.begin(), frame.begin() + long(frame.size() / 3)}, s);
      }
      DecodeBothWays(frame, s);
    }
  }
}

}  // namespace
