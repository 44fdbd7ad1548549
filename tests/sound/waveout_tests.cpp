// The waveOut back end on the simulated header queue.
#include "tests/sound/sim_sound_devices.h"

namespace {
using namespace sim;

struct WaveOut : Channel {
  uint32_t BlocksToStart(uint8_t value) {  // whole blocks handed over until the device has some
    for (uint32_t blocks = 0;; ++blocks)
      if (!W.Queue.empty() || blocks == 2000 || !HandOver(t, value)) return blocks;
  }
};

TEST_F(WaveOut, BlocksAndTheStart) {
  const struct { uint32_t bits, frames, fps, div, maxBytes, chunk, blocksToStart; } cases[] = {
      {16, 0, 0, 1, 0, 5536, 8},                    // half a second of 16 blocks
      {8, 0, 0, 1, 0, 5568, 8},                     // 8-bit: the core hands over twice the region
      {16, 5, 25, 1, 0, 5536, 4},                   // a 0.2 s movie starts once all of it is there
      {16, 2 * 16384, 409600, 16384, 0, 5536, 8},  // its total wraps to 0 in 32 bits
      {16, 0, 0, 1, 8000, 1000, 45},                // blocks the track's ring delivers in one go
      {16, 0, 0, 1, 320, 40, 1024},                 // all 1024 kept before half a second
  };
  for (const auto& c : cases) {
    Describe(c.frames, c.fps, c.div, c.maxBytes);
    Open(SoundUseWaveOut, 22050, c.bits);
    W.WriteMs = 1;  // longer than 40 bytes play: the kept blocks go over while the device waits
    EXPECT_EQ(t->ChunkBytes, c.chunk) << c.maxBytes;
    EXPECT_EQ(BlocksToStart(0x11), c.blocksToStart) << c.frames << " " << c.maxBytes;
    EXPECT_EQ(W.Gaps, 0u) << c.maxBytes;
  }
  W.Advance(20);
  ASSERT_TRUE(Lock() && t->Ops.SoundUnlock(t, 1u << 30));
  EXPECT_EQ(W.Queue.back()->Length, 40u);  // more than the block counts as the block
}

TEST_F(WaveOut, AnUnderrunRestartsTheQueueWithoutOldSound) {
  Open(SoundUseWaveOut, 22050, 16);
  ASSERT_EQ(BlocksToStart(0x11), 8u);
  W.Advance(1000);
  ASSERT_EQ(W.Played.size(), 8u * 5536);  // all eight blocks, then dry
  EXPECT_EQ(HandOver(t, 0x22, 100), 100u);
  EXPECT_EQ(t->Underrun, 1u);
  ASSERT_EQ(BlocksToStart(0x33), 8u);  // half a second again
  W.Advance(1000);
  EXPECT_EQ(std::count(&W.Played[8 * 5536], &W.Played[9 * 5536], 0), 5536 - 100);
}

TEST_F(WaveOut, VolumeAndPanSetTheTwoDeviceLevels) {
  const struct { uint32_t volume, pan, levels; } cases[] = {
      {65535, 32767, 0x7FFF7FFF},
      {65535, 65536, 0x7FFF0000},
      {70000, 70000, 0x7FFF0000},
      {32767, 49151, 0x3FFF1FFF},
  };
  Open(SoundUseWaveOut, 22050, 16);
  for (const auto& c : cases) {
    t->Ops.SoundSetPan(t, c.pan), t->Ops.SoundSetVolume(t, c.volume);
    EXPECT_EQ(W.Levels, c.levels) << c.volume << " " << c.pan;
  }
}

}  // namespace
