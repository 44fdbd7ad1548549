// The player window's events (called by the host's window procedure), the keys, painting and
// placing the window.
#include <cstdio>

#include "player/main_loop.h"
#include "player/command_line.h"
#include "player/stats_line.h"
#include "player/summary.h"
#include "surface/surface.h"
#include "vexa/copy.h"

namespace {

constexpr uint32_t KeyEnter = 13, KeySpace = 32, KeyEscape = 27, KeySkip = '.';

void StepKey(PlayerState* p) {
  if (p->CurrentMovie) MoviePause(p->CurrentMovie, 0);  // one frame, when paused
}

void PauseKey(PlayerState* p) {
  p->UserPaused = ~p->UserPaused;
  if (p->CurrentMovie) MoviePause(p->CurrentMovie, p->UserPaused ? 1 : 0);
}

void SkipKey(PlayerState* p) {
  if (!p->LogoPlaying) p->FileDone = true;
}

struct KeyAction {
  uint32_t Character;
  uint32_t DisabledBy;  // the /U bit that turns the key off
  void (*Act)(PlayerState*);
};

constexpr KeyAction Keys[] = {
    {KeyEnter, DisablePauseKeys, StepKey},
    {KeySpace, DisablePauseKeys, PauseKey},
    {KeyEscape, DisableQuitKey, PlayerEndRequest},
    {KeySkip, DisableSkipKey, SkipKey},
};

}  // namespace

void PlayerFocusEvent(PlayerState* p, bool gained) {
  p->HasFocus = gained;
  if (p->Options->KeepPlayingUnfocused || !p->CurrentMovie) return;
  // Regaining the focus restores the user's own pause state.
  MoviePause(p->CurrentMovie, gained ? (p->UserPaused ? 1 : 0) : 1);
}

void PlayerPaintEvent(PlayerState* p) { PaintWindow(p); }

void PlayerCharEvent(PlayerState* p, uint32_t character) {
  for (const KeyAction& key : Keys)
    if (key.Character == character && !(p->Options->DisabledControls & key.DisabledBy))
      key.Act(p);
}

// A click on the closing logo opens the maker's site; never a click that ends a screen saver, nor
// one after play has been told to end.
void PlayerLeftButtonUpEvent(PlayerState* p) {
  if (!p->LogoPlaying || p->EndRequest == EndLogo || p->Destroying ||
      p->Options->ScreenSaverMode != 0)
    return;
  char address[128];
  std::snprintf(address, sizeof address, "%s%s", PlayerSiteAddress, PlayerSiteQuery);
  p->Host->OpenWebSite(address);
}

void PlayerWindowPosChangingEvent(PlayerState* p, int32_t* x, int32_t* y) {
  if (p->CurrentSurface)
    AlignWindowPosition(p->CurrentSurface, *x, *y, p->Options->WindowX, p->Options->WindowY, x, y);
}

void PlayerWindowPosChangedEvent(PlayerState* p) {
  if (p->CurrentSurface) SurfaceMoved(p->CurrentSurface, p->Options->WindowX, p->Options->WindowY);
}

void PaintWindow(PlayerState* p) {
  Surface* s = p->CurrentSurface;
  const PlayOptions* o = p->Options;
  const bool exclude = s && !p->InterlacedBackground && !p->BackgroundPending;
  HostRect picture{};
  if (s) picture = {o->WindowX, o->WindowY, int32_t(s->DestWidth), int32_t(s->DestHeight)};
  p->Host->PaintClient(p->Window, exclude ? &picture : nullptr, !p->BackgroundPending);
  p->Options->ExtraCopyFlags |= CopyAll;
  if (s) SurfaceBlit(s, nullptr, 1);
}

namespace {

void MeasureWithHost(void* player, const char* text, int32_t* width, int32_t* height) {
  const PlayerState* p = static_cast<const PlayerState*>(player);
  p->Host->MeasureText(p->Window, text, width, height);
}

}  // namespace

void PlaceWindow(PlayerState* p, int32_t x, int32_t y, int32_t width, int32_t height) {
  PlayOptions* o = p->Options;
  if (o->ShowStats) {
    StatsPlacement place{width, height, o->WindowX, o->WindowY, {}};
    ReserveStatsStrip(&place, MeasureWithHost, p);
    width = place.WindowWidth;
    height = place.WindowHeight;
    o->WindowX = place.MovieX;
    o->WindowY = place.MovieY;
    p->StatsTop = place.Strip.StatsTop;
    p->StatsWidth = place.Strip.StatsWidth;
    p->StatsHeight = place.Strip.StatsHeight;
  }
  const HostRect rect{x, y, width, height};
  p->Host->MoveMainWindow(p->Window, &rect);
}
