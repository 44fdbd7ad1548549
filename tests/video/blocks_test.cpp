// Hand-made luma planes that exercise each block type, checked pixel by pixel: the previous frame
// (set 0) is a gradient that differs at every position of a row, the frame decoded into (set 1)
// starts as 0x33 so that a block left as it was shows.
#include <gtest/gtest.h>

#include <vector>

#include "tests/video/video_test_support.h"
#include "video/scan_tables.h"
#include "video/video_decoder.h"

namespace {

using W = TestBitWriter*;
constexpr int kKept = 0x33, kAny = -1;

int Gradient(uint32_t x, uint32_t y) { return uint8_t(y * 16 + x); }
// The value of the run block at natural position p when run i of 16 positions along `scan`
// holds colours[i] (a run of one colour) or colours[i] + at (a run of single colours).
int RunPixel(uint32_t scan, uint32_t p, int (*value)(int position)) {
  for (int i = 0; i < 64; ++i) {
    if (VideoRunScans[scan][i] == p) return value(i);
  }
  return kAny;
}
void PutBits(W w, std::initializer_list<uint32_t> bits) {
  for (uint32_t bit : bits) TestPutBits(w, bit, 1);
}
// A 16x16 plane whose only area is scaled with `subType`; the band's lower row takes a type but
// finishes the bundles the area used.
void PutScaled(W w, int subType, std::vector<TestBundleValues> bundles, void (*bits)(W) = nullptr) {
  std::vector<TestBundleValues> all = bundles;
  all.push_back({VideoBundleBlockTypes, {1}});
  all.push_back({VideoBundleSubBlockTypes, {subType}});
  TestPutFirstRow(w, 16, all);
  if (bits) bits(w);
  TestPutBundle(w, 16, VideoBundleBlockTypes, {1});
  TestPutBundle(w, 16, VideoBundleSubBlockTypes, {});
  for (const TestBundleValues& b : bundles) TestPutBundle(w, 16, b.Kind, {});
}

// Row 0: skip (counted), fill (marks area 0); row 1: two skips in the marked area.
void PutSkipRows(W w) {
  TestPutFirstRow(w, 16, {{VideoBundleBlockTypes, {0, 6}}, {VideoBundleColours, {5}}});
  TestPutBundle(w, 16, VideoBundleBlockTypes, {0, 0});
  TestPutBundle(w, 16, VideoBundleColours, {});
}

struct BlockCase {
  const char* Name;
  uint32_t Width, Height;
  void (*Write)(W w);
  int (*Expected)(uint32_t x, uint32_t y);  // kAny: not checked
  std::vector<uint8_t> Map;                 // empty: decoded without a change map
  int Percent = kAny;
};

const BlockCase kCases[] = {
    {"fill", 16, 8,
     [](W w) { TestPutFirstRow(w, 16, {{VideoBundleBlockTypes, {6, 6}}, {VideoBundleColours, {0x42,
         0x17}}}); },
     [](uint32_t x, uint32_t) { return x < 8 ? 0x42 : 0x17; }, {1}, 100},
    {"raw takes 64 colours in row order", 8, 8,
     [](W w) {
       std::vector<int> colours;
       for (int i = 0; i < 64; ++i) colours.push_back(i * 3 + 1);
       TestPutFirstRow(w, 8, {{VideoBundleBlockTypes, {9}}, {VideoBundleColours, colours}});
     },
     [](uint32_t x, uint32_t y) { return int(y * 8 + x) * 3 + 1; }, {}},
    {"pattern: set bits take the second colour", 8, 8,
     [](W w) {
       TestPutFirstRow(w, 8, {{VideoBundleBlockTypes, {8}}, {VideoBundleColours, {10, 200}},
                              {VideoBundlePatterns, {0x01, 0x80, 0xFF, 0x00, 0x55, 0xAA, 0x0F,
                                                     0xF0}}});
     },
     [](uint32_t x, uint32_t y) {
       const int rows[8] = {0x01, 0x80, 0xFF, 0x00, 0x55, 0xAA, 0x0F, 0xF0};
       return (rows[y] >> x) & 1 ? 200 : 10;
     }, {}},
    {"skip copies the previous frame; skips in a marked area do not count", 16, 16, PutSkipRows,
     [](uint32_t x, uint32_t y) { return y < 8 && x >= 8 ? 5 : Gradient(x, y); }, {1}, 75},
    {"without a map every skip counts", 16, 16, PutSkipRows, nullptr, {}, 25},
    // From x = 31 of row 0: past the row's end, allowed while the block lies inside the plane.
    {"motion copies from the offset source", 24, 16,
     [](W w) {
       TestPutFirstRow(w, 24, {{VideoBundleBlockTypes, {2, 2, 2}}, {VideoBundleXOffsets, {0, -3,
           15}},
                               {VideoBundleYOffsets, {8, 2, 0}}});
     },
     [](uint32_t x, uint32_t y) {
       if (y >= 8) return kKept;
       const uint32_t at = y * 24 + 31 + (x - 16);
       return x < 8 ? Gradient(x, y + 8) : x < 16 ? Gradient(x - 3, y + 2) : Gradient(at % 24,
           at / 24);
     }, {1, 1}},
    {"motion outside the plane leaves the block but marks it", 16, 8,
     [](W w) {
       TestPutFirstRow(w, 16, {{VideoBundleBlockTypes, {2, 2}}, {VideoBundleXOffsets, {0, 1}},
                               {VideoBundleYOffsets, {-1, 0}}});
     },
     [](uint32_t, uint32_t) { return kKept; }, {1}},
    {"run fill: runs of one colour and runs of single colours", 8, 8,
     [](W w) {
       std::vector<int> colours = {7};
       for (int i = 0; i < 16; ++i) colours.push_back(100 + i);
       colours.push_back(8);
       for (int i = 0; i < 16; ++i) colours.push_back(200 + i);
       TestPutFirstRow(w, 8, {{VideoBundleBlockTypes, {3}}, {VideoBundleColours, colours},
                              {VideoBundleRuns, {15, 15, 15, 15}}});
       TestPutBits(w, 5, 4);
       PutBits(w, {1, 0, 1, 0});
     },
     [](uint32_t x, uint32_t y) {
       return RunPixel(5, y * 8 + x, [](int i) {
         const int run = i / 16, at = i % 16;
         return run == 0 ? 7 : run == 1 ? 100 + at : run == 2 ? 8 : 200 + at;
       });
     }, {}},
    {"runs summing to 63 take one more colour", 8, 8,
     [](W w) {
       TestPutFirstRow(w, 8, {{VideoBundleBlockTypes, {3}}, {VideoBundleColours, {1, 2, 3, 4, 9}},
                              {VideoBundleRuns, {15, 15, 15, 14}}});
       TestPutBits(w, 0, 4);
       PutBits(w, {1, 1, 1, 1});
     },
     [](uint32_t x, uint32_t y) {
       return RunPixel(0, y * 8 + x, [](int i) { return i == 63 ? 9 : 1 + i / 16; });
     }, {}},
    // Second block: runs of 16, 16, 16, 10, then 16 overshoots the 6 left, which keep the first
    // block's pixels (scan 7, 11 * run).
    {"an overshooting run leaves the previous run block", 16, 8,
     [](W w) {
       TestPutFirstRow(w, 16, {{VideoBundleBlockTypes, {3, 3}},
                               {VideoBundleColours, {11, 22, 33, 44, 50, 51, 52, 53}},
                               {VideoBundleRuns, {15, 15, 15, 15, 15, 15, 15, 9, 15}}});
       TestPutBits(w, 7, 4);
       PutBits(w, {1, 1, 1, 1});
       TestPutBits(w, 0, 4);
       PutBits(w, {1, 1, 1, 1});
     },
     [](uint32_t x, uint32_t y) {
       const int first = RunPixel(7, y * 8 + x % 8, [](int i) { return 11 * (1 + i / 16); });
       const int second = RunPixel(0, y * 8 + x % 8,
                                   [](int i) { return i < 58 ? 50 + i / 16 : -1; });
       return x < 8 || second < 0 ? first : second;
     }, {}},
    // Budget 1, mask 128: coefficient 0 gets +128 (wraps), coefficient 1 gets -128.
    {"residue adds to the motion source, wrapping", 8, 16,
     [](W w) {
       TestPutFirstRow(w, 8, {{VideoBundleBlockTypes, {4}}, {VideoBundleXOffsets, {0}},
                              {VideoBundleYOffsets, {8}}});
       TestPutBits(w, 1, 7);
       TestPutBits(w, 7, 3);
       PutBits(w, {0, 0, 0, 1, 0, 0, 0, 1});
       for (VideoBundleKind k : {VideoBundleBlockTypes, VideoBundleXOffsets, VideoBundleYOffsets}) {
         TestPutBundle(w, 8, k, {});
       }
     },
     [](uint32_t x, uint32_t y) {
       if (y >= 8) return kKept;
       const int change = y == 0 && x == 0 ? 128 : y == 0 && x == 1 ? -128 : 0;
       return int(uint8_t(Gradient(x, y + 8) + change));
     }, {}},
    // 1024 at q 0 is flat 128. 65528 is -8: at q 1, (-8 * 87381) >> 11 = -342 and
    // (-342 + 127) >> 8 = -1, stored 255 (as an unsigned DC it would give 169).
    {"the intra DC is a signed 16-bit value", 16, 8,
     [](W w) {
       TestPutFirstRow(w, 16, {{VideoBundleBlockTypes, {5, 5}}, {VideoBundleDcIntra, {1024,
           65528}}});
       for (uint32_t v : {0, 0, 0, 1}) TestPutBits(w, v, 4);  // no coefficients, quantiser
     },
     [](uint32_t x, uint32_t) { return x < 8 ? 128 : 255; }, {}},
    {"inter adds the transform to the motion source", 16, 8,
     [](W w) {
       TestPutFirstRow(w, 16, {{VideoBundleBlockTypes, {7}}, {VideoBundleXOffsets, {1}},
                               {VideoBundleYOffsets, {0}}, {VideoBundleDcInter, {-16}}});
       TestPutBits(w, 0, 8);
     },
     [](uint32_t x, uint32_t y) { return x < 8 ? Gradient(x + 1, y) - 2 : kAny; }, {}},
    // The first vector leaves the plane: its DC and coefficients are not read, so the second
    // block takes the first DC and the bits that follow.
    {"inter outside the plane reads nothing more", 16, 8,
     [](W w) {
       TestPutFirstRow(w, 16, {{VideoBundleBlockTypes, {7, 7}}, {VideoBundleXOffsets, {-1, 0}},
                               {VideoBundleYOffsets, {0, 0}}, {VideoBundleDcInter, {8, 800}}});
       TestPutBits(w, 0, 8);
     },
     [](uint32_t x, uint32_t y) { return x < 8 ? kKept : Gradient(x, y) + 1; }, {}},
    {"types above nine leave the block unmarked", 16, 8,
     [](W w) {
       TestPutIdentityTrees(w);
       TestPutBits(w, 1, TestBundleCountBits(16, VideoBundleBlockTypes));
       TestPutBits(w, 1, 1);  // fill mode can name types 12..15
       TestPutBits(w, 13, 4);
       for (uint32_t k = 1; k < VideoBundleCount; ++k) TestPutBundle(w, 16, VideoBundleKind(k), {});
     },
     [](uint32_t, uint32_t) { return kKept; }, {0}},
    {"scaled fill", 16, 16, [](W w) { PutScaled(w, 6, {{VideoBundleColours, {0x99}}}); },
     [](uint32_t, uint32_t) { return 0x99; }, {1}},
    {"scaled intra uses the doubled transform", 16, 16,
     [](W w) { PutScaled(w, 5, {{VideoBundleDcIntra, {1024}}}, [](W b) { TestPutBits(b, 0,
         8); }); },
     [](uint32_t, uint32_t) { return 128; }, {1}},
    {"other scaled sub-types write nothing but mark", 16, 16, [](W w) { PutScaled(w, 2, {}); },
     [](uint32_t, uint32_t) { return kKept; }, {1}},
    // Scaled at x = 16 with 8 columns left: untouched, and the sub-type bundle keeps its value.
    {"scaled in the last eight columns takes no sub-type", 24, 16,
     [](W w) {
       TestPutFirstRow(w, 24, {{VideoBundleBlockTypes, {1, 1}}, {VideoBundleSubBlockTypes, {6, 6}},
                               {VideoBundleColours, {0x44}}});
       TestPutBundle(w, 24, VideoBundleBlockTypes, {1, 6});
       TestPutBundle(w, 24, VideoBundleColours, {0x55});
     },
     [](uint32_t x, uint32_t y) { return x < 16 ? 0x44 : y < 8 ? kKept : 0x55; }, {1, 1}},
    // One block row: the sub-type is used up, nothing written, and the walk moves on 8 pixels.
    {"scaled in a last band of eight rows uses up its sub-type", 16, 8,
     [](W w) {
       TestPutFirstRow(w, 16, {{VideoBundleBlockTypes, {1, 6}}, {VideoBundleSubBlockTypes, {6}},
                               {VideoBundleColours, {0x66}}});
     },
     [](uint32_t x, uint32_t) { return x < 8 ? kKept : 0x66; }, {1}},
    {"scaled with an empty sub-type bundle marks and moves on sixteen", 32, 8,
     [](W w) { TestPutFirstRow(w, 32, {{VideoBundleBlockTypes, {1, 6}}, {VideoBundleColours,
         {0x66}}}); },
     [](uint32_t x, uint32_t) { return x >= 16 && x < 24 ? 0x66 : kKept; }, {1, 1}},
};

TEST(VideoBlocks, EveryBlockTypeOnHandMadePlanes) {
  for (const BlockCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    TestPlanes p;
    TestAllocatePlanes(&p, c.Width, c.Height, 2, false);
    for (uint32_t y = 0; y < c.Height; ++y) {
      for (uint32_t x = 0; x < c.Width; ++x) {
        p.Buffers[0][PlaneY][y * c.Width + x] = uint8_t(Gradient(x, y));
      }
    }
    TestFillPlane(&p, 1, PlaneY, kKept);
    TestBitWriter w;
    c.Write(&w);
    TestFrameParts parts;
    parts.Luma = TestFinish(&w);
    std::vector<uint8_t> map(c.Map.size(), 0);
    const uint32_t percent = TestDecodeFrame(&p, TestBuildFrame(parts), OpenGrayscale, 0,
                                             map.empty() ? nullptr : map.data(),
                                                 uint32_t(map.size()));
    EXPECT_EQ(p.Planes.Current, 1u);
    if (c.Percent != kAny) {
      EXPECT_EQ(percent, uint32_t(c.Percent));
    }
    EXPECT_EQ(map, c.Map);
    for (uint32_t y = 0; y < c.Height && c.Expected; ++y) {
      for (uint32_t x = 0; x < c.Width; ++x) {
        const int want = c.Expected(x, y);
        if (want != kAny) {
          ASSERT_EQ(TestPixel(&p, 1, PlaneY, x, y), uint8_t(want)) << x << "," << y;
        }
      }
    }
  }
}

}  // namespace
