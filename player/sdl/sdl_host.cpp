// The player's host table on SDL2: the window and its canvas, the message pump made of SDL
// events, message boxes (also printed), files, the screen and the clock.
#include "player/sdl/sdl_host.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "player/file_names.h"
#include "player/player_state.h"
#include "player/sdl/sdl_arguments.h"
#include "sound/sdl_channel.h"
#include "vexa/movie.h"

SdlHost gSdlHost;

namespace {

constexpr uint32_t KeyEnter = 13, KeySpace = 32, KeyEscape = 27;

SdlHost* Host() { return &gSdlHost; }

// --- The window ---

Uint32 WindowFlags(const HostWindowLook* look) {
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (!look->Caption) flags |= SDL_WINDOW_BORDERLESS;  // SDL has no frame without a caption
  if (look->TopMost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  return flags;
}

int RegisterWindowClass(const HostWindowLook* look) {
  SDL_ShowCursor(look->HideCursor ? SDL_DISABLE : SDL_ENABLE);
  return 1;
}

void* CreateMainWindow(const HostWindowLook* look, PlayerState* player) {
  SdlHost* h = Host();
  SdlCanvas* c = &h->Canvas;
  c->Window = SDL_CreateWindow(PlayerTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 32,
                               32, WindowFlags(look));
  if (!c->Window) return nullptr;
  c->Renderer = SDL_CreateRenderer(c->Window, -1, SDL_RENDERER_TARGETTEXTURE);
  if (!c->Renderer) c->Renderer = SDL_CreateRenderer(c->Window, -1, SDL_RENDERER_SOFTWARE);
  if (!c->Renderer || !SdlCanvasResize(c)) {
    if (c->Renderer) SDL_DestroyRenderer(c->Renderer);
    SDL_DestroyWindow(c->Window);
    *c = SdlCanvas{};
    return nullptr;
  }
  c->Presented = SdlTestHooksPresented;
  h->Player = player;
  h->Destroyed = h->QuitPosted = h->PaintPending = false;
  return c;
}

// The window is hidden, not destroyed: the surfaces still hold textures of its renderer until
// the player closes them; SdlHostEnd destroys it.
void DestroyMainWindow(void*) {
  SdlHost* h = Host();
  if (h->Canvas.Window) SDL_HideWindow(h->Canvas.Window);
  h->Destroyed = true;
  h->QuitPosted = true;
}

void ShowMainWindow(void*, int show) {
  SDL_Window* w = Host()->Canvas.Window;
  if (show) {
    SDL_ShowWindow(w);
    SdlCanvasPresent(&Host()->Canvas);
  } else {
    SDL_HideWindow(w);
  }
}

bool CoversScreen(const HostRect* r) {
  uint32_t sw = 0, sh = 0;
  SdlDisplayDevice()->ScreenSize(&sw, &sh);
  return r->X <= 0 && r->Y <= 0 && int64_t(r->X) + r->Width >= int64_t(sw) &&
         int64_t(r->Y) + r->Height >= int64_t(sh);
}

// A window over the whole screen becomes SDL's full-screen desktop window.
void MoveMainWindow(void*, const HostRect* r) {
  SdlCanvas* c = &Host()->Canvas;
  if (CoversScreen(r)) {
    SDL_SetWindowFullscreen(c->Window, SDL_WINDOW_FULLSCREEN_DESKTOP);
  } else {
    if (SDL_GetWindowFlags(c->Window) & SDL_WINDOW_FULLSCREEN_DESKTOP)
      SDL_SetWindowFullscreen(c->Window, 0);
    SDL_SetWindowSize(c->Window, r->Width > 0 ? r->Width : 1, r->Height > 0 ? r->Height : 1);
    SDL_SetWindowPosition(c->Window, r->X, r->Y);
  }
  SdlCanvasResize(c);
}

void GetWindowTopLeft(void*, int32_t* x, int32_t* y) {
  int wx = 0, wy = 0;
  SDL_GetWindowPosition(Host()->Canvas.Window, &wx, &wy);
  *x = wx;
  *y = wy;
}

int IsMinimized(void*) {
  return (SDL_GetWindowFlags(Host()->Canvas.Window) & SDL_WINDOW_MINIMIZED) != 0;
}

// Without a display no other window can take the focus.
int HasFocus(void*) {
  return Host()->Headless ||
         (SDL_GetWindowFlags(Host()->Canvas.Window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void SetWindowTitle(void*, const char* title) { SDL_SetWindowTitle(Host()->Canvas.Window, title); }

void InvalidateClient(void*, const HostRect*) { Host()->PaintPending = true; }

void PaintClient(void*, const HostRect* exclude, int blacken) {
  SdlCanvas* c = &Host()->Canvas;
  Host()->PaintPending = false;
  if (!blacken) return;
  if (!exclude) {
    SdlCanvasFill(c, nullptr, 0, 0, 0);
  } else {
    // The four bands around the picture.
    const int32_t x = exclude->X, y = exclude->Y, right = x + exclude->Width;
    const int32_t bottom = y + exclude->Height;
    const SDL_Rect bands[4] = {{0, 0, c->Width, y},
                               {0, bottom, c->Width, c->Height - bottom},
                               {0, y, x, exclude->Height},
                               {right, y, c->Width - right, exclude->Height}};
    for (const SDL_Rect& band : bands)
      if (band.w > 0 && band.h > 0) SdlCanvasFill(c, &band, 0, 0, 0);
  }
  SdlCanvasPresent(c);
}

void FillClientBlack(void*) {
  SdlCanvasFill(&Host()->Canvas, nullptr, 0, 0, 0);
  SdlCanvasPresent(&Host()->Canvas);
}

void UpdateAllWindows() {
  SdlHost* h = Host();
  if (h->PaintPending && !h->Destroyed) PlayerPaintEvent(h->Player);
  h->PaintPending = false;
}

// --- Events ---

uint32_t CharacterOf(SDL_Keycode key) {
  switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return KeyEnter;
    case SDLK_SPACE: return KeySpace;
    case SDLK_ESCAPE: return KeyEscape;
    case SDLK_PERIOD:
    case SDLK_KP_PERIOD: return '.';
    default: return 0;
  }
}

void WindowEvent(SdlHost* h, const SDL_WindowEvent* e) {
  switch (e->event) {
    case SDL_WINDOWEVENT_CLOSE: DestroyMainWindow(&h->Canvas); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
    case SDL_WINDOWEVENT_FOCUS_LOST:
      if (!h->Headless) PlayerFocusEvent(h->Player, e->event == SDL_WINDOWEVENT_FOCUS_GAINED);
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      SdlCanvasResize(&h->Canvas);
      h->PaintPending = true;
      break;
    case SDL_WINDOWEVENT_EXPOSED: h->PaintPending = true; break;
    case SDL_WINDOWEVENT_MOVED: PlayerWindowPosChangedEvent(h->Player); break;
    default: break;
  }
}

void Dispatch(SdlHost* h, const SDL_Event* e) {
  if (e->type == SDL_QUIT) {
    if (!h->Destroyed) DestroyMainWindow(&h->Canvas);
    return;
  }
  if (h->Destroyed) return;
  if (e->type == SDL_WINDOWEVENT) {
    WindowEvent(h, &e->window);
  } else if (e->type == SDL_KEYDOWN) {
    if (const uint32_t c = CharacterOf(e->key.keysym.sym)) PlayerCharEvent(h->Player, c);
  } else if (e->type == SDL_MOUSEBUTTONUP && e->button.button == SDL_BUTTON_LEFT) {
    PlayerLeftButtonUpEvent(h->Player);
  }
}

// Events first; a pending paint once the queue is empty, then the quit message.
HostPump PumpMessage() {
  SdlHost* h = Host();
  SdlTestHooksPump();
  SDL_Event e;
  if (SDL_PollEvent(&e)) {
    Dispatch(h, &e);
    return HostPumpDispatched;
  }
  if (h->PaintPending && !h->Destroyed) {
    PlayerPaintEvent(h->Player);
    return HostPumpDispatched;
  }
  if (h->QuitPosted) {
    h->QuitPosted = false;
    return HostPumpQuit;
  }
  return HostPumpNone;
}

// --- Dialogs and text ---

// Printed always (errors to standard error, the rest to standard output); a message box too
// where there is a display.
void ShowMessage(const char* title, const char* text, HostIcon icon) {
  const bool error = icon == HostIconStop;
  std::fprintf(error ? stderr : stdout, "%s\n%s\n", title, text);
  std::fflush(error ? stderr : stdout);
  if (!Host()->Headless && SDL_WasInit(SDL_INIT_VIDEO))
    SDL_ShowSimpleMessageBox(error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION, title, text,
                             nullptr);
}

void MeasureText(void*, const char* text, int32_t* width, int32_t* height) {
  SdlMeasureText(text, width, height);
}

void DrawTextLine(void*, const char* text, const HostRect* strip, int32_t centreX) {
  SdlCanvas* c = &Host()->Canvas;
  int32_t width = 0, height = 0;
  SdlMeasureText(text, &width, &height);
  const SDL_Rect r{strip->X, strip->Y, strip->Width, strip->Height};
  SdlCanvasFill(c, &r, 0, 0, 0);
  SdlDrawText(c, text, centreX - width / 2, strip->Y);
  SdlCanvasPresent(c);
}

// --- Files and system ---

// A file descriptor at the offset, as MovieOpen takes it with OpenFromHandle.
int OpenFileAt(const char* name, uint32_t offset, void** handle) {
  const int fd = open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  if (lseek(fd, off_t(offset), SEEK_SET) != off_t(offset)) {
    close(fd);
    return 0;
  }
  *handle = reinterpret_cast<void*>(intptr_t(fd));
  return 1;
}

void CloseFile(void* handle) { close(int(reinterpret_cast<intptr_t>(handle))); }

void ProgramFileName(char* name, uint32_t capacity) {
  if (!capacity) return;
  const ssize_t n = readlink("/proc/self/exe", name, capacity - 1);
  name[n > 0 ? n : 0] = 0;
}

// The program has no resources: nothing is embedded.
void EmbeddedCommandLine(char* text, uint32_t capacity) {
  if (capacity) text[0] = 0;
}

}  // namespace

const PlayerHost SdlPlayerHost = {
    RegisterWindowClass,
    CreateMainWindow,
    DestroyMainWindow,
    ShowMainWindow,
    MoveMainWindow,
    GetWindowTopLeft,
    IsMinimized,
    HasFocus,
    SetWindowTitle,
    InvalidateClient,
    PaintClient,
    FillClientBlack,
    UpdateAllWindows,
    PumpMessage,
    PlatformSleepMs,
    MovieTimerMs,
    PlatformTimerPeriodBegin,
    PlatformTimerPeriodEnd,
    ShowMessage,
    MeasureText,
    DrawTextLine,
    OpenFileAt,
    CloseFile,
    ProgramFileName,
    EmbeddedCommandLine,
    [](uint32_t* w, uint32_t* h) { SdlDisplayDevice()->ScreenSize(w, h); },
    PlatformProcessorCount,
    [](const char* address) { SDL_OpenURL(address); },
    [](int) {},  // no screen-saver bookkeeping on this platform
    nullptr,     // no stored defaults: /! adds nothing
    SoundUseSdl,
};

int SdlHostBegin() {
  SdlHost* h = Host();
  *h = SdlHost{};
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "vexaplay: no display (%s): playing without a window\n", SDL_GetError());
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 0;
  }
  const char* driver = SDL_GetCurrentVideoDriver();
  h->Headless = driver && (!std::strcmp(driver, "dummy") || !std::strcmp(driver, "offscreen"));
  SdlTestHooksBegin();
  return 1;
}

void SdlHostEnd() {
  SdlCanvas* c = &Host()->Canvas;
  if (c->Target) SDL_DestroyTexture(c->Target);
  if (c->Renderer) SDL_DestroyRenderer(c->Renderer);
  if (c->Window) SDL_DestroyWindow(c->Window);
  *c = SdlCanvas{};
  SDL_Quit();
}
