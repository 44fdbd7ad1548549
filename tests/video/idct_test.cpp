// Dequantisation, the inverse transform and its output kernels (the scalar references; the
// checkasm harness holds every SIMD version to them).
#include <gtest/gtest.h>

#include <cstring>

#include "video/idct.h"
#include "video/quant.h"

namespace {

// A DC-only block is flat: (((dc * m) >> 11) + 127) >> 8, stored modulo 256.
TEST(VideoIdct, DcOnlyBlocksAreFlatRoundedAndWrapped) {
  const struct {
    int16_t Dc;
    const uint32_t* Quant;
    uint8_t Pixel;
  } cases[] = {{1024, VideoQuantIntra[0], 128}, {2047, VideoQuantIntra[0], 0},  {-1024,
      VideoQuantIntra[0], 128},
               {-1, VideoQuantIntra[0], 0},     {8, VideoQuantIntra[0], 1},     {1016,
                   VideoQuantIntra[0], 127},
               {12, VideoQuantIntra[2], 2},     {-8, VideoQuantIntra[1], 255},  {16,
                   VideoQuantInter[0], 2},
               {-2043, VideoQuantInter[1], 171}};
  for (auto c : cases) {
    SCOPED_TRACE(c.Dc);
    int16_t coefs[64] = {c.Dc};
    uint8_t block[64];
    VideoIdctPutReference(block, 8, coefs, c.Quant);
    for (uint8_t p : block) ASSERT_EQ(p, c.Pixel);
  }
}

TEST(VideoIdct, OutputKernelsStoreLowBytesAndNothingBeside) {
  const int16_t coefs[64] = {300, 40, -7, 0, 0, 0, 0, 0, 90, 0, 0, 0, 0, 0, 0, 0, -3};
  const uint32_t* quant = VideoQuantInter[3];
  int32_t v[64];
  VideoIdctReference(coefs, quant, v);
  uint8_t put[8 * 12], doubled[16 * 20], src[64], added[64];
  std::memset(put, 0xEE, sizeof put);
  std::memset(doubled, 0xEE, sizeof doubled);
  for (int i = 0; i < 64; ++i) src[i] = uint8_t(i * 37);
  VideoIdctPutReference(put, 12, coefs, quant);
  VideoIdctPutDoubledReference(doubled, 20, coefs, quant);
  VideoIdctAddReference(added, 8, coefs, quant, src, 8);
  for (int i = 0; i < 16 * 20; ++i) {
    const int r = i / 20, c = i % 20;
    ASSERT_EQ(doubled[i], c < 16 ? uint8_t(v[r / 2 * 8 + c / 2]) : 0xEE) << r << "," << c;
    if (r < 8 && c < 12) {
      ASSERT_EQ(put[r * 12 + c], c < 8 ? uint8_t(v[r * 8 + c]) : 0xEE) << r << "," << c;
    }
    if (r < 8 && c < 8) {
      ASSERT_EQ(added[r * 8 + c], uint8_t(src[r * 8 + c] + v[r * 8 + c])) << r << "," << c;
    }
  }
}

// Source one row above the destination in the same plane (a one-frame movie): each row adds to
// the row just written above it, so DC-only blocks accumulate down the block.
TEST(VideoIdct, AddInPlaceReadsEachSourceRowBeforeWritingIt) {
  uint8_t plane[9 * 8];
  std::memset(plane, 10, sizeof plane);
  const int16_t coefs[64] = {8};  // every result 1
  VideoIdctAddReference(plane + 8, 8, coefs, VideoQuantInter[0], plane, 8);
  for (int r = 0; r < 8; ++r) EXPECT_EQ(plane[8 + r * 8], 11 + r) << r;
}

}  // namespace
