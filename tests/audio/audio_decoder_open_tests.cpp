// Opening a decoder: transform length, block sizes, band edges.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/audio/audio_test_util.h"

namespace {

std::vector<uint32_t> Edges(const AudioBlockDecoder* d) {
  return std::vector<uint32_t>(d->BandEdges, d->BandEdges + d->BandCount + 1);
}

TEST(AudioDecoderOpen, StereoRealDftAt44100) {
  TestDecoder d = TestOpenDecoder(44100, 2, 0);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->FrameSamples, 4096u);
  EXPECT_EQ(d->DecodeChannels, 1u);
  EXPECT_EQ(d->BandCount, 25u);
  EXPECT_EQ(Edges(d.get()),
            (std::vector<uint32_t>{1,   4,   9,   13,  18,  23,  29,  35,  42,
                                   50,  58,  68,  79,  92,  107, 125, 146, 171,
                                   204, 246, 297, 357, 441, 557, 719, 2048}));
  EXPECT_EQ(d->BlockBytes, 8192u);
  EXPECT_EQ(d->OverlapBytes, 512u);
  EXPECT_EQ(AudioBlockOutputBytes(d.get()), 7680u);
  EXPECT_EQ(d->OutputScale, 2.0f / std::sqrt(4096.0f));
  EXPECT_EQ(d->FirstBlock, 1u);
  EXPECT_EQ(d->TransformWork->TwiddleCount, 0u);
}

TEST(AudioDecoderOpen, MonoDctAt22050) {
  TestDecoder d = TestOpenDecoder(22050, 1, AudioFlagDct);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->FrameSamples, 1024u);
  EXPECT_EQ(d->BandCount, 23u);  // 9500 Hz is the last edge below 11025
  EXPECT_EQ(d->BandEdges[23], 512u);
  EXPECT_EQ(d->BlockBytes, 2048u);
  EXPECT_EQ(d->OverlapBytes, 128u);
  EXPECT_EQ(d->Flags, AudioFlagDct);
}

TEST(AudioDecoderOpen, MonoAt8000) {
  for (uint32_t flags : {0u, AudioFlagDct}) {
    TestDecoder d = TestOpenDecoder(8000, 1, flags);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->FrameSamples, 512u);
    EXPECT_EQ(d->BandCount, 18u);  // 3700 Hz is the last edge below 4000
    EXPECT_EQ(Edges(d.get()), (std::vector<uint32_t>{1, 6, 12, 19, 25, 32, 40, 49, 58, 69, 81,
                                                     94, 110, 128, 148, 172, 201, 236, 256}));
    EXPECT_EQ(d->BlockBytes, 1024u);
  }
}

TEST(AudioDecoderOpen, StereoDctCodesEachChannel) {
  TestDecoder d = TestOpenDecoder(48000, 2, AudioFlagDct);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->FrameSamples, 2048u);
  EXPECT_EQ(d->DecodeChannels, 2u);
  EXPECT_EQ(d->BlockBytes, 8192u);
  EXPECT_EQ(d->OverlapBytes / 2, 256u);
}

TEST(AudioDecoderOpen, BaseLengthSteps) {
  const struct {
    uint32_t Rate, Length;
  } cases[] = {{22049, 512}, {22050, 1024}, {44099, 1024}, {44100, 2048}, {65535, 2048}};
  for (const auto& c : cases) {
    TestDecoder d = TestOpenDecoder(c.Rate, 1, AudioFlagDct);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->FrameSamples, c.Length) << c.Rate;
  }
}

TEST(AudioDecoderOpen, RefusesTracksWithoutPlayableSound) {
  EXPECT_EQ(AudioDecoderOpen(0, 1, 0), nullptr);
  EXPECT_EQ(AudioDecoderOpen(0, 2, AudioFlagDct), nullptr);
  EXPECT_EQ(AudioDecoderOpen(22050, 0, 0), nullptr);
  EXPECT_EQ(AudioDecoderOpen(22050, 3, 0), nullptr);
}

// Any rate opens, with at least one band, edges rising from bin 1 and the last at N/2.
TEST(AudioDecoderOpen, EveryRateGivesValidBands) {
  for (uint32_t flags : {0u, AudioFlagDct}) {
    for (uint32_t channels = 1; channels <= 2; ++channels) {
      for (uint32_t rate = 1; rate <= 65535; rate += rate < 200 ? 1 : 97) {
        TestDecoder d = TestOpenDecoder(rate, channels, flags);
        ASSERT_TRUE(d) << rate;
        ASSERT_GE(d->BandCount, 1u);
        ASSERT_LE(d->BandCount, AudioMaxBands);
        ASSERT_EQ(d->BandEdges[0], 1u) << rate;
        ASSERT_EQ(d->BandEdges[d->BandCount], d->FrameSamples / 2);
        for (uint32_t j = 1; j <= d->BandCount; ++j) {
          ASSERT_GT(d->BandEdges[j], d->BandEdges[j - 1]) << rate << " band " << j;
        }
      }
    }
  }
}

}  // namespace
