// Joining blocks: the first block is not crossfaded, later ones are, and tails are saved.
#include <gtest/gtest.h>

#include <vector>

#include "tests/audio/audio_test_util.h"

namespace {

void FillPcm(AudioBlockDecoder* d, int16_t (*value)(uint32_t)) {
  for (uint32_t i = 0; i < d->BlockBytes / 2; ++i) d->PcmBuffer[i] = value(i);
}

TEST(AudioJoinBlock, FirstBlockIsNotMixedButItsTailIsSaved) {
  TestDecoder d = TestOpenDecoder(8000, 1, 0);  // 512 samples, 32 crossfaded
  FillPcm(d.get(), [](uint32_t i) { return static_cast<int16_t>(i); });
  AudioJoinBlock(d.get());
  EXPECT_EQ(d->FirstBlock, 0u);
  for (uint32_t i = 0; i < 512; ++i) ASSERT_EQ(d->PcmBuffer[i], static_cast<int16_t>(i));
  for (uint32_t i = 0; i < 32; ++i) ASSERT_EQ(d->OverlapBuffer[i], static_cast<int16_t>(480 + i));
  EXPECT_EQ(AudioBlockOutputBytes(d.get()), 960u);
}

// Each value i of the head becomes floor((tail[i] * (n - i) + new[i] * i) / n).
TEST(AudioJoinBlock, CrossfadeFromTheSavedTail) {
  TestDecoder d = TestOpenDecoder(8000, 1, 0);
  FillPcm(d.get(), [](uint32_t) { return int16_t{-1000}; });
  AudioJoinBlock(d.get());
  FillPcm(d.get(), [](uint32_t i) { return static_cast<int16_t>(i < 32 ? 1001 : 7); });
  AudioJoinBlock(d.get());
  for (int32_t i = 0; i < 32; ++i) {
    const int32_t sum = -1000 * (32 - i) + 1001 * i;
    const int32_t floor = sum >= 0 ? sum / 32 : -((-sum + 31) / 32);
    ASSERT_EQ(d->PcmBuffer[i], floor) << i;
  }
  EXPECT_EQ(d->PcmBuffer[1], -938);  // -29999 / 32 = -937.47 rounds down
  EXPECT_EQ(d->PcmBuffer[32], 7);
  for (uint32_t i = 0; i < 32; ++i) ASSERT_EQ(d->OverlapBuffer[i], 7);
}

// In stereo the crossfade steps over single 16-bit values: left and right are entries of
// their own, so the two channels of one frame get different weights.
TEST(AudioJoinBlock, StereoCrossfadeCountsEachValue) {
  TestDecoder d = TestOpenDecoder(44100, 2, AudioFlagDct);  // 256 values crossfaded
  ASSERT_EQ(d->OverlapBytes / 2, 256u);
  FillPcm(d.get(), [](uint32_t) { return int16_t{0}; });
  AudioJoinBlock(d.get());
  FillPcm(d.get(), [](uint32_t) { return int16_t{25600}; });
  AudioJoinBlock(d.get());
  for (int32_t i = 0; i < 256; ++i) ASSERT_EQ(d->PcmBuffer[i], 100 * i) << i;
  EXPECT_EQ(d->PcmBuffer[256], 25600);
}

// Extreme values stay in range: the mix is a weighted mean.
TEST(AudioJoinBlock, ExtremesStayInRange) {
  TestDecoder d = TestOpenDecoder(8000, 1, AudioFlagDct);
  FillPcm(d.get(), [](uint32_t) { return int16_t{-32768}; });
  AudioJoinBlock(d.get());
  FillPcm(d.get(), [](uint32_t) { return int16_t{32767}; });
  AudioJoinBlock(d.get());
  EXPECT_EQ(d->PcmBuffer[0], -32768);
  EXPECT_EQ(d->PcmBuffer[31], (-32768 * 1 + 32767 * 31) / 32);
}

}  // namespace
