// Where the picture goes: the output size a file is shown at (with the stretch kinds it needs, or
// the copy's own doubling instead), and where the window is placed on the screen.
#pragma once

#include <cstdint>

struct OutputRequest {
  uint32_t MovieWidth, MovieHeight;
  uint32_t MovieScaleMode;             // the movie's OpenScaleMask bits, shifted down
  int32_t OutWidth;                    // /W as a fraction: 0 or a zero divisor = the movie's width,
  uint32_t OutWidthDiv;                // positive = pixels, -1/1 = the screen, other negatives
  int32_t OutHeight;                   // scale the movie; /H likewise
  uint32_t OutHeightDiv;
  uint32_t ScreenWidth, ScreenHeight;
  uint32_t SurfaceFlags;               // the flags before this file's stretch bits
};

struct OutputLayout {
  uint32_t Width, Height;              // the output size (SurfaceSetDestSize)
  uint32_t SurfaceFlags;               // the request's flags with this file's stretch bits only
  uint32_t ScaleMode;                  // the copy's doubling to turn on (1, 3 or 4), or 0
  uint32_t MovieWidth, MovieHeight;    // the movie's size once that doubling is on
};

// Computes the output size for one file. Exactly twice the movie's width and/or height is done by
// the copy when the movie has no scaling mode of its own; then no stretch bit is set. Sizes too
// large for 32 bits saturate.
void ComputeOutputLayout(const OutputRequest* request, OutputLayout* layout);

struct PlacementRequest {
  int32_t WindowX, WindowY;                 // requested position; CentreMarker = centre
  uint32_t WindowWidth, WindowHeight;       // window size the surface needs for the output
  int32_t ClientOffsetX, ClientOffsetY;     // client origin minus the window's corner
  uint32_t NonClientWidth, NonClientHeight;
  uint32_t SurfaceWidth, SurfaceHeight;
  uint32_t ScreenWidth, ScreenHeight;
  uint32_t BytesPerPixel;                   // of the screen
  bool ClampToScreen;                       // the picture must stay inside the screen
  bool FillScreen;                          // the window covers the whole screen
};

struct WindowPlacement {
  int32_t X, Y;                   // the window's rectangle (PlaceWindow)
  uint32_t Width, Height;
  int32_t MovieX, MovieY;         // the movie's offset inside the client area
};

void ComputeWindowPlacement(const PlacementRequest* request, WindowPlacement* placement);

