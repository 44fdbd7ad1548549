// The display under the surfaces: a table of the DirectDraw, GDI and USER calls the surfaces make,
// bound to DDRAW.DLL and GDI on Windows, to a display without DirectDraw elsewhere (the DIB is plain
// memory) and to a simulated display in the tests. DirectDraw results are the platform's: 0 success,
// negative failure. Handles and interfaces are opaque pointers.
#pragma once

#include <cstdint>

constexpr int32_t kDdOk = 0;
constexpr int32_t kDdCantLockSurface = int32_t(0x887601B3u);
constexpr int32_t kDdSurfaceLost = int32_t(0x887601C2u);

// DDCAPS dwFXCaps bits the stretch masks are made from.
constexpr uint32_t kFxBltShrinkX = 0x00000400u, kFxBltShrinkXN = 0x00000800u;
constexpr uint32_t kFxBltShrinkY = 0x00001000u, kFxBltShrinkYN = 0x00002000u;
constexpr uint32_t kFxBltStretchX = 0x00004000u, kFxBltStretchXN = 0x00008000u;
constexpr uint32_t kFxBltStretchY = 0x00010000u, kFxBltStretchYN = 0x00020000u;
constexpr uint32_t kFxOverlayShrinkX = 0x00080000u, kFxOverlayShrinkXN = 0x00100000u;
constexpr uint32_t kFxOverlayShrinkY = 0x00200000u, kFxOverlayShrinkYN = 0x00400000u;
constexpr uint32_t kFxOverlayStretchX = 0x00800000u, kFxOverlayStretchXN = 0x01000000u;
constexpr uint32_t kFxOverlayStretchY = 0x02000000u, kFxOverlayStretchYN = 0x04000000u;

constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
         uint32_t(uint8_t(d)) << 24;
}
constexpr uint32_t kFourCCYV12 = FourCC('Y', 'V', '1', '2');
constexpr uint32_t kFourCCYUY2 = FourCC('Y', 'U', 'Y', '2');
constexpr uint32_t kFourCCUYVY = FourCC('U', 'Y', 'V', 'Y');

// A surface's pixel format: a FOURCC, or (FourCC 0) RGB bits per pixel and channel masks.
struct DisplayPixelFormat {
  uint32_t FourCC, Bits, Red, Green, Blue, Alpha;
};

// What a lock of a whole surface gives.
struct DisplayLock {
  uint8_t* Memory;
  int32_t Pitch;
  uint32_t Width, Height;
};

// Edges in pixels; right and bottom exclusive.
struct DisplayRect {
  int32_t Left, Top, Right, Bottom;
};

// The DIB section's bitmap header: width in pixels, rows top-down, bit fields (Compression 3)
// with masks or plain RGB rows (Compression 0).
struct DibHeader {
  uint32_t Width, Height, BitCount, Compression, Red, Green, Blue;
};

struct DisplayDevice {
  // DirectDraw. Load finds "DirectDrawCreate" in "DDRAW.DLL" (once, without file-error boxes).
  int (*Load)();
  int32_t (*Create)(void** directDraw);
  void (*ReleaseObject)(void* directDraw);
  int32_t (*SetCooperativeLevel)(void* directDraw, void* window, int exclusive);
  int32_t (*SetDisplayMode)(void* directDraw, uint32_t width, uint32_t height, uint32_t bits);
  int32_t (*GetFxCaps)(void* directDraw, uint32_t* fxCaps);
  int32_t (*CreatePrimary)(void* directDraw, void** surface);
  int32_t (*CreateOverlay)(void* directDraw, uint32_t fourCC, uint32_t width, uint32_t height,
                           void** surface);
  // fourCC 0: the display's pixel format; systemMemory 0: video memory.
  int32_t (*CreateOffscreen)(void* directDraw, uint32_t fourCC, uint32_t width, uint32_t height,
                             int systemMemory, void** surface);
  int32_t (*CreateClipper)(void* directDraw, void* window, void** clipper);
  void (*ReleaseClipper)(void* clipper);
  int32_t (*Lock)(void* surface, DisplayLock* lock);  // the whole surface, waiting while busy
  int32_t (*Unlock)(void* surface, void* memory);
  int32_t (*Restore)(void* surface);
  int32_t (*GetPixelFormat)(void* surface, DisplayPixelFormat* format);
  // Shows the overlay's source part at dest on the primary with the colour key as destination
  // key, or hides it (src and dest none when hiding without rectangles).
  int32_t (*UpdateOverlay)(void* overlay, const DisplayRect* src, void* primary,
                           const DisplayRect* dest, int show, uint32_t colorKey);
  int32_t (*Blt)(void* dest, const DisplayRect* destRect, void* src, const DisplayRect* srcRect);
  int32_t (*ColorFill)(void* dest, const DisplayRect* destRect, uint32_t color);
  int32_t (*SetClipper)(void* surface, void* clipper);  // clipper none: unbind
  void (*ReleaseSurface)(void* surface);
  // GDI. CreateDib makes a memory DC compatible with the window's, a DIB section of header in it
  // (selected), and returns its memory; on failure it leaves nothing behind.
  int (*CreateDib)(void* window, const DibHeader* header, void** dc, void** dib, uint8_t** bits,
                   void** oldBitmap);
  void (*DeleteDib)(void* dc, void* dib, void* oldBitmap);
  // StretchBlt with COLORONCOLOR and SRCCOPY from the DIB's DC to the window's client area.
  void (*StretchDib)(void* window, void* dibDC, const DisplayRect* src, const DisplayRect* dest,
                     uint32_t count);
  uint32_t (*Probe16BitRedMask)();     // red mask of a 1 x 1 compatible bitmap; 0 without fields
  uint32_t (*ScreenBitsPerPixel)();    // BITSPIXEL x PLANES of the screen's DC
  void (*ScreenSize)(uint32_t* width, uint32_t* height);
  int32_t (*ChangeDisplay)(uint32_t width, uint32_t height, uint32_t bits);  // bits 0: size alone
  void (*RestoreDisplay)();                                                   // the registry mode
  // USER: the window.
  void (*WindowRect)(void* window, DisplayRect* rect);
  void (*ClientRect)(void* window, DisplayRect* rect);  // client area in screen coordinates
  int (*IsMinimized)(void* window);
  int (*IsVisible)(void* window);
  // The cursor, and the probe window of the software-cursor test.
  int (*MousePresent)();
  void (*CursorPosition)(int32_t* x, int32_t* y);
  void (*CursorSize)(uint32_t* width, uint32_t* height);
  int32_t (*ShowCursor)(int show);  // the new show count
  void* (*WindowCursor)(void* window);
  void* (*SetCursor)(void* cursor);  // the previous cursor
  void* (*ProbeWindowOpen)(int32_t x, int32_t y);
  void (*ProbeWindowClose)(void* probe);
  uint32_t (*ReadScreenPixel)(int32_t x, int32_t y);
  void (*WriteScreenPixel)(int32_t x, int32_t y, uint32_t value);
};

// The platform's display.
const DisplayDevice* DisplayPlatformDevice();
// Makes the surfaces use device from now on (none: the platform's) and forgets the process-wide
// display state. For tests; only while no surface is open.
void DisplayUseDevice(const DisplayDevice* device);
