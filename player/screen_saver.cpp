// Screen-saver mode: the mode from the platform's argument, the options each mode needs, the
// input that ends a running screen saver and the platform's password check.
#include "player/screen_saver.h"

#include <cstdint>

#include "player/main_loop.h"
#include "surface/surface.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The run of digits at `text`; saturates instead of overflowing (no window has such a handle).
int64_t ParseHandle(const char* text) {
  int64_t value = 0;
  for (; IsDigit(*text); ++text)
    value = value > (INT64_MAX - 9) / 10 ? INT64_MAX : value * 10 + (*text - '0');
  return value;
}

// The preview plays silently inside the parent window, filling its client area, and starts after
// a short delay (the main loop waits it out).
void StartPreview(PlayerState* p, int64_t parent) {
  PlayOptions* o = p->Options;
  const PlayerHost* h = p->Host;
  o->SurfaceFlags &= ~SurfaceSetMode;
  p->PreviewDelayStart = h->Now() | 1;  // never 0: 0 means no delay
  o->OpenFlags |= OpenTrackList;
  o->SoundTrack = 0xFFFFFFFFu;  // no such track
  o->ParentWindow = uintptr_t(parent);
  // The window itself is the parent's client area: placed at 0, 0 and sized by the output, not
  // spread over the whole screen.
  o->FillScreen = false;
  o->WindowX = o->WindowY = 0;
  uint32_t width = 0, height = 0;
  if (h->Saver && h->Saver->ClientSize(uintptr_t(parent), &width, &height)) {
    o->OutWidth = int32_t(width & 0x7FFFFFFF);
    o->OutHeight = int32_t(height & 0x7FFFFFFF);
    o->OutWidthDiv = o->OutHeightDiv = 1;
  }
}

bool RunModeActive(const PlayerState* p) {
  const int64_t mode = p->Options->ScreenSaverMode;
  return mode >= SaverRun && mode <= SaverLastRunMode;
}

// Input that would end the screen saver: the started one (/s) asks for the password first and
// plays on when it is refused.
void Interrupt(PlayerState* p) {
  Movie* m = p->CurrentMovie;
  if (m) MoviePause(m, 1);
  if (p->Options->ScreenSaverMode == SaverRunArgument && !VerifyScreenSaverPassword(p)) {
    if (m) MoviePause(m, p->UserPaused ? 1 : 0);
    return;
  }
  PlayerEndRequest(p);
}

// A move to a new position counts; the sixth one interrupts. The first message only tells where
// the pointer rests: the system sends it when the screen saver's window appears under the pointer.
void MouseMove(PlayerState* p, int32_t x, int32_t y) {
  if (x == p->LastMouseX && y == p->LastMouseY) return;
  const bool first = p->LastMouseX == -1 && p->LastMouseY == -1;
  p->LastMouseX = x;
  p->LastMouseY = y;
  if (first || uint32_t(++p->MouseMoveCount) < SaverMouseMovesToEnd) return;
  p->MouseMoveCount = 0;
  Interrupt(p);
}

// The platform's password check: asks only where the platform line and the user's setting want
// it; a missing module or entry lets the screen saver end.
int PasswordAccepted(const ScreenSaverServices* s, void* window) {
  uint32_t use = 0;
  if (s->PlatformId() != SaverPasswordPlatformId ||
      !s->ReadUserValue(SaverPasswordKey, SaverPasswordValue, &use) || use == 0)
    return 1;
  void* module = s->LoadModule(SaverPasswordModule);
  if (!module) return 1;
  void* entry = s->FindEntry(module, SaverPasswordEntry);
  const int accepted = !entry || s->CallPasswordEntry(entry, window) != 0;
  s->UnloadModule(module);
  return accepted;
}

}  // namespace

int64_t ScreenSaverModeFromArgs(const char* args) {
  const char* c = args;
  while (*c && *c != '/' && *c != '-') ++c;
  if (!*c || !c[1]) return SaverRun;
  switch (c[1] | 0x20) {
    case 'c': return SaverConfigure;
    case 's': return SaverRunArgument;
    case 'p':
      for (c += 2; *c && !IsDigit(*c); ++c) {
      }
      return ParseHandle(c);
    default: return SaverRun;
  }
}

int ScreenSaverStart(PlayerState* p, const char* args) {
  PlayOptions* o = p->Options;
  if (o->ScreenSaverMode == SaverNone) return SaverPlay;
  const int64_t mode = o->ScreenSaverMode = ScreenSaverModeFromArgs(args);
  if (mode == SaverRun || mode == SaverRunArgument) {
    o->AlwaysOnTop = 1;
    o->DisabledControls = SaverAllControlsDisabled;
    return SaverPlay;
  }
  if (mode == SaverConfigure) p->Host->ShowMessage(PlayerTitle, SaverNoSettingsText, HostIconNone);
  // No mode at all, configure, and handles too small for a window end here.
  if (mode < SaverPreviewFirst) return 0;
  StartPreview(p, mode);
  return SaverPlay;
}

int VerifyScreenSaverPassword(PlayerState* p) {
  if (p->PasswordVerified) return 1;
  const ScreenSaverServices* s = p->Host->Saver;
  if (s && !PasswordAccepted(s, p->Window)) return 0;
  p->PasswordVerified = true;
  return 1;
}

int PlayerScreenSaverEvent(PlayerState* p, HostSaverInput input, int32_t x, int32_t y) {
  if (!RunModeActive(p)) return 0;
  switch (input) {
    case HostSaverDeactivated:
      if (p->Options->ScreenSaverMode != SaverRunArgument || VerifyScreenSaverPassword(p))
        PlayerEndRequest(p);
      return 0;
    case HostSaverWindowCommand: return 1;
    case HostSaverMouseMove: MouseMove(p, x, y); return 0;
    case HostSaverPress: Interrupt(p); return 0;
    case HostSaverSuspend: PlayerEndRequest(p); return 0;
  }
  return 0;
}
