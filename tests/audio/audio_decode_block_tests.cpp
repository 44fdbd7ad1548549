// Whole blocks: syntax of both variants, conversion to PCM, tables built once, hostile input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "audio/audio_block.h"
#include "tests/audio/audio_test_util.h"

namespace {

// One channel whose coefficients 0 and 1 are the given floats and all others are zero.
void PutPlainChannel(TestBitWriter* w, const AudioBlockDecoder* d, int32_t c0, int32_t c1) {
  w->PutFloat(static_cast<uint32_t>(std::abs(c0)), 23, c0 < 0);
  w->PutFloat(static_cast<uint32_t>(std::abs(c1)), 23, c1 < 0);
  for (uint32_t j = 0; j < d->BandCount; ++j) w->Put(0, 8);
  TestPutSilence(w, 2, d->FrameSamples);
}

int16_t Convert(double value) {
  if (value >= 32767) return 32767;
  if (value <= -32768) return -32768;
  return static_cast<int16_t>(std::trunc(value));
}

// The PCM the definitions give for one channel's coefficients, scaled by 2/sqrt(N).
std::vector<int16_t> ExpectedPcm(const AudioBlockDecoder* d, const std::vector<float>& a) {
  const std::vector<double> x = (d->Flags & AudioFlagDct) != 0 ? TestReferenceInverseDct(a)
                                                              : TestReferenceInverseRealDft(a);
  std::vector<int16_t> pcm;
  for (double v : x) pcm.push_back(Convert(v * 2 / std::sqrt(static_cast<double>(a.size()))));
  return pcm;
}

// PCM within one step of the expected values (float rounding may cross a truncation point).
void ExpectPcmNear(const std::vector<int16_t>& got, const std::vector<int16_t>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) ASSERT_NEAR(got[i], want[i], 1) << "sample " << i;
}

// A DCT block with a constant: every sample is coefficient 0 * 2/sqrt(N), truncated toward
// zero and clamped.
TEST(AudioDecodeBlock, ConversionTruncatesAndClamps) {
  TestDecoder d = TestOpenDecoder(8000, 1, AudioFlagDct);  // N = 512
  const float scale = 2.0f / std::sqrt(512.0f);
  const struct {
    int32_t Coefficient;
    int16_t Pcm;
  } cases[] = {{11320, 1000},     {-11320, -1000},   {0, 0},          {16, 1},
               {-16, -1},         {370720, 32767},   {370729, 32767}, {8000000, 32767},
               {-370729, -32768}, {-8000000, -32768}};
  for (const auto& c : cases) {
    TestBitWriter w;
    w.Put(0, 2);
    PutPlainChannel(&w, d.get(), c.Coefficient, 0);
    const std::vector<uint8_t> block = w.Finish();
    EXPECT_EQ(TestDecodeExact(d.get(), block, block.size()), block.size());
    for (int16_t s : TestPcm(d.get())) ASSERT_EQ(s, c.Pcm) << c.Coefficient;
    ASSERT_EQ(AudioPcmSample(static_cast<float>(c.Coefficient) * scale), c.Pcm);
  }
}

// In the real-DFT variant a stereo track is one interleaved signal: the Nyquist term alone
// makes left and right opposite.
TEST(AudioDecodeBlock, RealDftStereoIsOneInterleavedSignal) {
  TestDecoder d = TestOpenDecoder(22050, 2, 0);  // N = 2048
  TestBitWriter w;
  PutPlainChannel(&w, d.get(), 0, 45250);  // 45250 * 0.5 * 2/sqrt(2048) = 999.89
  const std::vector<uint8_t> block = w.Finish();
  EXPECT_EQ(TestDecodeExact(d.get(), block, block.size()), block.size());
  const std::vector<int16_t> pcm = TestPcm(d.get());
  ASSERT_EQ(pcm.size(), 2048u);
  for (size_t i = 0; i < pcm.size(); i += 2) {
    ASSERT_EQ(pcm[i], 999);
    ASSERT_EQ(pcm[i + 1], -999);
  }
}

// In the DCT variant each channel has its own fields, without alignment between them.
TEST(AudioDecodeBlock, DctStereoInterleavesTwoCodedChannels) {
  TestDecoder d = TestOpenDecoder(44100, 2, AudioFlagDct);  // N = 2048 per channel
  TestBitWriter w;
  w.Put(3, 2);
  PutPlainChannel(&w, d.get(), 20000, 0);
  PutPlainChannel(&w, d.get(), -7000, 0);
  const std::vector<uint8_t> block = w.Finish();
  EXPECT_EQ(TestDecodeExact(d.get(), block, block.size()), block.size());
  const std::vector<int16_t> pcm = TestPcm(d.get());
  ASSERT_EQ(pcm.size(), 4096u);
  for (size_t i = 0; i < pcm.size(); i += 2) {
    ASSERT_EQ(pcm[i], 883);       // 20000 * 2/sqrt(2048) = 883.88
    ASSERT_EQ(pcm[i + 1], -309);  // -7000 * 2/sqrt(2048) = -309.36
  }
}

// A block with values in every band, against the definitions.
// Band j's quantiser field is quantiserField + j.
std::vector<uint8_t> BandedBlock(const AudioBlockDecoder* d, std::vector<float>* coefficients,
                                 uint32_t quantiserField) {
  const uint32_t n = d->FrameSamples;
  coefficients->assign(n, 0.0f);
  TestBitWriter w;
  if ((d->Flags & AudioFlagDct) != 0) w.Put(0, 2);
  w.PutFloat(123456, 20, false);  // 123456 / 8
  w.PutFloat(654321, 26, true);   // -654321 * 1.3576881
  (*coefficients)[0] = 15432.0f;
  (*coefficients)[1] = -654321.0f * QuantiserTable[2];
  for (uint32_t j = 0; j < d->BandCount; ++j) w.Put(quantiserField + j, 8);
  std::mt19937 rng(n);
  uint32_t band = 0;
  for (uint32_t k = 2; k < n;) {
    w.PutShortRun(5);
    for (uint32_t i = 0; i < 8 && k < n; ++i, ++k) {
      while (band + 1 < d->BandCount && k >= 2 * d->BandEdges[band + 1]) ++band;
      const int32_t v = static_cast<int32_t>(rng() % 31) - 15;
      w.PutValue(v, 5);
      (*coefficients)[k] = static_cast<float>(v) * QuantiserTable[quantiserField + band];
    }
  }
  return w.Finish();
}

TEST(AudioDecodeBlock, BandedBlocksMatchTheDefinitions) {
  const struct {
    uint32_t Rate, Channels, Flags;
  } tracks[] = {{8000, 1, AudioFlagDct}, {22050, 1, AudioFlagDct}, {44100, 1, AudioFlagDct},
                {8000, 1, 0},            {11025, 2, 0},            {44100, 2, 0}};
  for (const auto& t : tracks) {
    TestDecoder d = TestOpenDecoder(t.Rate, t.Channels, t.Flags);
    std::vector<float> coefficients;
    const std::vector<uint8_t> block = BandedBlock(d.get(), &coefficients, 0);
    EXPECT_EQ(TestDecodeExact(d.get(), block, block.size()), block.size());
    ExpectPcmNear(TestPcm(d.get()), ExpectedPcm(d.get(), coefficients));
  }
}

// Quantiser fields above 95 use entry 95.
TEST(AudioDecodeBlock, QuantiserFieldsAreClamped) {
  TestDecoder d = TestOpenDecoder(8000, 1, AudioFlagDct);
  std::vector<float> coefficients;
  std::vector<std::vector<int16_t>> pcm;
  for (uint32_t field : {94u, 95u, 96u, 255u}) {
    TestBitWriter w;
    w.Put(0, 2);
    w.PutFloat(0, 0, false);
    w.PutFloat(0, 0, false);
    for (uint32_t j = 0; j < d->BandCount; ++j) w.Put(j == 0 ? field : 0, 8);
    w.PutShortRun(1);
    for (int i = 0; i < 8; ++i) w.PutValue(i == 3 ? 1 : 0, 1);  // coefficient 5 only
    TestPutSilence(&w, 10, d->FrameSamples);
    const std::vector<uint8_t> block = w.Finish();
    TestDecodeExact(d.get(), block, block.size());
    pcm.push_back(TestPcm(d.get()));
  }
  std::vector<float> a(512, 0.0f);
  a[5] = QuantiserTable[95];
  ExpectPcmNear(pcm[1], ExpectedPcm(d.get(), a));
  EXPECT_NE(pcm[0], pcm[1]);
  EXPECT_EQ(pcm[2], pcm[1]);
  EXPECT_EQ(pcm[3], pcm[1]);
}

// The first block builds both tables; later blocks of the same length build nothing.
TEST(AudioDecodeBlock, TablesAreBuiltOncePerDecoder) {
  for (uint32_t flags : {0u, AudioFlagDct}) {
    TestDecoder d = TestOpenDecoder(44100, 2, flags);
    std::vector<float> coefficients;
    const std::vector<uint8_t> block = BandedBlock(d.get(), &coefficients, 10);
    ASSERT_EQ(d->TransformWork->TwiddleCount, 0u);
    TestDecodeExact(d.get(), block, block.size());
    const std::vector<int16_t> first = TestPcm(d.get());
    EXPECT_EQ(d->TransformWork->TwiddleCount, d->FrameSamples / 4);
    EXPECT_EQ(d->TransformWork->CosineCount, flags != 0 ? d->FrameSamples : d->FrameSamples / 4);
    const float saved = d->TransformTable[9];
    d->TransformTable[9] = 1e6f;  // would vanish with a rebuild
    TestDecodeExact(d.get(), block, block.size());
    EXPECT_EQ(d->TransformTable[9], 1e6f);
    d->TransformTable[9] = saved;
    TestDecodeExact(d.get(), block, block.size());
    EXPECT_EQ(TestPcm(d.get()), first);
  }
}

TEST(AudioDecodeBlock, BlockWithoutInput) {
  TestDecoder dct = TestOpenDecoder(22050, 1, AudioFlagDct);
  std::memset(dct->PcmBuffer, 0x55, dct->BlockBytes);
  const std::vector<uint8_t> none;
  EXPECT_EQ(TestDecodeExact(dct.get(), none, 0), 0u);
  for (int16_t s : TestPcm(dct.get())) ASSERT_EQ(s, 0x5555);

  TestDecoder real = TestOpenDecoder(22050, 1, 0);
  std::memset(real->PcmBuffer, 0x55, real->BlockBytes);
  EXPECT_EQ(TestDecodeExact(real.get(), none, 0), 0u);
  for (int16_t s : TestPcm(real.get())) ASSERT_EQ(s, 0);
}

// Blocks follow each other directly: the count of used bytes points at the next one.
TEST(AudioDecodeBlock, ConsecutiveBlocksInOnePacket) {
  TestDecoder d = TestOpenDecoder(11025, 1, AudioFlagDct);
  std::vector<float> c1, c2;
  std::vector<uint8_t> packet = BandedBlock(d.get(), &c1, 3);
  const size_t firstBytes = packet.size();
  const std::vector<uint8_t> second = BandedBlock(d.get(), &c2, 20);
  packet.insert(packet.end(), second.begin(), second.end());
  const uint32_t used = AudioDecodeBlock(d.get(), packet.data(), packet.data() + packet.size());
  ASSERT_EQ(used, firstBytes);
  ExpectPcmNear(TestPcm(d.get()), ExpectedPcm(d.get(), c1));
  EXPECT_EQ(AudioDecodeBlock(d.get(), packet.data() + used, packet.data() + packet.size()),
            second.size());
  ExpectPcmNear(TestPcm(d.get()), ExpectedPcm(d.get(), c2));
}

// Cut at every length, a block reads nothing at or beyond its end (the sanitizers watch the
// exact-size copies), counts only the words it fetched, and decodes what it read: the bytes
// from the end on act as zeros.
TEST(AudioDecodeBlock, TruncatedBlocksStopAtTheirEnd) {
  for (uint32_t flags : {0u, AudioFlagDct}) {
    TestDecoder d = TestOpenDecoder(22050, 2, flags);
    TestDecoder zeroPadded = TestOpenDecoder(22050, 2, flags);
    std::vector<float> coefficients;
    const std::vector<uint8_t> block = BandedBlock(d.get(), &coefficients, 7);
    for (size_t length = 1; length <= block.size(); length += length < 64 ? 1 : 37) {
      const uint32_t used = TestDecodeExact(d.get(), block, length);
      ASSERT_EQ(used, (length + 3) / 4 * 4) << length;
      std::vector<uint8_t> padded(block.begin(), block.begin() + static_cast<long>(length));
      padded.resize(used, 0);
      TestDecodeExact(zeroPadded.get(), padded, padded.size());
      ASSERT_EQ(TestPcm(d.get()), TestPcm(zeroPadded.get())) << length;
    }
  }
}

// Random bytes of every length decode without reading out of bounds, and report a count of
// whole words that does not pass the end by more than the last word's remainder.
TEST(AudioDecodeBlock, RandomBlocksAreHarmless) {
  std::mt19937 rng(2024);
  const struct {
    uint32_t Rate, Channels, Flags;
  } tracks[] = {{8000, 1, 0}, {22050, 2, 0}, {44100, 2, 0}, {1, 1, AudioFlagDct},
                {11025, 1, AudioFlagDct}, {48000, 2, AudioFlagDct}};
  for (const auto& t : tracks) {
    TestDecoder d = TestOpenDecoder(t.Rate, t.Channels, t.Flags);
    ASSERT_TRUE(d);
    for (int round = 0; round < 200; ++round) {
      const size_t length = round < 100 ? static_cast<size_t>(round) : rng() % 20000;
      std::vector<uint8_t> bytes(length);
      for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
      const uint32_t used = TestDecodeExact(d.get(), bytes, length);
      ASSERT_EQ(used % 4, 0u);
      ASSERT_LE(used, (length + 3) / 4 * 4);
    }
  }
}

}  // namespace
