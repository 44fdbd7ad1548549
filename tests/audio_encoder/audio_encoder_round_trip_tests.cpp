// Encoding test signals and decoding them again, across rates, channel counts and variants.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/audio_encoder/audio_encoder_test_util.h"

namespace {

struct RoundTripCase {
  uint32_t Rate, Channels, Flags;
};

const RoundTripCase RoundTripCases[] = {
    {8000, 1, 0},  {8000, 2, AudioFlagDct},  {11025, 1, AudioFlagDct}, {16000, 2, 0},
    {22050, 1, 0}, {22050, 2, AudioFlagDct}, {32000, 1, AudioFlagDct}, {44100, 2, 0},
    {44100, 1, 0}, {44100, 2, AudioFlagDct}, {48000, 1, AudioFlagDct}, {48000, 2, 0}};

std::string CaseName(const RoundTripCase& c) {
  char name[64];
  std::snprintf(name, sizeof name, "%u Hz, %u ch, %s", c.Rate, c.Channels,
                c.Flags != 0 ? "DCT" : "real DFT");
  return name;
}

double RoundTripSnr(const RoundTripCase& c, uint32_t quality,
                    std::vector<int16_t> (*signal)(uint32_t, uint32_t, double)) {
  AudioEncoderConfig config;
  config.Rate = c.Rate;
  config.Channels = c.Channels;
  config.Flags = c.Flags;
  config.Quality = quality;
  const std::vector<int16_t> pcm = signal(c.Rate, c.Channels, 1.0);
  const std::vector<int16_t> decoded = TestDecode(config, TestEncode(config, pcm));
  EXPECT_EQ(decoded.size(), pcm.size()) << CaseName(c);
  return TestSnrDb(pcm, decoded);
}

// Quality 70 aims at 42 dB in every block; the whole signal must reach 40 dB.
TEST(AudioEncoderRoundTrip, SpeechLike) {
  for (const RoundTripCase& c : RoundTripCases) {
    EXPECT_GE(RoundTripSnr(c, 70, TestSpeechLike), 40.0) << CaseName(c);
  }
}

TEST(AudioEncoderRoundTrip, MusicLike) {
  for (const RoundTripCase& c : RoundTripCases) {
    EXPECT_GE(RoundTripSnr(c, 70, TestMusicLike), 40.0) << CaseName(c);
  }
}

// Higher quality buys a better SNR, up to the limit of 16-bit output.
TEST(AudioEncoderRoundTrip, QualityRaisesSnr) {
  const RoundTripCase c{22050, 2, AudioFlagDct};
  const double low = RoundTripSnr(c, 30, TestMusicLike);
  const double mid = RoundTripSnr(c, 60, TestMusicLike);
  const double high = RoundTripSnr(c, 95, TestMusicLike);
  EXPECT_GE(low, 17.0);  // aims at 18 dB
  EXPECT_GT(mid, low + 10);
  EXPECT_GT(high, mid + 10);
}

}  // namespace
