// What the surface files share: the process-wide display state and the pure rules (pixel formats,
// DIB geometry, capability masks, depth lists, placement arithmetic, clear patterns).
#pragma once

#include <cstdint>

#include "surface/display_device.h"
#include "surface/surface.h"

// One per process.
struct DisplayState {
  const DisplayDevice* Device;
  void* DirectDraw;
  void* Primary;
  uint32_t References;       // successful DirectDrawOpen calls not yet released
  uint32_t LoadTried, LoadFailed;
  uint32_t OverlayMask, BlitMask;
  uint32_t OverlayColorKey;
  uint32_t ScreenWidth, ScreenHeight, ScreenBits, BytesPerPixel;
  uint32_t PendingModeWidth, PendingModeHeight, PendingModeDepth;
  uint32_t DisplayChanged;   // the mode was changed through the display settings
  uint32_t ModeUsers;
  // The software-cursor test's last answer and what it was made for.
  uint32_t CursorCached, CursorAnswer;
  void* CursorTested;
  uint8_t* CursorMemory;
  int32_t CursorPitch;
  uint32_t CursorWidth, CursorHeight;  // read once
};

DisplayState* Display();
const DisplayDevice* DisplayApi();

// Shared DirectDraw set-up and display modes.
void DirectDrawOpen(void* window, int wantMode);
void DirectDrawRelease();
int DisplayModeChange(void* window, int wantMode);
void DisplayModeRelease();
// Whether the cursor is drawn into screen memory (cached per cursor and primary memory).
uint32_t TestSoftwareCursor(void* primary, void* cursor);
// Locks a whole DirectDraw surface, restoring it once when it was lost.
int32_t LockRestoring(void* surface, DisplayLock* lock);
// Hides the cursor when it lies over the rectangle; the number of hide calls.
uint32_t HideCursorOver(int32_t x, int32_t y, uint32_t width, uint32_t height);
void ShowCursorTimes(uint32_t times);
void UpdateOverlayPosition(Surface* surface, int request);
void SurfaceSetError(const char* text);

// Pixel formats and capabilities.
constexpr int kTypeUnsupported = -1;
int SurfaceTypeForFormat(const DisplayPixelFormat* format);
uint32_t SurfaceTypeBytes(uint32_t type);  // bytes per pixel of an RGB type (packed YUV: 2)
// The DIB section for a width x height picture at bytesPerPixel 2-4; redMask16 is the screen's
// 16-bit red mask. Returns the surface type.
uint32_t DibLayout(uint32_t bytesPerPixel, uint32_t width, uint32_t height, uint32_t redMask16,
                   DibHeader* header, uint32_t* pitch);
uint32_t OverlayStretchMask(uint32_t fxCaps);
uint32_t BlitStretchMask(uint32_t fxCaps);
// The depths to try for a depth code, in order; their count.
uint32_t DepthPreference(uint32_t code, uint32_t depths[3]);
uint32_t ColorKeyFor(uint32_t bitsPerPixel, uint32_t redMask, uint32_t blueMask);

// Placement arithmetic.
// Clips an overlay's destination to the screen and moves the source edges by the same distance
// scaled by the stretch ratio; 0 when nothing is left.
int ClipOverlay(DisplayRect* dest, DisplayRect* src, uint32_t screenWidth, uint32_t screenHeight);
// A picture rectangle scaled to the output size and moved to (originX, originY).
DisplayRect ScaleBlitRect(const SurfaceRect* rect, const Surface* surface, int32_t originX,
                          int32_t originY);
// Fills a width x height picture of the surface type at bits with its black.
void ClearPixels(uint32_t type, uint8_t* bits, int32_t pitch, uint32_t width, uint32_t height);
