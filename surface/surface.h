// Display surfaces: the place the decoded picture is copied into and the way it reaches the
// screen. One of ten blitting styles (the DirectDraw primary surface, overlays, off-screen
// surfaces, a GDI DIB section) is opened per movie size; the player locks the surface, copies the
// picture with MovieCopyToSurface (surface type and flags from TypeFlags), unlocks and blits.
// Windows handles and COM interfaces are held as opaque pointers so that this header is portable.
#pragma once

#include <cstdint>

#include "surface/surface_flags.h"

struct Surface {
  uint32_t Width, Height;               // picture size the surface was opened for
  uint32_t WindowWidth, WindowHeight;   // window size that shows DestWidth x DestHeight
  uint32_t TypeFlags;                   // surface type (low bits) | SurfaceDirect, SurfaceStretchBlit, CopyAll
  uint8_t* Bits;                        // the picture's first row; valid while locked
  int32_t Pitch;                        // bytes from one row to the next; valid while locked
  int32_t ClientOffsetX, ClientOffsetY; // client origin relative to the window's top-left corner
  uint32_t ScreenWidth, ScreenHeight, ScreenBits;  // the screen at open time
  uint32_t NonClientWidth, NonClientHeight;        // window size minus client size
  uint32_t StretchCaps;                 // stretch kinds the chosen style can do
  uint32_t DestWidth, DestHeight;       // output size on the screen
  void* DDSurface;                      // DirectDraw primary, overlay or off-screen surface, or none
  void* Clipper;                        // DirectDraw clipper bound to the window, or none
  int32_t ScreenX, ScreenY;             // screen position of the picture's top-left corner
  int32_t OffsetX, OffsetY;             // the picture's offset inside the client area
  void* Window;
  uint32_t Minimized;                   // the window was minimized at the last position update
  uint32_t IsOverlay, IsOffscreen;      // kind of DDSurface
  uint32_t OverlayShown;
  uint32_t SoftwareCursor;              // the cursor lives in screen memory: hide it over writes
  uint32_t HiddenCursorCount;           // times the cursor was hidden for the current lock
  void* LockedPtr;                      // memory returned by the last lock
  uint32_t Style;                       // the style opened, 1-10
  uint32_t ClampToScreen;               // the picture must stay inside the screen (style 1)
  uint32_t UsesDirectDraw;              // holds a reference on the shared DirectDraw set-up
  uint32_t ChangedMode;                 // holds a reference on the display-mode bookkeeping
  void* Dib;                            // the DIB section (HBITMAP)
  uint8_t* DibBits;                     // its memory
  uint32_t DibPitch;                    // its row pitch in bytes
  void* DibInfo;                        // its bitmap header with colour masks
  void* DibDC;                          // the memory device context it is selected into
  void* OldBitmap;                      // the bitmap it replaced in DibDC
};

// A rectangle of the picture, in picture pixels (the layout of the movie's Rects).
struct SurfaceRect {
  uint32_t X, Y, W, H;
};

// Opens a surface of the style in flags & SurfaceStyleMask (0 = 2) for a width x height picture
// shown in window (HWND). flags also carry SurfaceSetMode and the Stretch* bits the output size
// needs. Returns none with the error text set on failure.
Surface* SurfaceOpen(void* window, uint32_t width, uint32_t height, uint32_t flags);
// Closes the surface and gives back everything it holds; the last mode user restores the display.
void SurfaceClose(Surface* surface);
// The description text of the surface's style ("DIB Section", ...).
const char* SurfaceDescribe(const Surface* surface);
// The last error text of SurfaceOpen (emptied at each open).
const char* SurfaceGetError();
// The display mode the next open with SurfaceSetMode sets: width, height and the depth code of /D
// (0 = 16 bits, 1 = 24, 2 = 32, 3 = 8, 4 = at least high colour: 16, 32, then 24; 5 = true colour
// first: 32, 24, then 16; 6 = true colour only: 32, then 24). A zero size or a code above 6
// leaves no pending mode.
void SurfaceSetPendingMode(uint32_t width, uint32_t height, uint32_t depthCode);

// The stretch bit needed to show size pixels as dest (multiple, up, divisor, down; 0 when equal
// or either is 0).
uint32_t StretchKind(uint32_t size, uint32_t dest, uint32_t multiple, uint32_t up,
                     uint32_t divisor, uint32_t down);
// Sets the output size (0 = the screen's); 1 when both sizes were taken, else 0 (a size the style
// cannot stretch to keeps the old one).
int SurfaceSetDestSize(Surface* surface, uint32_t width, uint32_t height);
// The window moved, or the picture's offset in the client area changed; 1 (0 without a surface).
int SurfaceMoved(Surface* surface, int32_t offsetX, int32_t offsetY);
// 1 when Bits and Pitch may be written now, 0 when nothing may be written (copy skipped; CopyAll
// is then set so the next copy is whole).
int SurfaceLock(Surface* surface);
void SurfaceUnlock(Surface* surface);
// Shows the picture: the given rectangles, or the whole picture when rects is none. A count of 0
// does nothing.
void SurfaceBlit(Surface* surface, const SurfaceRect* rects, uint32_t count);
// Clears the picture to black for its surface type; 1 when cleared.
int SurfaceClear(Surface* surface);
// Adjusts a proposed window position (x, y) so that the picture, at offset (offsetX, offsetY) in
// the client area, lands on an aligned screen position (and inside the screen for the primary).
// Writes the window position to use to *outX, *outY.
void AlignWindowPosition(const Surface* surface, int32_t x, int32_t y, int32_t offsetX,
                         int32_t offsetY, int32_t* outX, int32_t* outY);
// The rule behind it, for a width x height picture at screen position (*x, *y): with clamp the
// picture is kept inside the screen (its left or top edge winning when it is larger), then x is
// aligned for screen memory: rounded up to 2 pixels at 4 bytes per pixel, 8 at 3, else 4, or down
// where rounding up would push a clamped picture past the screen's right edge.
void AlignPicturePosition(int64_t* x, int64_t* y, uint32_t width, uint32_t height,
                          uint32_t screenWidth, uint32_t screenHeight, uint32_t bytesPerPixel,
                          bool clamp);
