// The nine bundles: counts, refills, the bundle readers and fetches from exhausted bundles, as
// scripts of refills and takes over hand-written streams (plane width 64: eight blocks a row,
// every count 10 bits wide).
#include <gtest/gtest.h>

#include <vector>

#include "tests/video/video_test_support.h"

namespace {

using W = TestBitWriter*;
constexpr uint32_t kWidth = 64;

// R: refill; T: take the values (DC bundles 16-bit, offsets signed); M: remember the bits read;
// U: nothing read since M; A: every bit written has been read; E: no word loaded past the end.
struct Op {
  char What;
  VideoBundleKind Kind = VideoBundleBlockTypes;
  std::vector<int> Values = {};
};

struct BundleCase {
  const char* Name;
  void (*Write)(W w);  // after the identity trees
  std::vector<Op> Script;
  uint8_t Fill = 0;  // what earlier rows left in the buffers
  uint32_t OldColours = 0;
  void (*AfterTrees)(VideoBundles* b) = nullptr;
};

void Put(W w, VideoBundleKind kind, uint32_t count, uint32_t fill,
         std::initializer_list<uint32_t> fields) {
  TestPutBits(w, count, TestBundleCountBits(kWidth, kind));
  TestPutBits(w, fill, 1);
  for (uint32_t f : fields) TestPutBits(w, f, 4);
}
void Empty(W w, uint32_t from, uint32_t to) {
  for (uint32_t k = from; k < to; ++k) TestPutBundle(w, kWidth, VideoBundleKind(k), {});
}
std::vector<int> Repeat(size_t n, int v) { return std::vector<int>(n, v); }

const BundleCase kCases[] = {
    // 7, 4 x 7, 2, 8 x 2: 14 values; a run of 12 exceeds the 6 missing and ends the refill.
    {"block-type runs repeat the last type", [](W w) { Put(w, VideoBundleBlockTypes, 20, 0, {7, 12,
        2, 13, 14}); },
     {{'R'}, {'T', VideoBundleBlockTypes, {7, 7, 7, 7, 7, 2, 2, 2, 2, 2, 2, 2, 2, 2, 0, 0, 0, 0, 0,
                                           0}}}},
    {"an overshooting run keeps the count and old contents; the next bundle follows its code",
     [](W w) {
       Put(w, VideoBundleBlockTypes, 6, 0, {3, 12, 13});
       TestPutBundle(w, kWidth, VideoBundleSubBlockTypes, {9});
     },
     {{'R'}, {'T', VideoBundleBlockTypes, {3, 3, 3, 3, 3, 0x77}}, {'T', VideoBundleSubBlockTypes,
         {9}}}, 0x77},
    {"fill mode stores one value count times",
     [](W w) {
       Put(w, VideoBundleBlockTypes, 5, 1, {6});
       Empty(w, VideoBundleSubBlockTypes, VideoBundleColours);
       Put(w, VideoBundleColours, 3, 1, {0xC, 0x4});
       Empty(w, VideoBundlePatterns, VideoBundleXOffsets);
       Put(w, VideoBundleXOffsets, 4, 1, {9});
       TestPutBits(w, 1, 1);  // negative
       Put(w, VideoBundleYOffsets, 2, 1, {0});  // zero has no sign bit
       Empty(w, VideoBundleDcIntra, VideoBundleRuns);
       Put(w, VideoBundleRuns, 3, 1, {11});
     },
     {{'R'}, {'A'}, {'T', VideoBundleBlockTypes, Repeat(5, 6)}, {'T', VideoBundleColours, Repeat(3,
         0xC4)},
      {'T', VideoBundleXOffsets, Repeat(4, -9)}, {'T', VideoBundleYOffsets, {0, 0}}, {'T',
          VideoBundleRuns, Repeat(3, 11)}}},
    // A group of two 4-bit differences: 5 - 9 wraps to 65532, + 15 gives 11 again.
    {"DC differences wrap at 16 bits",
     [](W w) {
       Empty(w, 0, VideoBundleDcIntra);
       TestPutBits(w, 3, 10);
       TestPutBits(w, 5, 11);
       TestPutBits(w, 4, 4);
       TestPutBits(w, 9 | 1 << 4, 5);   // -9
       TestPutBits(w, 15 | 0 << 4, 5);  // +15
     },
     {{'R'}, {'T', VideoBundleDcIntra, {5, 65532, 11}}}},
    // High 3 with tree 0 (identity), low 10; then code 3 with tree 3, which maps it to 12, low 1.
    {"a colour's high nibble uses the tree of the previous high nibble",
     [](W w) {
       Empty(w, 0, VideoBundleColours);
       Put(w, VideoBundleColours, 2, 0, {3, 10, 3, 1});
     },
     {{'R'}, {'T', VideoBundleColours, {0x3A, 0xC1}}}, 0, 0,
     [](VideoBundles* b) {
       for (uint32_t i = 0; i < 16; ++i) b->HighTrees[3].Symbols[i] = uint8_t(15 - i);
     }},
    {"old revisions code colours as offsets from 128",
     [](W w) {
       Empty(w, 0, VideoBundleColours);
       TestPutBundle(w, kWidth, VideoBundleColours, {0x05, 0x85, 0x00, 0x80, 0x7F, 0xFF});
     },
     {{'R'}, {'T', VideoBundleColours, {133, 123, 128, 128, 255, 1}}}, 0, 1},
    // A finished bundle is never refilled; every fetch restarts at byte 4 (a DC bundle's third
    // entry).
    {"a count of zero finishes the bundle for the plane",
     [](W w) {
       Empty(w, 0, VideoBundleCount);
       TestPutBits(w, 0x3FF, 10);
     },
     {{'R'}, {'M'}, {'R'}, {'R'}, {'U'}, {'T', VideoBundleXOffsets, {-3, -3}}, {'T',
         VideoBundleDcInter, {0xFDFD, 0xFDFD}}},
     0xFD},
    {"the capacity is the largest count accepted", [](W w) { Put(w, VideoBundleBlockTypes, 528, 1,
        {6}); },
     {{'R'}, {'T', VideoBundleBlockTypes, {6, 6}}}},
    {"a count above the capacity finishes without reading values",
     [](W w) {
       TestPutBits(w, 529, 10);
       Empty(w, 1, VideoBundleCount);
     },
     {{'R'}, {'A'}, {'T', VideoBundleBlockTypes, {0x11}}}, 0x11},
    {"an exhausted bundle restarts at byte four, then is refilled",
     [](W w) {
       TestPutRow(w, kWidth, {{VideoBundleColours, {1, 2, 3, 4, 5, 6}}});
       TestPutBundle(w, kWidth, VideoBundleColours, {77});
     },
     {{'R'}, {'T', VideoBundleColours, {1, 2, 3, 4, 5, 6, 5, 6}}, {'R'}, {'T', VideoBundleColours,
         {77}}}},
    {"a bundle whose cursor ran past its end is not refilled",
     [](W w) {
       TestPutRow(w, kWidth, {{VideoBundleColours, {10, 20}}});
       TestPutBits(w, 0x7FF, 11);
     },
     {{'R'}, {'T', VideoBundleColours, {10, 20, 44, 44}}, {'M'}, {'R'}, {'U'}}, 44},
    // Colours claims 100 values but the data ends after three: finished, and the refill stops.
    {"the end of the data finishes the bundle",
     [](W w) {
       TestPutBundle(w, kWidth, VideoBundleBlockTypes, {6, 6});
       Empty(w, VideoBundleSubBlockTypes, VideoBundleColours);
       Put(w, VideoBundleColours, 100, 0, {2, 1, 2, 1, 2, 1});
     },
     {{'R'}, {'E'}, {'T', VideoBundleBlockTypes, {6, 6}}}},
};

int Take(VideoBundles* b, VideoBundleKind kind) {
  VideoBundle* bundle = &b->Bundles[kind];
  if (kind == VideoBundleDcIntra || kind == VideoBundleDcInter) return int(VideoTakeDc(bundle));
  const uint32_t v = VideoTakeByte(bundle);
  return kind == VideoBundleXOffsets || kind == VideoBundleYOffsets ? int8_t(v) : int(v);
}

TEST(VideoBundles, RefillsAndTakes) {
  for (const BundleCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    TestBitWriter w;
    TestPutIdentityTrees(&w);
    c.Write(&w);
    const uint64_t written = TestBitCount(&w);
    const std::vector<uint8_t> stream = TestFinish(&w);
    uint64_t sizes[VideoBundleCount];
    VideoBundleBufferSizes(kWidth, sizes);
    std::vector<uint8_t> storage[VideoBundleCount];
    uint8_t* buffers[VideoBundleCount];
    for (uint32_t i = 0; i < VideoBundleCount; ++i) {
      storage[i].assign(sizes[i], c.Fill);
      buffers[i] = storage[i].data();
    }
    VideoBundles b;
    VideoBundlesInit(&b, buffers, kWidth, c.OldColours);
    VideoBitReader r;
    VideoBitReaderInit(&r, stream.data(), stream.size(), 0);
    VideoReadBundleTrees(&b, &r);
    if (c.AfterTrees) c.AfterTrees(&b);
    uint64_t mark = 0;
    for (const Op& op : c.Script) {
      const uint64_t read = r.Pos * 8 - r.BitsLeft;
      if (op.What == 'R') VideoRefillBundles(&b, &r, stream.size() + 4);
      if (op.What == 'M') mark = read;
      if (op.What == 'U') {
        EXPECT_EQ(read, mark);
      }
      if (op.What == 'A') {
        EXPECT_EQ(read, written);
      }
      if (op.What == 'E') {
        EXPECT_LE(r.Pos, stream.size() + 4);
      }
      for (size_t i = 0; i < op.Values.size(); ++i) {
        EXPECT_EQ(Take(&b, op.Kind), op.Values[i]) << "bundle " << op.Kind << " value " << i;
      }
    }
  }
}

}  // namespace
