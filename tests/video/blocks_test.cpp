// Block cases the encoder never writes, pixel by pixel: set 0 (previous) is a gradient, set 1
// starts as 0x33 so that a block left as it was shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/video/video_test_support.h"
#include "video/scan_tables.h"
#include "video/video_decoder.h"

namespace {

using W = TestBitWriter*;
using B = std::vector<TestBundleValues>;
constexpr int kKept = 0x33, kAny = -1;

int Gradient(uint32_t x, uint32_t y) { return uint8_t(y * 16 + x); }
// The run block's value at natural position p when the i-th position along `scan` holds value(i).
int RunPixel(uint32_t scan, uint32_t p, int (*value)(int i)) {
  const auto& s = VideoRunScans[scan];
  return value(int(std::find(s.begin(), s.end(), p) - s.begin()));
}
// Row 0: skip (counted), fill (marks area 0); row 1: two skips in the marked area.
const B kSkipRow = {{VideoBundleBlockTypes, {0, 6}}, {VideoBundleColours, {5}}};
void PutSecondSkipRow(W w) {
  TestPutBundle(w, 16, VideoBundleBlockTypes, {0, 0});
  TestPutBundle(w, 16, VideoBundleColours, {});
}
constexpr uint32_t kRunOfOne = 15 << 4;  // a run block's four "a run of one colour" flags

struct BlockCase {
  const char* Name;
  uint32_t Width, Height;
  B Row;                                    // the first row's bundles
  uint32_t Bits, BitCount;                  // the blocks' bits after them
  void (*More)(W w);                        // null, or what follows
  int (*Expected)(uint32_t x, uint32_t y);  // null: not checked
  std::vector<uint8_t> Map;                 // empty: decoded without a change map
  int Percent = kAny;
};

const BlockCase kCases[] = {
    {"skip copies the previous frame; skips in a marked area do not count", 16, 16, kSkipRow, 0, 0,
     PutSecondSkipRow, [](uint32_t x, uint32_t y) { return y < 8 && x >= 8 ? 5 : Gradient(x, y); },
     {1}, 75},
    {"without a map every skip counts", 16, 16, kSkipRow, 0, 0, PutSecondSkipRow, nullptr, {}, 25},
    {"motion outside the plane leaves the block, marked", 16, 8, {{VideoBundleBlockTypes, {2, 2}},
     {VideoBundleXOffsets, {0, 1}}, {VideoBundleYOffsets, {-1, 0}}}, 0, 0, nullptr,
     [](uint32_t, uint32_t) { return kKept; }, {1}},
    {"runs summing to 63 take one more colour", 8, 8,
     {{VideoBundleBlockTypes, {3}}, {VideoBundleColours, {1, 2, 3, 4, 9}},
      {VideoBundleRuns, {15, 15, 15, 14}}}, kRunOfOne, 8, nullptr,
     [](uint32_t x, uint32_t y) {
       return RunPixel(0, y * 8 + x, [](int i) { return i == 63 ? 9 : 1 + i / 16; });
     }, {}},
    // Second block: runs of 16, 16, 16, 10, then 16 overshoots the 6 left, which keep the first
    // block's pixels (scan 7, 11 * run).
    {"an overshooting run leaves the previous run block", 16, 8,
     {{VideoBundleBlockTypes, {3, 3}}, {VideoBundleColours, {11, 22, 33, 44, 50, 51, 52, 53}},
      {VideoBundleRuns, {15, 15, 15, 15, 15, 15, 15, 9, 15}}}, 7 | kRunOfOne | kRunOfOne << 8, 16,
     nullptr,
     [](uint32_t x, uint32_t y) {
       const int first = RunPixel(7, y * 8 + x % 8, [](int i) { return 11 * (1 + i / 16); });
       const int second =
           RunPixel(0, y * 8 + x % 8, [](int i) { return i < 58 ? 50 + i / 16 : -1; });
       return x < 8 || second < 0 ? first : second;
     }, {}},
    // Budget 1, mask 128: coefficient 0 gets +128 (wraps), coefficient 1 gets -128.
    {"residue adds to the motion source, wrapping", 8, 16,
     {{VideoBundleBlockTypes, {4}}, {VideoBundleXOffsets, {0}}, {VideoBundleYOffsets, {8}}},
     1 | 7 << 7 | 0x88 << 10, 18, [](W w) { TestPutRow(w, 8, {}); },
     [](uint32_t x, uint32_t y) {
       const int change = y == 0 && x == 0 ? 128 : y == 0 && x == 1 ? -128 : 0;
       return y >= 8 ? kKept : int(uint8_t(Gradient(x, y + 8) + change));
     }, {}},
    // 65528 is -8: at q 1, (-8 * 87381) >> 11 = -342 and (-342 + 127) >> 8 = -1, stored 255 (as
    // an unsigned DC it would give 169). Then no coefficients and quantiser 1.
    {"the intra DC is a signed 16-bit value", 16, 8,
     {{VideoBundleBlockTypes, {5, 5}}, {VideoBundleDcIntra, {1024, 65528}}}, 1 << 12, 16, nullptr,
     [](uint32_t x, uint32_t) { return x < 8 ? 128 : 255; }, {}},
    // The first vector leaves the plane: its DC and coefficients are not read, so the second
    // block takes the first DC and the bits that follow.
    {"inter outside the plane reads nothing more", 16, 8,
     {{VideoBundleBlockTypes, {7, 7}}, {VideoBundleXOffsets, {-1, 0}},
      {VideoBundleYOffsets, {0, 0}}, {VideoBundleDcInter, {8, 800}}}, 0, 8, nullptr,
     [](uint32_t x, uint32_t y) { return x < 8 ? kKept : Gradient(x, y) + 1; }, {}},
};

TEST(VideoBlocks, EdgeCasesOfTheBlockTypes) {
  for (const BlockCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    TestPlanes p;
    TestAllocatePlanes(&p, c.Width, c.Height, 2, false);
    for (uint32_t i = 0; i < c.Width * c.Height; ++i) {
      p.Buffers[0][PlaneY][i] = uint8_t(Gradient(i % c.Width, i / c.Width));
    }
    TestFillPlane(&p, 1, PlaneY, kKept);
    TestBitWriter w;
    TestPutFirstRow(&w, c.Width, c.Row);
    TestPutBits(&w, c.Bits, c.BitCount);
    if (c.More) c.More(&w);
    TestFrameParts parts;
    parts.Luma = TestFinish(&w);
    std::vector<uint8_t> map(c.Map.size(), 0);
    const uint32_t percent = TestDecodeFrame(&p, TestBuildFrame(parts), OpenGrayscale, 0,
                                             c.Map.empty() ? nullptr : map.data(),
                                             uint32_t(map.size()));
    EXPECT_TRUE(c.Percent == kAny || percent == uint32_t(c.Percent)) << percent;
    EXPECT_EQ(map, c.Map);
    for (uint32_t i = 0; i < c.Width * c.Height && c.Expected; ++i) {
      ASSERT_EQ(p.Buffers[1][PlaneY][i], uint8_t(c.Expected(i % c.Width, i / c.Width))) << i;
    }
  }
}

}  // namespace
