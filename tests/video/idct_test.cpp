// Dequantisation, the inverse transform and its output kernels (scalar reference).
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "video/idct.h"
#include "video/quant.h"

namespace {

// An independent statement of the transform in 64-bit arithmetic, reduced to 32 bits after
// every operation.
int64_t W(int64_t x) { return int64_t(int32_t(uint32_t(uint64_t(x)))); }

void Transform(const int64_t x[8], int64_t y[8]) {
  const int64_t a0 = W(x[0] + x[4]), a1 = W(x[0] - x[4]), a2 = W(x[2] + x[6]);
  const int64_t a3 = W(2896 * W(x[2] - x[6])) >> 11;
  const int64_t a4 = W(x[5] + x[3]), a5 = W(x[5] - x[3]), a6 = W(x[1] + x[7]),
                a7 = W(x[1] - x[7]);
  const int64_t b0 = W(a4 + a6);
  const int64_t b1 = W(3784 * W(a5 + a7)) >> 11;
  const int64_t b2 = W((W(-5352 * a5) >> 11) - b0 + b1);
  const int64_t b3 = W((W(2896 * W(a6 - a4)) >> 11) - b2);
  const int64_t b4 = W((W(2217 * a7) >> 11) + b3 - b1);
  y[0] = W(a0 + a2 + b0);
  y[1] = W(a1 + a3 - a2 + b2);
  y[2] = W(a1 - a3 + a2 + b3);
  y[3] = W(a0 - a2 - b4);
  y[4] = W(a0 - a2 + b4);
  y[5] = W(a1 - a3 + a2 - b3);
  y[6] = W(a1 + a3 - a2 - b2);
  y[7] = W(a0 + a2 - b0);
}

void Expected(const int16_t coefs[64], const uint32_t quant[64], int32_t out[64]) {
  int64_t s[64], col[64];
  for (int i = 0; i < 64; ++i) s[i] = W(int64_t(coefs[i]) * int64_t(quant[i])) >> 11;
  for (int c = 0; c < 8; ++c) {
    int64_t x[8], y[8];
    for (int r = 0; r < 8; ++r) x[r] = s[r * 8 + c];
    Transform(x, y);
    for (int r = 0; r < 8; ++r) col[r * 8 + c] = y[r];
  }
  for (int r = 0; r < 8; ++r) {
    int64_t y[8];
    Transform(col + r * 8, y);
    for (int c = 0; c < 8; ++c) out[r * 8 + c] = int32_t(W(y[c] + 127) >> 8);
  }
}

TEST(VideoIdct, DcOnlyIntraBlockOf1024IsFlat128) {
  int16_t coefs[64] = {1024};
  uint8_t block[8 * 8];
  VideoIdctPutReference(block, 8, coefs, VideoQuantIntra[0]);
  for (uint8_t p : block) EXPECT_EQ(p, 128);
}

TEST(VideoIdct, DcOnlyBlocksAreFlatAndWrap) {
  // DC 2047 at q 0: (2047 * 65536 >> 11 + 127) >> 8 = 256, stored as 0. DC -1024: -128 -> 128.
  const struct { int16_t Dc; uint8_t Pixel; } cases[] = {{2047, 0}, {-1024, 128}, {-1, 0},
                                                        {8, 1}, {1016, 127}};
  for (auto c : cases) {
    int16_t coefs[64] = {c.Dc};
    uint8_t block[64];
    VideoIdctPutReference(block, 8, coefs, VideoQuantIntra[0]);
    for (uint8_t p : block) EXPECT_EQ(p, c.Pixel) << "DC " << c.Dc;
  }
}

TEST(VideoIdct, MatchesAnIndependentStatementOnRandomAndExtremeInput) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 2000; ++trial) {
    int16_t coefs[64] = {};
    const int kind = trial % 4;
    for (int i = 0; i < 64; ++i) {
      if (kind == 0) coefs[i] = int16_t(rng() % 64) - 32;            // typical
      if (kind == 1 && rng() % 8 == 0) coefs[i] = int16_t(rng());    // sparse, any value
      if (kind == 2) coefs[i] = rng() % 2 ? 32767 : -32768;           // extreme: wraps
      if (kind == 3 && i % 8 == 0) coefs[i] = int16_t(rng() % 512);   // first column only
    }
    const uint32_t* quant = trial % 2 ? VideoQuantIntra[rng() % 16] : VideoQuantInter[rng() % 16];
    int32_t got[64], want[64];
    VideoIdctReference(coefs, quant, got);
    Expected(coefs, quant, want);
    ASSERT_EQ(0, std::memcmp(got, want, sizeof got)) << "trial " << trial;
  }
}

TEST(VideoIdct, OutputKernelsStoreLowBytes) {
  int16_t coefs[64] = {300, 40, -7, 0, 0, 0, 0, 0, 90, 0, 0, 0, 0, 0, 0, 0, -3};
  int32_t v[64];
  VideoIdctReference(coefs, VideoQuantInter[3], v);

  uint8_t put[8 * 12];
  std::memset(put, 0xEE, sizeof put);
  VideoIdctPutReference(put, 12, coefs, VideoQuantInter[3]);
  uint8_t doubled[16 * 20];
  std::memset(doubled, 0xEE, sizeof doubled);
  VideoIdctPutDoubledReference(doubled, 20, coefs, VideoQuantInter[3]);
  uint8_t src[8 * 8], added[8 * 8];
  for (int i = 0; i < 64; ++i) src[i] = uint8_t(i * 37);
  VideoIdctAddReference(added, 8, coefs, VideoQuantInter[3], src, 8);

  for (int r = 0; r < 8; ++r) {
    for (int c = 0; c < 8; ++c) {
      EXPECT_EQ(put[r * 12 + c], uint8_t(v[r * 8 + c]));
      EXPECT_EQ(added[r * 8 + c], uint8_t(src[r * 8 + c] + v[r * 8 + c]));
      for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
          EXPECT_EQ(doubled[(2 * r + dy) * 20 + 2 * c + dx], uint8_t(v[r * 8 + c]));
        }
      }
    }
    for (int c = 8; c < 12; ++c) EXPECT_EQ(put[r * 12 + c], 0xEE);  // nothing beside the block
    for (int c = 16; c < 20; ++c) EXPECT_EQ(doubled[2 * r * 20 + c], 0xEE);
  }
}

TEST(VideoIdct, AddInPlaceReadsEachSourceRowBeforeWritingIt) {
  // Source one row above the destination, in the same plane: each row adds to the row just
  // written above it, so DC-only blocks accumulate down the block.
  uint8_t plane[9 * 8];
  std::memset(plane, 10, sizeof plane);
  int16_t coefs[64] = {8};  // every result 1
  VideoIdctAddReference(plane + 8, 8, coefs, VideoQuantInter[0], plane, 8);
  for (int r = 0; r < 8; ++r) EXPECT_EQ(plane[8 + r * 8], 11 + r) << r;
}

}  // namespace
