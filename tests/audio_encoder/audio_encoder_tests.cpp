// The audio encoder: forward transforms undone by the decoder's inverse ones, sound coded and
// decoded again at the configured quality, packets that keep pace with the input.
#include <gtest/gtest.h>

#include <random>

#include "encoder/audio_forward_transform.h"
#include "tests/audio_encoder/audio_encoder_test_util.h"

namespace {

// The inverse transforms (held to their definitions in tests/audio) undo these up to the factor
// n/2, the DCT's first coefficient halved.
TEST(AudioForwardTransform, InverseTransformsUndoThem) {
  for (uint32_t n = 4; n <= 4096; n *= 2) {
    std::mt19937 rng(n);
    std::uniform_real_distribution<float> value(-32768.0f, 32767.0f);
    std::vector<float> x(n), realTable(AudioInverseDctTableFloats(n)), dctTable = realTable;
    double energy = 0;
    for (float& v : x) v = value(rng), energy += double(v) * v;
    AudioTransformWork realWork{}, dctWork{};
    std::vector<float> real = x, dct = x;
    ASSERT_EQ(ForwardRealDft(n, real.data(), &realWork, realTable.data()), 1);
    ASSERT_EQ(ForwardDct(n, dct.data(), &dctWork, dctTable.data()), 1);
    dct[0] *= 0.5f;
    AudioInverseRealDft(n, real.data(), &realWork, realTable.data());
    AudioInverseDct(n, dct.data(), &dctWork, dctTable.data());
    const double half = n / 2.0;  // both passes round: a few 2^-24 per butterfly level
    const double bound = 16 * std::ldexp(1.0, -24) * std::log2(n) * std::sqrt(energy / half);
    for (uint32_t j = 0; j < n; ++j) {
      ASSERT_NEAR(real[j] / half, x[j], bound) << "real DFT, n = " << n << ", " << j;
      ASSERT_NEAR(dct[j] / half, x[j], bound) << "DCT, n = " << n << ", " << j;
    }
  }
}

// A second of sound (or full-scale noise: the widest runs and largest values) coded and decoded:
// all samples back, all bytes read, the SNR the quality aims at (0.6 dB a step: 70 aims at 42).
TEST(AudioEncoder, RoundTripReachesTheQuality) {
  constexpr uint32_t Dct = AudioFlagDct;
  const struct { AudioEncoderConfig C; bool Noise; double MinDb; } cases[] = {
      {{8000, 1, 0, 70}, 0, 40},    {{8000, 2, Dct, 70}, 0, 40},  {{11025, 1, Dct, 70}, 0, 40},
      {{16000, 2, 0, 70}, 0, 40},   {{22050, 2, Dct, 70}, 0, 40}, {{44100, 2, 0, 70}, 0, 40},
      {{48000, 1, Dct, 70}, 0, 40}, {{22050, 2, Dct, 30}, 0, 17}, {{22050, 2, Dct, 60}, 0, 34},
      {{22050, 2, Dct, 95}, 0, 55}, {{48000, 2, 0, 90}, 1, 45},   {{48000, 2, Dct, 90}, 1, 45}};
  for (const auto& [c, noise, minDb] : cases) {
    SCOPED_TRACE(testing::Message() << c.Rate << " Hz, " << c.Channels << " channels, flags "
                                    << c.Flags << ", quality " << c.Quality);
    std::vector<int16_t> pcm = TestMusicLike(c.Rate, c.Channels, 1.0);
    std::mt19937 rng(5);
    if (noise) std::generate(pcm.begin(), pcm.end(), [&rng] { return int16_t(rng()); });
    size_t unread = 0;
    const std::vector<int16_t> decoded = TestDecode(c, TestEncode(c, pcm), &unread);
    ASSERT_TRUE(decoded.size() == pcm.size() && unread == 0) << decoded.size() << " " << unread;
    double signal = 0, error = 0;
    for (size_t i = 0; i < pcm.size(); ++i)
      signal += double(pcm[i]) * pcm[i], error += std::pow(pcm[i] - decoded[i], 2.0);
    EXPECT_GE(10 * std::log10(signal / std::max(error, 1e-9)), minDb);
  }
}

TEST(AudioEncoder, RefusesWhatTheDecoderCannotPlay) {
  AudioEncoder e;
  for (const AudioEncoderConfig& c : {AudioEncoderConfig{0, 1, 0, 50}, {22050, 3, 0, 50},
                                      {22050, 1, 0, 0}, {22050, 1, 0, 101}, {70000, 1, 0, 50}})
    EXPECT_EQ(AudioEncoderInit(&e, c), 0) << c.Rate << " " << c.Channels << " " << c.Quality;
  EXPECT_EQ(AudioEncoderTrackFormat({44100, 2, 0, 50}), 0xE000AC44u);
  EXPECT_EQ(AudioEncoderTrackFormat({8000, 1, AudioFlagDct, 50}), 0x50001F40u);
}

// A packet holds the blocks its 882 frames complete: the decoded sound never runs ahead of the
// input nor lags a block behind; the flush has the rest; no packet passes the announced maximum.
TEST(AudioEncoder, PacketsKeepPaceWithTheInput) {
  const AudioEncoderConfig c = {22050, 2, AudioFlagDct, 60};
  AudioEncoder e;
  ASSERT_TRUE(AudioEncoderInit(&e, c));
  const uint32_t blockValues = e.Shape->BlockBytes / 2, hop = AudioBlockOutputBytes(e.Shape) / 2;
  const std::vector<std::vector<uint8_t>> packets = TestEncode(c, TestMusicLike(22050, 2, 2.0));
  uint64_t in = 0, out = 0;
  for (size_t i = 0; i + 1 < packets.size(); ++i) {
    const uint32_t count = TestPacketCount(packets[i]);
    in += 882 * 2, out += count / 2;
    ASSERT_TRUE(count % (2 * hop) == 0 && count <= AudioEncoderMaxPacketBytes(&e, 882)) << count;
    ASSERT_TRUE(out <= in && in - out < blockValues) << in << " " << out;
  }
  EXPECT_EQ(TestPacketCount(packets.back()), 2 * (in - out));
  AudioEncoderFree(&e);
}

}  // namespace
