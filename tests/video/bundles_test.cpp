// The bundles' edge cases (the encoder round trips cover ordinary refills): scripts of refills and
// takes over streams for a plane 64 wide, where every count is 10 bits wide.
#include <gtest/gtest.h>

#include <vector>

#include "tests/video/video_test_support.h"

namespace {

using W = TestBitWriter*;
constexpr uint32_t kWidth = 64;

// R: refill; T: take the values; M: remember the bits read; U: nothing read since M; A: every bit
// written has been read.
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
};

void Empty(W w, uint32_t from, uint32_t to) {
  for (uint32_t k = from; k < to; ++k) TestPutBundle(w, kWidth, VideoBundleKind(k), {});
}

const BundleCase kCases[] = {
    // Two 4-bit differences: 5 - 9 wraps to 65532, + 15 gives 11 again.
    {"DC differences wrap at 16 bits",
     [](W w) {
       Empty(w, 0, VideoBundleDcIntra);
       TestPutBits(w, 3 | 5 << 10 | 4 << 21, 25);
       TestPutBits(w, 9 | 1 << 4 | 15 << 5, 10);  // -9, +15
     },
     {{'R'}, {'T', VideoBundleDcIntra, {5, 65532, 11}}}},
    // A finished bundle is never refilled; every take restarts at byte 4 (a DC's third entry).
    {"a count of zero finishes the bundle for the plane",
     [](W w) {
       Empty(w, 0, VideoBundleCount);
       TestPutBits(w, 0x3FF, 10);
     },
     {{'R'}, {'M'}, {'R'}, {'R'}, {'U'}, {'T', VideoBundleXOffsets, {-3, -3}},
      {'T', VideoBundleDcInter, {0xFDFD, 0xFDFD}}}, 0xFD},
    {"the capacity is the largest count accepted",
     [](W w) { TestPutBits(w, 528 | 1 << 10 | 6 << 11, 15); },  // 528 times 6
     {{'R'}, {'T', VideoBundleBlockTypes, {6, 6}}}},
    {"a count above the capacity finishes without reading values",
     [](W w) {
       TestPutBits(w, 529, 10);
       Empty(w, 1, VideoBundleCount);
     },
     {{'R'}, {'A'}, {'T', VideoBundleBlockTypes, {0x11}}}, 0x11},
};

// DC bundles give 16-bit values, offsets signed ones.
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
    VideoBundlesInit(&b, buffers, kWidth, 0);
    VideoBitReader r;
    VideoBitReaderInit(&r, stream.data(), stream.size(), 0);
    VideoReadBundleTrees(&b, &r);
    uint64_t mark = 0;
    for (const Op& op : c.Script) {
      const uint64_t read = r.Pos * 8 - r.BitsLeft;
      if (op.What == 'R') VideoRefillBundles(&b, &r, stream.size() + 4);
      if (op.What == 'M') mark = read;
      EXPECT_TRUE(op.What != 'U' || read == mark) << read;
      EXPECT_TRUE(op.What != 'A' || read == written) << read;
      std::vector<int> taken;
      for (size_t i = 0; i < op.Values.size(); ++i) taken.push_back(Take(&b, op.Kind));
      EXPECT_EQ(taken, op.Values) << "bundle " << op.Kind;
    }
  }
}

}  // namespace
