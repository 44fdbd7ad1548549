// The closing logo: the built-in one-frame movie shown for LogoShowMs after the last file, the end
// request that leads to it, and the summary taken on the way.
#include "player/decode_workers.h"
#include "player/main_loop.h"
#include "surface/surface.h"

namespace {

Movie* OpenLogo() {
  uint32_t bytes = 0;
  const uint8_t* image = MovieLogoImage(&bytes);
  MovieSetPendingImageSize(bytes);
  return MovieOpen(image, OpenFromMemory);
}

// Gives the logo a surface of its own size when the current one is too small. 0 when no surface
// could be opened.
int LogoSurface(PlayerState* p, const Movie* logo) {
  PlayOptions* o = p->Options;
  const Surface* s = p->CurrentSurface;
  if (s && s->Width >= logo->Width && s->Height >= logo->Height) {
    SurfaceClear(p->CurrentSurface);
    return 1;
  }
  if ((o->SurfaceFlags & SurfaceSetMode) &&
      (o->ScreenWidth < logo->Width || o->ScreenHeight < logo->Height)) {
    // The display mode is too small for the logo: go back to the desktop's mode first.
    o->SurfaceFlags &= ~SurfaceSetMode;
    if (p->CurrentSurface) SurfaceClose(p->CurrentSurface);
    p->CurrentSurface = nullptr;
    o->FillScreen = false;
  }
  o->SurfaceFlags &= ~StretchMask;
  Surface* fresh = SurfaceOpen(p->Window, logo->Width, logo->Height, o->SurfaceFlags);
  if (!fresh) return 0;
  if (p->CurrentSurface) SurfaceClose(p->CurrentSurface);
  p->CurrentSurface = fresh;
  if (!o->FillScreen) {
    o->WindowX = o->WindowY = 0;
    PlaceWindow(p, (int32_t(o->ScreenWidth) - int32_t(logo->Width)) / 2,
                (int32_t(o->ScreenHeight) - int32_t(logo->Height)) / 2,
                int32_t(fresh->WindowWidth), int32_t(fresh->WindowHeight));
  }
  return 1;
}

}  // namespace

void TakeSummary(PlayerState* p) {
  if (!p->CurrentMovie) return;
  MovieGetSummary(p->CurrentMovie, &p->Summary);
  p->SummaryTaken = true;
}

void StartEndLogo(PlayerState* p) {
  PlayOptions* o = p->Options;
  TakeSummary(p);
  Movie* logo = OpenLogo();
  PlayerCloseMovie(p);
  p->CurrentMovie = logo;
  p->LogoPlaying = true;
  if (!logo) {
    p->LogoDeadline = 0;
    return;
  }
  AsyncDecodeStart(logo);
  p->Host->FillClientBlack(p->Window);
  o->LoopCount = 0xFFFFFFFFu;
  p->LogoDeadline = p->Host->Now() + LogoShowMs;
  o->ShowStats = false;
  p->UserPaused = 0;
  if (!LogoSurface(p, logo)) {
    PlayerCloseMovie(p);
    return;
  }
  Surface* s = p->CurrentSurface;
  SurfaceSetDestSize(s, s->Width, s->Height);
  o->WindowX += int32_t(s->Width - logo->Width) / 2;
  o->WindowY += int32_t(s->Height - logo->Height) / 2;
  if (!p->Host->IsMinimized(p->Window)) SurfaceMoved(s, o->WindowX, o->WindowY);
}

void PlayerEndRequest(PlayerState* p) {
  p->FileList[0] = 0;
  p->Options->ListLoopCount = 1;
  p->EndRequest = p->LogoPlaying ? EndLogo : EndPlay;
  if (!p->LogoPlaying) TakeSummary(p);
  if (p->CurrentMovie) MoviePause(p->CurrentMovie, 0);
}
