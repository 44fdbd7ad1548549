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
    uint8_t* region;
    uint32_t size;
    if (!Lock(&region, &size)) return ~0u;
    t->Ops.SoundUnlock(t, 0);
    return uint32_t(region - D.Ring.data());
  }
  uint32_t MsTaken(uint32_t since) const { return D.Now - since; }
};

TEST_F(DirectSound, UnderrunsWriteAheadOfTheWriteCursorOncePerPoll) {
  // A stale poll, a nearly played-out ring, a write cursor off the sample grid; with a granule cut
  // to the track's ring the poll after the underrun still finds the ring played out: no region.
  const struct { uint32_t advanceMs, writeLead, maxBytes, region; } cases[] = {
      {540, 256, 0, 1},
      {560, 258, 0, 1},
      {700, 1, 0, 1},
      {700, 256, 16000, 0},
  };
  for (const auto& c : cases) {
    Close(), SetUp(), Describe(0, 0, 0, c.maxBytes);
    D.WriteLead = c.writeLead;
    Start();
    D.Advance(c.advanceMs);
    const uint32_t write = (D.Play() + c.writeLead) & ~3u;
    EXPECT_EQ(NextRegion(), c.region ? (write + 2 * t->ChunkBytes) % kRing : ~0u) << c.advanceMs;
    EXPECT_EQ(t->Underrun, 1u);
  }
}

TEST_F(DirectSound, AfterTheLastRegionTheRingPlaysSilence) {
  Start();
  uint64_t handed = kStart;
  for (int k = 0; k < 20; ++k) {  // the movie's last 0.4 s as it is decoded, 20 ms at a time
    D.Advance(20);
    for (uint32_t due = 3528, n; due && (n = HandOver(t, 0x11, due)); due -= n) handed += n;
  }
  for (int k = 0; k < 30; ++k) D.Advance(77), t->Ops.SoundReady(t);  // the pump only polls
  EXPECT_EQ(std::count(D.Played.begin(), D.Played.end(), 0x11), handed);
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
  EXPECT_LE(MsTaken(since), 60u);
  D.LostResults = 0, D.Stalled = 1, since = D.Now;
  Start();  // waits half a second at most, playing again every 51 ms
  EXPECT_LE(MsTaken(since), 510u);
  EXPECT_GE(D.Plays, 9u);
  D.Stalled = 0, D.FastReads = 1000;  // cursors never alike three times running: soon no region
  D.Advance(100), since = D.Now;
  EXPECT_EQ(NextRegion(), ~0u);
  EXPECT_LE(MsTaken(since), 72u);
}

TEST_F(DirectSound, VolumePanAndTheDeviceObjectsUsers) {
  const struct { uint32_t volume, pan; int32_t level, balance; } cases[] = {
      {32767, 0, 0, -10000},
      {16384, 32768, -1003, 0},
      {0, 65536, -10000, 10000},
      {99999, 99999, 0, 10000},
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
