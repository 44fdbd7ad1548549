// The display bound to SDL2, for vexaplay. The window's content is a canvas (a render-target
// texture) that keeps what was drawn, as a window system keeps a window's pixels: the picture
// blits, the black fills and the statistics line are drawn into it, and every drawing presents
// the canvas. The DIB section is a streaming texture of the 32-bit BGRX type the copy writes
// (SDL's XRGB8888), and StretchBlt is a copy of it into the canvas with nearest-pixel scaling.
// DirectDraw's off-screen surfaces are streaming textures too: the YV12, YUY2 and UYVY styles
// take the matching SDL texture formats, the RGB styles the same 32-bit format; there is no
// primary surface to lock, no overlay and no display-mode change.
//
// Window handles given to the surfaces are SdlCanvas records.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "surface/display_device.h"

struct SdlCanvas {
  SDL_Window* Window;
  SDL_Renderer* Renderer;
  SDL_Texture* Target;              // the window's content, the renderer's target
  int32_t Width, Height;            // of the client area and the target
  void (*Presented)(SdlCanvas* canvas);  // after each present (the target still current); none
};

// Makes the renderer's target a black canvas of the window's client size; 0 on failure.
int SdlCanvasResize(SdlCanvas* canvas);
// Fills a rectangle of the canvas (none: all of it) with an opaque colour.
void SdlCanvasFill(SdlCanvas* canvas, const SDL_Rect* rect, uint8_t r, uint8_t g, uint8_t b);
// Shows the canvas in the window.
void SdlCanvasPresent(SdlCanvas* canvas);

// The display on SDL; the surfaces use it after DisplayUseDevice(SdlDisplayDevice()).
const DisplayDevice* SdlDisplayDevice();
