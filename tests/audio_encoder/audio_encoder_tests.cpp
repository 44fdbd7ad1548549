// The audio encoder: its forward transforms undone by the decoder's inverse ones, sound coded
// and decoded again at the configured quality, packets that keep pace with the input.
#include <gtest/gtest.h>

#include <random>

#include "encoder/audio_forward_transform.h"
#include "tests/audio_encoder/audio_encoder_test_util.h"

namespace {

AudioEncoderConfig Config(uint32_t rate, uint32_t channels, uint32_t flags, uint32_t quality) {
  AudioEncoderConfig c;
  c.Rate = rate, c.Channels = channels, c.Flags = flags, c.Quality = quality;
  return c;
}

// The decoder's inverse transforms are held to their definitions (tests/audio); undoing the
// forward ones up to the factor n/2 (the DCT's first coefficient halved) pins these down.
TEST(AudioForwardTransform, InverseTransformsUndoThem) {
  for (uint32_t n = 4; n <= 4096; n *= 2) {
    std::mt19937 rng(n);
    std::uniform_real_distribution<float> value(-32768.0f, 32767.0f);
    std::vector<float> x(n);
    double energy = 0;
    for (float& v : x) v = value(rng), energy += double(v) * v;
    AudioTransformWork realWork{}, dctWork{};
    std::vector<float> realTable(AudioInverseDctTableFloats(n)), dctTable = realTable;
    std::vector<float> real = x, dct = x;
    ASSERT_EQ(ForwardRealDft(n, real.data(), &realWork, realTable.data()), 1);
    AudioInverseRealDft(n, real.data(), &realWork, realTable.data());
    ASSERT_EQ(ForwardDct(n, dct.data(), &dctWork, dctTable.data()), 1);
    dct[0] *= 0.5f;
    AudioInverseDct(n, dct.data(), &dctWork, dctTable.data());
    // Both passes round: a few units of 2^-24 per butterfly level, relative to the input.
    const double half = n / 2.0;
    const double bound = 16 * std::ldexp(1.0, -24) * std::log2(n / 1.0) * std::sqrt(energy / half);
    for (uint32_t j = 0; j < n; ++j) {
      ASSERT_NEAR(real[j] / half, x[j], bound) << "real DFT, n = " << n << ", " << j;
      ASSERT_NEAR(dct[j] / half, x[j], bound) << "DCT, n = " << n << ", " << j;
    }
  }
  std::vector<float> a(16, 3.0f);
  AudioTransformWork work{};
  EXPECT_EQ(ForwardRealDft(12, a.data(), &work, a.data()), 0);
  EXPECT_EQ(ForwardDct(2, a.data(), &work, a.data()), 0);
  EXPECT_EQ(a, std::vector<float>(16, 3.0f));
}

double SnrDb(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < reference.size(); ++i) {
    const double diff = double(reference[i]) - (i < decoded.size() ? decoded[i] : 0);
    signal += double(reference[i]) * reference[i], noise += diff * diff;
  }
  return 10 * std::log10(signal / std::max(noise, 1e-9));
}

// A second of sound coded and decoded: every sample comes back, every packet byte is read, and
// the signal-to-noise ratio reaches what the quality aims at (0.6 dB a step per block: 70 aims at
// 42 dB).
// Full-scale noise needs the widest runs and the largest coefficients.
TEST(AudioEncoder, RoundTripReachesTheQuality) {
  const struct {
    uint32_t Rate, Channels, Flags, Quality;
    bool Noise;
    double MinDb;
  } cases[] = {{8000, 1, 0, 70, false, 40},     {8000, 2, AudioFlagDct, 70, false, 40},
               {11025, 1, AudioFlagDct, 70, false, 40}, {16000, 2, 0, 70, false, 40},
               {22050, 2, AudioFlagDct, 70, false, 40}, {32000, 1, AudioFlagDct, 70, false, 40},
               {44100, 2, 0, 70, false, 40},    {48000, 1, AudioFlagDct, 70, false, 40},
               {22050, 2, AudioFlagDct, 30, false, 17}, {22050, 2, AudioFlagDct, 60, false, 34},
               {22050, 2, AudioFlagDct, 95, false, 55},
               {48000, 2, 0, 90, true, 45},     {48000, 2, AudioFlagDct, 90, true, 45}};
  for (const auto& c : cases) {
    const AudioEncoderConfig config = Config(c.Rate, c.Channels, c.Flags, c.Quality);
    std::vector<int16_t> pcm = TestMusicLike(c.Rate, c.Channels, 1.0);
    std::mt19937 rng(5);
    for (int16_t& v : pcm) v = c.Noise ? int16_t(rng()) : v;
    size_t unread = 0;
    const std::vector<int16_t> decoded = TestDecode(config, TestEncode(config, pcm), &unread);
    const std::string trace = std::to_string(c.Rate) + " Hz, " + std::to_string(c.Channels) +
                              " ch, flags " + std::to_string(c.Flags) + ", quality " +
                              std::to_string(c.Quality);
    EXPECT_EQ(decoded.size(), pcm.size()) << trace;
    EXPECT_EQ(unread, 0u) << trace;
    EXPECT_GE(SnrDb(pcm, decoded), c.MinDb) << trace;
  }
}

TEST(AudioEncoder, RefusesWhatTheDecoderCannotPlay) {
  AudioEncoder e;
  for (const AudioEncoderConfig& c : {Config(0, 1, 0, 50), Config(22050, 3, 0, 50),
                                      Config(22050, 1, 0, 0), Config(22050, 1, 0, 101),
                                      Config(70000, 1, 0, 50)}) {
    EXPECT_EQ(AudioEncoderInit(&e, c), 0) << c.Rate << " " << c.Channels << " " << c.Quality;
  }
  EXPECT_EQ(AudioEncoderTrackFormat(Config(44100, 2, 0, 50)), 0xE000AC44u);
  EXPECT_EQ(AudioEncoderTrackFormat(Config(8000, 1, AudioFlagDct, 50)), 0x50001F40u);
}

// A packet holds the blocks its input completes: the decoded sound never runs ahead of the
// input and lags it by less than one block; the last packet has the rest, and no packet passes
// the announced maximum.
TEST(AudioEncoder, PacketsKeepPaceWithTheInput) {
  AudioEncoder e;
  ASSERT_TRUE(AudioEncoderInit(&e, Config(22050, 2, AudioFlagDct, 60)));
  const uint32_t blockValues = e.Shape->BlockBytes / 2, hop = AudioBlockOutputBytes(e.Shape) / 2;
  const std::vector<int16_t> pcm = TestMusicLike(22050, 2, 2.0);
  uint64_t in = 0, out = 0;
  for (size_t f = 0; f + 882 <= pcm.size() / 2; f += 882) {
    const std::vector<uint8_t> packet = AudioEncodePacket(&e, pcm.data() + 2 * f, 882);
    in += 882 * 2;
    out += TestPacketCount(packet) / 2;
    ASSERT_EQ(TestPacketCount(packet) % (2 * hop), 0u);
    ASSERT_LE(TestPacketCount(packet), AudioEncoderMaxPacketBytes(&e, 882));
    ASSERT_LE(out, in);
    ASSERT_LT(in - out, blockValues);
  }
  EXPECT_EQ(TestPacketCount(AudioEncodeFlush(&e)), 2 * (in - out));
  AudioEncoderFree(&e);
}

// Silence codes as the fields and one empty run: 2 + 2 * 29 + 18 * 8 + 9 bits, and decodes to 0.
TEST(AudioEncoder, SilenceIsSmallAndExact) {
  AudioEncoder e;
  ASSERT_TRUE(AudioEncoderInit(&e, Config(8000, 1, AudioFlagDct, 100)));
  const std::vector<int16_t> zeros(e.Shape->BlockBytes / 2, 0);
  std::vector<uint8_t> block;
  AudioEncodeBlock(&e, zeros.data(), &block);
  EXPECT_EQ(block.size(), 28u);
  AudioBlockDecoder* d = AudioDecoderOpen(8000, 1, AudioFlagDct);
  std::fill_n(d->PcmBuffer, d->BlockBytes / 2, int16_t{0x7F7F});
  EXPECT_EQ(AudioDecodeBlock(d, block.data(), block.data() + block.size()), 28u);
  EXPECT_EQ(std::vector<int16_t>(d->PcmBuffer, d->PcmBuffer + d->BlockBytes / 2), zeros);
  MemFree(d);
  AudioEncoderFree(&e);
}

}  // namespace
