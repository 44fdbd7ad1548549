#include "core/sound_pump.h"

#include <cstring>

#include "core/movie_internal.h"
#include "platform/platform.h"

uint32_t SoundRingUsed(const AudioTrack* t) {
  int64_t used = SoundRingLoad(t->PcmWrite) - SoundRingLoad(t->PcmRead);
  if (used < 0) used += t->PcmRingBytes;
  return uint32_t(used);
}

// Copies n ring bytes from PcmRead into dest, wrapping at the ring's end; with narrow, each
// 16-bit sample becomes the unsigned 8-bit sample of its high byte.
static void TakeFromRing(AudioTrack* t, uint8_t* dest, uint32_t n, bool narrow) {
  uint8_t* read = t->PcmRead;  // only this side moves it
  while (n > 0) {
    uint32_t piece = uint32_t(t->PcmRingEnd - read);
    if (piece > n) piece = n;
    if (narrow) {
      for (uint32_t k = 0; k + 1 < piece; k += 2) *dest++ = uint8_t(read[k + 1] ^ 0x80);
    } else {
      std::memcpy(dest, read, piece);
      dest += piece;
    }
    read += piece;
    if (read >= t->PcmRingEnd) read = t->PcmRing;
    n -= piece;
  }
  SoundRingStore(t->PcmRead, read);
}

// Feeds one channel while it has regions ready and the ring has enough to give; in the end zone
// (or when everything is asked for) partial chunks go too.
static void PumpTrack(Movie* m, AudioTrack* t, bool everything) {
  const bool endZone = everything || m->FrameNum > t->EndFrame;
  const bool narrow = t->Narrow8 != 0;
  while (t->Ops.SoundReady(t)) {
    uint32_t avail = SoundRingUsed(t);
    if (avail == 0 || (avail <= t->ChunkBytes && !endZone)) return;
    uint8_t* region = nullptr;
    uint32_t size = 0;
    if (!t->Ops.SoundLock(t, &region, &size) || !region) return;
    uint64_t room = narrow ? uint64_t(size) * 2 : size;
    uint32_t n = room < avail ? uint32_t(room) : avail;
    if (!endZone) n &= t->SampleMask << (narrow ? 1 : 0);
    if (narrow) n &= ~1u;  // whole 16-bit samples only
    if (n == 0) {
      // Less than one whole sample is left (an odd byte, or less than the sample mask's unit):
      // nothing can go now, and asking again would spin on a back end that is always ready.
      t->Ops.SoundUnlock(t, 0);
      return;
    }
    TakeFromRing(t, region, n, narrow);
    t->Ops.SoundUnlock(t, narrow ? n / 2 : n);
  }
}

static void PumpTracks(Movie* m, bool everything) {
  for (uint32_t i = 0; i < m->NumOpenTracks; ++i) {
    AudioTrack* t = &m->Tracks[i];
    if (t->Ops.SoundReady && t->Ops.SoundLock && t->Ops.SoundUnlock) PumpTrack(m, t, everything);
  }
}

void SoundPump(Movie* m) {
  if (m->NumOpenTracks == 0 || m->FramesPlayed == 0) return;
  if (!m->Tracks[m->NumOpenTracks - 1].Ops.SoundReady) return;
  PlatformMutex* mutex = MovieSoundMutex(m);
  if (mutex && !PlatformMutexTryLock(mutex)) return;
  PumpTracks(m, false);
  if (mutex) PlatformMutexUnlock(mutex);
}

void SoundPumpRest(Movie* m) {
  if (m->NumOpenTracks == 0) return;
  PlatformMutex* mutex = MovieSoundMutex(m);
  if (mutex) PlatformMutexLock(mutex);
  PumpTracks(m, true);
  if (mutex) PlatformMutexUnlock(mutex);
}

uint32_t SoundNodeNeed(ServiceNode* node, uint32_t pass) {
  Movie* m = static_cast<Movie*>(node->Owner);
  return m->SoundServiced == pass ? 0 : 0xFFFFFFFFu - m->SoundServiced;
}

void SoundNodeServe(ServiceNode* node, uint32_t pass) {
  Movie* m = static_cast<Movie*>(node->Owner);
  if (m->NumOpenTracks) SoundPump(m);
  m->SoundServiced = pass;
}
