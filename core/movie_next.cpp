// Waiting for the next frame's due time (reading ahead meanwhile) and stepping to the next
// packet, resynchronising sound and picture when the sound ran dry or the video fell far behind.
#include "core/movie_internal.h"
#include "core/movie_timing.h"
#include "core/sound_pump.h"
#include "platform/platform.h"

namespace {

PlatformMutex* IoMutex(Movie* m) { return m->Reader.IoNode.NodeMutex; }

// Whether some open track ran dry before the end zone (each flag read is cleared).
bool SoundRanDry(Movie* m) {
  bool dry = false;
  for (uint32_t k = 0; k < m->NumOpenTracks; ++k) {
    AudioTrack* t = &m->Tracks[k];
    if (t->Underrun) {
      t->Underrun = 0;
      if (m->FrameNum > 1 && m->FrameNum <= t->EndFrame) dry = true;
    }
  }
  return dry;
}

// Takes whichever of the two mutexes is free first, then the other; a missing one is skipped.
void LockBoth(PlatformMutex* a, PlatformMutex* b) {
  if (a && b) {
    PlatformWaitable both[2] = {PlatformWaitableMutex(a), PlatformWaitableMutex(b)};
    int first = PlatformWaitAny(both, 2, PlatformWaitForever);
    PlatformMutexLock(first == 0 ? b : a);
    if (first != 0 && first != 1) PlatformMutexLock(b);  // cannot happen without a time limit
    return;
  }
  if (a) PlatformMutexLock(a);
  if (b) PlatformMutexLock(b);
}

// Sound off, the read-ahead ring refilled to 29/32 of its target, a new timing run, sound on.
void Resynchronise(Movie* m) {
  m->SoundSkips++;
  PlatformMutex* io = IoMutex(m);
  PlatformMutex* sound = MovieSoundMutex(m);
  LockBoth(io, sound);
  MovieSoundOnOff(m, 0);
  StreamReader* r = &m->Reader;
  if (!m->Preloaded)
    while (r->Used < uint64_t(r->FillTarget) * 29 / 32) {
      uint32_t got = r->StreamFill(r, 0);
      if (got == 0 || got == STREAM_FILL_BUSY) break;
    }
  m->TimerBase = 0;
  m->PausedOffset = 0;
  MovieSoundOnOff(m, 1);
  if (sound) PlatformMutexUnlock(sound);
  if (io) PlatformMutexUnlock(io);
}

// Uses a wait for reading ahead: one chunk when the ring is low and the IO mutex is free.
void ReadAheadWhileWaiting(Movie* m) {
  StreamReader* r = &m->Reader;
  if (m->Preloaded || !r->StreamFill) return;
  uint32_t target = m->PeakSecondBytes < r->FillTarget ? m->PeakSecondBytes : r->FillTarget;
  if (!(m->OpenFlags & OpenNoIoThread) && r->Used >= target / 2) return;
  PlatformMutex* io = IoMutex(m);
  if (io && !PlatformMutexTryLock(io)) return;
  r->StreamFill(r, 0);
  if (io) PlatformMutexUnlock(io);
}

}  // namespace

uint32_t MovieWait(Movie* m) {
  if (!m || (m->FramesPlayed == 0 && !m->Paused) || m->ReadError) return 0;
  const uint32_t now = MovieTimerMs();
  if (m->TimerBase == 0) MovieStartRun(m, now);
  if (m->NumOpenTracks) SoundPump(m);
  MovieCloseBlitInterval(m, now);
  // A movie whose sound could not be turned back on plays on by the clock rather than stall.
  if (!m->Paused && (m->FrameRate == 0 || MovieLateness(m, now) >= 0)) return 0;
  ReadAheadWhileWaiting(m);
  return 1;
}

void MovieNextFrame(Movie* m) {
  if (!m || m->AsyncJob[0] || m->AsyncJob[1]) return;
  if (m->SkipState == 0) MovieShouldSkip(m, 0);
  bool farBehind = m->FarBehind != 0;
  m->FarBehind = 0;
  bool dry = m->NumOpenTracks && SoundRanDry(m);
  if (farBehind || dry) Resynchronise(m);
  m->SkipState = 0;
  m->Reader.Busy = 1;
  if (m->NumOpenTracks) SoundPump(m);
  MovieCloseBlitInterval(m, MovieTimerMs());
  MovieLoadFramePacket(m, m->FrameNum >= m->Frames ? 1 : m->FrameNum + 1);
  m->Reader.Busy = 0;
}
