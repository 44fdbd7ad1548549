// The player's run: start-up after the parse, the loop over the files, the main loop pass that
// interleaves window messages with frame timing, and the shut-down.
#include "player/main_loop.h"

#include <algorithm>
#include <cstring>

#include "player/command_line.h"
#include "player/stats_line.h"
#include "player/summary.h"
#include "surface/surface.h"
#include "vexa/sound.h"

namespace {

constexpr uint32_t PreviewDelayMs = 500;
constexpr uint32_t SummaryChars = 2000;

// The current file has ended: on to the next name (0), or to the closing logo (1).
int FileEnds(PlayerState* p) {
  PlayOptions* o = p->Options;
  p->FileDone = false;
  p->EndRequest = EndNone;
  if (p->CurrentMovie) MoviePause(p->CurrentMovie, 1);
  if (p->LogoPlaying) {
    // The logo itself failed (a read error): the loop's logo check ends the program.
    PlayerCloseMovie(p);
    return 1;
  }
  if (p->FileList[0]) return 0;
  if (--o->ListLoopCount != 0) {
    std::memcpy(p->FileList, p->SavedFileList, sizeof p->FileList);
    return 0;
  }
  StartEndLogo(p);
  ShowNextFrame(p);
  return 1;
}

bool LogoEnds(const PlayerState* p) {
  return !p->CurrentMovie || p->EndRequest == EndLogo ||
         int32_t(p->Host->Now() - p->LogoDeadline) > 0;
}

void NextFile(PlayerState* p, char* name, size_t capacity) {
  PlayFileEnd(p);
  p->Options->LoopCount = 1;
  if (!p->Options->FillScreen)
    p->Host->GetWindowTopLeft(p->Window, &p->Options->WindowX, &p->Options->WindowY);
  TakeNextFileName(name, capacity, p->FileList);
}

int ShutDown(PlayerState* p) {
  const PlayerHost* h = p->Host;
  PlayOptions* o = p->Options;
  h->TimerResolutionEnd();
  if (o->ScreenSaverMode == 2) h->ScreenSaverRunning(0);
  static char text[SummaryChars];
  const bool show = o->ShowSummary && p->SummaryTaken && p->Summary.FramesPlayed != 0;
  if (show) {
    const Surface* surface = p->CurrentSurface;
    const SummarySurface shown{surface ? SurfaceDescribe(surface) : "",
                               surface ? surface->ScreenWidth : 0,
                               surface ? surface->ScreenHeight : 0,
                               surface ? surface->ScreenBits : 0};
    FormatSummary(text, sizeof text, &p->Summary, &shown);
  }
  PlayerCloseAll(p);
  if (show) {
    h->UpdateAllWindows();
    h->Sleep(10);
    h->ShowMessage("Vexa Playback Summary", text, HostIconInformation);
  }
  return 0;
}

}  // namespace

HostWindowLook PlayerWindowLook(const PlayOptions* o) {
  HostWindowLook look{};
  look.TopMost = o->AlwaysOnTop != 0;
  look.DialogFrame = o->WindowStyle != 2;
  look.Caption = o->WindowStyle == 0;
  look.Child = o->ScreenSaverMode > 3;
  look.HideCursor = o->HideCursor;
  look.Parent = look.Child ? uintptr_t(o->ScreenSaverMode) : o->ParentWindow;
  return look;
}

void IdleSleep(PlayerState* p) {
  const uint32_t ask = std::min(uint32_t(p->IdleCount), IdleSleepMaxMs);
  const uint32_t start = p->Host->Now();
  p->Host->Sleep(ask);
  const int64_t took = p->Host->Now() - start;
  p->IdleCount = int32_t(std::max<int64_t>(int64_t(ask) - took, IdleFloorMs));
}

int MainLoopPass(PlayerState* p) {
  const PlayerHost* h = p->Host;
  switch (h->PumpMessage()) {
    case HostPumpQuit: return -1;
    case HostPumpDispatched: return 1;
    case HostPumpNone: break;
  }
  if (p->PreviewDelayStart) {
    if (h->Now() - p->PreviewDelayStart <= PreviewDelayMs) {
      h->Sleep(1);
      return 1;
    }
    p->PreviewDelayStart = 0;
  }
  // The logo is one still frame: once it is shown the loop only waits for the deadline (its
  // frame stays due forever, which would spin the loop).
  Movie* m = p->CurrentMovie;
  const bool still = p->LogoPlaying && m && m->FramesPlayed != 0;
  const bool notDue = still || (m && MovieWait(m) != 0);
  if ((!notDue || p->EndRequest == EndPlay) && !p->Destroying) {
    if (!p->FileDone && p->EndRequest != EndPlay)
      ShowNextFrame(p);
    else if (FileEnds(p) == 0)
      return 0;
  } else {
    p->IdleCount += 1;
  }
  if (p->UserPaused || (!p->HasFocus && !p->Options->KeepPlayingUnfocused)) p->IdleCount += 5;
  if (p->IdleCount > 0) IdleSleep(p);
  if (p->LogoPlaying && !p->Destroying && LogoEnds(p)) {
    p->Destroying = true;
    h->DestroyMainWindow(p->Window);
  }
  return 1;
}

int PlayerRun(PlayerState* p) {
  const PlayerHost* h = p->Host;
  PlayOptions* o = p->Options;
  const HostWindowLook look = PlayerWindowLook(o);
  if (!h->RegisterWindowClass(&look)) return 1;
  p->BackgroundPending = true;
  p->Window = h->CreateMainWindow(&look, p);
  if (!p->Window) {
    h->ShowMessage("Windows", "Error creating window.", HostIconStop);
    return 1;
  }
  SoundSelect(h->Sound ? h->Sound : o->UseWaveOut ? SoundUseWaveOut : SoundUseDirectSound);

  std::memcpy(p->FileList, o->CommandLine, sizeof p->FileList);
  p->FileList[sizeof p->FileList - 1] = 0;
  std::memcpy(p->SavedFileList, p->FileList, sizeof p->FileList);
  char name[CommandLineChars];
  TakeNextFileName(name, sizeof name, p->FileList);
  if (name[0] && p->FileList[0]) {
    o->ListLoopCount = o->LoopCount;
    o->LoopCount = 1;
  }
  // One 1 ms timer period for the whole program, given back once at every exit.
  h->TimerResolutionBegin();
  if (o->ScreenSaverMode == 2) h->ScreenSaverRunning(1);
  for (;;) {
    if (!PlayFileStart(p, name)) {
      h->TimerResolutionEnd();
      if (o->ScreenSaverMode == 2) h->ScreenSaverRunning(0);
      PlayerCloseAll(p);
      return 1;
    }
    int pass;
    while ((pass = MainLoopPass(p)) > 0) {
    }
    if (pass < 0) return ShutDown(p);
    NextFile(p, name, sizeof name);
  }
}
