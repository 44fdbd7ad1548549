// A simulated display for the surface tests: a screen in memory, DirectDraw surfaces as plain
// buffers, and a log of the calls whose effects the tests check.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "surface/display_device.h"

struct SimSurface {
  std::vector<uint8_t> Memory;
  uint32_t Width, Height, Pitch;
  DisplayPixelFormat Format;
};

struct SimDisplay {
  uint32_t ScreenWidth = 1024, ScreenHeight = 768, ScreenBits = 32, FxCaps = 0;
  DisplayPixelFormat Primary{0, 32, 0xFF0000, 0xFF00, 0xFF, 0};
  DisplayPixelFormat Offscreen{0, 32, 0xFF0000, 0xFF00, 0xFF, 0};
  bool DirectDraw = true, DibFails = false, SoftwareCursor = false;
  std::vector<uint32_t> Depths{16, 24, 32};  // what display modes can set
  std::vector<int32_t> LockResults;           // answers of the next locks (then success)
  DisplayRect Window{100, 50, 740, 550}, Client{104, 80, 736, 546};
  int32_t CursorX = 5000, CursorY = 5000, CursorShown = 0;
  // The log: changes of the display settings, overlay updates, fills, blits.
  std::vector<std::string> Log;
};

// Binds the surfaces to a fresh simulated display and returns it.
SimDisplay* SimDisplayUse();
std::string SimRect(const DisplayRect& r);
