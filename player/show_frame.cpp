// Showing one frame: finish its decode, advance, start the next decode, copy, blit, statistics.
#include <cstdio>

#include "player/decode_workers.h"
#include "player/main_loop.h"
#include "player/command_line.h"
#include "player/stats_line.h"
#include "player/summary.h"
#include "surface/surface.h"
#include "vexa/copy.h"

namespace {

constexpr uint32_t StatsLineChars = 256;

bool CopyDropped(const Movie* m) { return !(m->OpenFlags & OpenNeverSkip) && m->SkipState == 2; }

// Copies the current plane set into the surface (all of it after a repaint). The next frame's
// change map was begun before this copy could be dropped, so it lacks this frame's changes: the
// copy after a dropped one is whole.
void CopyFrame(PlayerState* p, Movie* m, Surface* s) {
  PlayOptions* o = p->Options;
  if (!SurfaceLock(s)) return;
  MovieCopyToSurface(m, s->Bits, s->Pitch, s->Height, 0, 0, 0, 0, m->Width, m->Height,
                     s->TypeFlags | o->ExtraCopyFlags);
  o->ExtraCopyFlags &= ~CopyAll;
  if (CopyDropped(m)) o->ExtraCopyFlags |= CopyAll;
  SurfaceUnlock(s);
}

void BlitFrame(Movie* m, Surface* s) {
  if (s->TypeFlags & SurfaceDirect) return;
  if (CopyDropped(m)) return;
  const SurfaceRect whole{0, 0, m->Width, m->Height};
  SurfaceBlit(s, &whole, 1);
}

void DrawStatsLine(PlayerState* p, Movie* m) {
  RealtimeStats stats{};
  MovieGetRealtimeStats(m, &stats);
  char text[StatsLineChars];
  FormatStatsLine(text, sizeof text, &stats);
  const HostRect strip{0, p->StatsTop, p->StatsWidth, p->StatsHeight};
  p->Host->DrawTextLine(p->Window, text, &strip, p->StatsWidth / 2);
}

}  // namespace

void ShowNextFrame(PlayerState* p) {
  Movie* m = p->CurrentMovie;
  if (!m || !AsyncDecodeWait(m)) return;
  // A read error stops the movie's decoding for good: the file ends as if it had played out,
  // instead of the loop racing through frames it cannot decode.
  if (m->ReadError) {
    p->FileDone = true;
    return;
  }
  bool lastLoopEnds = false;
  if (m->FrameNum == m->Frames) lastLoopEnds = p->Options->LoopCount-- == 1;
  if (lastLoopEnds) p->FileDone = true;
  else MovieNextFrame(m);
  p->BackgroundPending = false;
  AsyncDecodeStart(m);
  if (Surface* s = p->CurrentSurface) {
    CopyFrame(p, m, s);
    BlitFrame(m, s);
  }
  if (p->Options->ShowStats) DrawStatsLine(p, m);
  if (p->UserPaused) MoviePause(m, 1);
}
