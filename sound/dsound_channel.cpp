// The DirectSound back end's channels: one looping buffer of 0.6 s each, filled once before it
// starts, then refilled behind the play cursor as polls find it moved. Every wait is bounded: the
// operations run under the movie's sound mutex, and a device that stalls must not stall the
// player with it.
#include <cmath>
#include <cstring>

#include "platform/mem.h"
#include "sound/dsound_device.h"
#include "sound/sound_track.h"
#include "vexa/sound.h"

namespace {

constexpr uint32_t kMaxRate = 256000;
constexpr uint32_t kMaxRegionBytes = 16384;
constexpr uint32_t kSafetyGap = 1024;      // never written closer than this behind the play cursor
constexpr uint32_t kPollCacheMs = 13;      // cursors read within this are reused
constexpr uint32_t kStaleMs = 540;         // no poll for this long: the device ran dry meanwhile
constexpr uint32_t kJumpBytes = 1024;      // cursors moving this much within a triple read
constexpr uint32_t kCursorRounds = 4;      // triple reads before a poll gives up
constexpr uint32_t kLostTries = 5;         // lost-buffer restores before an operation gives up
constexpr uint32_t kStartWaitMs = 500;     // longest wait for the play cursor to move at the start
constexpr uint32_t kReplayMs = 51;         // Play again when the cursor has not moved for this long
constexpr uint32_t kStopWaitMs = 250;      // longest wait for the buffer to report it stopped

struct DirectSoundChannel {
  const DirectSoundDevice* Api;
  void* Buffer;
  uint32_t BufferBytes;   // ring size
  uint32_t RefillBytes;   // region granule
  uint32_t RegionLimit;   // the largest region handed out
  uint32_t FrameBytes;
  uint32_t Frequency;
  int32_t Volume;         // 0..32767
  int32_t Pan;            // 0..65536
  uint32_t Started;
  uint32_t Paused;
  uint32_t WriteOffset;   // where the next region starts
  uint32_t LockBytes;     // size of the next region; before the start, what it still needs
  uint32_t StartBytes;
  uint32_t LastWriteCursor, LastPlayCursor;
  uint32_t RefillLimit;   // room this large means the device played (nearly) everything
  uint32_t LastPollTime;
  DirectSoundRegion Locked;
  uint32_t ChannelMapCount, ChannelLevelCount;
  uint32_t ChannelMap[8];
  uint32_t ChannelIds[8];
  int32_t ChannelLevels[8];
};

DirectSoundChannel* Channel(AudioTrack* t) { return static_cast<DirectSoundChannel*>(t->BackEnd); }

uint8_t Silence(const AudioTrack* t) { return t->Bits == 8 ? 128 : 0; }

// Forward distance from a to b in the ring.
uint32_t Distance(const DirectSoundChannel* d, uint32_t a, uint32_t b) {
  return b >= a ? b - a : d->BufferBytes - a + b;
}

uint32_t Wrap(const DirectSoundChannel* d, uint64_t offset) {
  return uint32_t(offset % d->BufferBytes);
}

// Runs op; while it reports a lost buffer, waits 10 ms, restores the buffer and runs it again,
// a few times at most.
template <typename Op>
int32_t RetryLost(DirectSoundChannel* d, Op op) {
  int32_t r = op();
  for (uint32_t k = 0; r == kDsBufferLost && k < kLostTries; ++k) {
    d->Api->Sleep(10);
    d->Api->Restore(d->Buffer);
    r = op();
  }
  return r;
}

int32_t Play(DirectSoundChannel* d) {
  return RetryLost(d, [d] { return d->Api->Play(d->Buffer, kDsPlayLooping); });
}

void SilenceFill(AudioTrack* t, DirectSoundChannel* d, uint32_t offset, uint32_t bytes) {
  if (bytes == 0) return;
  DirectSoundRegion r = {};
  if (RetryLost(d, [&] { return d->Api->Lock(d->Buffer, offset, bytes, &r); }) < 0) return;
  if (r.Part1) std::memset(r.Part1, Silence(t), r.Part1Bytes);
  if (r.Part2) std::memset(r.Part2, Silence(t), r.Part2Bytes);
  d->Api->Unlock(d->Buffer, &r);
}

// Volume 0..32767 as hundredths of a decibel; 0 is -10000 (silent).
int32_t Attenuation(int32_t v, float scale) {
  if (v <= 0) return -10000;
  if (v > 32767) v = 32767;
  const int32_t level = int32_t(std::log10(float(v) * 3.051851e-5f) * scale);
  return level < -10000 ? -10000 : level;
}

void ApplySettings(DirectSoundChannel* d) {
  if (!d->Buffer) return;
  const int32_t pan = d->Pan < 65536 ? d->Pan : 65536;
  d->Api->SetFrequency(d->Buffer, d->Frequency);
  d->Api->SetPan(d->Buffer, (pan - 32768) * 10000 / 32768);
  d->Api->SetVolume(d->Buffer, Attenuation(d->Volume, 3333.3333f));
}

// Reads both cursors three times in a row, again while the third reading is 1024 bytes or more
// ahead of the first; false when the device fails or keeps jumping.
bool ReadCursors(DirectSoundChannel* d, uint32_t* play, uint32_t* write) {
  for (uint32_t round = 0; round < kCursorRounds; ++round) {
    uint32_t p[3], w[3];
    for (int k = 0; k < 3; ++k)
      if (d->Api->GetCursors(d->Buffer, &p[k], &w[k]) < 0) return false;
    if (p[2] - p[0] < kJumpBytes && w[2] - w[0] < kJumpBytes) {
      *play = p[2] % d->BufferBytes;
      *write = w[2] % d->BufferBytes;
      return true;
    }
  }
  return false;
}

// Silences the part of the ring the device has played since the last poll, so that a device the
// pump does not keep up with (or that plays on after the movie's last region) plays silence rather
// than the sound it played a lap ago. Sound written and not yet played lies ahead of the play
// cursor and is never in that part; when the device ran past the last region, all of it was played.
void SilencePlayed(AudioTrack* t, DirectSoundChannel* d, uint32_t from, uint32_t play) {
  SilenceFill(t, d, from, Distance(d, from, play));
}

enum class Poll { Untrusted, Fresh, Stale };

// The play cursor for this poll: the cached one within 13 ms of the last poll, else read afresh.
Poll PollCursors(AudioTrack* t, DirectSoundChannel* d, uint32_t* play) {
  const uint32_t now = d->Api->Now();
  if (now - d->LastPollTime < kPollCacheMs) {
    *play = d->LastPlayCursor;
    return Poll::Fresh;
  }
  uint32_t p, w;
  if (!ReadCursors(d, &p, &w)) return Poll::Untrusted;
  const uint32_t playMoved = Distance(d, d->LastPlayCursor, p);
  const uint32_t writeMoved = Distance(d, d->LastWriteCursor, w);
  const uint32_t lastPlay = d->LastPlayCursor;
  d->LastPlayCursor = p;
  d->LastWriteCursor = w;
  // Cursors that moved apart by more than half the ring cannot both be right: this reading only
  // becomes the one the next is judged against (kept for good, a jump would stop every poll).
  const uint32_t apart = playMoved > writeMoved ? playMoved - writeMoved : writeMoved - playMoved;
  if (apart > d->BufferBytes / 2) return Poll::Untrusted;
  const bool stale = now - d->LastPollTime >= kStaleMs;
  d->LastPollTime = now;
  *play = p;
  if (!stale) SilencePlayed(t, d, lastPlay, p);
  return stale ? Poll::Stale : Poll::Fresh;
}

enum class Room { None, Region, Underrun };

// The room behind the play cursor, less the safety gap, in whole samples.
Room RoomBefore(DirectSoundChannel* d, uint32_t play) {
  const uint32_t free = Distance(d, d->WriteOffset, play);
  const uint32_t usable = free < kSafetyGap ? 0 : (free - kSafetyGap) & ~3u;
  if (usable < d->RefillBytes && (d->LockBytes == 0 || usable == 0)) return Room::None;
  if (usable >= d->RefillLimit) return Room::Underrun;
  d->LockBytes = usable;
  return Room::Region;
}

// The device played (nearly) everything written: silence where it is about to play and continue
// after it. Sound still queued beyond the device's write cursor (the last tenth of the ring) is
// kept: the silence goes after it. After a stale poll the device may have lapped the ring, and
// only its write cursor tells where it is.
void Underrun(AudioTrack* t, DirectSoundChannel* d, bool stale) {
  t->Underrun = 1;
  uint32_t from = d->LastWriteCursor - d->LastWriteCursor % d->FrameBytes;
  const uint32_t play = d->LastPlayCursor;
  if (!stale && Distance(d, play, d->WriteOffset) > Distance(d, play, from)) from = d->WriteOffset;
  SilenceFill(t, d, from, 2 * d->RefillBytes);
  d->WriteOffset = Wrap(d, uint64_t(from) + 2 * d->RefillBytes);
}

int DirectSoundReady(AudioTrack* t) {
  DirectSoundChannel* d = Channel(t);
  if (!d || d->Paused || !t->IsOn) return 0;
  if (!d->Started) return d->LockBytes != 0;
  for (int pass = 0; pass < 2; ++pass) {
    uint32_t play = 0;
    const Poll poll = PollCursors(t, d, &play);
    if (poll == Poll::Untrusted) return 0;
    const Room room = poll == Poll::Stale ? Room::Underrun : RoomBefore(d, play);
    if (room != Room::Underrun) return room == Room::Region;
    if (pass == 1) return 0;  // at most one underrun per call
    Underrun(t, d, poll == Poll::Stale);
  }
  return 0;
}

int DirectSoundLock(AudioTrack* t, uint8_t** region, uint32_t* size) {
  DirectSoundChannel* d = Channel(t);
  if (!d || !t->IsOn || d->Locked.Part1 || d->LockBytes == 0) return 0;
  const uint32_t bytes = d->LockBytes < d->RegionLimit ? d->LockBytes : d->RegionLimit;
  DirectSoundRegion r = {};
  if (RetryLost(d, [&] { return d->Api->Lock(d->Buffer, d->WriteOffset, bytes, &r); }) < 0)
    return 0;
  if (!r.Part1 || r.Part1Bytes == 0) {
    d->Api->Unlock(d->Buffer, &r);
    return 0;
  }
  // A region that wraps is written in two rounds: the next SoundReady reaches the second part.
  d->Locked = r;
  *region = r.Part1;
  *size = r.Part1Bytes - r.Part1Bytes % d->FrameBytes;
  return 1;
}

void StartPlayback(AudioTrack*, DirectSoundChannel* d) {
  d->Started = 1;
  d->Paused = 0;
  Play(d);
  // Wait until the play cursor moves: then the device plays what was written.
  const DirectSoundDevice* api = d->Api;
  const uint32_t begin = api->Now();
  uint32_t since = begin, first = 0, play = 0, write = 0;
  api->GetCursors(d->Buffer, &first, &write);
  for (uint32_t k = 0; k < kStartWaitMs && api->Now() - begin < kStartWaitMs; ++k) {
    if (api->GetCursors(d->Buffer, &play, &write) >= 0 && play != first) break;
    if (api->Now() - since >= kReplayMs) {
      Play(d);
      since = api->Now();
      api->GetCursors(d->Buffer, &first, &write);
    }
    api->Sleep(1);
  }
  d->LastPlayCursor = play % d->BufferBytes;
  d->LastWriteCursor = write % d->BufferBytes;
  d->LastPollTime = api->Now();
}

int DirectSoundUnlock(AudioTrack* t, uint32_t bytes) {
  DirectSoundChannel* d = Channel(t);
  if (!d || !t->IsOn || !d->Locked.Part1) return 0;
  DirectSoundRegion r = d->Locked;
  d->Locked = {};
  if (bytes > r.Part1Bytes) bytes = r.Part1Bytes;
  bytes -= bytes % d->FrameBytes;
  // What the pump left unwritten is silence, should the device reach it before the next region.
  std::memset(r.Part1 + bytes, Silence(t), r.Part1Bytes - bytes);
  if (r.Part2) std::memset(r.Part2, Silence(t), r.Part2Bytes);
  d->Api->Unlock(d->Buffer, &r);
  d->WriteOffset = Wrap(d, uint64_t(d->WriteOffset) + bytes);
  d->LockBytes -= bytes < d->LockBytes ? bytes : d->LockBytes;
  if (!d->Started && d->LockBytes == 0 && !d->Paused) StartPlayback(t, d);
  return 1;
}

void DirectSoundSetVolume(AudioTrack* t, uint32_t volume) {
  DirectSoundChannel* d = Channel(t);
  if (!d) return;
  d->Volume = int32_t(volume < 32767 ? volume : 32767);
  ApplySettings(d);
}

void DirectSoundSetPan(AudioTrack* t, uint32_t pan) {
  DirectSoundChannel* d = Channel(t);
  if (!d) return;
  d->Pan = int32_t(pan < 65536 ? pan : 65536);
  ApplySettings(d);
}

void DirectSoundSetChannelMap(AudioTrack* t, const uint32_t* map, uint32_t count) {
  DirectSoundChannel* d = Channel(t);
  if (!d) return;
  d->ChannelMapCount = count < 8 ? count : 8;
  if (map) std::memcpy(d->ChannelMap, map, d->ChannelMapCount * sizeof(uint32_t));
  ApplySettings(d);
}

// Stores the ids and the volumes (0..32767) as hundredths of a decibel; they are kept only.
void DirectSoundSetChannelVolumes(AudioTrack* t, const uint32_t* ids, const uint32_t* volumes,
                                  uint32_t count) {
  DirectSoundChannel* d = Channel(t);
  if (!d) return;
  const uint32_t n = count < 8 ? count : 8;
  d->ChannelLevelCount = n;
  for (uint32_t k = 0; k < n; ++k) {
    d->ChannelIds[k] = ids ? ids[k] : 0;
    d->ChannelLevels[k] = volumes ? Attenuation(int32_t(volumes[k]), 2000.0f) : -10000;
  }
  ApplySettings(d);
}

int DirectSoundPause(AudioTrack* t, int on) {
  DirectSoundChannel* d = Channel(t);
  if (!d) return 0;
  if (on) {
    if (d->Started) d->Api->Stop(d->Buffer);
    d->Paused = 1;
    return 1;
  }
  d->Paused = 0;
  if (d->Started) {
    Play(d);
    d->LastPollTime = d->Api->Now();  // the pause is no sign of a device that ran dry
  } else if (d->LockBytes == 0 && t->IsOn) {
    StartPlayback(t, d);
  }
  return 0;
}

int DirectSoundOnOff(AudioTrack* t, int on) {
  DirectSoundChannel* d = Channel(t);
  if (!d) return 0;
  if (on && !t->IsOn) {
    t->IsOn = 1;
    d->Started = 0;
    d->WriteOffset = 0;
    d->LockBytes = d->StartBytes;
  } else if (!on && t->IsOn) {
    if (d->Locked.Part1) d->Api->Unlock(d->Buffer, &d->Locked);
    d->Locked = {};
    if (d->Api->Stop(d->Buffer) >= 0) {
      const uint32_t begin = d->Api->Now();
      uint32_t status = 1;
      for (uint32_t k = 0; k < kStopWaitMs && d->Api->Now() - begin < kStopWaitMs; ++k) {
        if (d->Api->GetStatus(d->Buffer, &status) < 0 || status == 0) break;
        d->Api->Sleep(1);
      }
    }
    d->Api->SetPosition(d->Buffer, 0);
    SilenceFill(t, d, 0, d->BufferBytes);
    d->Started = 0;
    t->IsOn = 0;
  }
  return int(t->IsOn);
}

void DirectSoundClose(AudioTrack* t) {
  DirectSoundChannel* d = Channel(t);
  if (!d) return;
  if (d->Locked.Part1) d->Api->Unlock(d->Buffer, &d->Locked);
  d->Api->Stop(d->Buffer);
  d->Api->ReleaseBuffer(d->Buffer);
  MemFree(d);
  t->BackEnd = nullptr;
  t->IsOn = 0;
  DirectSoundChannelsChange(-1);
  DirectSoundRelease();
}

void InstallOps(AudioTrack* t) {
  t->Ops.SoundReady = DirectSoundReady;
  t->Ops.SoundLock = DirectSoundLock;
  t->Ops.SoundUnlock = DirectSoundUnlock;
  t->Ops.SoundSetVolume = DirectSoundSetVolume;
  t->Ops.SoundSetPan = DirectSoundSetPan;
  t->Ops.SoundPause = DirectSoundPause;
  t->Ops.SoundOnOff = DirectSoundOnOff;
  t->Ops.SoundClose = DirectSoundClose;
  t->Ops.SoundSetChannelMap = DirectSoundSetChannelMap;
  t->Ops.SoundSetChannelVolumes = DirectSoundSetChannelVolumes;
}

// Sizes from the format: a 0.6 s ring rounded up to 1024 bytes, a 50 ms granule rounded up to
// 256 bytes (no larger than the track's ring delivers in one go).
void Size(DirectSoundChannel* d, const AudioTrack* t, const Movie* m, uint32_t bps) {
  d->BufferBytes = uint32_t((uint64_t(bps) * 600 / 1000 + 1023) & ~uint64_t{1023});
  d->RegionLimit = SoundRegionLimit(t, m, t->Bits, d->FrameBytes, kMaxRegionBytes);
  const uint32_t refill = uint32_t((uint64_t(bps) * 50 / 1000 + 255) & ~uint64_t{255});
  d->RefillBytes = refill < d->RegionLimit ? refill : d->RegionLimit;
  d->RefillLimit = uint32_t(uint64_t(d->BufferBytes) * 90 / 100);
  // Playback starts with half the ring written: the other half takes up what the track's small
  // ring holds beyond it at the start (a full ring would leave that surplus no room, and the
  // track's ring would drop the next packet's sound).
  const uint32_t total = SoundMovieTotalBytes(m, bps);
  const uint32_t half = d->BufferBytes / 2;
  d->StartBytes = total < half ? total : half;
  d->StartBytes -= d->StartBytes % d->FrameBytes;  // regions hold whole samples
  if (d->StartBytes == 0) d->StartBytes = d->FrameBytes;
}

// The primary buffer, for the first channel after the cooperative level was set: it plays in the
// channel's format.
void SetUpPrimary(const DirectSoundDevice* api, const DirectSoundFormat* format) {
  if (!DirectSoundTakePrimaryPending()) return;
  void* primary = nullptr;
  if (api->CreatePrimary(DirectSoundObject(), &primary) < 0 || !primary) return;
  api->SetFormat(primary, format);
  api->Play(primary, kDsPlayLooping);
  DirectSoundKeepPrimary(primary);
}

}  // namespace

int DirectSoundChannelOpen(AudioTrack* t, uint32_t rate, uint32_t bits, uint32_t channels,
                           uint32_t, Movie* m) {
  if (!t) return 0;
  std::memset(t, 0, sizeof(*t));
  if (rate == 0) rate = 44100;
  if ((bits != 8 && bits != 16) || (channels != 1 && channels != 2) || rate > kMaxRate) return 0;
  const DirectSoundDevice* api = DirectSoundApi();
  if (!api || !DirectSoundAcquire()) return 0;
  const DirectSoundFormat format = {rate, bits, channels};
  SetUpPrimary(api, &format);
  DirectSoundChannel* d = static_cast<DirectSoundChannel*>(MemAlloc(sizeof(DirectSoundChannel)));
  if (!d) {
    DirectSoundRelease();
    return 0;
  }
  t->Rate = rate;
  t->Bits = bits;
  t->Channels = channels;
  d->Api = api;
  d->FrameBytes = bits / 8 * channels;
  d->Frequency = rate;
  Size(d, t, m, d->FrameBytes * rate);
  if (api->CreateSecondary(DirectSoundObject(), &format, d->BufferBytes, &d->Buffer) < 0 ||
      !d->Buffer) {
    MemFree(d);
    std::memset(t, 0, sizeof(*t));
    DirectSoundRelease();
    return 0;
  }
  t->BackEnd = d;
  t->ChunkBytes = bits == 8 ? d->RefillBytes * 2 : d->RefillBytes;
  d->Volume = d->Pan = 32767;
  ApplySettings(d);
  SilenceFill(t, d, 0, d->BufferBytes);
  InstallOps(t);
  DirectSoundChannelsChange(1);
  d->LockBytes = d->StartBytes;
  t->IsOn = 1;
  if (m) m->TotalMemory += uint32_t(sizeof(DirectSoundChannel));
  return 1;
}
