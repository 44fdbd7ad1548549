// The waveOut back end on the simulated header queue: sizes, the start, underruns, pausing,
// turning the sound off and on, and the device levels.
#include <gtest/gtest.h>

#include <vector>

#include "tests/sound/sim_sound_devices.h"
#include "vexa/vexa.h"

namespace {

struct WaveOut : ::testing::Test {
  AudioTrack* t = nullptr;
  SimMovie movie;
  void SetUp() override { SimSoundReset(); }
  void TearDown() override {
    if (t) t->Ops.SoundClose(t);
  }
  void Open(uint32_t rate, uint32_t bits, uint32_t channels, Movie* m = nullptr) {
    t = &movie.Tracks[0];
    ASSERT_TRUE(WaveOutChannelOpen(t, rate, bits, channels, 0, m));
  }
  // Hands over whole blocks until the device has some; how many it took.
  uint32_t BlocksToStart(uint8_t value = 0x11) {
    uint32_t blocks = 0;
    while (gSimWaveOut.Queue.empty() && blocks < 2000 && SimHandOver(t, value)) ++blocks;
    return blocks;
  }
};

TEST_F(WaveOut, BlockSizeAndStartAmount) {
  struct Case {
    uint32_t rate, bits, channels, frames, fps, div, maxBytes, chunk, blocksToStart;
  } cases[] = {
      {22050, 16, 2, 0, 0, 1, 0, 5536, 8},      // 44128 bytes to start
      {22050, 8, 1, 0, 0, 1, 0, 2816, 8},       // 8-bit: the core hands over twice the region
      {22050, 16, 2, 5, 25, 1, 0, 5536, 4},     // a 0.2 s movie starts once all of it is there
      {44100, 16, 2, 16384, 409600, 16384, 0, 11040, 8},  // its total wraps to 0 in 32 bits
      {22050, 16, 2, 0, 0, 1, 8000, 1000, 45},  // small blocks: more of them, the same start
      {22050, 16, 2, 0, 0, 1, 320, 40, 1024},   // tiny blocks: all 1024 before half a second
  };
  for (const Case& c : cases) {
    SimSoundReset();
    movie.Describe(c.frames, c.fps, c.div, c.maxBytes);
    Open(c.rate, c.bits, c.channels, &movie.M);
    EXPECT_EQ(t->ChunkBytes, c.chunk) << c.rate << " " << c.maxBytes;
    EXPECT_EQ(BlocksToStart(), c.blocksToStart) << c.frames << " " << c.maxBytes;
    t->Ops.SoundClose(t);
  }
  t = nullptr;
}

TEST_F(WaveOut, TheStartQueuesEveryKeptBlockInOrderAndWhole) {
  movie.Describe(0, 0, 0, 320);  // 1024 blocks of 40 bytes: less than half a second
  Open(22050, 16, 2, &movie.M);
  for (uint32_t k = 0; k < 1024; ++k) {
    const uint32_t bytes = k == 3 ? 10 : 40;
    ASSERT_EQ(SimHandOver(t, uint8_t(k), bytes), bytes);
  }
  ASSERT_EQ(gSimWaveOut.Queue.size(), 1024u);
  for (uint32_t k = 0; k < 1024; ++k) {
    const WaveHeader* h = gSimWaveOut.Queue[k];
    EXPECT_EQ(h->Length, 40u);
    EXPECT_EQ(h->Data[0], uint8_t(k)) << "block " << k << " was overwritten before the start";
  }
  EXPECT_EQ(gSimWaveOut.Queue[3]->Data[10], 0);  // the rest of a short block is silence
  // Once started, each block goes at once, with the bytes written; too many count as the block.
  gSimWaveOut.Advance(20);
  uint8_t* region;
  uint32_t size;
  ASSERT_TRUE(t->Ops.SoundReady(t) && t->Ops.SoundLock(t, &region, &size));
  ASSERT_TRUE(t->Ops.SoundUnlock(t, 1u << 30));
  EXPECT_EQ(gSimWaveOut.Queue.back()->Length, 40u);
}

TEST_F(WaveOut, AnUnderrunRestartsTheQueueWithoutReplayingOldSound) {
  Open(22050, 16, 2);
  ASSERT_EQ(BlocksToStart(0x11), 8u);
  gSimWaveOut.Advance(1000);  // plays all eight blocks and runs dry
  ASSERT_EQ(gSimWaveOut.Played.size(), 8u * 5536);
  EXPECT_EQ(SimHandOver(t, 0x22, 100), 100u);
  EXPECT_EQ(t->Underrun, 1u);
  EXPECT_TRUE(gSimWaveOut.Queue.empty());  // waiting for half a second again
  ASSERT_EQ(BlocksToStart(0x33), 8u);
  gSimWaveOut.Advance(1000);
  const std::vector<uint8_t> played(gSimWaveOut.Played.begin() + 8 * 5536,
                                    gSimWaveOut.Played.begin() + 9 * 5536);
  std::vector<uint8_t> expected(5536, 0);
  std::fill(expected.begin(), expected.begin() + 100, 0x22);
  EXPECT_EQ(played, expected);
}

TEST_F(WaveOut, PausingWhileFillingHoldsTheQueueBack) {
  Open(22050, 16, 2);
  EXPECT_EQ(SimHandOver(t, 1), 5536u);
  EXPECT_EQ(t->Ops.SoundPause(t, 1), 1);
  EXPECT_EQ(SimHandOver(t, 1), 0u);
  EXPECT_EQ(t->Ops.SoundPause(t, 0), 0);
  EXPECT_EQ(BlocksToStart(), 7u);
}

TEST_F(WaveOut, OffForgetsTheChosenBlockAndOnReopensOnlyTheDevice) {
  movie.Describe(100, 25, 1);
  Open(22050, 16, 2, &movie.M);
  const uint32_t memory = movie.M.TotalMemory;
  uint8_t *region, *again;
  uint32_t size;
  ASSERT_TRUE(t->Ops.SoundReady(t) && t->Ops.SoundLock(t, &region, &size));
  EXPECT_EQ(t->Ops.SoundOnOff(t, 0), 0);
  EXPECT_EQ(gSimWaveOut.Device, nullptr);
  EXPECT_EQ(t->Ops.SoundLock(t, &again, &size), 0);
  EXPECT_EQ(t->Ops.SoundUnlock(t, 4), 0);
  EXPECT_EQ(t->Ops.SoundReady(t), 0);
  EXPECT_EQ(t->Ops.SoundOnOff(t, 1), 1);
  EXPECT_EQ(gSimWaveOut.Opens, 2u);
  EXPECT_EQ(t->Ops.SoundUnlock(t, 4), 0);  // the block chosen before the off is gone
  ASSERT_TRUE(t->Ops.SoundReady(t) && t->Ops.SoundLock(t, &again, &size));
  EXPECT_EQ(again, region);  // the same blocks
  EXPECT_EQ(movie.M.TotalMemory, memory);
}

TEST_F(WaveOut, VolumeAndPanSetTheTwoDeviceLevels) {
  struct Case {
    uint32_t volume, pan, levels;
  } cases[] = {{65535, 32767, 0x7FFF7FFF}, {65535, 65536, 0x7FFF0000}, {65535, 0, 0x00007FFF},
               {70000, 70000, 0x7FFF0000}, {0, 32767, 0}, {32767, 49151, 0x3FFF1FFF}};
  Open(22050, 16, 2);
  for (const Case& c : cases) {
    t->Ops.SoundSetPan(t, c.pan);
    t->Ops.SoundSetVolume(t, c.volume);
    EXPECT_EQ(gSimWaveOut.Levels, c.levels) << c.volume << " " << c.pan;
  }
}

}  // namespace
