// Pausing and resuming a movie: the sound channels pause, and the timing run is frozen so that
// it continues where it stopped.
#include "core/movie_internal.h"
#include "core/movie_timing.h"
#include "core/sound_pump.h"
#include "platform/platform.h"

static void PauseChannels(Movie* m, uint32_t on) {
  PlatformMutex* mutex = MovieSoundMutex(m);
  if (mutex) PlatformMutexLock(mutex);
  for (uint32_t i = 0; i < m->NumOpenTracks; ++i) {
    AudioTrack* t = &m->Tracks[i];
    if (t->Ops.SoundPause) t->Ops.SoundPause(t, int(on));
  }
  if (mutex) PlatformMutexUnlock(mutex);
}

uint32_t MoviePause(Movie* m, uint32_t on) {
  if (!m) return 0;
  MovieCloseBlitInterval(m, MovieTimerMs());
  const uint32_t wasPaused = m->Paused;
  m->LastFrameEnd = 0;  // the pause is not a slow frame
  m->Paused = on ? 1 : 0;
  PauseChannels(m, m->Paused);
  const uint32_t now = MovieTimerMs();
  if (m->Paused && !wasPaused) {
    m->PausedOffset = m->TimerBase ? now - m->TimerBase : 0;
  } else if (!m->Paused && wasPaused) {
    if (m->NumOpenTracks) SoundPump(m);
    // Without a run to continue, the next timing call starts a fresh one at the current frame
    // (a base of "now" against an old base frame would make every later frame look late).
    m->TimerBase = m->PausedOffset ? now - m->PausedOffset : 0;
  }
  return m->Paused;
}
