// The forward transform is the inverse of the decoder's, and quantisation keeps the decoder's
// 8-bit output from wrapping around at black and white.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "encoder/video_transform.h"
#include "video/idct.h"
#include "video/quant.h"

namespace {

// The decoder's result for the quantised block, before its 8-bit store.
void Reconstruct(const int32_t block[64], uint32_t q, bool intra, int32_t out[64]) {
  double transformed[64];
  EncoderForwardTransform(block, transformed);
  int16_t coefs[64];
  const uint32_t* quant = intra ? VideoQuantIntra[q] : VideoQuantInter[q];
  EncoderQuantise(transformed, quant, 0.0, intra ? 0 : -1023, intra ? 2047 : 1023, coefs);
  VideoIdctReference(coefs, quant, out);
}

// Blocks, and the differences of inter blocks (negative ones too), come back at the finest
// quantisers.
TEST(VideoEncoderTransform, FinestQuantiserGivesTheBlockBack) {
  std::mt19937 rng(1);
  for (int round = 0; round < 400; ++round) {
    const bool intra = round % 2 == 0;
    int32_t block[64], out[64];
    for (int32_t& v : block) v = intra ? int32_t(rng() % 256) : int32_t(rng() % 101) - 50;
    Reconstruct(block, 0, intra, out);
    for (uint32_t i = 0; i < 64; ++i) EXPECT_LE(std::abs(out[i] - block[i]), 3) << i;
  }
}

// Hard black and white edges ring past 0 and 255 when quantised; the decoder would store those
// values wrapped (255 + 2 as 1). The quantiser pulls such pixels in.
TEST(VideoEncoderTransform, HardEdgesStayWithinTheByteRange) {
  std::mt19937 rng(3);
  for (uint32_t q : {2u, 5u, 9u}) {
    for (int round = 0; round < 300; ++round) {
      int32_t block[64];
      const uint32_t edge = 1 + uint32_t(rng()) % 7, slope = uint32_t(rng()) % 3;
      for (uint32_t i = 0; i < 64; ++i) block[i] = (i % 8) + slope * (i / 8) / 2 < edge ? 255 : 0;
      double transformed[64];
      EncoderForwardTransform(block, transformed);
      int16_t coefs[64];
      ASSERT_EQ(EncoderQuantiseInRange(block, transformed, nullptr, 0, VideoQuantIntra[q], 0.3, 0,
                                       2047, coefs),
                1);
      int32_t out[64];
      VideoIdctReference(coefs, VideoQuantIntra[q], out);
      for (uint32_t i = 0; i < 64; ++i) {
        ASSERT_GE(out[i], 0) << "q " << q << " round " << round;
        ASSERT_LE(out[i], 255) << "q " << q << " round " << round;
      }
    }
  }
}

// With a prediction, the prediction plus the result stays within range.
TEST(VideoEncoderTransform, PredictionPlusDifferencesStaysWithinTheByteRange) {
  std::mt19937 rng(4);
  for (int round = 0; round < 300; ++round) {
    uint8_t pred[64];
    int32_t block[64];
    for (uint32_t i = 0; i < 64; ++i) {
      pred[i] = uint8_t(uint32_t(rng()) % 2 ? 250 + uint32_t(rng()) % 6 : uint32_t(rng()) % 6);
      const int32_t target = (i % 8) < 4 ? 255 : 0;
      block[i] = target - pred[i];
    }
    double transformed[64];
    EncoderForwardTransform(block, transformed);
    int16_t coefs[64];
    ASSERT_EQ(EncoderQuantiseInRange(block, transformed, pred, 8, VideoQuantInter[6], 0.4, -1023,
                                     1023, coefs),
              1);
    int32_t out[64];
    VideoIdctReference(coefs, VideoQuantInter[6], out);
    for (uint32_t i = 0; i < 64; ++i) {
      ASSERT_GE(out[i] + pred[i], 0) << round;
      ASSERT_LE(out[i] + pred[i], 255) << round;
    }
  }
}

}  // namespace
