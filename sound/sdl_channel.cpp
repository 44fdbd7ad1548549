// The SDL2 back end. The channel hands out one region at a time and appends it to the device's
// queue (SDL_QueueAudio); the queue holds at most a second. Movies carry each frame's sound with
// the frame, and the picture's clock starts at the first frame: whatever is queued before the
// device starts plays that much behind the picture. So the device starts once the least amount
// that cannot run dry is queued: one frame's sound (the longest wait for the next frame's), one
// device buffer (what the device takes at once) and one region (what the core keeps back). At
// 25 frames a second that is two frames' sound, and the sound trails the picture by about 90 ms.
// A started queue found empty ran dry: that is an underrun, and the queue fills to the start
// amount again before the device resumes. The device's own buffer, which plays after the queue,
// is the channel's latency.
#include "sound/sdl_channel.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/mem.h"
#include "sound/sound_track.h"
#include "vexa/movie.h"

namespace {

constexpr uint32_t kMaxRate = 256000;
constexpr uint32_t kRegionsPerSecond = 16;
constexpr uint32_t kStartFraction = 8;  // of a second, for a movie without a frame rate

struct SdlChannel {
  SDL_AudioDeviceID Device;
  uint8_t* Region;
  uint32_t RegionBytes;
  uint32_t Locked;         // the region is handed out
  uint32_t Paused;
  uint32_t Started;        // the device plays what is queued
  uint32_t QueueLimit;     // bytes the queue may hold
  uint32_t StartBytes;     // amount to queue before starting
  uint64_t QueuedBytes;    // since the queue (re)started
  uint64_t TotalQueued;    // since the channel opened
  uint32_t TotalBytes;     // the movie's whole sound
};

SdlChannel* Channel(AudioTrack* t) { return static_cast<SdlChannel*>(t->BackEnd); }

// The device plays when the queue has started and the channel is not paused.
void ApplyPlaying(SdlChannel* c) { SDL_PauseAudioDevice(c->Device, c->Started && !c->Paused ? 0 : 1); }

void Restart(SdlChannel* c) {
  c->Started = 0;
  c->QueuedBytes = 0;
  ApplyPlaying(c);
}

int SdlReady(AudioTrack* t) {
  SdlChannel* c = Channel(t);
  if (!c || c->Paused || !t->IsOn) return 0;
  const uint32_t queued = SDL_GetQueuedAudioSize(c->Device);
  if (c->Started && queued == 0) {
    t->Underrun = 1;
    Restart(c);
  }
  return queued + c->RegionBytes <= c->QueueLimit;
}

int SdlLock(AudioTrack* t, uint8_t** region, uint32_t* size) {
  SdlChannel* c = Channel(t);
  if (!c || !t->IsOn || c->Paused) return 0;
  c->Locked = 1;
  *region = c->Region;
  *size = c->RegionBytes;
  return 1;
}

int SdlUnlock(AudioTrack* t, uint32_t bytes) {
  SdlChannel* c = Channel(t);
  if (!c || !c->Locked || !t->IsOn) return 0;
  c->Locked = 0;
  if (bytes > c->RegionBytes) bytes = c->RegionBytes;
  if (bytes == 0) return 1;
  if (SDL_QueueAudio(c->Device, c->Region, bytes) != 0) return 0;
  c->QueuedBytes += bytes;
  c->TotalQueued += bytes;
  if (!c->Started && (c->QueuedBytes >= c->StartBytes || c->TotalQueued >= c->TotalBytes)) {
    c->Started = 1;
    ApplyPlaying(c);
  }
  return 1;
}

int SdlPause(AudioTrack* t, int on) {
  SdlChannel* c = Channel(t);
  if (!c) return 0;
  c->Paused = on ? 1 : 0;
  ApplyPlaying(c);
  return int(c->Paused);
}

// Off drops what is queued and stops; on starts a fresh queue.
int SdlOnOff(AudioTrack* t, int on) {
  SdlChannel* c = Channel(t);
  if (!c) return 0;
  if (!on) {
    SDL_ClearQueuedAudio(c->Device);
    c->Locked = 0;
  }
  Restart(c);
  t->IsOn = on ? 1 : 0;
  return int(t->IsOn);
}

void SdlClose(AudioTrack* t) {
  SdlChannel* c = Channel(t);
  if (!c) return;
  SDL_CloseAudioDevice(c->Device);
  MemFree(c);
  t->BackEnd = nullptr;
  t->IsOn = 0;
}

void InstallOps(AudioTrack* t) {
  t->Ops.SoundReady = SdlReady;
  t->Ops.SoundLock = SdlLock;
  t->Ops.SoundUnlock = SdlUnlock;
  t->Ops.SoundPause = SdlPause;
  t->Ops.SoundOnOff = SdlOnOff;
  t->Ops.SoundClose = SdlClose;
}

// A device buffer of about 20 ms, in sample frames (a power of two, as SDL prefers).
uint16_t DeviceFrames(uint32_t rate) {
  uint32_t frames = 256;
  while (frames < 4096 && frames * 50 < rate) frames *= 2;
  return uint16_t(frames);
}

// Bytes to queue before the device starts (see the top of the file): at most the whole movie,
// and no more than the queue can take (a slide show's frame may hold seconds of sound).
uint32_t StartBytes(const Movie* m, uint32_t bps, uint32_t deviceBytes, const SdlChannel* c) {
  uint64_t start = bps / kStartFraction;
  if (m && m->FrameRate && m->FrameRateDiv)
    start = uint64_t(bps) * m->FrameRateDiv / m->FrameRate + deviceBytes + c->RegionBytes;
  start = std::min<uint64_t>((start + 31) & ~uint64_t(31), c->QueueLimit - c->RegionBytes);
  return start < c->TotalBytes ? uint32_t(start) : c->TotalBytes;
}

SDL_AudioDeviceID OpenDevice(uint32_t rate, uint32_t bits, uint32_t channels, uint32_t* latencyMs,
                             uint32_t* deviceFrames) {
  SDL_AudioSpec want{}, have{};
  want.freq = int(rate);
  want.format = bits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
  want.channels = uint8_t(channels);
  want.samples = DeviceFrames(rate);
  // No allowed changes: SDL converts to the device's own format behind the queue.
  const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device && have.freq > 0) {
    *latencyMs = uint32_t(uint64_t(have.samples) * 1000 / uint32_t(have.freq));
    *deviceFrames = have.samples;
  }
  return device;
}

}  // namespace

SoundOpenFunction SoundUseSdl(void*) {
  if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
  return SdlChannelOpen;
}

int SdlChannelOpen(AudioTrack* t, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t,
                   Movie* m) {
  if (!t) return 0;
  std::memset(t, 0, sizeof(*t));
  if (!SDL_WasInit(SDL_INIT_AUDIO) || (bits != 8 && bits != 16) ||
      (channels != 1 && channels != 2) || rate == 0 || rate > kMaxRate)
    return 0;
  const uint32_t frameBytes = bits / 8 * channels;
  const uint32_t bps = frameBytes * rate;
  const uint32_t region =
      SoundRegionLimit(t, m, bits, frameBytes, (bps / kRegionsPerSecond + 31) & ~31u);
  uint8_t* memory = nullptr;
  SdlChannel* c = nullptr;
  if (MemPlanFor(&memory, region)) c = static_cast<SdlChannel*>(MemAlloc(uint32_t(sizeof(SdlChannel))));
  if (!c) return 0;
  uint32_t latency = 0, deviceFrames = 0;
  c->Device = OpenDevice(rate, bits, channels, &latency, &deviceFrames);
  if (!c->Device) {
    MemFree(c);
    return 0;
  }
  c->Region = memory;
  c->RegionBytes = region;
  c->QueueLimit = bps > 2 * region ? bps : 2 * region;
  c->TotalBytes = SoundMovieTotalBytes(m, bps);
  c->StartBytes = StartBytes(m, bps, deviceFrames * frameBytes, c);
  t->BackEnd = c;
  t->Rate = rate;
  t->Bits = bits;
  t->Channels = channels;
  t->ChunkBytes = bits == 8 ? region * 2 : region;
  t->LatencyMs = latency;
  t->IsOn = 1;
  InstallOps(t);
  if (m) m->TotalMemory += uint32_t(sizeof(SdlChannel)) + region;
  return 1;
}
