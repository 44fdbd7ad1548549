// Frame timing: a run starts at a base time and frame; frame n of the run is due n frame times
// after the base. Late frames lose their copy when the movie has sound (the sound sets the pace),
// and restart the run when it has none (the movie slows down instead).
#include "core/movie_timing.h"

namespace {

constexpr int32_t kFarBehindMs = 725;
constexpr uint32_t kShowEveryNthLate = 3;  // after three dropped copies one is shown

}  // namespace

void MovieStartRun(Movie* m, uint32_t now) {
  m->TimerBase = now ? now : 1;  // 0 means "no run"
  m->PausedOffset = 0;
  m->TimerBaseFrame = m->FramesPlayed - 1;
}

int32_t MovieLateness(const Movie* m, uint32_t now) {
  uint64_t frames = uint32_t(m->FramesPlayed - m->TimerBaseFrame);
  uint32_t due = uint32_t(frames * m->FrameRateDiv * 1000 / m->FrameRate);
  uint32_t scaled = uint32_t((uint64_t(due) * m->Tracks[0].SpeedFactor) >> 16);
  return int32_t(now - scaled - m->TimerBase);
}

void MovieCloseBlitInterval(Movie* m, uint32_t now) {
  if (m->CopyStart != 0 && m->CopyStart != kCopyArmed) {
    m->BlitTime += now - m->CopyStart;
    m->CopyStart = 0;
  }
}

uint32_t MovieShouldSkip(Movie* m, uint32_t peek) {
  if (!m) return 0;
  const uint32_t now = MovieTimerMs();
  if (m->TimerBase == 0) MovieStartRun(m, now);
  if (m->FrameRate != 0) {
    int32_t late = MovieLateness(m, now);
    if (late >= 0 && uint32_t(late) > m->SlackMs) {
      if (m->NumOpenTracks == 0) {
        MovieStartRun(m, now);
      } else {
        if (late > kFarBehindMs) m->FarBehind = 1;
        if (m->SkipRun >= kShowEveryNthLate) {
          m->SkipRun = 0;
        } else {
          m->SkipRun++;
          if (peek) return 1;
          m->SkippedBlits++;
          m->SkipState = 2;
          m->SkippedLast = 1;
          return 1;
        }
      }
    }
  }
  m->SkipState = 1;
  return 0;
}
