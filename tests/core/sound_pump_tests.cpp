// Handing decoded sound to a channel: full chunks, the end zone, 8-bit narrowing, lead-in silence.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/audio_packet.h"
#include "core/sound_pump.h"
#include "tests/support/test_support.h"
#include "vexa/vexa.h"

namespace {

// A channel that takes regions of 4096 device bytes and keeps what it was given.
struct Capture {
  std::vector<uint8_t> bytes;
  uint8_t region[4096];
  int on = 1;
};
Capture gCapture;

int CaptureReady(AudioTrack*) { return gCapture.on; }
int CaptureLock(AudioTrack*, uint8_t** region, uint32_t* size) {
  *region = gCapture.region;
  *size = sizeof gCapture.region;
  return 1;
}
int CaptureUnlock(AudioTrack*, uint32_t n) {
  gCapture.bytes.insert(gCapture.bytes.end(), gCapture.region, gCapture.region + n);
  return 1;
}
int CaptureOnOff(AudioTrack*, int on) { return gCapture.on = on; }

int CaptureOpen(AudioTrack* t, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t, Movie*) {
  *t = AudioTrack{};
  t->Rate = rate, t->Bits = bits, t->Channels = channels, t->IsOn = 1;
  t->ChunkBytes = bits == 8 ? 8192 : 4096;
  t->Ops.SoundReady = CaptureReady;
  t->Ops.SoundLock = CaptureLock;
  t->Ops.SoundUnlock = CaptureUnlock;
  t->Ops.SoundOnOff = CaptureOnOff;
  return 1;
}

struct SoundPumping : ::testing::Test {
  std::vector<uint8_t> image;
  Movie* m = nullptr;
  AudioTrack* t = nullptr;

  void Open(uint32_t format, uint32_t frames = 100, uint32_t maxBytes = 20000) {
    gCapture.bytes.clear();
    gCapture.on = 1;
    MovieSetSoundOpenFunc(CaptureOpen);
    TestMovieShape s;
    s.Config.Width = s.Config.Height = 16;
    s.Config.Tracks = {{0, format, maxBytes}};
    s.Frames = frames;
    s.VideoBytes = 64;
    image = TestMakeMovie(s);
    MovieSetPendingImageSize(uint32_t(image.size()));
    m = MovieOpen(image.data(), OpenFromMemory);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->NumOpenTracks, 1u);
    t = &m->Tracks[0];
    MovieFrameBegin(m, MovieTimerMs());
    MovieFrameEnd(m, MovieTimerMs());  // the pump works once a frame has been played
  }
  void TearDown() override {
    MovieClose(m);
    MovieSetSoundOpenFunc(nullptr);
  }
  // Puts 16-bit samples into the ring as the decoder would.
  void Queue(const std::vector<int16_t>& samples) {
    for (int16_t s : samples) {
      std::memcpy(t->PcmWrite, &s, 2);
      t->PcmWrite += 2;
      if (t->PcmWrite >= t->PcmRingEnd) t->PcmWrite = t->PcmRing;
    }
  }
};

TEST_F(SoundPumping, WaitsForMoreThanAChunkOutsideTheEndZone) {
  Open(TrackAudio | Track16Bit | 22050);
  Queue(std::vector<int16_t>(1000, 7));
  SoundPump(m);
  EXPECT_TRUE(gCapture.bytes.empty());
  Queue(std::vector<int16_t>(2000, 7));  // 6000 bytes: more than one 4096-byte chunk
  SoundPump(m);
  EXPECT_EQ(gCapture.bytes.size(), 4096u);
  EXPECT_EQ(SoundRingUsed(t), 6000u - 4096u);
}

TEST_F(SoundPumping, HandsOverPartialChunksInTheEndZone) {
  Open(TrackAudio | Track16Bit | 22050, 30);
  while (m->FrameNum <= t->EndFrame) MovieNextFrame(m);
  Queue(std::vector<int16_t>(500, 3));
  SoundPump(m);
  EXPECT_EQ(gCapture.bytes.size(), 1000u);
  EXPECT_EQ(SoundRingUsed(t), 0u);
}

TEST_F(SoundPumping, EightBitChannelsGetTheHighByteAsUnsigned) {
  Open(TrackAudio | 22050, 30);
  while (m->FrameNum <= t->EndFrame) MovieNextFrame(m);
  Queue({0, 0x7FFF, -32768, 0x0100, -1});
  SoundPump(m);
  EXPECT_EQ(gCapture.bytes, (std::vector<uint8_t>{0x80, 0xFF, 0x00, 0x81, 0x7F}));
}

TEST_F(SoundPumping, TurningTheSoundOffAndOnLeavesLeadInSilence) {
  Open(TrackAudio | Track16Bit | TrackStereo | 22050, 100, 80000);
  EXPECT_EQ(t->LeadInBytes, (750u * 22050u * 4u / 1000u) & ~3u);
  MovieNextFrame(m);  // past the first frame, where no lead-in is put in
  Queue(std::vector<int16_t>(100, 1234));
  EXPECT_EQ(MovieSoundOnOff(m, 0), 0u);
  EXPECT_EQ(m->SoundOn, 0u);
  EXPECT_EQ(SoundRingUsed(t), t->LeadInBytes);  // the queued sound is gone, silence instead
  const uint8_t* p = t->PcmRead;
  for (uint32_t i = 0; i < t->LeadInBytes; ++i) {
    ASSERT_EQ(*p, 0) << i;
    if (++p == t->PcmRingEnd) p = t->PcmRing;
  }
  EXPECT_EQ(MovieSoundOnOff(m, 1), 1u);
  EXPECT_EQ(m->SoundOn, 1u);
  EXPECT_EQ(m->TimerBase, 0u);
}

TEST_F(SoundPumping, PacketsThatDoNotFitAreDroppedWithoutOverwritingQueuedSound) {
  Open(TrackAudio | Track16Bit | 22050);
  // A packet claiming far more sound than the ring holds: its blocks of zero words decode to
  // something, but the ring never runs over what it already holds.
  std::vector<uint8_t> packet(4 + 4096, 0);
  packet[0] = 0xFF, packet[1] = 0xFF, packet[2] = 0x0F;  // about a megabyte of sound
  std::vector<uint8_t> frame(8 + packet.size(), 0);
  std::memcpy(frame.data() + 4, packet.data(), packet.size());
  Queue(std::vector<int16_t>(16, 0x5555));
  uint8_t* firstQueued = t->PcmRead;
  AudioDecodePacket(m, t, uint32_t(packet.size()), frame.data() + 4, frame.data(),
                    frame.data() + frame.size());
  EXPECT_LE(SoundRingUsed(t), t->PcmRingBytes - 16);
  EXPECT_EQ(firstQueued[0], 0x55);
}

}  // namespace
