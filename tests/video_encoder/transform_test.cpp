// The forward transform undone by the decoder's inverse one, and quantisation that keeps the
// decoder's 8-bit output from wrapping around at black and white.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "encoder/video_transform.h"
#include "video/idct.h"
#include "video/quant.h"

namespace {

// Pixel blocks, and inter differences (negative ones too), come back at the finest quantisers.
TEST(VideoEncoderTransform, FinestQuantiserGivesTheBlockBack) {
  std::mt19937 rng(1);
  for (int round = 0; round < 400; ++round) {
    const bool intra = round % 2 == 0;
    const uint32_t* quant = intra ? VideoQuantIntra[0] : VideoQuantInter[0];
    int32_t block[64], out[64];
    for (int32_t& v : block) v = intra ? int32_t(rng() % 256) : int32_t(rng() % 101) - 50;
    double transformed[64];
    EncoderForwardTransform(block, transformed);
    int16_t coefs[64];
    EncoderQuantise(transformed, quant, 0.0, intra ? 0 : -1023, intra ? 2047 : 1023, coefs);
    VideoIdctReference(coefs, quant, out);
    for (uint32_t i = 0; i < 64; ++i)
      ASSERT_LE(std::abs(out[i] - block[i]), 3) << round << ", " << i;
  }
}

// Hard black and white edges ring past 0 and 255 when quantised, and the decoder would store them
// wrapped (255 + 2 as 1): intra edges at three quantisers, then differences from a prediction
// near black or white.
TEST(VideoEncoderTransform, QuantisedEdgesStayWithinTheByteRange) {
  std::mt19937 rng(3);
  for (int round = 0; round < 1200; ++round) {
    const bool intra = round < 900;
    const uint32_t* quant = intra ? VideoQuantIntra[round < 300   ? 2
                                                    : round < 600 ? 5
                                                                  : 9]
                                  : VideoQuantInter[6];
    const uint32_t edge = 1 + uint32_t(rng() % 7), slope = uint32_t(rng() % 3);
    uint8_t pred[64] = {};
    int32_t block[64], out[64];
    for (uint32_t i = 0; i < 64; ++i) {
      if (!intra) pred[i] = uint8_t(rng() % 2 ? 250 + rng() % 6 : rng() % 6);
      block[i] = ((intra ? (i % 8) + slope * (i / 8) / 2 < edge : i % 8 < 4) ? 255 : 0) - pred[i];
    }
    double transformed[64];
    EncoderForwardTransform(block, transformed);
    int16_t coefs[64];
    ASSERT_EQ(
        EncoderQuantiseInRange(block, transformed, intra ? nullptr : pred, 8, quant,
                               intra ? 0.3 : 0.4, intra ? 0 : -1023, intra ? 2047 : 1023, coefs),
        1);
    VideoIdctReference(coefs, quant, out);
    for (uint32_t i = 0; i < 64; ++i)
      ASSERT_TRUE(out[i] + pred[i] >= 0 && out[i] + pred[i] <= 255) << round << ", " << i;
  }
}

}  // namespace
