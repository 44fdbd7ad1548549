// Simulated sound devices on an injected clock: a waveOut header queue that marks blocks done as
// the clock "plays" them, and a looping DirectSound buffer with play and write cursors, lost
// buffers, jumpy cursors and a device that stalls. Each records the bytes it played.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "sound/dsound_device.h"
#include "sound/waveout_device.h"
#include "vexa/movie.h"

struct SimWaveOut {
  void* Device = nullptr;  // open
  uint32_t Refuse = 0, BytesPerSecond = 0, Paused = 0, Opens = 0, Levels = 0;
  uint32_t WriteMs = 0, Gaps = 0;  // how long a write takes; times it ran dry while playing
  uint64_t Clock = 0, PlayedAtClock = 0;  // microseconds; the bytes due by then are played
  std::deque<WaveHeader*> Queue;
  uint32_t Offset = 0;  // into the first queued header
  std::vector<uint8_t> Played;
  void Advance(uint32_t ms);
};

struct SimDirectSound {
  uint32_t Missing = 0, RefuseCreate = 0, RefuseSecondary = 0;
  uint32_t Now = 1000, BytesPerSecond = 0, WriteLead = 256;
  std::vector<uint8_t> Ring;
  uint64_t PlayedUs = 0;  // play position in microseconds of sound
  uint32_t Playing = 0, Stalled = 0, LostResults = 0, JumpyReads = 0;
  uint32_t FastReads = 0;  // cursor reads that each take 6 ms of playing: no two alike
  uint32_t Objects = 0, Primaries = 0, Plays = 0, CursorReads = 0;
  int32_t Volume = 1, Pan = 1;
  std::vector<uint8_t> Played;
  uint32_t Play() const;  // the play cursor
  void Advance(uint32_t ms);
};

extern SimWaveOut gSimWaveOut;
extern SimDirectSound gSimDs;

// Fresh simulated devices, bound to the back ends.
void SimSoundReset();

// One hand-over as the core's pump makes it: SoundReady, SoundLock, bytes (at most the region) of
// value, SoundUnlock. The bytes handed over, 0 when no region was ready.
uint32_t SimHandOver(AudioTrack* t, uint8_t value, uint32_t bytes = 0xFFFFFFFFu);

// A movie record that only describes: frames at rate/div, and (when maxBytes is not 0) one track,
// slot 0, whose largest decoded packet is maxBytes.
struct SimMovie {
  Movie M{};
  AudioTrack Tracks[1] = {};
  uint32_t Index = 0, MaxBytes = 0;
  void Describe(uint32_t frames, uint32_t rate, uint32_t div, uint32_t maxBytes = 0);
};
