// Simulated sound devices on an injected clock: a waveOut header queue that marks blocks done as
// the clock plays them (W), and a looping DirectSound buffer with cursors, lost results, cursors
// never read alike and a device that stalls (D). Each keeps the bytes it played.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <vector>

#include "sound/dsound_device.h"
#include "sound/waveout_device.h"
#include "vexa/vexa.h"

namespace sim {

inline uint64_t BytesDue(uint64_t* playedUs, uint32_t ms, uint32_t bytesPerSecond) {
  const uint64_t before = *playedUs * bytesPerSecond / 1000000;
  return (*playedUs += ms * 1000ull) * bytesPerSecond / 1000000 - before;
}

struct WaveOutSim {
  void* Device = nullptr;  // open
  uint32_t BytesPerSecond = 0, Paused = 0, Levels = 0, Offset = 0;  // into the first queued header
  uint32_t WriteMs = 0, Gaps = 0;  // how long a write takes; clock steps that ran the queue dry
  uint64_t PlayedUs = 0;
  std::deque<WaveHeader*> Queue;
  std::vector<uint8_t> Played;
  void Advance(uint32_t ms) {
    if (Paused || !Device) return;
    uint64_t due = BytesDue(&PlayedUs, ms, BytesPerSecond);
    while (due && !Queue.empty()) {
      WaveHeader* h = Queue.front();
      const uint32_t take = uint32_t(std::min<uint64_t>(due, h->Length - Offset));
      Played.insert(Played.end(), h->Data + Offset, h->Data + Offset + take);
      Offset += take, due -= take;
      if (Offset == h->Length) WaveHeaderSetDone(h, true), Queue.pop_front(), Offset = 0;
    }
    Gaps += due != 0;
  }
};

struct DirectSoundSim {
  uint32_t Now = 1000, BytesPerSecond = 0, WriteLead = 256;
  std::vector<uint8_t> Ring, Played;
  uint64_t PlayedUs = 0;
  uint32_t Playing = 0, Stalled = 0, LostResults = 0, Plays = 0;
  uint32_t FastReads = 0;  // cursor reads that each take 6 ms of playing: no two alike
  uint32_t Held = 0;       // device objects and primary buffers not released
  int32_t Volume = 1, Pan = 1;
  uint32_t Play() const { return uint32_t(PlayedUs * BytesPerSecond / 1000000 % Ring.size()); }
  void Advance(uint32_t ms) {
    Now += ms;
    if (!Playing || Stalled) return;
    uint64_t at = Play(), n = BytesDue(&PlayedUs, ms, BytesPerSecond);
    for (; n--; at = (at + 1) % Ring.size()) Played.push_back(Ring[at]);
  }
  int32_t Lost() { return LostResults ? (LostResults--, kDsBufferLost) : kDsOk; }
};

inline WaveOutSim W;
inline DirectSoundSim D;

inline const WaveOutDevice kWave = {
    [](void** device, uint32_t rate, uint32_t bits, uint32_t channels) {
      return W.BytesPerSecond = rate * bits / 8 * channels, *device = W.Device = &W, 1;
    },
    [](void*, WaveHeader*) {}, [](void*, WaveHeader*) {},
    [](void*, WaveHeader* h) { W.Queue.push_back(h), W.Advance(W.WriteMs); },
    [](void*) {
      for (WaveHeader* h : W.Queue) WaveHeaderSetDone(h, true);
      W.Queue.clear(), W.Offset = 0;
    },
    [](void*) { W.Paused = 1; }, [](void*) { W.Paused = 0; },
    [](void*, uint32_t levels) { W.Levels = levels; }, [](void*) { W.Device = nullptr; }};

inline const DirectSoundDevice kDs = {
    [] { return 1; }, [](void** object) { return D.Held++, *object = &D, kDsOk; },
    [](void*) { return kDsOk; }, [](void*, void** b) { return D.Held++, *b = &D.Held, kDsOk; },
    [](void*, const DirectSoundFormat*) { return kDsOk; },
    [](void*, const DirectSoundFormat* f, uint32_t bytes, void** buffer) {
      D.Ring.assign(bytes, 0x55);  // not silence: the back end must clear it
      return D.BytesPerSecond = f->Rate * f->Bits / 8 * f->Channels, *buffer = &D, kDsOk;
    },
    [](void*, uint32_t offset, uint32_t bytes, DirectSoundRegion* r) {
      const uint32_t first = std::min(bytes, uint32_t(D.Ring.size()) - offset);
      *r = {D.Ring.data() + offset, first, bytes > first ? D.Ring.data() : nullptr, bytes - first};
      return D.Lost();
    },
    [](void*, const DirectSoundRegion*) { return kDsOk; },
    [](void* buffer, uint32_t) {  // the primary always plays
      return buffer != &D ? kDsOk : D.Lost() ? kDsBufferLost : (D.Plays++, D.Playing = 1, kDsOk);
    },
    [](void*) { return D.Playing = 0, 0; }, [](void*, uint32_t* s) { return *s = D.Playing, 0; },
    [](void*, uint32_t* play, uint32_t* write) {
      if (D.FastReads) D.FastReads--, D.Advance(6);
      return *play = D.Play(), *write = (*play + D.WriteLead) % uint32_t(D.Ring.size()), kDsOk;
    },
    [](void*, uint32_t offset) { return D.PlayedUs = offset * 1000000ull / D.BytesPerSecond, 0; },
    [](void*) { return kDsOk; }, [](void*, uint32_t) { return kDsOk; },
    [](void*, int32_t pan) { return D.Pan = pan, kDsOk; },
    [](void*, int32_t volume) { return D.Volume = volume, kDsOk; },
    [](void* buffer) { D.Held -= buffer == &D.Held; }, [](void*) { D.Held--; },
    [] { return D.Now; }, [](uint32_t ms) { D.Advance(ms); }};

// One hand-over as the core's pump makes it: SoundReady, SoundLock, bytes (at most the region) of
// value, SoundUnlock. The bytes handed over, 0 when no region was ready.
inline uint32_t HandOver(AudioTrack* t, uint8_t value, uint32_t bytes = 0xFFFFFFFFu) {
  uint8_t* region = nullptr;
  uint32_t size = 0;
  if (!t->Ops.SoundReady(t) || !t->Ops.SoundLock(t, &region, &size)) return 0;
  std::memset(region, value, bytes = std::min(bytes, size));
  return t->Ops.SoundUnlock(t, bytes) ? bytes : 0;
}

// A channel on fresh simulated devices, for slot 0 of a movie record that only describes: frames
// at rate/div, and (when maxBytes is not 0) one track whose largest decoded packet is maxBytes.
struct Channel : ::testing::Test {
  Movie M{};
  AudioTrack Track{}, *t = &Track;
  uint32_t Index = 0, MaxBytes = 0, Size = 0;
  uint8_t* Region = nullptr;  // the last one locked
  void SetUp() override { W = {}, D = {}, WaveOutUseDevice(&kWave), DirectSoundUseDevice(&kDs); }
  void TearDown() override { Close(); }
  void Close() { t->Ops.SoundClose ? t->Ops.SoundClose(t) : void(); }
  void Describe(uint32_t frames, uint32_t rate, uint32_t div, uint32_t maxBytes = 0) {
    M = Movie{}, M.Frames = frames, M.FrameRate = rate, M.FrameRateDiv = div, MaxBytes = maxBytes;
    M.Tracks = t, M.TrackIndices = &Index, M.TrackMaxBytes = &MaxBytes, M.NumTracks = maxBytes != 0;
  }
  void Open(SoundSelector use, uint32_t rate, uint32_t bits) {
    const SoundOpenFunction open = (Close(), use(nullptr));
    ASSERT_TRUE(open && open(t, rate, bits, 2, 0, &M));
  }
  bool Lock() { return t->Ops.SoundReady(t) && t->Ops.SoundLock(t, &Region, &Size); }
};

}  // namespace sim
