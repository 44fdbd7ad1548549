// The display device on SDL2: the canvas, the DIB section and the off-screen surfaces as
// streaming textures, the blits as renderer copies.
#include "surface/sdl_display_device.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t kRefused = int32_t(0x80004001u);  // not implemented
constexpr uint32_t kRed = 0xFF0000u, kGreen = 0xFF00u, kBlue = 0xFFu;
constexpr uint32_t kBlitStretchCaps = kFxBltShrinkX | kFxBltShrinkXN | kFxBltShrinkY |
                                      kFxBltShrinkYN | kFxBltStretchX | kFxBltStretchXN |
                                      kFxBltStretchY | kFxBltStretchYN;

// A DIB section, a primary surface (no texture) or an off-screen surface.
struct SdlPicture {
  SdlCanvas* Canvas;
  SDL_Texture* Texture;
  uint8_t* Memory;
  int32_t Pitch;
  uint32_t Width, Height;
};

// The canvas the DirectDraw calls draw on (given by SetCooperativeLevel).
SdlCanvas* gDrawCanvas = nullptr;
char gDirectDraw, gClipper;  // tokens: the objects have no state of their own

SdlCanvas* CanvasOf(void* window) { return static_cast<SdlCanvas*>(window); }

uint32_t TextureFormat(uint32_t fourCC) {
  switch (fourCC) {
    case kFourCCYV12: return SDL_PIXELFORMAT_YV12;
    case kFourCCYUY2: return SDL_PIXELFORMAT_YUY2;
    case kFourCCUYVY: return SDL_PIXELFORMAT_UYVY;
    default: return SDL_PIXELFORMAT_RGB888;  // XRGB8888: the BGRX bytes the copy writes
  }
}

// Bytes of a picture in memory: YV12 has its V and U planes of half the pitch below the luma.
size_t PictureBytes(uint32_t fourCC, int32_t pitch, uint32_t height) {
  const size_t luma = size_t(pitch) * height;
  return fourCC == kFourCCYV12 ? luma + size_t(pitch / 2) * ((height + 1) / 2) * 2 : luma;
}

SdlPicture* PictureCreate(SdlCanvas* canvas, uint32_t fourCC, uint32_t width, uint32_t height,
                          int32_t pitch) {
  SDL_Texture* texture = SDL_CreateTexture(canvas->Renderer, TextureFormat(fourCC),
                                           SDL_TEXTUREACCESS_STREAMING, int(width), int(height));
  if (!texture) return nullptr;
  SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);  // StretchBlt's COLORONCOLOR
  auto* p = static_cast<SdlPicture*>(calloc(1, sizeof(SdlPicture)));
  uint8_t* memory = static_cast<uint8_t*>(calloc(PictureBytes(fourCC, pitch, height) + 1, 1));
  if (!p || !memory) {
    free(p);
    free(memory);
    SDL_DestroyTexture(texture);
    return nullptr;
  }
  *p = SdlPicture{canvas, texture, memory, pitch, width, height};
  return p;
}

void PictureRelease(void* picture) {
  auto* p = static_cast<SdlPicture*>(picture);
  if (!p) return;
  if (p->Texture) SDL_DestroyTexture(p->Texture);
  free(p->Memory);
  free(p);
}

SDL_Rect ToSdl(const DisplayRect* r) {
  return SDL_Rect{r->Left, r->Top, r->Right - r->Left, r->Bottom - r->Top};
}

// --- GDI: the DIB section ---

int CreateDib(void* window, const DibHeader* h, void** dc, void** dib, uint8_t** bits,
              void** old) {
  if (h->BitCount != 32) return 0;  // the screen is reported at 32 bits: no other DIB is made
  const int32_t pitch = int32_t(h->Width) * 4;
  SdlPicture* p = PictureCreate(CanvasOf(window), 0, h->Width, h->Height, pitch);
  if (!p) return 0;
  *dc = *dib = p;
  *bits = p->Memory;
  *old = nullptr;
  return 1;
}

void StretchDib(void*, void* dibDC, const DisplayRect* src, const DisplayRect* dest,
                uint32_t count) {
  auto* p = static_cast<SdlPicture*>(dibDC);
  for (uint32_t i = 0; i < count; i++) {
    const SDL_Rect from = ToSdl(&src[i]), to = ToSdl(&dest[i]);
    if (from.w <= 0 || from.h <= 0) continue;
    SDL_UpdateTexture(p->Texture, &from,
                      p->Memory + int64_t(from.y) * p->Pitch + int64_t(from.x) * 4, p->Pitch);
    SDL_RenderCopy(p->Canvas->Renderer, p->Texture, &from, &to);
  }
  SdlCanvasPresent(p->Canvas);
}

// --- DirectDraw: off-screen surfaces only ---

int32_t Create(void** directDraw) {
  *directDraw = &gDirectDraw;
  return kDdOk;
}

int32_t SetCooperativeLevel(void*, void* window, int) {
  gDrawCanvas = CanvasOf(window);
  return kDdOk;
}

int32_t GetFxCaps(void*, uint32_t* fxCaps) {
  *fxCaps = kBlitStretchCaps;  // the renderer scales any way; it has no overlays
  return kDdOk;
}

int32_t CreatePrimary(void*, void** surface) {
  auto* p = static_cast<SdlPicture*>(calloc(1, sizeof(SdlPicture)));
  if (!p) return kRefused;
  p->Canvas = gDrawCanvas;
  *surface = p;
  return kDdOk;
}

int32_t CreateOffscreen(void*, uint32_t fourCC, uint32_t width, uint32_t height, int,
                        void** surface) {
  if (!gDrawCanvas || !width || !height) return kRefused;
  // Rows of whole 8-byte units keep the YV12 chroma pitch (half the luma pitch) whole.
  const uint32_t bytes = fourCC == kFourCCYV12 ? 1 : fourCC ? 2 : 4;
  const int32_t pitch = int32_t((uint64_t(width) * bytes + 7) & ~uint64_t(7));
  SdlPicture* p = PictureCreate(gDrawCanvas, fourCC, width, height, pitch);
  if (!p) return kRefused;
  *surface = p;
  return kDdOk;
}

int32_t Lock(void* surface, DisplayLock* lock) {
  auto* p = static_cast<SdlPicture*>(surface);
  if (!p->Texture) return kDdCantLockSurface;  // the primary: there is no screen memory
  *lock = DisplayLock{p->Memory, p->Pitch, p->Width, p->Height};
  return kDdOk;
}

int32_t GetPixelFormat(void*, DisplayPixelFormat* format) {
  *format = DisplayPixelFormat{0, 32, kRed, kGreen, kBlue, 0};
  return kDdOk;
}

// An off-screen surface onto the primary: destination rectangles are client coordinates, since
// the window's client area is reported at the origin.
int32_t Blt(void*, const DisplayRect* destRect, void* src, const DisplayRect* srcRect) {
  auto* p = static_cast<SdlPicture*>(src);
  if (!p || !p->Texture) return kRefused;
  const SDL_Rect from = ToSdl(srcRect), to = ToSdl(destRect);
  SDL_UpdateTexture(p->Texture, nullptr, p->Memory, p->Pitch);
  SDL_RenderCopy(p->Canvas->Renderer, p->Texture, &from, &to);
  SdlCanvasPresent(p->Canvas);
  return kDdOk;
}

// --- The screen and the window ---

void ScreenSize(uint32_t* width, uint32_t* height) {
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) mode.w = 1920, mode.h = 1080;
  *width = uint32_t(mode.w);
  *height = uint32_t(mode.h);
}

void ClientRect(void* window, DisplayRect* r) {
  const SdlCanvas* c = CanvasOf(window);
  *r = DisplayRect{0, 0, c ? c->Width : 0, c ? c->Height : 0};
}

int IsMinimized(void* window) {
  const SdlCanvas* c = CanvasOf(window);
  return c && c->Window && (SDL_GetWindowFlags(c->Window) & SDL_WINDOW_MINIMIZED) != 0;
}

int IsVisible(void* window) {
  const SdlCanvas* c = CanvasOf(window);
  return c && c->Window && (SDL_GetWindowFlags(c->Window) & SDL_WINDOW_SHOWN) != 0;
}

const DisplayDevice kSdlDisplay = {
    [] { return 1; },
    Create,
    [](void*) {},
    SetCooperativeLevel,
    [](void*, uint32_t, uint32_t, uint32_t) { return kRefused; },
    GetFxCaps,
    CreatePrimary,
    [](void*, uint32_t, uint32_t, uint32_t, void**) { return kRefused; },
    CreateOffscreen,
    [](void*, void*, void** clipper) {
      *clipper = &gClipper;
      return kDdOk;
    },
    [](void*) {},
    Lock,
    [](void*, void*) { return kDdOk; },
    [](void*) { return kDdOk; },
    GetPixelFormat,
    [](void*, const DisplayRect*, void*, const DisplayRect*, int, uint32_t) { return kRefused; },
    Blt,
    [](void*, const DisplayRect*, uint32_t) { return kDdOk; },
    [](void*, void*) { return kDdOk; },
    PictureRelease,
    CreateDib,
    [](void*, void* dib, void*) { PictureRelease(dib); },
    StretchDib,
    [] { return 0u; },
    [] { return 32u; },
    ScreenSize,
    [](uint32_t, uint32_t, uint32_t) { return int32_t(-2); },  // DISP_CHANGE_BADMODE
    [] {},
    ClientRect,  // the window has no frame of its own: the window system adds it outside
    ClientRect,
    IsMinimized,
    IsVisible,
    [] { return 0; },  // the cursor never lives in screen memory here
    [](int32_t* x, int32_t* y) { *x = *y = 0; },
    [](uint32_t* w, uint32_t* h) { *w = *h = 32; },
    [](int show) { return int32_t(show ? 0 : -1); },
    [](void*) -> void* { return nullptr; },
    [](void*) -> void* { return nullptr; },
    [](int32_t, int32_t) -> void* { return nullptr; },
    [](void*) {},
    [](int32_t, int32_t) { return 0u; },
    [](int32_t, int32_t, uint32_t) {},
};

}  // namespace

int SdlCanvasResize(SdlCanvas* c) {
  int w = 0, h = 0;
  SDL_GetWindowSize(c->Window, &w, &h);
  if (c->Target && w == c->Width && h == c->Height) return 1;
  SDL_SetRenderTarget(c->Renderer, nullptr);
  if (c->Target) SDL_DestroyTexture(c->Target);
  c->Target = SDL_CreateTexture(c->Renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_TARGET,
                                w > 0 ? w : 1, h > 0 ? h : 1);
  c->Width = c->Target ? w : 0;
  c->Height = c->Target ? h : 0;
  if (!c->Target) return 0;
  SDL_SetRenderTarget(c->Renderer, c->Target);
  SdlCanvasFill(c, nullptr, 0, 0, 0);
  return 1;
}

void SdlCanvasFill(SdlCanvas* c, const SDL_Rect* rect, uint8_t r, uint8_t g, uint8_t b) {
  SDL_SetRenderDrawColor(c->Renderer, r, g, b, 255);
  if (rect) SDL_RenderFillRect(c->Renderer, rect);
  else SDL_RenderClear(c->Renderer);
}

void SdlCanvasPresent(SdlCanvas* c) {
  if (!c->Target) return;
  SDL_SetRenderTarget(c->Renderer, nullptr);
  SDL_RenderCopy(c->Renderer, c->Target, nullptr, nullptr);
  SDL_RenderPresent(c->Renderer);
  SDL_SetRenderTarget(c->Renderer, c->Target);
  if (c->Presented) c->Presented(c);
}

const DisplayDevice* SdlDisplayDevice() { return &kSdlDisplay; }
