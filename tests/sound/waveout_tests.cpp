// The waveOut back end on the simulated header queue: sizes, the start, underruns, pausing,
// turning the sound off and on, and the device levels.
#include <gtest/gtest.h>

#include "tests/sound/sim_sound_devices.h"
#include "vexa/vexa.h"

namespace {

struct WaveOut : ::testing::Test {
  SimMovie movie;
  AudioTrack* t = &movie.Tracks[0];
  void SetUp() override { SimSoundReset(); }
  void TearDown() override {
    if (t->Ops.SoundClose) t->Ops.SoundClose(t);
  }
  void Open(Movie* m = nullptr, uint32_t rate = 22050, uint32_t bits = 16, uint32_t channels = 2) {
    if (t->Ops.SoundClose) t->Ops.SoundClose(t);
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
  struct {
    uint32_t bits, channels, frames, fps, div, maxBytes, chunk, blocksToStart;
  } cases[] = {
      {16, 2, 0, 0, 1, 0, 5536, 8},                // 44128 bytes to start
      {8, 1, 0, 0, 1, 0, 2816, 8},                 // 8-bit: the core hands over twice the region
      {16, 2, 5, 25, 1, 0, 5536, 4},               // a 0.2 s movie starts once all of it is there
      {16, 2, 2 * 16384, 409600, 16384, 0, 5536, 8},  // its total wraps to 0 in 32 bits
      {16, 2, 0, 0, 1, 8000, 1000, 45},            // small blocks: more of them, the same start
      {16, 2, 0, 0, 1, 320, 40, 1024},             // tiny blocks: all 1024 before half a second
  };
  for (const auto& c : cases) {
    movie.Describe(c.frames, c.fps, c.div, c.maxBytes);
    Open(&movie.M, 22050, c.bits, c.channels);
    EXPECT_EQ(t->ChunkBytes, c.chunk) << c.maxBytes;
    EXPECT_EQ(BlocksToStart(), c.blocksToStart) << c.frames << " " << c.maxBytes;
  }
}

TEST_F(WaveOut, TheStartQueuesEveryKeptBlockInOrderAndWhole) {
  movie.Describe(0, 0, 0, 320);  // 1024 blocks of 40 bytes: less than half a second
  Open(&movie.M);
  gSimWaveOut.WriteMs = 1;  // longer than a block plays: the device must not start on the first
  for (uint32_t k = 0; k < 1024; ++k)
    ASSERT_EQ(SimHandOver(t, uint8_t(k), k == 3 ? 10 : 40), k == 3 ? 10u : 40u);
  ASSERT_EQ(gSimWaveOut.Queue.size(), 1024u);
  EXPECT_EQ(gSimWaveOut.Gaps, 0u);
  for (uint32_t k = 0; k < 1024; ++k) {
    EXPECT_EQ(gSimWaveOut.Queue[k]->Length, 40u);
    EXPECT_EQ(gSimWaveOut.Queue[k]->Data[0], uint8_t(k)) << "block " << k << " was overwritten";
  }
  EXPECT_EQ(gSimWaveOut.Queue[3]->Data[10], 0);  // the rest of a short block is silence
  // Once started, each block goes at once, with the bytes written; too many count as the block.
  gSimWaveOut.Advance(20);
  EXPECT_EQ(SimHandOver(t, 1, 30), 30u);
  EXPECT_EQ(gSimWaveOut.Queue.back()->Length, 30u);
  uint8_t* region;
  uint32_t size;
  ASSERT_TRUE(t->Ops.SoundReady(t) && t->Ops.SoundLock(t, &region, &size));
  ASSERT_TRUE(t->Ops.SoundUnlock(t, 1u << 30));
  EXPECT_EQ(gSimWaveOut.Queue.back()->Length, 40u);
}

TEST_F(WaveOut, PausingHoldsTheQueueBackAndAnUnderrunRestartsItWithoutOldSound) {
  Open();
  EXPECT_EQ(SimHandOver(t, 0x11), 5536u);
  EXPECT_EQ(t->Ops.SoundPause(t, 1), 1);
  EXPECT_EQ(SimHandOver(t, 0x11), 0u);
  EXPECT_EQ(t->Ops.SoundPause(t, 0), 0);
  ASSERT_EQ(BlocksToStart(0x11), 7u);
  gSimWaveOut.Advance(1000);  // plays all eight blocks and runs dry
  ASSERT_EQ(gSimWaveOut.Played.size(), 8u * 5536);
  EXPECT_EQ(SimHandOver(t, 0x22, 100), 100u);
  EXPECT_EQ(t->Underrun, 1u);
  EXPECT_TRUE(gSimWaveOut.Queue.empty());  // waiting for half a second again
  ASSERT_EQ(BlocksToStart(0x33), 8u);
  gSimWaveOut.Advance(1000);
  std::vector<uint8_t> expected(5536, 0);
  std::fill(expected.begin(), expected.begin() + 100, 0x22);
  EXPECT_EQ(std::vector<uint8_t>(&gSimWaveOut.Played[8 * 5536], &gSimWaveOut.Played[9 * 5536]),
            expected);
}

TEST_F(WaveOut, OffForgetsTheChosenBlockAndOnReopensOnlyTheDevice) {
  movie.Describe(100, 25, 1);
  Open(&movie.M);
  const uint32_t memory = movie.M.TotalMemory;
  uint8_t *region, *again;
  uint32_t size;
  ASSERT_TRUE(t->Ops.SoundReady(t) && t->Ops.SoundLock(t, &region, &size));
  EXPECT_EQ(t->Ops.SoundOnOff(t, 0), 0);
  EXPECT_EQ(gSimWaveOut.Device, nullptr);
  EXPECT_FALSE(t->Ops.SoundReady(t) || t->Ops.SoundLock(t, &again, &size) ||
               t->Ops.SoundUnlock(t, 4));
  EXPECT_EQ(t->Ops.SoundOnOff(t, 1), 1);
  EXPECT_EQ(gSimWaveOut.Opens, 2u);
  EXPECT_EQ(t->Ops.SoundUnlock(t, 4), 0);  // the block chosen before the off is gone
  ASSERT_TRUE(t->Ops.SoundReady(t) && t->Ops.SoundLock(t, &again, &size));
  EXPECT_EQ(again, region);  // the same blocks
  EXPECT_EQ(movie.M.TotalMemory, memory);
}

TEST_F(WaveOut, VolumeAndPanSetTheTwoDeviceLevels) {
  struct {
    uint32_t volume, pan, levels;
  } cases[] = {{65535, 32767, 0x7FFF7FFF}, {65535, 65536, 0x7FFF0000}, {65535, 0, 0x00007FFF},
               {70000, 70000, 0x7FFF0000}, {0, 32767, 0}, {32767, 49151, 0x3FFF1FFF}};
  Open();
  for (const auto& c : cases) {
    t->Ops.SoundSetPan(t, c.pan);
    t->Ops.SoundSetVolume(t, c.volume);
    EXPECT_EQ(gSimWaveOut.Levels, c.levels) << c.volume << " " << c.pan;
  }
}

}  // namespace
