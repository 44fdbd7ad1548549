// The encoder's packets: configuration, block layout, pacing, the last packet.
#include <gtest/gtest.h>

#include <random>

#include "tests/audio_encoder/audio_encoder_test_util.h"

namespace {

AudioEncoderConfig Config(uint32_t rate, uint32_t channels, uint32_t flags, uint32_t quality) {
  AudioEncoderConfig c;
  c.Rate = rate;
  c.Channels = channels;
  c.Flags = flags;
  c.Quality = quality;
  return c;
}

TEST(AudioEncoder, RefusesConfigurationsTheDecoderCannotPlay) {
  AudioEncoder e;
  EXPECT_EQ(AudioEncoderInit(&e, Config(0, 1, 0, 50)), 0);
  EXPECT_EQ(AudioEncoderInit(&e, Config(22050, 3, 0, 50)), 0);
  EXPECT_EQ(AudioEncoderInit(&e, Config(22050, 1, 0, 0)), 0);
  EXPECT_EQ(AudioEncoderInit(&e, Config(22050, 1, 0, 101)), 0);
  EXPECT_EQ(AudioEncoderInit(&e, Config(70000, 1, 0, 50)), 0);
  ASSERT_EQ(AudioEncoderInit(&e, Config(22050, 1, 0, 50)), 1);
  AudioEncoderFree(&e);
}

// A packet holds the blocks its input completes; the decoded sound never runs ahead of the
// input and lags it by less than one block.
TEST(AudioEncoder, PacketsKeepPaceWithTheInput) {
  const AudioEncoderConfig config = Config(22050, 2, AudioFlagDct, 60);
  AudioEncoder e;
  ASSERT_TRUE(AudioEncoderInit(&e, config));
  const uint32_t blockValues = e.Shape->BlockBytes / 2;  // 2048
  const uint32_t hop = AudioBlockOutputBytes(e.Shape) / 2;  // 1920
  const std::vector<int16_t> pcm = TestMusicLike(22050, 2, 2.0);
  uint64_t in = 0, out = 0, most = 0;
  for (size_t f = 0; f + 882 <= pcm.size() / 2; f += 882) {
    const std::vector<uint8_t> packet = AudioEncodePacket(&e, pcm.data() + 2 * f, 882);
    in += 882 * 2;
    const uint32_t count = TestPacketCount(packet);
    ASSERT_EQ(count % (2 * hop), 0u);
    if (count == 0) {
      ASSERT_EQ(packet.size(), 4u);
    }
    out += count / 2;
    most = std::max<uint64_t>(most, count);
    ASSERT_LE(out, in);
    ASSERT_LT(in - out, blockValues);
    ASSERT_EQ(e.Pending.size(), in - out);
  }
  const std::vector<uint8_t> last = AudioEncodeFlush(&e);
  EXPECT_EQ(TestPacketCount(last), 2 * (in - out));
  EXPECT_LE(most, AudioEncoderMaxPacketBytes(&e, 882));
  EXPECT_LE(TestPacketCount(last), AudioEncoderMaxPacketBytes(&e, 882));
  EXPECT_TRUE(e.Pending.empty());
  AudioEncoderFree(&e);
}

// Packets far longer than a block announce as many blocks as their input completes.
TEST(AudioEncoder, MaxPacketBytesBoundsLongPackets) {
  AudioEncoder e;
  ASSERT_TRUE(AudioEncoderInit(&e, Config(8000, 1, 0, 50)));  // 512-value blocks, hop 480
  const std::vector<int16_t> pcm = TestSpeechLike(8000, 1, 3.0);
  const uint32_t perPacket = 2000;
  uint32_t most = 0;
  for (size_t f = 0; f + perPacket <= pcm.size(); f += perPacket) {
    most = std::max(most, TestPacketCount(AudioEncodePacket(&e, pcm.data() + f, perPacket)));
  }
  EXPECT_EQ(most, AudioEncoderMaxPacketBytes(&e, perPacket));  // 5 blocks of 480 values
  EXPECT_EQ(most, 5u * 480 * 2);
  AudioEncoderFree(&e);
}

TEST(AudioEncoder, TrackFormatWord) {
  EXPECT_EQ(AudioEncoderTrackFormat(Config(44100, 2, 0, 50)), 0xE000AC44u);
  EXPECT_EQ(AudioEncoderTrackFormat(Config(8000, 1, AudioFlagDct, 50)), 0x50001F40u);
}

// The decoder consumes every byte of every packet: blocks are laid out back to back in whole
// words, and the count asks for exactly the blocks there are.
TEST(AudioEncoder, PacketsDecodeToTheirLastByte) {
  for (uint32_t flags : {0u, AudioFlagDct}) {
    const AudioEncoderConfig config = Config(44100, 2, flags, 80);
    const std::vector<std::vector<uint8_t>> packets =
        TestEncode(config, TestSpeechLike(44100, 2, 0.5));
    AudioBlockDecoder* d = AudioDecoderOpen(44100, 2, flags);
    for (const std::vector<uint8_t>& packet : packets) {
      uint32_t remaining = TestPacketCount(packet);
      size_t p = 4;
      while (remaining > 0) {
        p += AudioDecodeBlock(d, packet.data() + p, packet.data() + packet.size());
        AudioJoinBlock(d);
        remaining -= std::min(remaining, AudioBlockOutputBytes(d));
      }
      EXPECT_EQ(p, packet.size());
    }
    MemFree(d);
  }
}

TEST(AudioEncoder, SilenceIsSmallAndExact) {
  AudioEncoder e;
  ASSERT_TRUE(AudioEncoderInit(&e, Config(8000, 1, AudioFlagDct, 100)));
  const std::vector<int16_t> zeros(e.Shape->BlockBytes / 2, 0);
  std::vector<uint8_t> block;
  AudioEncodeBlock(&e, zeros.data(), &block);
  // 2 + 2 * 29 + 18 * 8 bits of fields and one empty run of 9 bits.
  EXPECT_EQ(block.size(), 28u);
  AudioBlockDecoder* d = AudioDecoderOpen(8000, 1, AudioFlagDct);
  std::memset(d->PcmBuffer, 0x7F, d->BlockBytes);
  EXPECT_EQ(AudioDecodeBlock(d, block.data(), block.data() + block.size()), 28u);
  for (uint32_t i = 0; i < d->BlockBytes / 2; ++i) ASSERT_EQ(d->PcmBuffer[i], 0);
  MemFree(d);
  AudioEncoderFree(&e);
}

// Full-scale noise needs the widest runs and the largest coefficients; it still decodes to
// the configured quality.
TEST(AudioEncoder, FullScaleNoise) {
  for (uint32_t flags : {0u, AudioFlagDct}) {
    const AudioEncoderConfig config = Config(48000, 2, flags, 90);
    std::mt19937 rng(5);
    std::vector<int16_t> pcm(48000);
    for (int16_t& v : pcm) v = static_cast<int16_t>(rng());
    const std::vector<int16_t> decoded = TestDecode(config, TestEncode(config, pcm));
    ASSERT_EQ(decoded.size(), pcm.size());
    EXPECT_GE(TestSnrDb(pcm, decoded), 45.0);
  }
}

}  // namespace
