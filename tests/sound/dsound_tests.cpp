// The DirectSound back end on the simulated looping buffer: sizes, the start, room behind the play
// cursor, underruns, lost buffers, jumpy and stalled devices, pausing, the device object's users
// and the levels.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/sound/sim_sound_devices.h"
#include "vexa/vexa.h"

namespace {

constexpr uint32_t kRing = 106496, kRefill = 8960;  // 44100 Hz, 16-bit stereo
constexpr uint32_t kStart = kRing / 2;                // playback starts with half the ring

struct DirectSound : ::testing::Test {
  SimMovie movie;
  AudioTrack* t = &movie.Tracks[0];
  void SetUp() override { Reset(); }
  void TearDown() override { Close(); }
  void Reset() {
    SimSoundReset();
    ASSERT_EQ(SoundUseDirectSound(nullptr), DirectSoundChannelOpen);
  }
  void Close() {
    if (t->Ops.SoundClose) t->Ops.SoundClose(t);
  }
  void Open(uint32_t rate = 44100, uint32_t bits = 16, uint32_t channels = 2) {
    Close();
    ASSERT_TRUE(DirectSoundChannelOpen(t, rate, bits, channels, 0, &movie.M));
  }
  // Fills the start region with value; playback then starts.
  void Start(uint8_t value = 0x11) {
    for (int k = 0; k < 100 && !gSimDs.Playing; ++k) ASSERT_NE(SimHandOver(t, value), 0u);
    ASSERT_EQ(gSimDs.Playing, 1u);
  }
  // Where the next region starts in the ring (it is handed back untouched); ~0 when none.
  uint32_t NextRegion(uint32_t* size) {
    uint8_t* region;
    if (!t->Ops.SoundReady(t) || !t->Ops.SoundLock(t, &region, size)) return ~0u;
    t->Ops.SoundUnlock(t, 0);
    return uint32_t(region - gSimDs.Ring.data());
  }
};

TEST_F(DirectSound, Sizes) {
  struct {
    uint32_t rate, bits, channels, maxBytes, openedRate, ring, chunk;
  } cases[] = {
      {44100, 16, 2, 0, 44100, kRing, kRefill},
      {0, 16, 2, 0, 44100, kRing, kRefill},       // rate 0 opens at 44100 Hz
      {22050, 8, 1, 0, 22050, 13312, 2560},       // 8-bit: twice the 1280-byte granule
      {44100, 16, 2, 16000, 44100, kRing, 2000},  // the granule fits the track's ring
  };
  for (const auto& c : cases) {
    movie.Describe(0, 0, 0, c.maxBytes);
    Open(c.rate, c.bits, c.channels);
    EXPECT_EQ(t->Rate, c.openedRate);
    EXPECT_EQ(gSimDs.Ring.size(), c.ring);
    EXPECT_EQ(t->ChunkBytes, c.chunk) << c.maxBytes;
    EXPECT_EQ(std::count(gSimDs.Ring.begin(), gSimDs.Ring.end(), c.bits == 8 ? 128 : 0), c.ring);
  }
}

TEST_F(DirectSound, RegionsEndOneKilobyteBehindThePlayCursor) {
  Open();
  Start();
  uint32_t size = 0, at = NextRegion(&size);
  while (SimHandOver(t, 1) && at != ~0u) at = (at + size) % kRing, NextRegion(&size);
  EXPECT_EQ((gSimDs.Play() + kRing - at) % kRing, 1024u);  // filled up to the safety gap
  for (auto [advanceMs, ready] : {std::pair{5, false}, {40, false}, {15, true}}) {
    gSimDs.Advance(advanceMs);  // room reaches a granule after 51 ms
    EXPECT_EQ(NextRegion(&size) != ~0u, ready) << advanceMs;
  }
  const uint32_t room = (gSimDs.Play() + kRing - at - 1024) % kRing & ~3u;
  EXPECT_EQ(size, std::min({room, 16384u, kRing - at}));  // a wrapping region ends at the end
}

TEST_F(DirectSound, UnderrunsWriteAheadOfTheWriteCursorOncePerPoll) {
  // A stale poll, a nearly played-out ring, a write cursor off the sample grid; with a small
  // granule the poll after the underrun still finds the ring nearly played out: no region then.
  struct {
    uint32_t advanceMs, writeLead, maxBytes;
    bool region;
  } cases[] = {{540, 256, 0, true}, {560, 258, 0, true}, {700, 1, 0, true}, {700, 256, 16000, false}};
  for (const auto& c : cases) {
    Reset();
    movie.Describe(0, 0, 0, c.maxBytes);
    Open();
    gSimDs.WriteLead = c.writeLead;
    Start();
    gSimDs.Advance(c.advanceMs);
    uint32_t size = 0;
    const uint32_t write = (gSimDs.Play() + c.writeLead) & ~3u;
    EXPECT_EQ(NextRegion(&size), c.region ? (write + 2 * t->ChunkBytes) % kRing : ~0u) << c.advanceMs;
    EXPECT_EQ(t->Underrun, 1u);
  }
}

TEST_F(DirectSound, AfterTheLastRegionTheRingPlaysSilence) {
  Open();
  Start();
  uint64_t handed = kStart;
  for (int k = 0; k < 20; ++k) {  // the movie's last 0.4 s as it is decoded, 20 ms at a time
    gSimDs.Advance(20);
    for (uint32_t due = 3528, n; due && (n = SimHandOver(t, 0x11, due)); due -= n) handed += n;
  }
  // The pump then only polls, 13 times a second, while the device plays out.
  for (int k = 0; k < 30; ++k) gSimDs.Advance(77), t->Ops.SoundReady(t);
  EXPECT_EQ(std::count(gSimDs.Played.begin(), gSimDs.Played.end(), 0x11), handed);
}

TEST_F(DirectSound, APauseLongerThanTheStaleTimeIsNoUnderrun) {
  Open();
  Start();
  gSimDs.Advance(100);
  ASSERT_EQ(t->Ops.SoundPause(t, 1), 1);
  gSimDs.Advance(2000);
  ASSERT_EQ(t->Ops.SoundPause(t, 0), 0);
  gSimDs.Advance(20);
  uint32_t size;
  EXPECT_EQ(NextRegion(&size), kStart);
  EXPECT_EQ(t->Underrun, 0u);
}

TEST_F(DirectSound, WaitsAreBounded) {
  Open();
  gSimDs.LostResults = 2;  // two lost results, then the lock succeeds
  EXPECT_NE(SimHandOver(t, 1), 0u);
  gSimDs.LostResults = 1000;  // a buffer that stays lost: a few tries, then no region
  uint32_t before = gSimDs.Now, size;
  EXPECT_EQ(SimHandOver(t, 1), 0u);
  EXPECT_LE(gSimDs.Now - before, 60u);
  gSimDs.LostResults = 0;
  gSimDs.Stalled = 1;  // the start waits at most half a second, playing again every 51 ms
  before = gSimDs.Now;
  Start();
  EXPECT_LE(gSimDs.Now - before, 510u);
  EXPECT_GE(gSimDs.Plays, 9u);
  gSimDs.Stalled = 0;
  gSimDs.JumpyReads = 1;  // a reading that jumps is read again
  gSimDs.Advance(100);
  EXPECT_EQ(NextRegion(&size), kStart);
  gSimDs.JumpyReads = 1000;  // cursors that keep jumping give no region, soon
  gSimDs.Advance(100);
  before = gSimDs.Now;
  EXPECT_EQ(NextRegion(&size), ~0u);
  EXPECT_LE(gSimDs.Now - before, 1u);
  gSimDs.JumpyReads = 0;
  gSimDs.FastReads = 1000;  // cursors never read alike three times running: a few tries, no region
  gSimDs.Advance(100);
  before = gSimDs.CursorReads;
  EXPECT_EQ(NextRegion(&size), ~0u);
  EXPECT_LE(gSimDs.CursorReads - before, 12u);
  gSimDs.Stalled = gSimDs.Playing = 1;  // and turning off a buffer that never stops ends
  EXPECT_EQ(t->Ops.SoundOnOff(t, 0), 0);
}

TEST_F(DirectSound, AChannelThatIsOffOrHoldsNoRegionHandsNothingOut) {
  Open();
  uint8_t* region;
  uint32_t size;
  EXPECT_EQ(t->Ops.SoundUnlock(t, 100), 0);  // nothing locked
  ASSERT_EQ(SimHandOver(t, 1, 100), 100u);
  ASSERT_EQ(t->Ops.SoundOnOff(t, 0), 0);
  EXPECT_FALSE(t->Ops.SoundReady(t) || t->Ops.SoundLock(t, &region, &size) ||
               t->Ops.SoundUnlock(t, 100));
  ASSERT_EQ(t->Ops.SoundOnOff(t, 1), 1);
  EXPECT_EQ(NextRegion(&size), 0u);  // a fresh start region
}

TEST_F(DirectSound, TheDeviceObjectLivesWhileItHasUsers) {
  EXPECT_EQ(gSimDs.Objects, 0u);  // the selector's test use is given back
  Open();
  EXPECT_EQ(gSimDs.Objects + gSimDs.Primaries, 2u);
  int other = 0;
  EXPECT_EQ(SoundUseDirectSound(&other), nullptr);  // another object while a channel is open
  EXPECT_EQ(SoundUseDirectSound(nullptr), DirectSoundChannelOpen);
  Close();
  EXPECT_EQ(gSimDs.Objects + gSimDs.Primaries, 0u);
  gSimDs.RefuseSecondary = 1;
  EXPECT_EQ(DirectSoundChannelOpen(t, 44100, 16, 2, 0, nullptr), 0);
  EXPECT_EQ(gSimDs.Objects, 0u);
  gSimDs.RefuseCreate = 1;
  EXPECT_EQ(SoundUseDirectSound(nullptr), nullptr);
  gSimDs.Missing = 1;
  EXPECT_EQ(SoundUseDirectSound(nullptr), nullptr);
  EXPECT_EQ(SoundSelect(SoundUseDirectSound), 0);
}

TEST_F(DirectSound, VolumeAndPanInHundredthsOfADecibel) {
  struct {
    uint32_t volume, pan;
    int32_t level, balance;
  } cases[] = {{32767, 0, 0, -10000},    {16384, 32768, -1003, 0}, {0, 65536, -10000, 10000},
               {99999, 99999, 0, 10000}, {1, 16384, -10000, -5000}};
  Open();
  for (const auto& c : cases) {
    t->Ops.SoundSetVolume(t, c.volume);
    t->Ops.SoundSetPan(t, c.pan);
    EXPECT_EQ(gSimDs.Volume, c.level) << c.volume;
    EXPECT_EQ(gSimDs.Pan, c.balance) << c.pan;
  }
}

}  // namespace
