// The DirectSound back end on the simulated looping buffer.
#include "tests/sound/sim_sound_devices.h"

namespace {
using namespace sim;
constexpr uint32_t kRing = 106496, kStart = kRing / 2;  // 44100 Hz, 16-bit stereo; starts half full

struct DirectSound : Channel {
  void Start() {  // opens and fills the start region: playback starts
    Open(SoundUseDirectSound, 44100, 16);
    for (int k = 0; k < 100 && !D.Playing; ++k) ASSERT_NE(HandOver(t, 0x11), 0u);
    ASSERT_EQ(D.Playing, 1u);
  }
  uint32_t NextRegion() {  // where the next region starts in the ring (handed back untouched)
    return Lock() && t->Ops.SoundUnlock(t, 0) ? uint32_t(Region - D.Ring.data()) : ~0u;
  }
};

TEST_F(DirectSound, UnderrunsWriteAheadOfTheWriteCursorOncePerPoll) {
  const struct { uint32_t advanceMs, writeLead, maxBytes, region; } cases[] = {
      {540, 256, 0, 1},      // no poll for 540 ms: stale
      {560, 258, 0, 1},      // a write cursor off the sample grid
      {700, 1, 0, 1},        // the device lapped the ring
      {700, 256, 16000, 0},  // small regions: still played out after it, yet no second underrun
  };
  for (const auto& c : cases) {
    Close(), SetUp(), Describe(0, 0, 0, c.maxBytes), D.WriteLead = c.writeLead, Start();
    D.Advance(c.advanceMs);
    const uint32_t write = (D.Play() + c.writeLead) & ~3u;
    EXPECT_EQ(NextRegion(), c.region ? (write + 2 * t->ChunkBytes) % kRing : ~0u) << c.advanceMs;
    EXPECT_EQ(t->Underrun, 1u);
  }
  EXPECT_EQ(std::count(D.Ring.begin(), D.Ring.end(), 0x11), kStart - 2 * t->ChunkBytes);
}

TEST_F(DirectSound, APauseLongerThanTheStaleTimeIsNoUnderrun) {
  Start();
  D.Advance(100), t->Ops.SoundPause(t, 1), D.Advance(2000), t->Ops.SoundPause(t, 0), D.Advance(20);
  EXPECT_EQ(NextRegion(), kStart);
  EXPECT_EQ(t->Underrun, 0u);
}

TEST_F(DirectSound, WaitsAreBounded) {
  Open(SoundUseDirectSound, 44100, 16);
  D.LostResults = 2;  // two lost results, then the lock succeeds
  EXPECT_NE(HandOver(t, 1), 0u);
  D.LostResults = 1000;  // a buffer that stays lost: a few tries, then no region
  uint32_t since = D.Now;
  EXPECT_EQ(HandOver(t, 1), 0u);
  EXPECT_LE(D.Now - since, 60u);
  D.LostResults = 0, D.Stalled = 1, since = D.Now;
  Start();  // waits half a second at most, playing again every 51 ms
  EXPECT_LE(D.Now - since, 510u);
  EXPECT_GE(D.Plays, 9u);
  D.Stalled = 0, D.FastReads = 1000;  // cursors never alike three times running: soon no region
  D.Advance(100), since = D.Now;
  EXPECT_EQ(NextRegion(), ~0u);
  EXPECT_LE(D.Now - since, 72u);
}

TEST_F(DirectSound, VolumePanAndTheDeviceObjectsUsers) {
  const struct { uint32_t volume, pan; int32_t level, balance; } cases[] = {
      {32767, 0, 0, -10000},
      {16384, 32768, -1003, 0},
      {0, 65536, -10000, 10000},
      {1, 16384, -10000, -5000},
  };
  EXPECT_EQ(SoundUseDirectSound(nullptr), DirectSoundChannelOpen);
  EXPECT_EQ(D.Held, 0u);  // the selector's trial use is given back
  Open(SoundUseDirectSound, 44100, 16);
  EXPECT_EQ(D.Held, 2u);  // the object and the primary buffer
  EXPECT_EQ(std::count(D.Ring.begin(), D.Ring.end(), 0), kRing);
  for (const auto& c : cases) {
    t->Ops.SoundSetVolume(t, c.volume), t->Ops.SoundSetPan(t, c.pan);
    EXPECT_EQ(D.Volume, c.level) << c.volume;
    EXPECT_EQ(D.Pan, c.balance) << c.pan;
  }
  Close();
  EXPECT_EQ(D.Held, 0u);
}

}  // namespace
