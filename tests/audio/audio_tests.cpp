// The audio decoder: the inverse transforms and whole blocks against double-precision
// evaluations of the definitions, opening, run-length coefficients, hostile input, joining.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

#include "audio/audio_block.h"
#include "audio/audio_decoder.h"
#include "platform/mem.h"

namespace {

// Packs fields least-significant bit first into little-endian 32-bit words.
struct TestBitWriter {
  std::vector<uint8_t> Bytes;
  uint64_t Pending = 0;
  uint32_t PendingBits = 0;

  void Put(uint32_t value, uint32_t bits) {  // bits <= 32
    Pending |= uint64_t(value & ((bits == 32 ? 0 : (1u << bits)) - 1)) << PendingBits;
    for (PendingBits += bits; PendingBits >= 32; PendingBits -= 32, Pending >>= 32) Flush();
  }
  void Flush() { for (int i = 0; i < 4; ++i) Bytes.push_back(uint8_t(Pending >> (8 * i))); }
  std::vector<uint8_t> Finish() { return PendingBits > 0 ? (Flush(), Bytes) : Bytes; }
  void PutFloat(uint32_t mantissa, uint32_t exponent, bool negative) {  // a 29-bit field
    Put(exponent | (mantissa << 5) | (negative ? 1u << 28 : 0u), 29);
  }
  // A run of 8 coefficients (with a long index, 8 * AudioRunLengthTable[index]) and the width of
  // its values; a value is its magnitude, then a sign when it is not 0.
  void PutRun(uint32_t width, int index = -1) {
    Put(index >= 0 ? 1 + 2 * uint32_t(index) : 0, index >= 0 ? 5 : 1);
    Put(width, 4);
  }
  void PutValue(int32_t value, uint32_t width) {
    Put(uint32_t(std::abs(value)), width);
    if (value != 0) Put(value < 0 ? 1 : 0, 1);
  }
  void PutSilence(uint32_t k, uint32_t n) { for (; k < n; k += 512) PutRun(0, 15); }  // k..n empty
};

// x[k] = (a0 + a1 (-1)^k) / 2 + sum over j of a[2j] cos(2 pi j k / n) + a[2j+1] sin(...).
std::vector<double> TestInverseRealDft(const std::vector<float>& a) {
  const size_t n = a.size();
  std::vector<double> x(n);
  for (size_t k = 0; k < n; ++k) {
    x[k] = (a[0] + a[1] * ((k & 1) != 0 ? -1.0 : 1.0)) / 2;
    for (size_t j = 1; j < n / 2; ++j) {
      const double angle = 2 * M_PI * double((j * k) % n) / double(n);
      x[k] += a[2 * j] * std::cos(angle) + a[2 * j + 1] * std::sin(angle);
    }
  }
  return x;
}

// y[k] = sum over j of a[j] cos(pi j (k + 1/2) / n).
std::vector<double> TestInverseDct(const std::vector<float>& a) {
  const size_t n = a.size();
  const double step = M_PI / double(2 * n);
  std::vector<double> y(n);
  for (size_t k = 0; k < n; ++k)
    for (size_t j = 0; j < n; ++j) y[k] += a[j] * std::cos(step * double(j * (2 * k + 1)));
  return y;
}

using TestDecoder = std::unique_ptr<AudioBlockDecoder, void (*)(void*)>;

TestDecoder TestOpenDecoder(uint32_t rate, uint32_t channels, uint32_t flags) {
  return TestDecoder(AudioDecoderOpen(rate, channels, flags), MemFree);
}

// Decodes length bytes from a copy of exactly that size: the sanitizers catch reads past it.
uint32_t TestDecodeExact(AudioBlockDecoder* d, const std::vector<uint8_t>& block, size_t length) {
  const std::vector<uint8_t> copy(block.begin(), block.begin() + long(length));
  return AudioDecodeBlock(d, copy.data(), copy.data() + length);
}

std::vector<int16_t> TestPcm(const AudioBlockDecoder* d) {
  return std::vector<int16_t>(d->PcmBuffer, d->PcmBuffer + d->BlockBytes / 2);
}

// Powers of two from 4 to 4096, then down on the same tables (built for each longer length, then
// the tail levels of the longest); other lengths are refused with the input untouched.
TEST(AudioTransform, BothTransformsMatchTheirDefinitions) {
  AudioTransformWork realWork{}, dctWork{};
  std::vector<float> realTable(AudioInverseRealDftTableFloats(4096));
  std::vector<float> dctTable(AudioInverseDctTableFloats(4096));
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
  for (uint32_t n = 4, up = 1; n >= 4; n = up && n < 4096 ? 2 * n : (up = 0, n / 2)) {
    std::vector<float> a(n);
    double energy = 0;
    for (float& x : a) x = value(rng), energy += double(x) * x;
    // Single-precision rounding: a few units of 2^-24 per butterfly level, relative to the input.
    const double bound = 8 * std::ldexp(1.0, -24) * std::log2(double(n)) * std::sqrt(energy);
    std::vector<float> x = a, y = a;
    ASSERT_EQ(AudioInverseRealDft(n, x.data(), &realWork, realTable.data()), 1);
    ASSERT_EQ(AudioInverseDct(n, y.data(), &dctWork, dctTable.data()), 1);
    const std::vector<double> wantX = TestInverseRealDft(a), wantY = TestInverseDct(a);
    for (uint32_t k = 0; k < n; ++k) {
      ASSERT_NEAR(x[k], wantX[k], bound) << "real DFT, n = " << n << (up ? " up" : " down");
      ASSERT_NEAR(y[k], wantY[k], bound) << "DCT, n = " << n << (up ? " up" : " down");
    }
  }
  std::vector<float> a(8, 1.0f);
  for (uint32_t n : {0u, 1u, 2u, 6u, 12u, 2 * kAudioTransformMaxLength})
    EXPECT_FALSE(AudioTransformLengthValid(n) || AudioInverseDct(n, a.data(), &dctWork, a.data()) ||
                 AudioInverseRealDft(n, a.data(), &realWork, a.data())) << n;
  EXPECT_EQ(a, std::vector<float>(8, 1.0f));
}

struct Track { uint32_t Rate, Channels, Flags; };

// Transform length from the rate (512 below 22050 Hz, 1024 below 44100, else 2048, doubled for an
// interleaved stereo real DFT), coded channels, bands (edges from the frequencies below half the
// rate), block and overlap bytes. Any rate opens with edges rising from bin 1 to N/2.
TEST(AudioDecoderOpen, LengthsBandsAndSizes) {
  const struct { Track T; std::vector<uint32_t> Sizes, Edges; } cases[] = {
      {{44100, 2, 0}, {4096, 1, 25, 8192, 512},
       {1, 4, 9, 13, 18, 23, 29, 35, 42, 50, 58, 68, 79, 92, 107, 125, 146, 171, 204, 246, 297,
        357, 441, 557, 719, 2048}},
      {{8000, 1, AudioFlagDct}, {512, 1, 18, 1024, 64},
       {1, 6, 12, 19, 25, 32, 40, 49, 58, 69, 81, 94, 110, 128, 148, 172, 201, 236, 256}},
      {{22050, 1, AudioFlagDct}, {1024, 1, 23, 2048, 128}, {}},
      {{22049, 1, AudioFlagDct}, {512, 1, 23, 1024, 64}, {}},
      {{44099, 1, AudioFlagDct}, {1024, 1, 25, 2048, 128}, {}},
      {{48000, 2, AudioFlagDct}, {2048, 2, 25, 8192, 512}, {}},
      {{65535, 1, 0}, {2048, 1, 25, 4096, 256}, {}}};
  for (const auto& c : cases) {
    TestDecoder d = TestOpenDecoder(c.T.Rate, c.T.Channels, c.T.Flags);
    ASSERT_TRUE(d) << c.T.Rate;
    EXPECT_EQ(std::vector<uint32_t>({d->FrameSamples, d->DecodeChannels, d->BandCount,
                                     d->BlockBytes, d->OverlapBytes}), c.Sizes) << c.T.Rate;
    const std::vector<uint32_t> edges(d->BandEdges, d->BandEdges + d->BandCount + 1);
    EXPECT_EQ(c.Edges.empty() ? c.Edges : edges, c.Edges) << c.T.Rate;  // where listed
  }
  EXPECT_FALSE(AudioDecoderOpen(0, 1, 0) || AudioDecoderOpen(22050, 0, 0) ||
               AudioDecoderOpen(22050, 3, AudioFlagDct));
  for (uint32_t rate = 1; rate <= 65535; rate += rate < 200 ? 1 : 97) {
    TestDecoder d = TestOpenDecoder(rate, 2, rate % 2 ? AudioFlagDct : 0);
    ASSERT_TRUE(d && d->BandEdges[0] == 1) << rate;
    ASSERT_EQ(d->BandEdges[d->BandCount], d->FrameSamples / 2) << rate;
    for (uint32_t j = 1; j <= d->BandCount; ++j) ASSERT_GT(d->BandEdges[j], d->BandEdges[j - 1]);
  }
}

// n = 64 with bands starting at coefficients 2, 10, 24 and 40 (bin edges 1, 5, 12, 20, 32). An
// empty run crossing edges leaves the last crossed band in force; one ending on an edge does not
// cross it; a run passing n is cut there and the reader stops, though more bits follow.
TEST(AudioCoefficients, RunsAcrossEdgesAndTheEnd) {
  const uint32_t edges[5] = {1, 5, 12, 20, 32};
  const float quantisers[4] = {1.0f, 10.0f, 100.0f, 1000.0f};
  const struct { const char* Trace; uint32_t Skips, ValuesAt; int Index; float Step; } cases[] = {
      {"40 skipped: edges 10, 24, 40 crossed", 1, 42, 3, 1000},
      {"8 skipped: ends on the edge at 10", 1, 10, -1, 10},
      {"56 skipped: the last run is cut at 64", 7, 58, -1, 1000}};
  for (const auto& c : cases) {
    TestBitWriter w;
    for (uint32_t i = 0; i < c.Skips; ++i) w.PutRun(0, c.Index);
    w.PutRun(2);
    for (int i = 0; i < 8; ++i) w.PutValue(i % 2 ? -1 : 3, 2);
    w.PutSilence(c.ValuesAt + 8, 64);
    w.Put(0xFFFFFFFF, 32);
    const std::vector<uint8_t> bytes = w.Finish();
    std::vector<float> got(64), want(64);
    for (uint32_t k = c.ValuesAt; k < c.ValuesAt + 8 && k < 64; ++k)
      want[k] = (k - c.ValuesAt) % 2 ? -c.Step : 3 * c.Step;
    AudioBitReader r;
    AudioBitReaderInit(&r, bytes.data(), bytes.data() + bytes.size());
    ASSERT_TRUE(AudioReadCoefficients(got.data(), 64, &r, quantisers, edges, 4)) << c.Trace;
    EXPECT_LT(AudioBitReaderUsedBytes(&r), bytes.size()) << c.Trace;
    EXPECT_EQ(got, want) << c.Trace;
  }
}

// Coefficients 0 and 1 as float fields, random 5-bit values in every band j, quantised by step
// field + j (fields past 95 use step 95). *a gets one channel's coefficients.
std::vector<uint8_t> BandedBlock(const AudioBlockDecoder* d, std::vector<float>* a,
                                 uint32_t field, uint32_t seed) {
  const uint32_t n = d->FrameSamples;
  TestBitWriter w;
  if (d->Flags & AudioFlagDct) w.Put(0, 2);
  w.PutFloat(123456, 20, false);  // 123456 / 8
  w.PutFloat(654321, 26, true);   // -654321 * step 2
  *a = std::vector<float>(n);
  (*a)[0] = 15432.0f;
  (*a)[1] = -654321.0f * AudioQuantiserTable[2];
  for (uint32_t j = 0; j < d->BandCount; ++j) w.Put(field + j, 8);
  std::mt19937 rng(seed);
  for (uint32_t k = 2, band = 0; k < n;) {
    w.PutRun(5);
    for (uint32_t i = 0; i < 8 && k < n; ++i, ++k) {
      while (band + 1 < d->BandCount && k >= 2 * d->BandEdges[band + 1]) ++band;
      const int32_t v = int32_t(rng() % 31) - 15;
      w.PutValue(v, 5);
      (*a)[k] = float(v) * AudioQuantiserTable[std::min(field + band, 95u)];
    }
  }
  return w.Finish();
}

// The definitions' PCM (scaled by 2/sqrt(N), truncated, clamped), within 1 plus float rounding.
void ExpectDefinition(const AudioBlockDecoder* d, const std::vector<float>& a) {
  const std::vector<double> x = d->Flags & AudioFlagDct ? TestInverseDct(a) : TestInverseRealDft(a);
  const std::vector<int16_t> pcm = TestPcm(d);
  ASSERT_EQ(pcm.size(), x.size());
  const double scale = 2 / std::sqrt(double(x.size()));
  const double energy = std::inner_product(a.begin(), a.end(), a.begin(), 0.0);
  const double bound = 1 + 8 * std::ldexp(1.0, -24) * 12 * std::sqrt(energy) * scale;
  for (size_t i = 0; i < x.size(); ++i)
    ASSERT_NEAR(pcm[i], std::clamp(std::trunc(x[i] * scale), -32768.0, 32767.0), bound) << i;
}

// Two blocks to a packet, the second's fields past 95: the count of used bytes finds the second.
TEST(AudioDecodeBlock, BandedBlocksMatchTheDefinitions) {
  const Track tracks[] = {{8000, 1, AudioFlagDct}, {22050, 1, AudioFlagDct},
                          {44100, 1, AudioFlagDct}, {8000, 1, 0}, {11025, 2, 0}, {44100, 2, 0}};
  for (const Track& t : tracks) {
    TestDecoder d = TestOpenDecoder(t.Rate, t.Channels, t.Flags);
    std::vector<float> a1, a2;
    std::vector<uint8_t> packet = BandedBlock(d.get(), &a1, 0, t.Rate);
    const size_t first = packet.size();
    const std::vector<uint8_t> second = BandedBlock(d.get(), &a2, 90, t.Rate + 1);
    packet.insert(packet.end(), second.begin(), second.end());
    ASSERT_EQ(AudioDecodeBlock(d.get(), packet.data(), packet.data() + packet.size()), first);
    ExpectDefinition(d.get(), a1);
    ASSERT_EQ(TestDecodeExact(d.get(), second, second.size()), second.size());
    ExpectDefinition(d.get(), a2);
  }
}

// Stereo: the real DFT codes one interleaved signal (its Nyquist term alone makes left and right
// opposite), the DCT each channel after the other. PCM is truncated toward zero.
TEST(AudioDecodeBlock, StereoLayoutsAndConversion) {
  const struct { Track T; int32_t C0[2], C1; int16_t Left, Right; } cases[] = {
      {{22050, 2, 0}, {0, 0}, 45250, 999, -999},  // 45250 * 0.5 * 2/sqrt(2048)
      {{44100, 2, AudioFlagDct}, {20000, -7000}, 0, 883, -309},
      {{8000, 2, AudioFlagDct}, {16, -16}, 0, 1, -1}};
  for (const auto& c : cases) {
    TestDecoder d = TestOpenDecoder(c.T.Rate, c.T.Channels, c.T.Flags);
    TestBitWriter w;
    for (uint32_t ch = 0; ch < d->DecodeChannels; ++ch) {
      if (ch == 0 && (c.T.Flags & AudioFlagDct)) w.Put(0, 2);
      w.PutFloat(uint32_t(std::abs(c.C0[ch])), 23, c.C0[ch] < 0);
      w.PutFloat(uint32_t(c.C1), 23, false);
      for (uint32_t j = 0; j < d->BandCount; ++j) w.Put(0, 8);
      w.PutSilence(2, d->FrameSamples);
    }
    const std::vector<uint8_t> block = w.Finish();
    ASSERT_EQ(TestDecodeExact(d.get(), block, block.size()), block.size());
    std::vector<int16_t> want(d->BlockBytes / 2, c.Left);
    for (size_t i = 1; i < want.size(); i += 2) want[i] = c.Right;
    EXPECT_EQ(TestPcm(d.get()), want) << c.C0[0];
  }
}

// Cut at any length, a block reads nothing beyond its end (the sanitizers watch), counts the words
// it fetched, and reads zeros past the end; nothing at all uses nothing.
TEST(AudioDecodeBlock, TruncatedBlocksStopAtTheirEnd) {
  for (uint32_t flags : {0u, AudioFlagDct}) {
    TestDecoder d = TestOpenDecoder(22050, 2, flags), padded = TestOpenDecoder(22050, 2, flags);
    std::vector<float> a;
    const std::vector<uint8_t> block = BandedBlock(d.get(), &a, 7, 1);
    for (size_t length = 1; length <= block.size(); length += length < 64 ? 1 : 37) {
      const uint32_t used = TestDecodeExact(d.get(), block, length);
      ASSERT_EQ(used, (length + 3) / 4 * 4) << length;
      std::vector<uint8_t> zeros(block.begin(), block.begin() + long(length));
      zeros.resize(used, 0);
      TestDecodeExact(padded.get(), zeros, zeros.size());
      ASSERT_EQ(TestPcm(d.get()), TestPcm(padded.get())) << length;
    }
    EXPECT_EQ(TestDecodeExact(d.get(), {}, 0), 0u);
  }
}

// The first block is not mixed; later heads become floor((tail[i] (n - i) + new[i] i) / n) over
// single 16-bit values (in stereo left and right get different weights); tails are saved.
TEST(AudioJoinBlock, CrossfadeFromTheSavedTail) {
  const struct { Track T; int16_t Old, New; uint32_t Values; } cases[] = {
      {{8000, 1, 0}, -1000, 1001, 32}, {{44100, 2, AudioFlagDct}, 0, 25600, 256},
      {{8000, 1, AudioFlagDct}, -32768, 32767, 32}};
  for (const auto& c : cases) {
    TestDecoder d = TestOpenDecoder(c.T.Rate, c.T.Channels, c.T.Flags);
    ASSERT_EQ(d->OverlapBytes / 2, c.Values);
    const uint32_t values = d->BlockBytes / 2;
    std::fill_n(d->PcmBuffer, values, c.Old);
    AudioJoinBlock(d.get());
    EXPECT_EQ(d->PcmBuffer[0], c.Old);
    std::fill_n(d->PcmBuffer, values, c.New);
    d->PcmBuffer[values - 1] = 7;
    AudioJoinBlock(d.get());
    for (uint32_t i = 0; i < c.Values; ++i)  // sums exact in doubles, then the quotient's floor
      ASSERT_EQ(d->PcmBuffer[i],
                std::floor((double(c.Old) * (c.Values - i) + double(c.New) * i) / c.Values)) << i;
    EXPECT_TRUE(d->PcmBuffer[c.Values] == c.New && d->OverlapBuffer[c.Values - 1] == 7);
  }
}

}  // namespace
